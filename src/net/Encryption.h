#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parlumo {

// The key the settings store scrambles the proxy password with, in both
// directions. Scrambling keeps the password from being read at a glance in the
// settings file; it is no protection against anyone who wants it.
inline constexpr uint16_t kPasswordScrambleKey = 31962;

// Scrambles the bytes of text: each byte is XORed with the high byte of a 16-bit
// feedback generator (k := ((k + output byte) * 52845 + 22719) mod 65536, starting
// at key), and the result is packed into Base64 alphabet characters by
// PackScrambled. n bytes give 4 * (n div 3) characters, plus 2 or 3 for a
// remainder of 1 or 2 bytes. Any length and any byte values are fine.
std::string ScramblePassword(std::string_view text, uint16_t key);

// The reverse of ScramblePassword with the same key. Text that no scrambling
// produced still gives a result: see UnpackScrambled.
std::string UnscramblePassword(std::string_view text, uint16_t key);

// The packing stage alone. Each group of 3 bytes forms v = b0 + b1*256 + b2*65536
// and gives alphabet[v mod 64], alphabet[(v shr 6) mod 64], ... low bits first
// (so "abc" packs to "hJ2Y", not Base64's "YWJj"); a last group of 1 or 2 bytes
// gives 2 or 3 characters. No "=" padding.
std::string PackScrambled(std::string_view bytes);

// The unpacking stage alone: groups of 4 characters give 3 bytes, a last group
// of 3 gives 2, of 2 gives 1, of 1 nothing. A character outside the alphabet
// counts as "A" (0).
std::string UnpackScrambled(std::string_view text);

}  // namespace parlumo
