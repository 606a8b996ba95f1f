#include "net/MimeCodec.h"

#include <array>
#include <cstdint>

namespace parlumo {

namespace {

constexpr int kNotInAlphabet = -1;
constexpr int kPad = -2;

constexpr std::array<int, 256> MakeDecodeTable() {
  std::array<int, 256> table{};
  for (int& entry : table)
    entry = kNotInAlphabet;
  for (size_t i = 0; i < kBase64Alphabet.size(); ++i) {
    table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<int>(i);
  }
  table['='] = kPad;
  return table;
}

constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

}  // namespace

std::string EncodeBase64(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    text += kBase64Alphabet[(v >> 18) & 63];
    text += kBase64Alphabet[(v >> 12) & 63];
    text += kBase64Alphabet[(v >> 6) & 63];
    text += kBase64Alphabet[v & 63];
  }
  const size_t left = bytes.size() - i;
  if (left > 0) {
    uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left == 2) v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    text += kBase64Alphabet[(v >> 18) & 63];
    text += kBase64Alphabet[(v >> 12) & 63];
    text += left == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::string EncodeNtlmBase64(std::string_view bytes) {
  return EncodeBase64(bytes);
}

std::string DecodeNtlmBase64(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3 + 2);
  uint32_t v = 0;  // the group's characters so far, 6 bits each
  int held = 0;    // how many characters v holds (0 to 3)
  for (const char c : text) {
    const int index = kDecodeTable[static_cast<unsigned char>(c)];
    if (index == kPad) break;
    if (index == kNotInAlphabet) continue;
    v = v << 6 | static_cast<uint32_t>(index);
    if (++held == 4) {
      bytes += static_cast<char>((v >> 16) & 0xFF);
      bytes += static_cast<char>((v >> 8) & 0xFF);
      bytes += static_cast<char>(v & 0xFF);
      v = 0;
      held = 0;
    }
  }
  // A group ended by "=" or by the end of the text: its whole bytes.
  if (held >= 2) bytes += static_cast<char>((v >> (6 * held - 8)) & 0xFF);
  if (held == 3) bytes += static_cast<char>((v >> 2) & 0xFF);
  return bytes;
}

}  // namespace parlumo
