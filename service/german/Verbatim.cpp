#include "Verbatim.h"

#include <algorithm>

#include "runtime/Ascii.h"

namespace parlumo::service {

namespace {

bool IsLower(char c) {
  return c >= 'a' && c <= 'z';
}
bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsAlnum(char c) {
  return IsLower(c) || IsUpper(c) || IsDigit(c);
}

// Punctuation that may stand right before a token.
bool OpensToken(std::string_view text, std::size_t at) {
  if (at == 0) return true;
  const char c = text[at - 1];
  if (IsAsciiSpace(c) || c == '(' || c == '[' || c == '{' || c == '"' || c == '\'' || c == '<' ||
      c == '>' || c == '=' || c == ',' || c == ';') {
    return true;
  }
  // “ „ « ‘ ‚ in UTF-8 end in these bytes after E2 80 / C2.
  if (at >= 3 && static_cast<unsigned char>(text[at - 3]) == 0xE2 &&
      static_cast<unsigned char>(text[at - 2]) == 0x80) {
    const auto last = static_cast<unsigned char>(text[at - 1]);
    return last == 0x9C || last == 0x9E || last == 0x98 || last == 0x9A;
  }
  return at >= 2 && static_cast<unsigned char>(text[at - 2]) == 0xC2 &&
         static_cast<unsigned char>(text[at - 1]) == 0xAB;
}

// The token's length without what closes a sentence, a bracket or a quote after it.
std::size_t WithoutClosingPunctuation(std::string_view token) {
  std::size_t end = token.size();
  while (end > 0) {
    const char c = token[end - 1];
    if (c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == ')' ||
        c == ']' || c == '}' || c == '"' || c == '\'' || c == '>') {
      --end;
      continue;
    }
    // ” “ ’ » (UTF-8).
    if (end >= 3 && static_cast<unsigned char>(token[end - 3]) == 0xE2 &&
        static_cast<unsigned char>(token[end - 2]) == 0x80 &&
        (static_cast<unsigned char>(token[end - 1]) == 0x9D ||
         static_cast<unsigned char>(token[end - 1]) == 0x9C ||
         static_cast<unsigned char>(token[end - 1]) == 0x99)) {
      end -= 3;
      continue;
    }
    if (end >= 2 && static_cast<unsigned char>(token[end - 2]) == 0xC2 &&
        static_cast<unsigned char>(token[end - 1]) == 0xBB) {
      end -= 2;
      continue;
    }
    break;
  }
  return end;
}

bool HasLetter(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return IsLower(c) || IsUpper(c); });
}

bool IsUrl(std::string_view token) {
  if (token.starts_with("www.") && token.size() > 4) return true;
  const auto scheme = token.find("://");
  if (scheme == std::string_view::npos || scheme == 0 || scheme + 3 >= token.size()) return false;
  return std::all_of(token.begin(), token.begin() + static_cast<std::ptrdiff_t>(scheme),
                     [](char c) { return IsAlnum(c) || c == '+' || c == '-' || c == '.'; });
}

bool IsEmail(std::string_view token) {
  const auto at = token.find('@');
  if (at == std::string_view::npos || at == 0 || token.find('@', at + 1) != std::string_view::npos)
    return false;
  const std::string_view domain = token.substr(at + 1);
  const auto dot = domain.find('.');
  return dot != std::string_view::npos && dot > 0 && dot + 1 < domain.size() &&
         HasLetter(token.substr(0, at));
}

bool IsPath(std::string_view token) {
  const bool rooted = token.starts_with('/') || token.starts_with("~/") ||
                      token.starts_with("./") || token.starts_with("../");
  // "/" alone, "//" and "/ 2" are no paths: a letter or digit must follow a slash.
  return rooted && token.size() > 1 && HasLetter(token) &&
         token.find_first_of("/") != std::string_view::npos;
}

bool IsOption(std::string_view token) {
  std::size_t dashes = 0;
  while (dashes < token.size() && token[dashes] == '-')
    ++dashes;
  if (dashes == 0 || dashes > 2 || dashes == token.size() || !IsAlnum(token[dashes])) return false;
  // "-r", "--force", "--max-time=5"; "-based" in running text is rarely at a token's
  // start, and a single dash takes one letter or a short cluster ("-rf").
  if (dashes == 1 && token.size() > 4) return false;
  // "--prefix=/usr": the value after "=" may be anything but a blank.
  const auto equals = token.find('=');
  const std::string_view name = token.substr(
      dashes, equals == std::string_view::npos ? std::string_view::npos : equals - dashes);
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return IsAlnum(c) || c == '-' || c == '_'; });
}

