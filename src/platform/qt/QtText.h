#pragma once

#include <QString>
#include <string>

namespace parlumo {

// The program's strings are UTF-8; Qt's are UTF-16.
inline QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace parlumo
