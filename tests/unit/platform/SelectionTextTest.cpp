// What a selection's bytes read as: the program works in UTF-8, and text from
// older programs may come as Latin-1 under a plain type.
#include <gtest/gtest.h>

#include "platform/wayland/WaylandSelections.h"

namespace parlumo {
namespace {

TEST(SelectionTextTest, Utf8AsItIsLatin1Converted) {
  const struct {
    std::string data;
    bool declaredUtf8;
    std::string expected;
  } cases[] = {
      {"Grüße", true, "Grüße"},
      {"Grüße", false, "Grüße"},  // plain text that is valid UTF-8
      {"Gr\xFC\xDF"
       "e",
       false, "Grüße"},                              // Latin-1
      {"\xC3\x28", false, "Ã("},                     // a broken sequence is no UTF-8
      {"\xED\xA0\x80", false, "í\xC2\xA0\xC2\x80"},  // a surrogate is no UTF-8 either
      {"\xC0\xAF", false, "À¯"},                     // nor an overlong form
      {std::string("ab\0cd", 5), true, "ab"},        // NUL ends the text
      {"", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SelectionText(c.data, c.declaredUtf8), c.expected) << c.data;
  }
}

}  // namespace
}  // namespace parlumo
