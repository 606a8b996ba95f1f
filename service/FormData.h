#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/Utf8.h"

namespace parlumo::service {

// Decodes one application/x-www-form-urlencoded value: "+" is a space (unless
// plusIsSpace is false, for a web address, where "+" is itself), "%XX" (either hex
// case) is that byte. A "%" not followed by two hex digits makes the value
// malformed: nothing is returned, so that a damaged request is refused rather than
// guessed at.
std::optional<std::string> PercentDecode(std::string_view value, bool plusIsSpace = true);

// The fields of a form body or query string, decoded. Pieces are separated by "&";
// empty pieces are skipped; a piece without "=" or with a bad percent sequence makes
// the whole form malformed (nothing returned). When a key repeats, the first value
// counts.
std::optional<std::map<std::string, std::string>> ParseForm(std::string_view body);

// The character sets a request may name for its text (ie) and its answer (oe).
enum class Charset {
  Utf8,         // also what "ASCII" and "US-ASCII" are read as: a superset of them
  Latin1,       // ISO-8859-1
  Windows1252,  // the Windows ANSI code page of Western Europe
};

// The charset of a name, compared without regard to case; an empty name is UTF-8.
// Unknown names give nothing.
std::optional<Charset> CharsetByName(std::string_view name);

// The name to put into a Content-Type header or meta element.
std::string_view CharsetName(Charset charset);

// Text in charset to UTF-8. UTF-8 input is checked: an invalid sequence is taken as
// Windows-1252 bytes (what the old program sends as "ASCII"), byte by byte.
std::string ToUtf8(std::string_view text, Charset charset);

// UTF-8 text to charset. A character the charset cannot hold becomes the HTML
// character reference "&#N;" when htmlReferences is true, else "?".
std::string FromUtf8(std::string_view utf8, Charset charset, bool htmlReferences);

// Escapes text for HTML element content and attribute values: & < > " '.
std::string HtmlEscape(std::string_view text);

// A byte count as a reader takes it in a message: "1 MiB", "64 KiB" or "1000 bytes"
// (the largest unit that holds it whole).
std::string SizeText(std::size_t bytes);

}  // namespace parlumo::service
