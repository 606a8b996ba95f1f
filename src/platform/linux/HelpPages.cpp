#include "platform/linux/HelpPages.h"

#include <vector>

namespace parlumo {

namespace fs = std::filesystem;

HelpPagesEngine::HelpPagesEngine(fs::path helpRoot, Language language, Opener opener)
    : root_(std::move(helpRoot)), language_(std::move(language)), opener_(std::move(opener)) {}

fs::path HelpPagesEngine::LanguageFolder() const {
  const fs::path chosen = root_ / (language_ && language_() == 1 ? "de" : "en");
  std::error_code ec;
  return fs::is_directory(chosen, ec) ? chosen : root_ / "en";
}

bool HelpPagesEngine::Available() const {
  std::error_code ec;
  return fs::is_regular_file(LanguageFolder() / "index.html", ec);
}

fs::path HelpPagesEngine::PageFor(HelpCommand command, const std::string& file,
                                  const Data& data) const {
  const fs::path folder = LanguageFolder();
  const fs::path index = folder / "index.html";
  std::error_code ec;
  auto existing = [&](const fs::path& page) {
    return fs::is_regular_file(page, ec) ? page : index;
  };
  switch (command) {
    case HelpCommand::DisplayToc:
    case HelpCommand::DisplayIndex:  // no keyword index: the contents lead on
      return index;
    case HelpCommand::HelpContext:
      if (const auto* context = std::get_if<std::uint32_t>(&data)) {
        return existing(folder / (std::to_string(*context) + ".html"));
      }
      return index;
    case HelpCommand::DisplayTopic: {
      // "<help file>::/<topic>": a page of the folder, never a path out of it.
      const auto at = file.find("::/");
      const std::string topic = at == std::string::npos ? std::string() : file.substr(at + 3);
      if (topic.empty() || topic.find("..") != std::string::npos || topic.front() == '/') {
        return index;
      }
      return existing(folder / topic);
    }
    case HelpCommand::CloseAll:
    case HelpCommand::GetLastError:
      return {};
  }
  return {};
}

void HelpPagesEngine::Call(HelpCommand command, const std::string& file, const Data& data) {
  const fs::path page = PageFor(command, file, data);
  if (page.empty() || !opener_) return;
  opener_("file://" + page.string());
}

fs::path FindHelpRoot(const fs::path& programPath) {
  std::vector<fs::path> candidates = {programPath.parent_path().parent_path() / "share" /
                                      "parlumo" / "help"};
#ifdef PARLUMO_SOURCE_HELP_DIR
  candidates.emplace_back(PARLUMO_SOURCE_HELP_DIR);
#endif
  std::error_code ec;
  for (const fs::path& root : candidates) {
    if (fs::is_regular_file(root / "en" / "index.html", ec)) return root;
  }
  return {};
}

}  // namespace parlumo
