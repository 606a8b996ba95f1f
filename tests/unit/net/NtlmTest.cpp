#include "net/Ntlm.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <string>

#include "net/MimeCodec.h"

namespace parlumo {
namespace {

using namespace std::string_literals;

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    hex += kDigits[static_cast<unsigned char>(c) >> 4];
    hex += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

template <size_t N>
std::string Hex(const std::array<uint8_t, N>& bytes) {
  return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), N));
}

TNtlmChallengeBytes Challenge(uint64_t bigEndian) {
  TNtlmChallengeBytes challenge{};
  for (int i = 0; i < 8; ++i)
    challenge[i] = static_cast<uint8_t>(bigEndian >> (56 - 8 * i));
  return challenge;
}

uint16_t U16(std::string_view m, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(m[at]) |
                               static_cast<unsigned char>(m[at + 1]) << 8);
}

uint32_t U32(std::string_view m, size_t at) {
  return U16(m, at) | uint32_t{U16(m, at + 2)} << 16;
}

struct ResponseCase {
  const char* source;
  std::string password;
  uint64_t challenge;
  const char* lmHash;
  const char* ntHash;
  const char* lmResponse;
  const char* ntResponse;
};

// Where the values come from:
// - "published": the widely published NTLMv1 example (user "user", password
//   "SecREt01", challenge 0x0123456789abcdef);
// - "MS-NLMP": Microsoft's NTLMv1 test values (password "Password");
// - "openssl": computed with `openssl enc -des-ecb -nopad -provider legacy` and
//   `openssl md4 -provider legacy`, the keys spread from 7 to 8 bytes outside our
//   code and the wide text made with `iconv -t UTF-16LE`.
// clang-format off
const ResponseCase kResponseCases[] = {
    {"published", "SecREt01", 0x0123456789abcdef,
     "ff3750bcc2b22412c2265b23734e0dac", "cd06ca7c7e10c99b1d33b7485a2ed808",
     "c337cd5cbd44fc9782a667af6d427c6de67c20c2d3e77c56",
     "25a98c1c31e81847466b29b2df4680f39958fb8c213a9cc6"},
    {"MS-NLMP", "Password", 0x0123456789abcdef,
     "e52cac67419a9a224a3b108f3fa6cb6d", "a4f49c406510bdcab6824ee7c30fd852",
     "98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13",
     "67c43011f30298a2ad35ece64f16331c44bdbed927841f94"},
    // Empty password: LM of 14 zero bytes, NT hash = MD4 of nothing. Both DES
    // keys of the LM hash are weak keys.
    {"openssl", "", 0x0123456789abcdef,
     "aad3b435b51404eeaad3b435b51404ee", "31d6cfe0d16ae931b73c59d7e0c089c0",
     "bada4716c630d691180e163fbdd87cde5f3231384d879388",
     "3a2eb2b1b13b01b8491ab00c070dd7e1da0b98040b02c03f"},
    {"openssl", "SecREt01", 0,
     "ff3750bcc2b22412c2265b23734e0dac", "cd06ca7c7e10c99b1d33b7485a2ed808",
     "b9030c062439f3688f501a676b6c6a8dc3391069bae925a1",
     "36df6986b7ffe5bf16c38ec046836786b011325db15c11f0"},
    // Longer than 14 bytes: the LM side sees only "LONGPASSWORD12", the NT side
    // every byte (compare the next case).
    {"openssl", "LongPassword12345", 0x1122334455667788,
     "d171de7eff6a9f31914a56c2aa8efaac", "3a90fc257550a2bb72fd41b86b76d8dd",
     "32caf0a623dd05765effe391b62705dd98edb41989d0ab9f",
     "6a65132be7ccd51fb8157b5d1b2d0aecb21d45f42929283c"},
    {"openssl", "LongPassword12", 0x1122334455667788,
     "d171de7eff6a9f31914a56c2aa8efaac", "3ea6e364c28815bc23e45476d44ae06b",
     "32caf0a623dd05765effe391b62705dd98edb41989d0ab9f",
     "d0a210c465684dba27ad5d18226a22656999e70ca70a9025"},
    // UTF-8 "Pässwort": NT hash over UTF-16LE 50 00 e4 00 ...; LM over the bytes.
    {"openssl", "P\xc3\xa4sswort", 0x1122334455667788,
     "a6c024ef91d590b25f034d624633dbf9", "38f1144cb34e6cf73b31e14a372595fd",
     "69ea0f5b05eff1ba5bf6943745b99928e62359c6fd17fa11",
     "d711f4e720b613fe5401640dce4e5f8246d6206662d429fb"},
    // "a" + U+1F511: a surrogate pair in the wide text.
    {"openssl", "a\xf0\x9f\x94\x91", 0x1122334455667788,
     "b98f1d69a9c3ffe4aad3b435b51404ee", "0fa4cf91b50cfa7a27c3245f5e1265a4",
     "7278467f6d242dd271417edea46e2e5c2f85252cc731bb25",
     "0a2195e2297403883deeb2ca74b1ad708e6c837dea01f7b9"},
    // Not UTF-8 ("P\xe4ss", Latin-1): one code unit per byte, 50 00 e4 00 73 00 73 00.
    {"openssl", "P\xe4ss", 0x1122334455667788,
     "65596e36619a2de5aad3b435b51404ee", "81ae17f1f5782d07ba83a66708ef48f5",
     "ff76fed834136e3899c8dfb6e4778f642f85252cc731bb25",
     "642fd53b659b20999d5103cfdb83d24d2dfa3fe012a497d3"},
};
// clang-format on

