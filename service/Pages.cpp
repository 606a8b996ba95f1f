#include "Pages.h"

#include <charconv>
#include <tuple>

#include "FormData.h"
#include "runtime/ProcessMemory.h"
#include "runtime/Version.h"
#include "translate/TranslationPage.h"

namespace parlumo::service {

namespace {

std::string Document(std::string_view title, std::string_view body) {
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>" + HtmlEscape(title) +
      "</title>\n<style>body{font-family:sans-serif;margin:2em;max-width:50em}"
      "table{border-collapse:collapse}td,th{border:1px solid #999;padding:.2em .6em}</style>"
      "</head>\n<body>\n";
  page += body;
  page += "\n</body></html>\n";
  return page;
}

std::string PairTable(const std::vector<OfferedPair>& pairs) {
  std::string table = "<table><tr><th>Pair</th><th>Code</th><th>Engine</th></tr>\n";
  for (const auto& pair : pairs) {
    table += "<tr><td>" + HtmlEscape(PairName(pair.code)) + "</td><td>" + HtmlEscape(pair.code) +
             "</td><td>" + HtmlEscape(pair.engine) + "</td></tr>\n";
  }
  table += "</table>";
  return table;
}

// The running pipelines: mode, how many, how many on a request, how long each idle
// one has been unused, and the memory one takes.
std::string ResidentTable(const ResidentPipelines& resident) {
  std::string text =
      "<h2>Engines running now</h2>\n<p>Apertium pipelines start with their first "
      "request and stop after " +
      std::to_string(resident.idleTime.count()) + " s unused; at most " +
      std::to_string(resident.maxPipelines) + " run at once" +
      (resident.memoryBudget != 0
           ? ", in at most " + MegabytesText(resident.memoryBudget) + " together"
           : std::string()) +
      ".</p>\n";
  if (resident.modes.empty()) return text + "<p>None is running.</p>";
  text +=
      "<table><tr><th>Mode</th><th>Pipelines</th><th>In use</th><th>Idle for</th>"
      "<th>Memory each</th></tr>\n";
  for (const auto& mode : resident.modes) {
    std::string idle;
    for (const auto& time : mode.idleFor) {
      if (!idle.empty()) idle += ", ";
      idle += std::to_string(time.count()) + " s";
    }
    text += "<tr><td>" + HtmlEscape(mode.name) + "</td><td>" + std::to_string(mode.running) +
            "</td><td>" + std::to_string(mode.inUse) + "</td><td>" +
            (idle.empty() ? std::string("-") : idle) + "</td><td>" +
            (mode.footprint != 0 ? MegabytesText(mode.footprint) : std::string("-")) +
            "</td></tr>\n";
  }
  return text + "</table>";
}

std::string VersionText(int major, int minor, int build) {
  return "Parlumo " + std::to_string(major) + "." + std::to_string(minor) + " (build " +
         std::to_string(build) + ")";
}

std::string NewestVersionText() {
  return VersionText(kVersionMajor, kVersionMinor, kVersionBuild);
}

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 6) return std::nullopt;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string LanguageName(std::string_view code) {
  static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"en", "English"}, {"de", "German"},     {"fr", "French"},
      {"it", "Italian"}, {"pt", "Portuguese"}, {"es", "Spanish"}};
  for (const auto& [c, name] : kNames) {
    if (c == code) return std::string(name);
  }
  return std::string(code);
}

std::string PairName(std::string_view pairCode) {
  const auto bar = pairCode.find('|');
  if (bar == std::string_view::npos) return std::string(pairCode);
  return LanguageName(pairCode.substr(0, bar)) + " \xC2\xBB " +
         LanguageName(pairCode.substr(bar + 1));
}

std::string ResultPage(std::string_view pairCode, std::string_view translation) {
  std::string escaped;
  std::string_view rest = translation;
  while (true) {
    const auto newline = rest.find('\n');
    escaped += HtmlEscape(rest.substr(0, newline));
    if (newline == std::string_view::npos) break;
    escaped += "<br>";
    rest.remove_prefix(newline + 1);
  }
  std::string body = "<h1>Translation: " + HtmlEscape(PairName(pairCode)) + "</h1>\n<p><a href=\"" +
                     std::string(kLanguageToolsPath) +
                     "\">About these translations</a></p>\n<div " + std::string(kResultStartMarker);
  body += escaped;
  body += kResultEndMarker;
  return Document("Parlumo translation", body);
}

std::string PairNotOfferedPage(std::string_view pairCode, const std::vector<OfferedPair>& pairs) {
  return Document("Language pair not offered",
                  "<h1>Language pair not offered</h1>\n<p>This service does not translate \"" +
                      HtmlEscape(pairCode) + "\". It offers these pairs:</p>\n" + PairTable(pairs));
}

