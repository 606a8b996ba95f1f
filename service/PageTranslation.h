#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Engine.h"

namespace parlumo::service {

// Translates the visible text of an HTML page (UTF-8) and keeps its markup: text
// outside tags, comments and the contents of script, style and textarea elements is
// translated; character references in it are decoded first and the translation is
// escaped again; the white space around each piece of text stays. A base element
// for baseUrl is added to the head (unless the page has one) so relative links still
// work, and bannerHtml is put at the start of the body. Nothing when the engine fails.
std::optional<std::string> TranslateHtmlPage(std::string_view html, std::string_view baseUrl,
                                             std::string_view bannerHtml, Translator& translator);

// The character set a page declares: the charset parameter of its Content-Type, else
// the first charset= in its first 4 KiB (a meta element); empty when none.
std::string DeclaredCharset(std::string_view contentType, std::string_view html);

}  // namespace parlumo::service
