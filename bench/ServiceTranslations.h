#pragma once

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <string>
#include <string_view>

#include "translate/LanguagePairs.h"
#include "translate/TranslationPage.h"

namespace parlumo::bench {

// Measures the program's translation request to the service on port: one POST an
// iteration, each on a connection of its own as the program makes it. A first request,
// not measured, starts the pair's engine (and waits for a dictionary still loading).
inline void MeasureTranslations(benchmark::State& state, int port, std::string_view text,
                                std::string_view pair) {
  const std::string body = BuildRequestBody(text, LanguagePairIndex(pair));
  httplib::Client first("127.0.0.1", port);
  first.set_read_timeout(120, 0);
  first.Post("/translate_t", body, "application/x-www-form-urlencoded");
  for (auto _ : state) {
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(false);
    const auto res = client.Post("/translate_t", body, "application/x-www-form-urlencoded");
    if (!res || !ExtractTranslation(res->body).Succeeded()) {
      state.SkipWithError("no translation from the service");
      break;
    }
  }
}

}  // namespace parlumo::bench
