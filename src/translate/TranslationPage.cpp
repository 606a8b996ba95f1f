#include "translate/TranslationPage.h"

#include "translate/HtmlText.h"
#include "translate/LanguagePairs.h"

namespace parlumo {

namespace {

bool StaysUnencoded(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*' ||
         c == '-' || c == '.' || c == '_';
}

}  // namespace

std::string FormUrlEncode(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size() * 3);
  for (const char c : value) {
    if (StaysUnencoded(c)) {
      out += c;
    } else if (c == ' ') {
      out += '+';
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string BuildRequestBody(std::string_view text, int pairIndex) {
  std::string body = "text=";
  body += FormUrlEncode(text);
  body += "&langpair=";
  body += FormUrlEncode(LanguagePairCode(pairIndex));
  body += "&ie=UTF-8&oe=UTF-8";
  return body;
}

TranslateOutcome ExtractTranslation(std::string_view page, TParser& parser) {
  if (page.find(kPageSignature) == std::string_view::npos) {
    return TranslateOutcome::Failed(TranslateFailure::NotTranslated);
  }

  parser.SetCaseSensitive(false);
  parser.SetDividingString(std::string(kResultStartMarker));
  parser.Parse(page);
  if (parser.Pieces().size() < 2) {
    return TranslateOutcome::Failed(TranslateFailure::UnknownDataFormat);
  }
  const std::string afterMarker = parser.Pieces()[1];

  parser.SetDividingString(std::string(kResultEndMarker));
  parser.Parse(afterMarker);
  if (parser.Pieces().empty()) {
    return TranslateOutcome::Failed(TranslateFailure::UnknownDataFormat);
  }
  return TranslateOutcome::Translated(HtmlToText(parser.Pieces()[0]));
}

TranslateOutcome ExtractTranslation(std::string_view page) {
  TParser parser;
  return ExtractTranslation(page, parser);
}

}  // namespace parlumo