// Only the characters of code and numbers, no letters beyond ASCII.
bool CodeCharacters(std::string_view token) {
  return std::all_of(token.begin(), token.end(), [](char c) {
    return IsAlnum(c) || c == '_' || c == '.' || c == '-' || c == '+' || c == '#';
  });
}

VerbatimKind WordKind(std::string_view token, bool acronyms) {
  if (!CodeCharacters(token) || token.empty()) return VerbatimKind::None;
  const bool letter = HasLetter(token);
  const bool digit = std::any_of(token.begin(), token.end(), IsDigit);
  // Versions: digits and dots ("2.10.34"), or a "v" before them ("v1.2").
  const std::string_view number = token.starts_with('v') ? token.substr(1) : token;
  if (!number.empty() && IsDigit(number[0]) && number.find('.') != std::string_view::npos &&
      std::all_of(number.begin(), number.end(), [](char c) { return IsDigit(c) || c == '.'; })) {
    return VerbatimKind::Version;
  }
  if (!letter) return VerbatimKind::None;
  if (token.find('_') != std::string_view::npos) return VerbatimKind::Identifier;
  // A hyphenated word is code only when each part is ("UTF-8", "x86-64"); "24-hour"
  // and "MP3-Player" have words in them.
  if (const auto hyphen = token.find('-'); hyphen != std::string_view::npos && hyphen > 0) {
    for (std::size_t start = 0; start <= token.size();) {
      const std::size_t end = std::min(token.find('-', start), token.size());
      const std::string_view piece = token.substr(start, end - start);
      const bool digits = !piece.empty() && std::all_of(piece.begin(), piece.end(), IsDigit);
      if (!digits && WordKind(piece, acronyms) == VerbatimKind::None) return VerbatimKind::None;
      start = end + 1;
    }
    return VerbatimKind::Identifier;
  }
  if (digit) return VerbatimKind::Identifier;
  // dotted.names: two parts or more, one of them longer than a letter ("e.g." is an
  // abbreviation).
  const auto dot = token.find('.');
  if (dot != std::string_view::npos && dot > 0 && dot + 1 < token.size()) {
    std::size_t longest = 0, run = 0;
    for (const char c : token) {
      run = c == '.' ? 0 : run + 1;
      longest = std::max(longest, run);
    }
    if (longest > 1) return VerbatimKind::Identifier;
  }
  // CamelCase: a capital after a small letter inside the word ("LibreOffice", "iPhone").
  for (std::size_t i = 1; i < token.size(); ++i) {
    if (IsLower(token[i - 1]) && IsUpper(token[i])) return VerbatimKind::Identifier;
  }
  if (acronyms) {
    std::size_t capitals = 0;
    bool small = false;
    for (const char c : token) {
      capitals += IsUpper(c) ? 1 : 0;
      small = small || IsLower(c);
    }
    if (!small && capitals >= 2) return VerbatimKind::Acronym;
  }
  return VerbatimKind::None;
}

}  // namespace

Verbatim FindVerbatim(std::string_view text, std::size_t at, bool acronyms) {
  if (at >= text.size() || IsAsciiSpace(text[at]) || !OpensToken(text, at)) return {};
  std::size_t end = at;
  // A tag after it ("/etc/group</tt>") is not part of it, nor a closing quote and what
  // follows it ("/etc/hosts"-Datei).
  while (end < text.size() && !IsAsciiSpace(text[end]) && text[end] != '<' && text[end] != '"')
    ++end;
  std::string_view token = text.substr(at, end - at);
  token = token.substr(0, WithoutClosingPunctuation(token));
  if (token.empty()) return {.tried = true};
  VerbatimKind kind = VerbatimKind::None;
  if (IsUrl(token)) {
    kind = VerbatimKind::Url;
  } else if (IsEmail(token)) {
    kind = VerbatimKind::Email;
  } else if (IsPath(token)) {
    kind = VerbatimKind::Path;
  } else if (IsOption(token)) {
    kind = VerbatimKind::Option;
  } else {
    kind = WordKind(token, acronyms);
  }
  return {kind, kind == VerbatimKind::None ? 0 : token.size(), true};
}

bool MostlyCapitals(std::string_view text) {
  std::size_t upper = 0, lower = 0;
  for (const char c : text) {
    upper += IsUpper(c) ? 1 : 0;
    lower += IsLower(c) ? 1 : 0;
  }
  return upper > lower;
}

}  // namespace parlumo::service
