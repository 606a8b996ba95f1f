#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "desktop/HtmlHelpViewer.h"

namespace parlumo {

// The help engine on Linux: the help set is a folder of HTML pages, one folder
// per interface language (help/en, help/de), with index.html as the table of
// contents and <context>.html for each help context. A page is shown by handing
// its file URL to the opener (the desktop's browser, through the Qt adapter).
class HelpPagesEngine final : public HelpEngine {
 public:
  using Opener = std::function<void(const std::string& url)>;
  using Language = std::function<int()>;  // 0 English, 1 German

  HelpPagesEngine(std::filesystem::path helpRoot, Language language, Opener opener);

  bool Available() const override;
  void Call(HelpCommand command, const std::string& file, const Data& data) override;

  // The page a command shows, or an empty path when it shows none.
  std::filesystem::path PageFor(HelpCommand command, const std::string& file,
                                const Data& data) const;

 private:
  std::filesystem::path LanguageFolder() const;

  std::filesystem::path root_;
  Language language_;
  Opener opener_;
};

// Where the help pages of the program at programPath are: installed, in
// <prefix>/share/parlumo/help beside the program's bin folder; run from the build
// tree, the help folder of the sources it was built from. The installed folder
// wins; an empty path when neither has the pages.
std::filesystem::path FindHelpRoot(const std::filesystem::path& programPath);

}  // namespace parlumo
