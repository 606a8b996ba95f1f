// parlumo-translate: translates a text on the command line through the same
// exchange as the desktop program.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "net/Encryption.h"
#include "net/HttpClient.h"
#include "runtime/IniFile.h"
#include "runtime/PollEventLoop.h"
#include "runtime/SettingsPath.h"
#include "text/LanguageText.h"
#include "translate/FailureMessages.h"
#include "translate/LanguagePairs.h"
#include "translate/TranslateText.h"
#include "translate/TranslationPage.h"

namespace {

using namespace parlumo;

constexpr int kExitTranslated = 0;
constexpr int kExitNoText = 1;
constexpr int kExitConnectionFailed = 2;
constexpr int kExitNotTranslated = 3;
constexpr int kExitUnknownDataFormat = 4;
constexpr int kExitTextTooLarge = 5;
constexpr int kExitUsage = 64;

// Text keys of why a text too large was refused before it was sent.
constexpr int kStandardInputTooLargeKey = 800;
constexpr int kRequestTooLargeKey = 801;

// A size as a reader takes it in: "1 MiB", "64 KiB", "1000 bytes".
std::string SizeText(std::size_t bytes) {
  if (bytes != 0 && bytes % (std::size_t{1} << 20) == 0)
    return std::to_string(bytes >> 20) + " MiB";
  if (bytes != 0 && bytes % (std::size_t{1} << 10) == 0)
    return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string Usage() {
  const std::string limit = SizeText(kMaxRequestBodyBytes);
  return "Usage: parlumo-translate [options] [TEXT...]\n"
         "Translates TEXT (the arguments joined by spaces, or standard input when there\n"
         "are none) and prints the translation.\n"
         "\n"
         "A request to the translation service may hold at most " +
         limit +
         ", with the text\n"
         "form-encoded (a byte other than a letter, digit, space or one of *-._ takes\n"
         "three): a longer text is refused before anything is sent (exit status 5), and\n"
         "standard input is read no further than " +
         limit +
         ".\n"
         "\n"
         "Options:\n"
         "  --pair P              language pair: an index 0-11 or a code such as en|de\n"
         "                        (default 0, en|de)\n"
         "  --service HOST[:PORT] translation service (default: the settings file's\n"
         "                        Service/Host, else " +
         std::string(kDefaultServiceHost) +
         ")\n"
         "  --proxy HOST[:PORT]   proxy server (default: the settings file's Proxy section)\n"
         "  --proxy-user U        proxy user name\n"
         "  --proxy-password P    proxy password\n"
         "  --ini FILE            settings file to read (default: the desktop program's)\n"
         "  --lang en|de          language of messages (default: the settings file's\n"
         "                        InterfaceLanguage; without a settings file the locale's,\n"
         "                        from LC_ALL, LC_MESSAGES or LANG: German for de*)\n"
         "  --timeout SECONDS     give up after this long without progress (default 30)\n"
         "  --verbose             print the request and response header lines on\n"
         "                        standard error\n"
         "  --help                print this text\n"
         "\n"
         "Exit status: 0 translated, 1 no text, 2 no connection, 3 not translated,\n"
         "4 unknown data format, 5 text too large (refused here or by the service),\n"
         "64 usage error.\n";
}

struct Options {
  std::optional<std::string> pair;
  std::optional<std::string> service;
  std::optional<std::string> proxy;
  std::optional<std::string> proxyUser;
  std::optional<std::string> proxyPassword;
  std::optional<std::string> ini;
  std::optional<std::string> lang;
  int timeoutSeconds = 30;
  bool verbose = false;
  bool help = false;
  std::vector<std::string> words;
};

int UsageError(const std::string& message) {
  std::cerr << "parlumo-translate: " << message << "\n" << Usage();
  return kExitUsage;
}

// A --pair that names no pair: the message and the pairs there are, one a line
// with its index, code and name.
int PairUsageError(const std::string& pair, int language) {
  std::cerr << "parlumo-translate: --pair " << pair << " names no language pair; the pairs are:\n";
  for (int i = 0; i < kLanguagePairCount; ++i) {
    std::cerr << (i < 10 ? "   " : "  ") << i << "  " << LanguagePairCode(i) << "  "
              << LanguageText(language, LanguagePairNameKey(i)) << "\n";
  }
  return kExitUsage;
}

// The message language the locale asks for: the first of LC_ALL, LC_MESSAGES
// and LANG that is set and not empty decides, German for a "de" locale (de,
// de_DE.UTF-8, de_AT, ...), English for anything else.
int LocaleLanguage() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string_view locale(value);
    const bool german = locale.starts_with("de") && (locale.size() == 2 || locale[2] == '_' ||
                                                     locale[2] == '.' || locale[2] == '@');
    return german ? kUILanguageGerman : kUILanguageEnglish;
  }
  return kUILanguageEnglish;
}

