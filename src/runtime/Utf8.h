#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlumo {

// Appends the UTF-8 form of code point cp; a surrogate or a value past U+10FFFF
// (which UTF-8 cannot carry) becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes the UTF-8 sequence at text[at]: its length, with its code point in cp,
// or 0 when the bytes there are no valid sequence (overlong forms, surrogates,
// values past U+10FFFF and cut sequences included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& cp);

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Latin-1 (ISO-8859-1) text in UTF-8: each byte is the code point of its value.
std::string Latin1ToUtf8(std::string_view text);

// The first maxChars characters of UTF-8 text: length limits count characters,
// and a cut never splits a sequence. A byte that starts no valid sequence counts
// as one character.
std::string CutUtf8Characters(std::string_view text, std::size_t maxChars);

}  // namespace parlumo
