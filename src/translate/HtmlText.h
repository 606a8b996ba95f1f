#pragma once

#include <string>
#include <string_view>

namespace parlumo {

// Turns a fragment of an HTML page into the plain text a reader sees in it:
// - a line-break tag (<br>, <br/>, <BR >, </br>, with any attributes) becomes "\n";
// - every other tag, and every comment <!-- ... -->, is dropped. A "<" that does
//   not open a tag (not followed by a letter, "/" + letter, "!" or "?"), or whose
//   tag is never closed by ">", stays as text;
// - character references are decoded to UTF-8: the named entities of HTML 4 (the
//   Latin-1 letters and symbols, the Greek letters, the mathematical and special
//   symbols such as &euro; &ndash; &hellip;) and &apos;, decimal &#NNN; and
//   hexadecimal &#xHH;. A numeric reference to 0, to a surrogate or beyond U+10FFFF
//   gives U+FFFD. An unknown name, or a reference without its closing ";", stays as
//   it is.
// Everything else, white space included, is kept byte for byte. The result is never
// decoded a second time, so "&amp;lt;" gives "&lt;".
std::string HtmlToText(std::string_view html);

}  // namespace parlumo
