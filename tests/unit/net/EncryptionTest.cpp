#include "net/Encryption.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "net/MimeCodec.h"

namespace parlumo {
namespace {

using namespace std::string_literals;

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i)
    bytes += static_cast<char>(i);
  return bytes;
}

TEST(EncryptionTest, PackingPutsLowBitsFirst) {
  // 0x636261: low six bits 33 "h", then 9 "J", 54 "2", 24 "Y". Base64 gives "YWJj".
  EXPECT_EQ(PackScrambled("abc"), "hJ2Y");
  EXPECT_EQ(EncodeBase64("abc"), "YWJj");
  EXPECT_EQ(UnpackScrambled("hJ2Y"), "abc");
  // Short groups without padding: 0x61 gives 33, 1; 0x6261 gives 33, 9, 6.
  EXPECT_EQ(PackScrambled("a"), "hB");
  EXPECT_EQ(PackScrambled("ab"), "hJG");
  EXPECT_EQ(UnpackScrambled("hJG"), "ab");
}

TEST(EncryptionTest, ScramblesWithTheFeedbackGenerator) {
  // Worked by hand from the generator: key 31962 = 0x7CDA, so the first byte is
  // XORed with 0x7C: "a" 0x61 -> 0x1D (29, "d"; the high bits give "A").
  EXPECT_EQ(ScramblePassword("a", kPasswordScrambleKey), "dA");
  // k := ((0x7CDA + 0x1D) * 52845 + 22719) mod 65536 = 0x4FEA, so "b" 0x62 -> 0x2D.
  // 0x2D1D packs to 29 "d", 52 "0", 2 "C".
  EXPECT_EQ(ScramblePassword("ab", kPasswordScrambleKey), "d0C");
  EXPECT_EQ(UnscramblePassword("d0C", kPasswordScrambleKey), "ab");
  // With key 0 the first byte passes unchanged.
  EXPECT_EQ(ScramblePassword("a", 0), "hB");
}

TEST(EncryptionTest, ScrambledLengthIsFourPerThreeBytesPlusRemainder) {
  const std::string bytes = AllByteValues();
  for (size_t n = 0; n <= 12; ++n) {
    const std::string scrambled = ScramblePassword(bytes.substr(0, n), kPasswordScrambleKey);
    const size_t expected = 4 * (n / 3) + (n % 3 == 1 ? 2 : n % 3 == 2 ? 3 : 0);
    EXPECT_EQ(scrambled.size(), expected) << n;
    EXPECT_EQ(scrambled.find_first_not_of(kBase64Alphabet), std::string::npos) << n;
  }
}

TEST(EncryptionTest, RoundTripsAnyBytesWithAnyKey) {
  std::mt19937 random(4711);
  std::vector<std::string> texts = {"",
                                    "Geheim!",
                                    "p\xc3\xa4sswort",
                                    AllByteValues(),
                                    std::string(7, '\0'),
                                    std::string(5, '\xff')};
  for (int i = 0; i < 50; ++i) {
    std::string text(random() % 40, '\0');
    for (char& c : text)
      c = static_cast<char>(random());
    texts.push_back(text);
  }
  for (const uint16_t key : {kPasswordScrambleKey, uint16_t{0}, uint16_t{1}, uint16_t{65535}}) {
    for (const auto& text : texts) {
      EXPECT_EQ(UnscramblePassword(ScramblePassword(text, key), key), text) << key;
    }
  }
}

TEST(EncryptionTest, LongTextIsNotCut) {
  // Longer than a 16-bit length could count: every byte still comes back.
  std::string text(70000, 'x');
  text.back() = 'y';
  const std::string scrambled = ScramblePassword(text, kPasswordScrambleKey);
  EXPECT_EQ(scrambled.size(), 4u * (70000 / 3) + 2);
  EXPECT_EQ(UnscramblePassword(scrambled, kPasswordScrambleKey), text);
}

TEST(EncryptionTest, UnscramblesTextNoScramblingMade) {
  const std::string scrambled = ScramblePassword("secret", kPasswordScrambleKey);
  // A dangling single character carries no whole byte and is dropped.
  EXPECT_EQ(UnscramblePassword(scrambled + "Q", kPasswordScrambleKey), "secret");
  EXPECT_EQ(UnscramblePassword("Q", kPasswordScrambleKey), "");
  EXPECT_EQ(UnscramblePassword("", kPasswordScrambleKey), "");
  // Characters outside the alphabet count as "A" (0).
  EXPECT_EQ(UnpackScrambled("h*2Y"), UnpackScrambled("hA2Y"));
  EXPECT_EQ(UnpackScrambled("!=\xff\n"s), "\0\0\0"s);
  EXPECT_EQ(UnscramblePassword("d=", kPasswordScrambleKey), "a");
}

}  // namespace
}  // namespace parlumo
