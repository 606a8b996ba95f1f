#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace parlumo {

// NTLM version 1 messages, connection-oriented, with both the LM and the NT
// response; no session security, no NTLM2 session response, no NTLMv2. Messages
// are byte strings; the header lines carry them Base64-encoded
// (EncodeNtlmBase64 / DecodeNtlmBase64).

using TNtlmChallengeBytes = std::array<uint8_t, 8>;
using TNtlmHash = std::array<uint8_t, 16>;
using TNtlmResponse = std::array<uint8_t, 24>;

// What a challenge message holds. The server and domain names are kept for
// reference; only the challenge goes into the answer.
struct TNtlmChallenge {
  // The 8 bytes at offset 24; zero when the message is too short to hold them.
  TNtlmChallengeBytes challenge{};
  uint32_t flags = 0;
  // True when the message carries the signature, type 2 and a whole challenge.
  // The answer is built either way (over zero bytes if need be): whether the
  // other side accepts it is for the other side to say.
  bool wellFormed = false;
  // Names as UTF-8. The target name is read as UTF-16LE when the flags say
  // Unicode, else taken as it is; the target-information names are UTF-16LE.
  std::string targetName;
  std::string serverName;  // target-information type 1
  std::string domainName;  // target-information type 2
};

// The negotiate message: 32 bytes, flags 0x00008207 (Unicode, OEM, request
// target, NTLM, always sign), no domain and no workstation.
std::string NtlmNegotiateMessage();

// Reads a challenge message. Every length and offset is checked against the
// message: a field that does not lie inside it is left empty (zero challenge,
// empty name), a target-information entry that runs past its list ends the list.
TNtlmChallenge DecodeNtlmChallenge(std::string_view message);

// The challenge of an authenticate header value such as "NTLM TlRMTVNTUAAC...":
// the Base64 text from the 6th character on, decoded. A value with no text after
// "NTLM " gives the empty record of DecodeNtlmChallenge("").
TNtlmChallenge DecodeNtlmChallengeValue(std::string_view headerValue);

// The authenticate message (flags 0x00008205, empty domain) answering challenge
// for user and password from workstation. Names are UTF-8 and go out as UTF-16LE
// (NtlmWideText); a field longer than a 16-bit length can count is cut to 65534
// bytes so that the message stays consistent.
std::string NtlmAuthenticateMessage(const TNtlmChallengeBytes& challenge, std::string_view user,
                                    std::string_view password, std::string_view workstation);

// The local host name as the system reports it; empty when it cannot be read.
std::string NtlmWorkstationName();

// The building blocks, exposed for tests.

// UTF-8 to UTF-16LE, the "wide" text of NTLM. A byte that does not start a valid
// UTF-8 sequence (a stray continuation byte, an overlong form, a surrogate, a
// value above U+10FFFF, a cut sequence) becomes one code unit of its own value,
// so Latin-1 text still gives its usual wide form.
std::string NtlmWideText(std::string_view utf8);

// The 56 bits of 7 bytes, most significant first, spread over the upper 7 bits
// of 8 bytes; the parity bit (bit 0) stays 0.
std::array<uint8_t, 8> NtlmDesKey(const uint8_t* key7);

// The LM hash: the password's bytes with ASCII letters upper-cased, cut or padded
// with zero bytes to 14, each half as a DES key encrypting "KGS!@#$%".
TNtlmHash NtlmLmHash(std::string_view password);

// The NT hash: MD4 of the password's wide text.
TNtlmHash NtlmNtHash(std::string_view password);

// A hash padded with 5 zero bytes to 21, cut into three DES keys, each encrypting
// the challenge.
TNtlmResponse NtlmResponse(const TNtlmHash& hash, const TNtlmChallengeBytes& challenge);

}  // namespace parlumo
