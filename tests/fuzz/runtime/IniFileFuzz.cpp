// Arbitrary file text through the INI reader and writer: no crash, and setting a
// key must read back as set and leave every other lookup as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/IniFile.h"

namespace {

// Names the fuzzer's text is likely to contain, plus ones it is not.
constexpr std::string_view kNames[] = {"A", "General", "k", "StartupType", "Proxy", "x"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // First byte picks the section, key and value to write; the rest is the file.
  const uint8_t pick = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view section = kNames[pick % 6];
  const std::string_view key = kNames[(pick / 6) % 6];
  const std::string value = (pick & 0x80) ? " \"spaced\" " : "v=1";

  parlumo::TIniDocument document(text);
  if (document.Text() != text) std::abort();  // parsing alone changes nothing

  std::string before[6][6];
  for (int s = 0; s < 6; ++s) {
    for (int k = 0; k < 6; ++k)
      before[s][k] = document.Get(kNames[s], kNames[k]).value_or("\x01");
  }
  document.Set(section, key, value);
  if (document.Get(section, key) != value) std::abort();

  // Reparsing the written text gives the same answers as the document itself.
  const parlumo::TIniDocument reparsed(document.Text());
  for (int s = 0; s < 6; ++s) {
    for (int k = 0; k < 6; ++k) {
      const auto now = reparsed.Get(kNames[s], kNames[k]).value_or("\x01");
      const bool target = kNames[s] == section && kNames[k] == key;
      if (!target && now != before[s][k]) std::abort();
      if (target && now != value) std::abort();
    }
  }
  (void)parlumo::ParseIniInteger(text);
  return 0;
}
