// Arbitrary text through UnscramblePassword, arbitrary bytes through a scramble
// and back: no crash, and the bytes come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/Encryption.h"
#include "net/MimeCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first two bytes are the key, the rest the text.
  const auto key = static_cast<uint16_t>(data[0] | data[1] << 8);
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  const std::string plain = parlumo::UnscramblePassword(text, key);
  // Every group of up to 4 characters gives one byte fewer, a lone one none.
  const size_t expected = text.size() / 4 * 3 + (text.size() % 4 > 1 ? text.size() % 4 - 1 : 0);
  if (plain.size() != expected) std::abort();

  const std::string scrambled = parlumo::ScramblePassword(text, key);
  if (scrambled.find_first_not_of(parlumo::kBase64Alphabet) != std::string::npos) std::abort();
  if (parlumo::UnscramblePassword(scrambled, key) != text) std::abort();
  return 0;
}
