// Two checks on every input:
// 1. the whole input as an answer page through the page check, the extraction and
//    the HTML-to-text conversion: nothing may crash, and a success must yield text
//    that came out of a page carrying the signature;
// 2. the input split into a divider and a text, through TParser in both case modes,
//    compared with the plain reference model: any difference aborts.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ParserModel.h"
#include "translate/HtmlText.h"
#include "translate/Parser.h"
#include "translate/TranslationPage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace parlumo;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const TranslateOutcome outcome = ExtractTranslation(input);
  if (outcome.Succeeded() && input.find(kPageSignature) == std::string_view::npos) std::abort();
  if (!outcome.Succeeded() && !outcome.Text().empty()) std::abort();
  // Text without markup or references passes unchanged.
  if (input.find_first_of("<&") == std::string_view::npos && HtmlToText(input) != input) {
    std::abort();
  }

  // First byte: the divider's length (low 3 bits); the divider follows, then the text.
  if (size == 0) return 0;
  const std::size_t dividerLength = std::min<std::size_t>(data[0] & 7u, size - 1);
  const std::string_view divider = input.substr(1, dividerLength);
  const std::string_view text = input.substr(1 + dividerLength);
  for (const bool caseSensitive : {false, true}) {
    TParser parser;
    parser.SetDividingString(std::string(divider));
    parser.SetCaseSensitive(caseSensitive);
    parser.Parse(text);
    if (parser.Pieces() != test::ReferenceSplit(text, divider, caseSensitive)) std::abort();
  }
  return 0;
}
