#include "text/textfilters.h"

#include <gtest/gtest.h>

namespace plm {
namespace {

TEST(TextFiltersTest, CleanMemoTextDropsControlBytesAndKeepsPairsWhole) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"control: plain text", "memo 1", "memo 1"},
      {"empty", "", ""},
      {"lines run together", "line1\r\nline2\tend", "line1line2end"},
      {"zero bytes dropped", std::string("a\0\0b", 4), "ab"},
      // A lead byte takes the next byte with it, even one below 0x20.
      {"pair with a low trail byte", "\x82\x0A" "x", "\x82\x0A" "x"},
      {"pair of the upper lead range", "\xE0\x01\xFD\x1F", "\xE0\x01\xFD\x1F"},
      {"lead byte at the end", "ab\x90", "ab\x90"},
      {"single bytes at or above 0x20 kept", "\x20\x7F\xA0\xB1\xDF\xFE\xFF", "\x20\x7F\xA0\xB1\xDF\xFE\xFF"},
      // 0x80 starts a pair here too.
      {"0x80 as a lead byte", "\x80\x09", "\x80\x09"},
      {"double-byte memo", "\x90\x7D\x96\xCA\r\n\x83\x81\x83\x82", "\x90\x7D\x96\xCA\x83\x81\x83\x82"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CleanMemoText(c.text), c.expected);
  }
}

}  // namespace
}  // namespace plm