std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Parses the arguments; returns an exit status when they are unusable.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
  bool textOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (textOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      options.words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      textOnly = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const auto eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    std::optional<std::string>* target = nullptr;
    if (name == "--pair") target = &options.pair;
    if (name == "--service") target = &options.service;
    if (name == "--proxy") target = &options.proxy;
    if (name == "--proxy-user") target = &options.proxyUser;
    if (name == "--proxy-password") target = &options.proxyPassword;
    if (name == "--ini") target = &options.ini;
    if (name == "--lang") target = &options.lang;
    const bool timeout = name == "--timeout";
    if (target == nullptr && !timeout) return UsageError("unknown option " + name);
    if (!value) {
      if (i + 1 >= argc) return UsageError(name + " needs a value");
      value = argv[++i];
    }
    if (timeout) {
      const auto seconds = ParseInt(*value);
      if (!seconds || *seconds <= 0) return UsageError("--timeout needs a positive number");
      options.timeoutSeconds = *seconds;
    } else {
      *target = *value;
    }
  }
  return std::nullopt;
}

// Standard input without its trailing line breaks; nothing when it holds more
// than limit bytes. Reading stops at the first byte past the limit, so that an
// endless input (yes | parlumo-translate) ends too. The descriptor is read
// directly, not through stdio, whose buffer would read ahead: the input after
// that byte is left unread for whatever reads it next. Trailing line breaks
// count towards the limit: they are dropped only once the end shows that they
// are trailing.
std::optional<std::string> ReadStandardInput(std::size_t limit) {
  std::string text;
  char buffer[64 << 10];
  while (text.size() <= limit) {
    const std::size_t wanted = std::min(sizeof buffer, limit + 1 - text.size());
    const ssize_t got = ::read(STDIN_FILENO, buffer, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the end, or a read error: what came is the text
    text.append(buffer, static_cast<std::size_t>(got));
  }
  if (text.size() > limit) return std::nullopt;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Prints a failure as its caption and text (keys text, text + 1) and a detail.
void PrintFailure(int language, int textKey, const std::string& detail) {
  std::cerr << LanguageText(language, textKey + 1) << "\n"
            << LanguageText(language, textKey) << "\n";
  if (!detail.empty()) std::cerr << detail << "\n";
}

// The exit status of a failed exchange.
int ExitStatus(TranslateFailure failure) {
  switch (failure) {
    case TranslateFailure::ConnectionFailed:
      return kExitConnectionFailed;
    case TranslateFailure::NotTranslated:
      return kExitNotTranslated;
    case TranslateFailure::UnknownDataFormat:
      return kExitUnknownDataFormat;
    case TranslateFailure::TextTooLarge:
      return kExitTextTooLarge;
  }
  return kExitConnectionFailed;
}

// A text too large refused here: the line of textKey with the limit in it.
int TextTooLargeUnsent(int language, int textKey) {
  std::string detail = LanguageText(language, textKey);
  if (const auto at = detail.find("%1"); at != std::string::npos)
    detail.replace(at, 2, SizeText(kMaxRequestBodyBytes));
  PrintFailure(language, FailureMessageOf(TranslateFailure::TextTooLarge).textKey, detail);
  return kExitTextTooLarge;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const auto status = ParseArguments(argc, argv, options)) return *status;
  if (options.help) {
    std::cout << Usage();
    return kExitTranslated;
  }

  // Settings: the file the desktop program uses, unless --ini names one.
  std::filesystem::path iniPath;
  if (options.ini) {
    iniPath = *options.ini;
  } else {
    iniPath = SettingsFilePath(CurrentProgramPath().parent_path() / "parlumo");
  }
  std::error_code ec;
  const bool haveSettings = std::filesystem::is_regular_file(iniPath, ec);
  const TIniFile ini(iniPath);
  // The settings below come from one reading of the file.
  const TIniFile::ReadSession reading(ini);

  // The settings file's language, as the desktop program reads it; without a
  // file, the one the user's locale asks for.
  int language = LocaleLanguage();
  if (haveSettings) {
    language =
        ini.ReadInteger("Languages", "InterfaceLanguage", kUILanguageGerman) == kUILanguageGerman
            ? kUILanguageGerman
            : kUILanguageEnglish;
  }
  if (options.lang) {
    if (*options.lang == "en") {
      language = kUILanguageEnglish;
    } else if (*options.lang == "de") {
      language = kUILanguageGerman;
    } else {
      return UsageError("--lang takes en or de");
    }
  }

  // A typed pair must name one: an index of the table or a code in it. (A
  // stored index outside the table means pair 0; a typed one is a mistake.)
  int pairIndex = 0;
  if (options.pair) {
    const auto index = ParseInt(*options.pair);
    pairIndex = index ? *index : LanguagePairIndex(*options.pair);
    if (!IsLanguagePairIndex(pairIndex)) return PairUsageError(*options.pair, language);
  }

  const std::string service =
      options.service ? *options.service
                      : ini.ReadString("Service", "Host", std::string(kDefaultServiceHost));
  TProxySettings proxy;
  proxy.server = options.proxy ? *options.proxy : ini.ReadString("Proxy", "Server", "");
  proxy.port = ini.ReadString("Proxy", "Port", "");
  if (proxy.port.empty()) proxy.port = "80";
  proxy.username = options.proxyUser ? *options.proxyUser : ini.ReadString("Proxy", "Username", "");
  proxy.password =
      options.proxyPassword
          ? *options.proxyPassword
          : UnscramblePassword(ini.ReadString("Proxy", "Password", ""), kPasswordScrambleKey);

  // The limit is the local service's; a service elsewhere is held to it too.
  // Standard input is read no further than one byte past the limit: form
  // encoding never makes a byte shorter, so more input could fit only when the
  // excess is line breaks at its end, which are not sent. Such input is refused
  // all the same, since reading must stop somewhere for an endless input.
  // Whether what was read fits once it is encoded is checked on the request
  // body, before anything is sent.
  std::string text;
  if (options.words.empty()) {
    std::optional<std::string> input = ReadStandardInput(kMaxRequestBodyBytes);
    if (!input) return TextTooLargeUnsent(language, kStandardInputTooLargeKey);
    text = std::move(*input);
  } else {
    for (const auto& word : options.words) {
      if (!text.empty()) text += ' ';
      text += word;
    }
  }
  if (IsBlank(text)) {
    PrintFailure(language, 602, "");
    return kExitNoText;
  }
  // The exchange refuses such a text too, in the client's words; refusing it
  // here says why in the language of the messages.
  if (BuildRequestBody(text, pairIndex).size() > kMaxRequestBodyBytes) {
    return TextTooLargeUnsent(language, kRequestTooLargeKey);
  }

  PollEventLoop loop;
  THttpClient client(loop);
  client.Timeout = std::chrono::seconds(options.timeoutSeconds);
  if (options.verbose) {
    client.OnCommand = [](THttpClient&, std::string& line) { std::cerr << "> " << line << "\n"; };
    client.OnHeaderData = [](THttpClient& c) {
      std::cerr << "< " << c.ResponseHeader().back() << "\n";
    };
  }
  TParser splitter;
  const TranslateOutcome outcome = TranslateText(client, splitter, text, pairIndex, service, proxy);
  if (outcome.Succeeded()) {
    std::cout << outcome.Text() << "\n";
    return kExitTranslated;
  }
  PrintFailure(language, FailureMessageOf(*outcome.Failure()).textKey, outcome.Detail());
  return ExitStatus(*outcome.Failure());
}