TEST(NtlmTest, ComputesHashesAndResponses) {
  for (const auto& c : kResponseCases) {
    SCOPED_TRACE(c.source + " "s + c.password);
    const TNtlmHash lm = NtlmLmHash(c.password);
    const TNtlmHash nt = NtlmNtHash(c.password);
    EXPECT_EQ(Hex(lm), c.lmHash);
    EXPECT_EQ(Hex(nt), c.ntHash);
    EXPECT_EQ(Hex(NtlmResponse(lm, Challenge(c.challenge))), c.lmResponse);
    EXPECT_EQ(Hex(NtlmResponse(nt, Challenge(c.challenge))), c.ntResponse);
  }
}

TEST(NtlmTest, LmHashUpperCasesAsciiLettersOnly) {
  EXPECT_EQ(NtlmLmHash("secret01"), NtlmLmHash("SECRET01"));
  EXPECT_EQ(NtlmLmHash("SecREt01"), NtlmLmHash("SECRET01"));
  EXPECT_NE(NtlmLmHash("\xe4"), NtlmLmHash("\xc4"));  // Latin-1 ä and Ä stay as they are
}

TEST(NtlmTest, SpreadsSevenByteKeysOverEightBytes) {
  // Worked by hand: 56 bits, 7 at a time, into the upper bits; bit 0 stays 0.
  const uint8_t ones[7] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  EXPECT_EQ(Hex(NtlmDesKey(ones)), "fefefefefefefefe");
  const uint8_t counting[7] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd};
  EXPECT_EQ(Hex(NtlmDesKey(counting)), "0090d0ac784cae9a");
  const uint8_t zero[7] = {};
  EXPECT_EQ(Hex(NtlmDesKey(zero)), "0000000000000000");
}

