#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "translate/Parser.h"

namespace parlumo {

// Fixed values of the translation exchange: a form POST to the service's
// kTranslatePath, answered with an HTML page out of which the text is cut.
inline constexpr std::string_view kTranslatePath = "/translate_t";
inline constexpr std::string_view kTranslateAgent =
    "Mozilla/5.0 (compatible; MSIE 6.0; Windows NT 5.1)";
// The service's translation of a web page: GET kPageTranslatePath?u=<address>&langpair=<pair>.
inline constexpr std::string_view kPageTranslatePath = "/translate";
// The provider's page about the language tools; every result page links to it.
inline constexpr std::string_view kLanguageToolsPath = "/help/faq_translation.html";
// Every result page of the service carries this (the tail of kLanguageToolsPath); a
// page without it is some other page (an error page of the service or of a proxy) and
// holds no translation.
inline constexpr std::string_view kPageSignature = kLanguageToolsPath.substr(5);
static_assert(kPageSignature == "/faq_translation.html");
// The program's pages on the maker's site: its home page, and the update page of a
// version under kUpdatesPath ("<version>b<build>.html").
inline constexpr std::string_view kHomePagePath = "/tools/parlumo/";
inline constexpr std::string_view kUpdatesPath = "/tools/parlumo/updates/";
static_assert(kUpdatesPath.starts_with(kHomePagePath));
// The translated text stands between the first start marker and the next end marker.
inline constexpr std::string_view kResultStartMarker = "id=result_box dir=\"ltr\">";
inline constexpr std::string_view kResultEndMarker = "</div>";
// The largest request body the local service takes; it answers a larger one with
// 413 (Payload Too Large) and translates nothing. The translation exchange
// sends none larger (see TranslateText).
inline constexpr std::size_t kMaxRequestBodyBytes = std::size_t{1} << 20;

// Why an exchange gave no translation.
enum class TranslateFailure {
  ConnectionFailed,   // the HTTP request failed
  NotTranslated,      // the answer is not the service's result page
  UnknownDataFormat,  // a result page, but the text cannot be cut out of it
  TextTooLarge,       // the request is larger than the service takes (refused unsent, or 413)
};

// The outcome of one exchange: the translated text (possibly empty) or a failure.
class TranslateOutcome {
 public:
  static TranslateOutcome Translated(std::string text) {
    return TranslateOutcome(std::move(text), std::nullopt);
  }
  // detail: why, in the client's words (for ConnectionFailed, e.g. "Connection
  // refused (Error #10061)"); empty when there is nothing to add.
  static TranslateOutcome Failed(TranslateFailure failure, std::string detail = {}) {
    TranslateOutcome outcome({}, failure);
    outcome.detail_ = std::move(detail);
    return outcome;
  }

  bool Succeeded() const { return !failure_.has_value(); }
  // The translated text; empty after a failure.
  const std::string& Text() const { return text_; }
  // The failure; nothing after success.
  std::optional<TranslateFailure> Failure() const { return failure_; }
  const std::string& Detail() const { return detail_; }

 private:
  TranslateOutcome(std::string text, std::optional<TranslateFailure> failure)
      : text_(std::move(text)), failure_(failure) {}

  std::string text_;
  std::optional<TranslateFailure> failure_;
  std::string detail_;
};

// Encodes value as application/x-www-form-urlencoded: ASCII letters, digits and
// "*-._" stay, a space becomes "+", every other byte (line breaks and each byte of a
// UTF-8 sequence included) becomes "%XX" with upper-case hex digits.
std::string FormUrlEncode(std::string_view value);

// The request body for translating text (UTF-8) with the pair of pairIndex (any
// index outside the pair table means "en|de"): both values form-encoded, and the
// body declares UTF-8 for the text sent and the page wanted back. For a&b and pair 0:
// text=a%26b&langpair=en%7Cde&ie=UTF-8&oe=UTF-8
std::string BuildRequestBody(std::string_view text, int pairIndex);

// Checks the answer page of the service and cuts the translation out of it:
// - a page that does not contain kPageSignature (exact case) is NotTranslated;
// - otherwise parser, made case-insensitive, splits the page on the start marker and
//   takes piece 1, then splits that on the end marker and takes piece 0; a missing
//   piece is UnknownDataFormat (no start marker, two start markers in a row, or the
//   marker ends the page);
// - the piece is then turned into plain text with HtmlToText (tags dropped, line
//   breaks kept, entities decoded); white space is not trimmed.
// Both decisions are made on the raw page. parser is left with the end marker as its
// divider and the pieces of the last split.
TranslateOutcome ExtractTranslation(std::string_view page, TParser& parser);

// The same with a splitter of its own.
TranslateOutcome ExtractTranslation(std::string_view page);

}  // namespace parlumo
