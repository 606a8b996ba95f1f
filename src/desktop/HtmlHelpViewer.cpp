#include "desktop/HtmlHelpViewer.h"

#include <cstddef>

#include "runtime/Ascii.h"

namespace parlumo {
namespace {

bool IsPathSeparator(char c) {
  return c == '/' || c == '\\';
}

// The extension of a topic: from its last "." on, when that "." lies after the
// last folder separator; else empty.
std::string TopicExtension(const std::string& topic) {
  for (std::size_t i = topic.size(); i > 0; --i) {
    const char c = topic[i - 1];
    if (c == '.') return topic.substr(i - 1);
    if (IsPathSeparator(c)) break;
  }
  return {};
}

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

bool IsChmFile(const std::string& fileName) {
  const auto dot = fileName.rfind('.');
  return dot != std::string::npos && EqualsNoCase(fileName.substr(dot), ".chm");
}

THtmlHelpViewer::THtmlHelpViewer(HelpEngine& engine, HelpHost& host)
    : engine_(engine), host_(host) {}

std::string THtmlHelpViewer::CurrentHelpFile() const {
  std::string file;
  if (!managerReleased_) file = host_.ManagerHelpFile();
  if (file.empty()) file = host_.ApplicationHelpFile();
  const bool hasFolder = file.find_first_of("/\\") != std::string::npos;
  if (!file.empty() && !hasFolder) {
    const std::string module = host_.ModuleFileName();
    const auto slash = module.find_last_of("/\\");
    if (slash != std::string::npos) file = module.substr(0, slash + 1) + file;
  }
  return file;
}

int THtmlHelpViewer::UnderstandsKeyword(const std::string&) const {
  return IsChmFile(CurrentHelpFile()) ? 1 : 0;
}

std::vector<std::string> THtmlHelpViewer::GetHelpStrings(const std::string& helpString) const {
  return {std::string(kViewerName) + ": " + helpString};
}

void THtmlHelpViewer::ShowTableOfContents() {
  const std::string file = CurrentHelpFile();
  if (!IsChmFile(file)) return;
  Call(HelpCommand::DisplayToc, file, std::uint32_t{0});
}

void THtmlHelpViewer::ShowHelp(const std::string& helpString) {
  const std::string file = CurrentHelpFile();
  if (!IsChmFile(file)) return;
  const auto colon = helpString.find(':');
  const std::string keyword =
      TrimBlanks(colon == std::string::npos ? helpString : helpString.substr(colon + 1));
  Call(HelpCommand::DisplayIndex, file, keyword);
}

void THtmlHelpViewer::SoftShutDown() {
  Call(HelpCommand::CloseAll, {}, std::uint32_t{0});
}

void THtmlHelpViewer::ShutDown() {
  SoftShutDown();
  managerReleased_ = true;
}

bool THtmlHelpViewer::UnderstandsTopic(const std::string&) const {
  return IsChmFile(CurrentHelpFile());
}

void THtmlHelpViewer::DisplayTopic(const std::string& topic) {
  const std::string file = CurrentHelpFile();
  if (!IsChmFile(file)) return;
  const std::string extension = TopicExtension(topic);
  std::string name = topic;
  if (!EqualsNoCase(extension, ".htm") && !EqualsNoCase(extension, ".html")) {
    name += kDefaultExtension;
  }
  Call(HelpCommand::DisplayTopic, file + "::/" + name, std::uint32_t{0});
}

bool THtmlHelpViewer::UnderstandsContext(int, const std::string& helpFileName) const {
  return IsChmFile(helpFileName);
}

void THtmlHelpViewer::DisplayHelpByContext(int contextId, const std::string&) {
  const std::string file = CurrentHelpFile();
  if (!IsChmFile(file)) return;
  Call(HelpCommand::HelpContext, file, static_cast<std::uint32_t>(contextId));
}

int THtmlHelpViewer::SelectKeyword(const std::vector<std::string>& keywords) const {
  for (std::size_t i = 0; i < keywords.size(); ++i) {
    const auto colon = keywords[i].find(':');
    if (colon != std::string::npos && keywords[i].compare(0, colon, kViewerName) == 0) {
      return static_cast<int>(i);
    }
  }
  return 0;
}

int THtmlHelpViewer::TableOfContents(const std::vector<std::string>& viewerNames) const {
  for (std::size_t i = 0; i < viewerNames.size(); ++i) {
    if (viewerNames[i] == kViewerName) return static_cast<int>(i);
  }
  return -1;
}

void THtmlHelpViewer::Call(HelpCommand command, const std::string& file,
                           const HelpEngine::Data& data) {
  if (!engine_.Available()) return;
  switch (command) {
    case HelpCommand::CloseAll:
      engine_.Call(command, {}, data);
      return;
    case HelpCommand::GetLastError:
      return;
    default:
      engine_.Call(command, file, data);
      return;
  }
}

}  // namespace parlumo
