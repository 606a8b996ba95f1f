#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "net/HttpClient.h"
#include "translate/Parser.h"
#include "translate/TranslationPage.h"

namespace parlumo {

// The proxy values an exchange takes from the settings of the moment; an empty
// server means a direct connection.
struct TProxySettings {
  std::string server;
  std::string port;
  std::string username;
  std::string password;
};

// The local translation service's address: where parlumo-service listens by
// default, and the default host of the translation service, the maker's and the
// provider's pages.
inline constexpr std::string_view kDefaultServiceHostName = "127.0.0.1";
inline constexpr int kDefaultServicePort = 8085;

namespace detail {

constexpr std::size_t DecimalDigits(int value) {
  std::size_t digits = 1;
  for (; value >= 10; value /= 10)
    ++digits;
  return digits;
}

// "<kDefaultServiceHostName>:<kDefaultServicePort>", made at compile time so that the
// address is written once.
struct DefaultServiceHostText {
  static constexpr std::size_t kSize =
      kDefaultServiceHostName.size() + 1 + DecimalDigits(kDefaultServicePort);
  char text[kSize + 1] = {};

  constexpr DefaultServiceHostText() {
    std::size_t at = 0;
    for (const char c : kDefaultServiceHostName)
      text[at++] = c;
    text[at++] = ':';
    int port = kDefaultServicePort;
    for (std::size_t i = kSize; i > at; --i, port /= 10)
      text[i - 1] = static_cast<char>('0' + port % 10);
  }
};
inline constexpr DefaultServiceHostText kDefaultServiceHostText;

}  // namespace detail

// "127.0.0.1:8085"
inline constexpr std::string_view kDefaultServiceHost(detail::kDefaultServiceHostText.text,
                                                      detail::DefaultServiceHostText::kSize);

// One translation exchange: posts text (UTF-8) with the pair of pairIndex (any
// index outside the table means "en|de") to the service at serviceHost
// ("host" or "host:port"), waits for the answer on the client's event loop and
// cuts the translation out of it with splitter. A text whose request body
// (BuildRequestBody) is larger than kMaxRequestBodyBytes is TextTooLarge at
// once: nothing is sent and the client is left as it was. A 413 answer (from a
// service or proxy with a smaller limit) is TextTooLarge too; any other failure
// of the request is ConnectionFailed. Each carries its reason, in the client's
// words, as the detail. The caller decides beforehand whether the text is to be
// sent at all and guards against re-entry.
TranslateOutcome TranslateText(THttpClient& client, TParser& splitter, std::string_view text,
                               int pairIndex, std::string_view serviceHost,
                               const TProxySettings& proxy);

}  // namespace parlumo
