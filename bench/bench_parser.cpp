// TParser on a 1 MB answer page holding 10,000 dividers, in both case modes, beside
// a plain std::string_view::find loop over the same page. The ratios printed at the
// end are computed from the times measured in this run; they use CPU time, which a
// busy machine disturbs less than wall-clock time (the work is single-threaded).

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "RatioReporter.h"
#include "translate/Parser.h"

namespace {

constexpr std::size_t kPageSize = 1 << 20;
constexpr int kDividers = 10000;
constexpr std::string_view kDivider = "</div>";

// Text and tags of an ordinary page, with near-misses of the divider ("</di", "<div")
// so that the search has something to reject.
const std::string& Page() {
  static const std::string page = [] {
    const std::string filler =
        "<span class=\"t\">Der schnelle braune Fuchs springt über den faulen Hund, "
        "</dt><div id=x>und dann</di> weiter &amp; so fort</span> ";
    const std::size_t chunk = kPageSize / kDividers - kDivider.size();
    std::string text;
    text.reserve(kPageSize);
    for (int i = 0; i < kDividers; ++i) {
      for (std::size_t n = 0; n < chunk; ++n)
        text += filler[(n + static_cast<std::size_t>(i)) % filler.size()];
      text += kDivider;
    }
    while (text.size() < kPageSize)
      text += 'x';
    return text;
  }();
  return page;
}

void BM_FindLoop(benchmark::State& state) {
  const std::string_view page = Page();
  for (auto _ : state) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start < page.size()) {
      const std::size_t hit = page.find(kDivider, start);
      if (hit == std::string_view::npos) {
        pieces.push_back(page.substr(start));
        break;
      }
      pieces.push_back(page.substr(start, hit - start));
      start = hit + kDivider.size();
    }
    benchmark::DoNotOptimize(pieces.data());
    if (pieces.size() != kDividers + 1) state.SkipWithError("wrong piece count");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_TParser(benchmark::State& state) {
  const std::string& page = Page();
  parlumo::TParser parser;
  parser.SetDividingString(std::string(kDivider));
  parser.SetCaseSensitive(state.range(0) != 0);
  for (auto _ : state) {
    parser.Parse(page);
    benchmark::DoNotOptimize(parser.Pieces().data());
    if (parser.Pieces().size() != kDividers + 1) state.SkipWithError("wrong piece count");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

BENCHMARK(BM_FindLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TParser)->ArgName("CaseSensitive")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  using parlumo::bench::RatioReporter;
  return parlumo::bench::RunWithRatios(argc, argv, RatioReporter::Time::Cpu,
                                       {{"BM_TParser/CaseSensitive:1", "BM_FindLoop"},
                                        {"BM_TParser/CaseSensitive:0", "BM_FindLoop"}});
}
