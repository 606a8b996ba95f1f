// The page translation on every input, as a page:
// 1. nothing may crash, and every page the depth bound lets through is translated;
// 2. a translator that gives nothing back leaves the page's bytes in their order with
//    only text taken out: the result, without the one base and the one banner, is a
//    subsequence of the page.
// Any failure aborts.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PageTranslation.h"

namespace {

using parlumo::service::Translator;

class FuzzTranslator final : public Translator {
 public:
  explicit FuzzTranslator(bool empty) : empty_(empty) {}

  std::optional<std::vector<std::string>> Translate(
      const std::vector<std::string>& segments) override {
    std::vector<std::string> out;
    for (const auto& segment : segments) {
      std::string translated;
      if (!empty_) {
        translated = segment;
        for (char& c : translated)
          c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      }
      out.push_back(std::move(translated));
    }
    return out;
  }
  std::string Description() const override { return "fuzz"; }

 private:
  bool empty_;
};

bool IsSubsequence(std::string_view part, std::string_view whole) {
  std::size_t at = 0;
  for (const char c : part) {
    while (at < whole.size() && whole[at] != c)
      ++at;
    if (at == whole.size()) return false;
    ++at;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace parlumo::service;
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  const bool tooDeep = NestsTooDeeply(html);

  FuzzTranslator upper(false);
  const auto translated = TranslateHtmlPage(html, "http://h/", "<div>B</div>", upper);
  if (translated.has_value() == tooDeep) std::abort();

  // Marks the base and the banner with a byte the page does not have.
  if (tooDeep || html.find('\x01') != std::string_view::npos) return 0;
  const std::string base = "<base href=\"\x01\">";
  const std::string banner = "\x01\x01";
  FuzzTranslator empty(true);
  const auto emptied = TranslateHtmlPage(html, "\x01", banner, empty);
  if (!emptied) std::abort();
  std::string rest = *emptied;
  // A page with a base element of its own gets none.
  if (const auto baseAt = rest.find(base); baseAt != std::string::npos) {
    rest.erase(baseAt, base.size());
  }
  if (const auto bannerAt = rest.find(banner); bannerAt != std::string::npos) {
    rest.erase(bannerAt, banner.size());
  }
  if (rest.find('\x01') != std::string::npos) std::abort();
  if (!IsSubsequence(rest, html)) std::abort();
  return 0;
}
