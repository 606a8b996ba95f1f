#include "net/Encryption.h"

#include <algorithm>
#include <array>

#include "net/MimeCodec.h"

namespace parlumo {

namespace {

constexpr uint16_t kMultiplier = 52845;
constexpr uint16_t kIncrement = 22719;

constexpr std::array<uint8_t, 256> MakeIndexTable() {
  std::array<uint8_t, 256> table{};  // characters outside the alphabet stay 0
  for (size_t i = 0; i < kBase64Alphabet.size(); ++i) {
    table[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<uint8_t>(i);
  }
  return table;
}

constexpr std::array<uint8_t, 256> kIndexTable = MakeIndexTable();

uint16_t NextKey(uint16_t k, uint8_t scrambled) {
  // 32-bit arithmetic, cut to 16 bits: the generator works modulo 65536.
  return static_cast<uint16_t>((uint32_t{k} + scrambled) * kMultiplier + kIncrement);
}

}  // namespace

std::string PackScrambled(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() / 3 * 4 + 3);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t length = std::min<size_t>(3, bytes.size() - i);
    uint32_t v = 0;
    for (size_t j = 0; j < length; ++j) {
      v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + j])) << (8 * j);
    }
    for (size_t j = 0; j <= length; ++j)
      text += kBase64Alphabet[(v >> (6 * j)) & 63];
  }
  return text;
}

std::string UnpackScrambled(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3 + 2);
  for (size_t i = 0; i < text.size(); i += 4) {
    const size_t length = std::min<size_t>(4, text.size() - i);
    uint32_t v = 0;
    for (size_t j = 0; j < length; ++j) {
      v |= uint32_t{kIndexTable[static_cast<unsigned char>(text[i + j])]} << (6 * j);
    }
    // A group of one character holds only 6 bits: no whole byte.
    for (size_t j = 0; j + 1 < length; ++j)
      bytes += static_cast<char>((v >> (8 * j)) & 0xFF);
  }
  return bytes;
}

std::string ScramblePassword(std::string_view text, uint16_t key) {
  std::string scrambled;
  scrambled.reserve(text.size());
  uint16_t k = key;
  for (const char b : text) {
    const auto c = static_cast<uint8_t>(static_cast<unsigned char>(b) ^ (k >> 8));
    scrambled += static_cast<char>(c);
    k = NextKey(k, c);
  }
  return PackScrambled(scrambled);
}

std::string UnscramblePassword(std::string_view text, uint16_t key) {
  std::string plain = UnpackScrambled(text);
  uint16_t k = key;
  for (char& byte : plain) {
    const auto c = static_cast<uint8_t>(byte);
    byte = static_cast<char>(c ^ (k >> 8));
    k = NextKey(k, c);
  }
  return plain;
}

}  // namespace parlumo
