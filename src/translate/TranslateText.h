#pragma once

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

// The default host of the translation service, the maker's and the provider's
// pages: the local service.
inline constexpr std::string_view kDefaultServiceHost = "127.0.0.1:8085";

// One translation exchange: posts text (UTF-8) with the pair of pairIndex (any
// index outside the table means "en|de") to the service at serviceHost
// ("host" or "host:port"), waits for the answer on the client's event loop and
// cuts the translation out of it with splitter. Any failure of the request is
// ConnectionFailed, with the client's reason as the detail. The caller checks
// beforehand that the text may be sent and guards against re-entry.
TranslateOutcome TranslateText(THttpClient& client, TParser& splitter, std::string_view text,
                               int pairIndex, std::string_view serviceHost,
                               const TProxySettings& proxy);

}  // namespace parlumo
