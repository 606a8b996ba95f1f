#include "Engine.h"

namespace parlumo::service {

std::optional<std::vector<std::string>> ChainTranslator::Translate(
    const std::vector<std::string>& segments) {
  std::vector<std::string> current = segments;
  for (const auto& step : steps_) {
    auto next = step->Translate(current);
    if (!next) return std::nullopt;
    current = std::move(*next);
  }
  return current;
}

std::string ChainTranslator::Description() const {
  std::string text;
  for (const auto& step : steps_) {
    if (!text.empty()) text += ", then ";
    text += step->Description();
  }
  return text;
}

}  // namespace parlumo::service
