// What a selection's bytes read as: the program works in UTF-8, and text from
// older programs may come as Latin-1, whatever type it is offered under.
#include <gtest/gtest.h>

#include "platform/wayland/WaylandSelections.h"

namespace parlumo {
namespace {

TEST(SelectionTextTest, Utf8AsItIsAnythingElseReadAsLatin1) {
  const struct {
    std::string data;
    std::string expected;
  } cases[] = {
      {"Grüße", "Grüße"},
      {"Gr\xFC\xDF"
       "e",
       "Grüße"},                                          // Latin-1
      {"\xC3\x28", "Ã("},                                 // a broken sequence is no UTF-8
      {"\xED\xA0\x80", "í\xC2\xA0\xC2\x80"},              // a surrogate is no UTF-8 either
      {"\xC0\xAF", "À¯"},                                 // nor an overlong form
      {"\xF4\x90\x80\x80", "ô\xC2\x90\xC2\x80\xC2\x80"},  // nor a code beyond U+10FFFF
      {std::string("ab\0cd", 5), "ab"},                   // NUL ends the text
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SelectionText(c.data), c.expected) << c.data;
  }
}

}  // namespace
}  // namespace parlumo
