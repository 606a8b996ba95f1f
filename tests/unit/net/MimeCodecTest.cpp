#include "net/MimeCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace parlumo {
namespace {

using namespace std::string_literals;

struct Base64Case {
  std::string bytes;
  std::string text;
};

// RFC 4648 section 10, the Basic credentials example of RFC 7617, and bytes
// outside ASCII (checked with the base64 command line tool).
const Base64Case kBase64Cases[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
    {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
    {"\x00\xff\xfe"s, "AP/+"},
    {"\xfb\xef\xbe"s, "++++"},
    {"\xff"s, "/w=="},
};

TEST(MimeCodecTest, EncodesAndDecodesStandardBase64) {
  for (const auto& c : kBase64Cases) {
    EXPECT_EQ(EncodeBase64(c.bytes), c.text);
    EXPECT_EQ(EncodeNtlmBase64(c.bytes), c.text);
    EXPECT_EQ(DecodeNtlmBase64(c.text), c.bytes) << c.text;
  }
}

TEST(MimeCodecTest, EncodesNtlmNegotiateMessage) {
  // The 32-byte negotiate message with flags 0x00008207; text from the base64 tool.
  const std::string message = "NTLMSSP\0\x01\0\0\0\x07\x82\0\0"s + std::string(16, '\0');
  EXPECT_EQ(EncodeNtlmBase64(message), "TlRMTVNTUAABAAAAB4IAAAAAAAAAAAAAAAAAAAAAAAA=");
}

TEST(MimeCodecTest, DecodesMalformedTextWithoutFailing) {
  const struct {
    std::string text;
    std::string bytes;
  } cases[] = {
      // Characters outside the alphabet are skipped.
      {"Zm9v\r\n", "foo"},
      {" Zm 9v ", "foo"},
      {"Zm9v*Zm9v", "foofoo"},
      {"\xffZ\x80m9v"s, "foo"},
      {"\0Zm9v"s, "foo"},
      // A last group without padding gives its whole bytes.
      {"Zg", "f"},
      {"Zm8", "fo"},
      {"Zm9vZ", "foo"},
      {"Z", ""},
      // "=" ends the data; early in a group it leaves no whole byte.
      {"Zg==Zm9v", "f"},
      {"Zm8=Zm9v", "fo"},
      {"=Zm9v", ""},
      {"Z===", ""},
      {"Zm9v=", "foo"},
      {"====", ""},
      {"*", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodeNtlmBase64(c.text), c.bytes) << c.text;
}

}  // namespace
}  // namespace parlumo
