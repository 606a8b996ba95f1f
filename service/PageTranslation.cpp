#include "PageTranslation.h"

#include <vector>

#include "FormData.h"
#include "runtime/Ascii.h"
#include "translate/HtmlText.h"

namespace parlumo::service {

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The lower-case name of the tag starting at html[lt] ("<name" or "</name").
std::string TagName(std::string_view html, std::size_t lt) {
  std::size_t i = lt + 1;
  if (i < html.size() && html[i] == '/') ++i;
  std::string name;
  while (i < html.size() && (IsLetter(html[i]) || (html[i] >= '0' && html[i] <= '9'))) {
    name += AsciiLower(html[i]);
    ++i;
  }
  return name;
}

// End of the tag starting at lt (one past its ">", quoted attribute values skipped),
// or npos.
std::size_t TagEnd(std::string_view html, std::size_t lt) {
  char quote = 0;
  for (std::size_t i = lt + 1; i < html.size(); ++i) {
    const char c = html[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

bool OpensTag(std::string_view html, std::size_t i) {
  if (i + 1 >= html.size()) return false;
  const char next = html[i + 1];
  return IsLetter(next) || next == '!' || next == '?' ||
         (next == '/' && i + 2 < html.size() && IsLetter(html[i + 2]));
}

struct TextRun {
  std::size_t begin;
  std::size_t end;
};

std::string CollapseSpace(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (IsAsciiSpace(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

}  // namespace

std::string DeclaredCharset(std::string_view contentType, std::string_view html) {
  const auto valueAfter = [](std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == ' '))
      ++i;
    std::string value;
    while (i < text.size() && (IsLetter(text[i]) || (text[i] >= '0' && text[i] <= '9') ||
                               text[i] == '-' || text[i] == '_')) {
      value += text[i++];
    }
    return value;
  };
  auto at = FindNoCase(contentType, "charset=");
  if (at != std::string_view::npos) return valueAfter(contentType, at + 8);
  const std::string_view head = html.substr(0, 4096);
  at = FindNoCase(head, "charset=");
  if (at != std::string_view::npos) return valueAfter(head, at + 8);
  return {};
}

std::optional<std::string> TranslateHtmlPage(std::string_view html, std::string_view baseUrl,
                                             std::string_view bannerHtml, Translator& translator) {
  std::vector<TextRun> runs;
  std::size_t headEnd = std::string_view::npos;
  std::size_t bodyEnd = std::string_view::npos;
  bool hasBase = false;
  std::size_t textStart = 0;
  std::size_t i = 0;
  const auto endText = [&](std::size_t at) {
    if (at > textStart) runs.push_back({textStart, at});
  };
  while (i < html.size()) {
    if (html[i] != '<' || !OpensTag(html, i)) {
      ++i;
      continue;
    }
    endText(i);
    if (html.substr(i, 4) == "<!--") {
      const auto close = html.find("-->", i + 4);
      i = close == std::string_view::npos ? html.size() : close + 3;
      textStart = i;
      continue;
    }
    const auto end = TagEnd(html, i);
    if (end == std::string_view::npos) {
      // An unclosed tag: the rest is markup, not text.
      textStart = i = html.size();
      break;
    }
    const std::string name = TagName(html, i);
    const bool closing = html[i + 1] == '/';
    i = end;
    textStart = i;
    if (closing) continue;
    if (name == "head" && headEnd == std::string_view::npos) headEnd = end;
    if (name == "body" && bodyEnd == std::string_view::npos) bodyEnd = end;
    if (name == "base") hasBase = true;
    // Their content is not text to translate (a title's is).
    if (name == "script" || name == "style" || name == "textarea") {
      const auto close = FindNoCase(html, "</" + name, i);
      i = close == std::string_view::npos ? html.size() : close;
      textStart = i;
    }
  }
  endText(html.size());

  // The visible text of each run, entities decoded and white space collapsed.
  std::vector<std::string> segments;
  std::vector<std::size_t> runOfSegment;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    std::string text =
        CollapseSpace(HtmlToText(html.substr(runs[r].begin, runs[r].end - runs[r].begin)));
    if (text.empty()) continue;
    segments.push_back(std::move(text));
    runOfSegment.push_back(r);
  }
  auto translated = translator.Translate(segments);
  if (!translated || translated->size() != segments.size()) return std::nullopt;

  std::vector<std::string> replacement(runs.size());
  std::vector<bool> replaced(runs.size(), false);
  for (std::size_t s = 0; s < segments.size(); ++s) {
    const TextRun& run = runs[runOfSegment[s]];
    const std::string_view original = html.substr(run.begin, run.end - run.begin);
    const auto first = original.find_first_not_of(" \t\r\n\f");
    const auto last = original.find_last_not_of(" \t\r\n\f");
    replacement[runOfSegment[s]] = std::string(original.substr(0, first)) +
                                   HtmlEscape((*translated)[s]) +
                                   std::string(original.substr(last + 1));
    replaced[runOfSegment[s]] = true;
  }

  std::string base;
  if (!hasBase) base = "<base href=\"" + HtmlEscape(baseUrl) + "\">";
  std::string out;
  out.reserve(html.size() + bannerHtml.size() + base.size() + 64);
  // Without a head (or body) element the base (or banner) goes first.
  bool baseDone = headEnd == std::string_view::npos;
  bool bannerDone = bodyEnd == std::string_view::npos;
  if (baseDone) out += base;
  if (bannerDone) out += bannerHtml;
  std::size_t copied = 0;
  const auto copyTo = [&](std::size_t at) {
    if (at > copied) out += html.substr(copied, at - copied);
    copied = at;
  };
  for (std::size_t r = 0; r <= runs.size(); ++r) {
    const std::size_t at = r < runs.size() ? runs[r].begin : html.size();
    // Insertions that fall before this run.
    if (!baseDone && headEnd <= at) {
      copyTo(headEnd);
      out += base;
      baseDone = true;
    }
    if (!bannerDone && bodyEnd <= at) {
      copyTo(bodyEnd);
      out += bannerHtml;
      bannerDone = true;
    }
    if (r == runs.size()) break;
    copyTo(runs[r].begin);
    if (replaced[r]) {
      out += replacement[r];
      copied = runs[r].end;
    }
  }
  copyTo(html.size());
  return out;
}

}  // namespace parlumo::service