std::string TranslationBanner(std::string_view pairCode, std::string_view originalAddress) {
  return "<div style=\"background:#ffd;border:1px solid #cc9;padding:.4em;margin:0 0 .5em 0;"
         "font:14px sans-serif;color:#000\">Translated from " +
         HtmlEscape(PairName(pairCode)) +
         " by the Parlumo translation service &middot; <a href=\"" + HtmlEscape(originalAddress) +
         "\">Original page</a></div>";
}

std::string ErrorPage(int status, std::string_view title, std::string_view explanation) {
  return Document(title, "<h1>" + std::to_string(status) + " " + HtmlEscape(title) + "</h1>\n<p>" +
                             HtmlEscape(explanation) + "</p>\n" +
                             "<p><a href=\"/\">Parlumo translation service</a></p>");
}

std::string ProviderHomePage(const std::vector<OfferedPair>& pairs,
                             const ResidentPipelines& resident) {
  return Document(
      "Parlumo translation service",
      "<h1>Parlumo translation service</h1>\n"
      "<p>This local service translates texts (POST " +
          std::string(kTranslatePath) + ") and web pages (GET " + std::string(kPageTranslatePath) +
          "?u=ADDRESS&amp;langpair=PAIR) offline.</p>\n" + PairTable(pairs) + "\n" +
          ResidentTable(resident) + "\n<p><a href=\"" + std::string(kLanguageToolsPath) +
          "\">Questions and answers</a> &middot; <a href=\"" + std::string(kHomePagePath) +
          "\">Parlumo</a></p>");
}

std::string FaqPage(const std::vector<OfferedPair>& pairs) {
  return Document(
      "Translation FAQ",
      "<h1>Questions and answers</h1>\n"
      "<h2>Who translates?</h2>\n<p>Machine translation engines on this computer: Apertium "
      "(rule-based, between English, Spanish, French, Portuguese and Italian; pairs "
      "without a direct engine go through Spanish) and the ding German-English dictionary "
      "with grammar rules (the everyday sense of a word, articles, adjective endings and "
      "verb forms that agree, common constructions; German word forms from the Hunspell "
      "dictionary; French goes through English). "
      "Nothing leaves this computer.</p>\n<h2>Which pairs?</h2>\n" +
          PairTable(pairs) +
          "\n<h2>Why is a word left as it was?</h2>\n<p>The engine does not know it; unknown "
          "words are kept so that names and numbers survive.</p>");
}

std::string VendorHomePage() {
  return Document("Parlumo",
                  "<h1>Parlumo</h1>\n<p>A small desktop translator that lives in the "
                  "notification area: mark text anywhere, press a hotkey, read the "
                  "translation.</p>\n<p>Newest version: " +
                      NewestVersionText() + ".</p>\n<p><a href=\"/\">Translation service</a></p>");
}

std::optional<std::string> UpdatePage(std::string_view fileName) {
  if (!fileName.ends_with(".html")) return std::nullopt;
  const std::string_view name = fileName.substr(0, fileName.size() - 5);
  const auto b = name.rfind('b');
  const auto dot = name.find('.');
  std::optional<int> major, minor, build;
  if (b != std::string_view::npos && dot != std::string_view::npos && dot < b) {
    major = ParseNumber(name.substr(0, dot));
    minor = ParseNumber(name.substr(dot + 1, b - dot - 1));
    build = ParseNumber(name.substr(b + 1));
  }
  const std::string newest = NewestVersionText();
  std::string body = "<h1>Parlumo updates</h1>\n";
  if (!major || !minor || !build) {
    body += "<p>The version of your Parlumo could not be recognised. The newest version is " +
            newest + ".</p>";
  } else {
    const std::string yours = VersionText(*major, *minor, *build);
    const auto theirs = std::tie(*major, *minor, *build);
    const auto ours = std::make_tuple(kVersionMajor, kVersionMinor, kVersionBuild);
    if (theirs == ours) {
      body += "<p>You have the newest version: " + yours + ". No update is needed.</p>";
    } else if (theirs < ours) {
      body += "<p>A newer version exists: " + newest + ". You have " + yours + ".</p>";
    } else {
      body += "<p>You have " + yours + ", which is newer than the newest published version, " +
              newest + ".</p>";
    }
  }
  body += "\n<p><a href=\"" + std::string(kHomePagePath) + "\">Parlumo home page</a></p>";
  return Document("Parlumo updates", body);
}

}  // namespace parlumo::service
