#include "desktop/MainInstance.h"

namespace parlumo {
namespace {

bool ContainsExe(const std::string& text) {
  for (std::string::size_type i = 0; i + 4 <= text.size(); ++i) {
    if (text[i] != '.') continue;
    const auto upper = [&](std::string::size_type k) {
      const char c = text[i + k];
      return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    };
    if (upper(1) == 'E' && upper(2) == 'X' && upper(3) == 'E') return true;
  }
  return false;
}

}  // namespace

std::string JoinParameters(const std::vector<std::string>& parameters) {
  std::string text;
  for (const auto& parameter : parameters) {
    text += parameter;
    text += ' ';
    if (ContainsExe(text)) text.clear();
  }
  return text;
}

TMainInstance::TMainInstance(InstancePlatform& platform) {
  const std::string title = platform.ApplicationTitle();
  const std::string className = platform.ApplicationClassName();
  if (title.empty() || className.empty()) return;
  if (platform.ClaimFirstCopy(title, className)) return;

  const std::string text = JoinParameters(platform.Parameters());
  if (!text.empty()) platform.HandOverParameters(text);
  platform.BringRunningCopyForward();
  platform.ExitProcess(0);
}

}  // namespace parlumo
