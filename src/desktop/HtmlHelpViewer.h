#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace parlumo {

// Commands of the help engine, in the HTML Help numbering.
enum class HelpCommand : unsigned {
  DisplayTopic = 0,   // data 0; file is "<help file>::/<topic>"
  DisplayToc = 1,     // data 0
  DisplayIndex = 2,   // data is the keyword
  HelpContext = 15,   // data is the context number
  CloseAll = 18,      // no file, data 0
  GetLastError = 20,  // never sent
};

// The help engine: shows the help set a file name stands for. Its result is not
// looked at; it reports problems in its own way.
class HelpEngine {
 public:
  using Data = std::variant<std::uint32_t, std::string>;

  virtual ~HelpEngine() = default;
  // False when the engine cannot be used at all; every request then does nothing.
  virtual bool Available() const = 0;
  virtual void Call(HelpCommand command, const std::string& file, const Data& data) = 0;
};

// Where the viewer learns the help file.
class HelpHost {
 public:
  virtual ~HelpHost() = default;
  // The help manager's help file; empty when it has none.
  virtual std::string ManagerHelpFile() const = 0;
  // The application's current help file (the program's path with ".chm").
  virtual std::string ApplicationHelpFile() const = 0;
  // The program file's full path; a help file without folder lies beside it.
  virtual std::string ModuleFileName() const = 0;
};

// True when the name contains "." and the text from its last "." on is ".chm",
// ignoring ASCII case.
bool IsChmFile(const std::string& fileName);

// The viewer that turns the requests of the windows into help engine commands:
// the table of contents, keywords, topics and context numbers of the ".chm"
// help file. Requests do nothing while the current help file is not a ".chm"
// file or the engine is unavailable.
class THtmlHelpViewer {
 public:
  // The name prefixing the viewer's help strings and looked for by SelectKeyword.
  static constexpr const char* kViewerName = "ParlumoHelp";
  static constexpr const char* kDefaultExtension = ".htm";

  // The manager's help file is asked for until ShutDown releases the manager.
  THtmlHelpViewer(HelpEngine& engine, HelpHost& host);

  std::string GetViewerName() const { return kViewerName; }
  int UnderstandsKeyword(const std::string& helpString) const;
  std::vector<std::string> GetHelpStrings(const std::string& helpString) const;
  bool CanShowTableOfContents() const { return true; }
  void ShowTableOfContents();
  // The help string is "<viewer name>: <keyword>" (the text after the first ":",
  // blanks trimmed) or the bare keyword.
  void ShowHelp(const std::string& helpString);
  void NotifyID(int viewerId) { viewerId_ = viewerId; }
  int ViewerID() const { return viewerId_; }
  void SoftShutDown();
  // Soft shut-down, then the manager is released: from then on only the
  // application's help file counts.
  void ShutDown();

  bool UnderstandsTopic(const std::string& topic) const;
  // A topic without ".htm"/".html" gets ".htm" appended.
  void DisplayTopic(const std::string& topic);
  bool UnderstandsContext(int contextId, const std::string& helpFileName) const;
  // Opens the context in the current help file (helpFileName only decides
  // whether the request is ours, through UnderstandsContext).
  void DisplayHelpByContext(int contextId, const std::string& helpFileName);

  // Index of the first line whose text before the first ":" is this viewer's
  // name; 0 when none is.
  int SelectKeyword(const std::vector<std::string>& keywords) const;
  // Index of this viewer's name in the list; -1 when absent.
  int TableOfContents(const std::vector<std::string>& viewerNames) const;

  // The current help file: the manager's, else the application's; a name without
  // folder is taken from the program's folder.
  std::string CurrentHelpFile() const;

 private:
  void Call(HelpCommand command, const std::string& file, const HelpEngine::Data& data);

  HelpEngine& engine_;
  HelpHost& host_;
  bool managerReleased_ = false;
  int viewerId_ = 0;
};

// Answers the built-in WinHelp viewer's questions so that it never serves a
// request: it can show nothing.
struct TWinHelpTester {
  bool CanShowALink(const std::string&, const std::string&) const { return false; }
  bool CanShowTopic(const std::string&, const std::string&) const { return false; }
  bool CanShowContext(int, const std::string&) const { return false; }
  std::vector<std::string> GetHelpStrings(const std::string& aLink) const { return {": " + aLink}; }
  std::string GetHelpPath() const { return {}; }
  std::string GetDefaultHelpFile() const { return {}; }
};

}  // namespace parlumo
