#include "desktop/MainInstance.h"

#include "runtime/Ascii.h"

namespace parlumo {

std::string JoinParameters(const std::vector<std::string>& parameters) {
  std::string text;
  for (const auto& parameter : parameters) {
    text += parameter;
    text += ' ';
    if (FindNoCase(text, ".exe") != std::string::npos) text.clear();
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
