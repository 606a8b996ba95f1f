#pragma once

#include <cstddef>
#include <string_view>

namespace parlumo::service {

// What is not language in running text and is copied unchanged into a translation.
enum class VerbatimKind {
  None,
  Url,         // "https://example.org/a?b", "www.debian.org"
  Email,       // "user@example.org"
  Path,        // "/etc/group", "~/.config", "./configure", "../x"
  Option,      // "--force", "-r"
  Identifier,  // "snake_case", "CamelCase", "dotted.name", "file.txt", "x86", "UTF-8"
  Version,     // "2.10.34", "v1.2"
  Acronym,     // "GNU", "GPG", "WAL", "MA"
};

struct Verbatim {
  VerbatimKind kind = VerbatimKind::None;
  std::size_t length = 0;  // bytes from `at`; 0 with None
  bool tried = false;      // a token starts at `at` and was read to its end
};

// The verbatim token that starts at text[at], if one does: `at` must start a token
// (the text's start, or white space or opening punctuation before it), and the token
// runs to the next white space or '<', without the punctuation that ends a sentence or
// closes a bracket or quote. `acronyms` is false for text written in capitals
// throughout, where a word in capitals is no acronym.
Verbatim FindVerbatim(std::string_view text, std::size_t at, bool acronyms = true);

// Whether most letters of the text are capitals (ASCII letters counted).
bool MostlyCapitals(std::string_view text);

}  // namespace parlumo::service