TEST(NtlmTest, WideTextIsUtf16LittleEndian) {
  const struct {
    std::string utf8;
    const char* wide;
  } cases[] = {
      {"", ""},
      {"user", "7500730065007200"},
      // Valid UTF-8 (expected values from iconv -t UTF-16LE).
      {"J\xc3\xbcrgen", "4a00fc007200670065006e00"},
      {"\xe2\x82\xac", "ac20"},
      {"a\xf0\x9f\x94\x91", "61003dd811dd"},
      // Not UTF-8: each offending byte is a code unit of its own.
      {"\xe4", "e400"},
      {"\xc3", "c300"},                          // cut sequence
      {"\xc3x", "c3007800"},                     // lead byte without continuation
      {"\x80", "8000"},                          // stray continuation byte
      {"\xc0\xaf", "c000af00"},                  // overlong "/"
      {"\xed\xa0\x80", "ed00a0008000"},          // encoded surrogate
      {"\xf4\x90\x80\x80", "f400900080008000"},  // above U+10FFFF
      {"\xe2\x82", "e2008200"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Hex(NtlmWideText(c.utf8)), c.wide) << Hex(c.utf8);
}

TEST(NtlmTest, NegotiateMessageIsFixed) {
  EXPECT_EQ(Hex(NtlmNegotiateMessage()),
            "4e544c4d53535000"    // "NTLMSSP\0"
            "01000000"            // type 1
            "07820000"            // flags 0x00008207
            "0000000000000000"    // domain
            "0000000000000000");  // workstation
}

TEST(NtlmTest, AuthenticateMessageLayout) {
  const std::string m =
      NtlmAuthenticateMessage(Challenge(0x0123456789abcdef), "user", "SecREt01", "WS");
  const size_t n = 4;
  const size_t w = 2;
  const size_t lmOffset = 64 + 2 * n + 2 * w;
  ASSERT_EQ(m.size(), lmOffset + 48);
  EXPECT_EQ(m.substr(0, 8), "NTLMSSP\0"s);
  EXPECT_EQ(U32(m, 8), 3u);
  // LM and NT response buffers: length, maximum length, offset.
  EXPECT_EQ(U16(m, 12), 24);
  EXPECT_EQ(U16(m, 14), 24);
  EXPECT_EQ(U32(m, 16), lmOffset);
  EXPECT_EQ(U16(m, 20), 24);
  EXPECT_EQ(U16(m, 22), 24);
  EXPECT_EQ(U32(m, 24), lmOffset + 24);
  // Domain: empty, at 64. User at 64, workstation after it.
  EXPECT_EQ(Hex(m.substr(28, 8)), "0000000040000000");
  EXPECT_EQ(Hex(m.substr(36, 8)), "0800080040000000");
  EXPECT_EQ(Hex(m.substr(44, 8)), "0400040048000000");
  EXPECT_EQ(Hex(m.substr(52, 8)), "0000000000000000");  // session key
  EXPECT_EQ(U32(m, 60), 0x00008205u);
  EXPECT_EQ(m.substr(64, 12), "u\0s\0e\0r\0W\0S\0"s);
  EXPECT_EQ(Hex(m.substr(lmOffset, 24)), "c337cd5cbd44fc9782a667af6d427c6de67c20c2d3e77c56");
  EXPECT_EQ(Hex(m.substr(lmOffset + 24)), "25a98c1c31e81847466b29b2df4680f39958fb8c213a9cc6");
}

TEST(NtlmTest, AuthenticateMessageCountsUtf16CodeUnits) {
  // "Jürgen" is 7 UTF-8 bytes but 6 UTF-16 code units: 12 bytes in the message.
  const std::string m = NtlmAuthenticateMessage({}, "J\xc3\xbcrgen", "x", "");
  EXPECT_EQ(U16(m, 36), 12);
  EXPECT_EQ(U16(m, 44), 0);
  EXPECT_EQ(U32(m, 48), 64u + 12);
  EXPECT_EQ(U32(m, 16), 64u + 12);
  EXPECT_EQ(Hex(m.substr(64, 12)), "4a00fc007200670065006e00");
  EXPECT_EQ(m.size(), 64u + 12 + 48);
}

TEST(NtlmTest, OverlongNamesAreCutToWhatTheLengthFieldHolds) {
  const std::string user(40000, 'u');  // 80000 bytes wide
  const std::string m = NtlmAuthenticateMessage({}, user, "pw", "WS");
  EXPECT_EQ(U16(m, 36), 65534);
  EXPECT_EQ(U32(m, 48), 64u + 65534);
  EXPECT_EQ(U16(m, 44), 4);
  EXPECT_EQ(U32(m, 16), 64u + 65534 + 4);
  EXPECT_EQ(m.size(), 64u + 65534 + 4 + 48);
}

// Eric Glass's published NTLM challenge example: target "DOMAIN", challenge
// 0x0123456789abcdef, target information with domain "DOMAIN", server "SERVER"
// and the DNS names "domain.com", "server.domain.com".
constexpr std::string_view kPublishedChallenge =
    "TlRMTVNTUAACAAAADAAMADAAAAABAoEAASNFZ4mrze8AAAAAAAAAAGIAYgA8AAAARABPAE0AQQBJAE4AAgAMAEQA"
    "TwBNAEEASQBOAAEADABTAEUAUgBWAEUAUgAEABQAZABvAG0AYQBpAG4ALgBjAG8AbQADACIAcwBlAHIAdgBlAHIA"
    "LgBkAG8AbQBhAGkAbgAuAGMAbwBtAAAAAAA=";

TEST(NtlmTest, DecodesPublishedChallenge) {
  const TNtlmChallenge c = DecodeNtlmChallengeValue("NTLM "s + std::string(kPublishedChallenge));
  EXPECT_TRUE(c.wellFormed);
  EXPECT_EQ(Hex(c.challenge), "0123456789abcdef");
  EXPECT_EQ(c.flags, 0x00810201u);
  EXPECT_EQ(c.targetName, "DOMAIN");
  EXPECT_EQ(c.serverName, "SERVER");
  EXPECT_EQ(c.domainName, "DOMAIN");
}

TEST(NtlmTest, EmptyChallengeTextGivesZeroChallenge) {
  for (const char* value : {"NTLM", "NTLM ", ""}) {
    const TNtlmChallenge c = DecodeNtlmChallengeValue(value);
    EXPECT_FALSE(c.wellFormed);
    EXPECT_EQ(Hex(c.challenge), "0000000000000000");
    EXPECT_TRUE(c.targetName.empty() && c.serverName.empty() && c.domainName.empty());
    // The answer is still built, over eight zero bytes (responses from openssl).
    const std::string m = NtlmAuthenticateMessage(c.challenge, "user", "SecREt01", "");
    EXPECT_EQ(Hex(m.substr(72, 24)), "b9030c062439f3688f501a676b6c6a8dc3391069bae925a1");
    EXPECT_EQ(Hex(m.substr(96, 24)), "36df6986b7ffe5bf16c38ec046836786b011325db15c11f0");
  }
}

// A challenge message with the given target-name and target-information
// buffers, and the published challenge.
std::string ChallengeMessage(uint16_t nameLength, uint32_t nameOffset, uint16_t infoLength,
                             uint32_t infoOffset, std::string_view payload) {
  std::string m = "NTLMSSP\0\x02\0\0\0"s;
  auto u16 = [&m](uint16_t v) {
    m += static_cast<char>(v & 0xff);
    m += static_cast<char>(v >> 8);
  };
  auto buffer = [&](uint16_t length, uint32_t offset) {
    u16(length);
    u16(length);
    u16(static_cast<uint16_t>(offset & 0xffff));
    u16(static_cast<uint16_t>(offset >> 16));
  };
  buffer(nameLength, nameOffset);
  m += "\x01\0\0\0"s;  // flags: Unicode
  m += "\x01\x23\x45\x67\x89\xab\xcd\xef"s;
  m += std::string(8, '\0');
  buffer(infoLength, infoOffset);
  return m + std::string(payload);
}

TEST(NtlmTest, MalformedChallengesStayInsideTheMessage) {
  const std::string names = "N\0A\0"s + "\x02\0\x02\0D\0"s + "\x01\0\x02\0S\0"s + "\0\0\0\0"s;
  const size_t infoLength = names.size() - 4;
  const struct {
    const char* what;
    std::string message;
    bool wellFormed;
    const char* challenge;
    const char* target;
    const char* server;
    const char* domain;
  } cases[] = {
      {"sound", ChallengeMessage(4, 48, infoLength, 52, names), true, "0123456789abcdef", "NA", "S",
       "D"},
      {"31 bytes", ChallengeMessage(0, 0, 0, 0, "").substr(0, 31), false, "0000000000000000", "",
       "", ""},
      {"header only", ChallengeMessage(0, 0, 0, 0, "").substr(0, 32), true, "0123456789abcdef", "",
       "", ""},
      {"wrong signature", "XTLMSSP\0"s + ChallengeMessage(4, 48, 0, 0, names).substr(8), false,
       "0123456789abcdef", "NA", "", ""},
      {"wrong type", ChallengeMessage(4, 48, 0, 0, names).replace(8, 1, "\x03"), false,
       "0123456789abcdef", "NA", "", ""},
      {"name past the end", ChallengeMessage(4, 66, infoLength, 52, names), true,
       "0123456789abcdef", "", "S", "D"},
      {"name too long", ChallengeMessage(40, 48, infoLength, 52, names), true, "0123456789abcdef",
       "", "S", "D"},
      {"offset wraps", ChallengeMessage(4, 0xfffffffe, 4, 0xffffffff, names), true,
       "0123456789abcdef", "", "", ""},
      {"list past the end", ChallengeMessage(4, 48, 200, 52, names), true, "0123456789abcdef", "NA",
       "", ""},
      // An entry longer than what is left ends the list; earlier entries stay.
      {"entry too long", ChallengeMessage(4, 48, 12, 52, "N\0A\0\x02\0\x02\0D\0\x01\0\x09\0S\0"s),
       true, "0123456789abcdef", "NA", "", "D"},
      {"no end entry", ChallengeMessage(4, 48, 12, 52, names), true, "0123456789abcdef", "NA", "S",
       "D"},
      {"cut entry header", ChallengeMessage(4, 48, 8, 52, names), true, "0123456789abcdef", "NA",
       "", "D"},
      // Odd lengths: the last half code unit is dropped; a lone surrogate is U+FFFD.
      {"odd name", ChallengeMessage(3, 48, 0, 0, names), true, "0123456789abcdef", "N", "", ""},
      {"lone surrogate", ChallengeMessage(2, 48, 0, 0, "\x00\xd8"s), true, "0123456789abcdef",
       "\xef\xbf\xbd", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TNtlmChallenge d = DecodeNtlmChallenge(c.message);
    EXPECT_EQ(d.wellFormed, c.wellFormed);
    EXPECT_EQ(Hex(d.challenge), c.challenge);
    EXPECT_EQ(d.targetName, c.target);
    EXPECT_EQ(d.serverName, c.server);
    EXPECT_EQ(d.domainName, c.domain);
  }
}

TEST(NtlmTest, WorkstationIsTheHostName) {
  utsname system{};
  ASSERT_EQ(::uname(&system), 0);
  EXPECT_EQ(NtlmWorkstationName(), system.nodename);
}

}  // namespace
}  // namespace parlumo
