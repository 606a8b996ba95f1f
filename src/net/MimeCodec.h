#pragma once

#include <string>
#include <string_view>

namespace parlumo {

// The Base64 alphabet; the password scrambling packs its bytes with it as well.
inline constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Standard Base64 (RFC 2045 alphabet, "=" padding, no line breaks) of the bytes,
// as the Basic authorization lines carry it.
std::string EncodeBase64(std::string_view bytes);

// The same encoding, for NTLM messages in the authorization header lines.
std::string EncodeNtlmBase64(std::string_view bytes);

// Decodes the Base64 text of an NTLM header value. Never fails; for text that is
// not clean Base64 it gives what can be read:
// - characters outside the alphabet and "=" (blanks, a CR, other stray bytes)
//   are skipped, as RFC 2045 asks of a decoder;
// - "=" ends the data: as the 3rd character of a group the group gives 1 byte,
//   as the 4th 2 bytes, earlier nothing; text after it is ignored;
// - a last group cut short gives the bytes it holds whole: 2 characters give 1
//   byte, 3 give 2, a single one gives nothing.
std::string DecodeNtlmBase64(std::string_view text);

}  // namespace parlumo
