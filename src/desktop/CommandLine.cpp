#include "desktop/CommandLine.h"

#include <array>

namespace parlumo {
namespace {

// One row per action option: the words that select it and what the usage says.
struct ActionRow {
  TStartAction action;
  std::string_view option;
  std::string_view value;  // the one value the option takes; empty: none
  std::string_view help;
};

constexpr std::array<ActionRow, 4> kActions{{
    {TStartAction::saQuickTranslation1, "--quick-translation", "1",
     "translate the marked text as hotkey 1 does"},
    {TStartAction::saQuickTranslation2, "--quick-translation", "2",
     "translate the marked text as hotkey 2 does"},
    {TStartAction::saFileTranslation, "--file-translation", "",
     "translate the marked text into the file, as the file hotkey does"},
    {TStartAction::saShowSettings, "--show-settings", "", "show the settings dialog"},
}};

const ActionRow* RowOf(TStartAction action) {
  for (const ActionRow& row : kActions)
    if (row.action == action) return &row;
  return nullptr;
}

bool TakesValue(std::string_view option) {
  for (const ActionRow& row : kActions)
    if (row.option == option) return !row.value.empty();
  return false;
}

bool IsActionOption(std::string_view option) {
  for (const ActionRow& row : kActions)
    if (row.option == option) return true;
  return false;
}

TCommandLine Misuse(std::string error) {
  TCommandLine line;
  line.outcome = TCommandLine::Outcome::Misuse;
  line.error = std::move(error);
  return line;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& parameters) {
  TCommandLine line;
  bool haveAction = false;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    std::string option = parameters[i];
    if (option.empty() || option[0] != '-') continue;
    if (option == "--help" || option == "-h") {
      line.outcome = TCommandLine::Outcome::Help;
      return line;
    }
    if (option == "--version") {
      line.outcome = TCommandLine::Outcome::Version;
      return line;
    }
    // --option=value reads as --option value.
    std::string value;
    bool inlineValue = false;
    if (const auto equals = option.find('=');
        option.starts_with("--") && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
      inlineValue = true;
    }
    if (!IsActionOption(option)) return Misuse("unknown option: " + parameters[i]);
    if (TakesValue(option)) {
      if (!inlineValue) {
        if (i + 1 >= parameters.size()) return Misuse(option + " needs a value: 1 or 2");
        value = parameters[++i];
      }
    } else if (inlineValue) {
      return Misuse(option + " takes no value");
    }
    const ActionRow* match = nullptr;
    for (const ActionRow& row : kActions)
      if (row.option == option && row.value == value) match = &row;
    if (match == nullptr) return Misuse("not a value of " + option + ": " + value);
    if (haveAction && line.action != match->action)
      return Misuse("only one action at a time: " + option);
    line.action = match->action;
    haveAction = true;
  }
  return line;
}

std::string CommandLineUsage(std::string_view program) {
  std::string text = "Usage: " + std::string(program) + " [OPTION]\n";
  text += "Starts the translator in the notification area, or hands the action to the copy\n";
  text += "that runs already. Bind the actions in your desktop's keyboard settings where\n";
  text += "the program's own hotkeys cannot be grabbed (Wayland desktops).\n\n";
  for (const ActionRow& row : kActions) {
    std::string words(row.option);
    if (!row.value.empty()) words += " " + std::string(row.value);
    text += "  " + words;
    text += std::string(words.size() < 24 ? 24 - words.size() : 1, ' ');
    text += std::string(row.help) + "\n";
  }
  text += "  --help                  show this text\n";
  text += "  --version               show the version\n";
  return text;
}

std::optional<int> AnswerCommandLine(const TCommandLine& line, std::string_view program,
                                     std::string_view version, std::FILE* out, std::FILE* err) {
  const std::string name(program);
  switch (line.outcome) {
    case TCommandLine::Outcome::Help:
      std::fputs(CommandLineUsage(program).c_str(), out);
      return 0;
    case TCommandLine::Outcome::Version:
      std::fprintf(out, "%s %s\n", name.c_str(), std::string(version).c_str());
      return 0;
    case TCommandLine::Outcome::Misuse:
      std::fprintf(err, "%s: %s\n%s", name.c_str(), line.error.c_str(),
                   CommandLineUsage(program).c_str());
      return kUsageExitStatus;
    case TCommandLine::Outcome::Start:
      break;
  }
  return std::nullopt;
}

std::vector<std::string> ActionArguments(TStartAction action) {
  const ActionRow* row = RowOf(action);
  if (row == nullptr) return {};
  std::vector<std::string> words{std::string(row->option)};
  if (!row->value.empty()) words.emplace_back(row->value);
  return words;
}

std::string ActionCommand(TStartAction action) {
  const std::vector<std::string> words = ActionArguments(action);
  if (words.empty()) return {};
  std::string command = "parlumo";
  for (const std::string& word : words)
    command += " " + word;
  return command;
}

std::optional<TStartAction> ActionOfHandedOverText(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(' ', start);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop > start) words.emplace_back(text.substr(start, stop - start));
    start = stop + 1;
  }
  const TCommandLine line = ParseCommandLine(words);
  if (line.outcome != TCommandLine::Outcome::Start || line.action == TStartAction::saNone)
    return std::nullopt;
  return line.action;
}

}  // namespace parlumo
