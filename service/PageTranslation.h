#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "Engine.h"

namespace parlumo::service {

// Translates the visible text of an HTML page (UTF-8) and keeps its markup, every byte
// of the page outside the translated text as it was. An HTML parser finds the text:
// text in comments, and inside script, style, textarea, code, pre, kbd, samp, tt, var
// (and the old xmp, listing, plaintext) stays as it is, and so does text inside an
// element with translate="no" or the class notranslate. translate="yes" inside a
// translate="no" turns translation back on (HTML's inheritance of the attribute);
// nothing turns it back on inside notranslate or those elements. Character references
// are decoded first and the translation is escaped again; the white space around each
// piece of text stays. A base element for baseUrl is added to the head (unless the
// page has one with an address) so relative links still work, and bannerHtml is put
// at the start of the body (a frameset page, which has none, gets no banner). Nothing
// when the engine fails or the page nests too deeply (NestsTooDeeply).
std::optional<std::string> TranslateHtmlPage(std::string_view html, std::string_view baseUrl,
                                             std::string_view bannerHtml, Translator& translator);

// How deep a page's elements may nest for TranslateHtmlPage. Real pages stay far
// below it; the parser's time grows with the square of the depth.
constexpr std::size_t kMaxPageNesting = 4096;

// Whether the elements of html may nest deeper than kMaxPageNesting (a bound from
// above, counted without the parser).
bool NestsTooDeeply(std::string_view html);

// The character set a page declares: the charset parameter of its Content-Type, else
// the first charset= in its first 4 KiB (a meta element); empty when none.
std::string DeclaredCharset(std::string_view contentType, std::string_view html);

}  // namespace parlumo::service
