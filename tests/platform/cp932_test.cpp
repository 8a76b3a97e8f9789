#include "platform/cp932.h"

#include <gtest/gtest.h>

namespace plm {
namespace {

TEST(Cp932Test, WellFormedUtf8) {
  struct Case {
    std::string text;
    bool wellFormed;
  } cases[] = {
      {"", true},  // control
      {"abc", true},
      {"敷地図.jww", true},
      {"\xF0\x9F\x98\x80", true},        // U+1F600
      {"\x95\x7E\x92\x6E", false},       // code page 932
      {"\xC0\xAF", false},               // overlong '/'
      {"\xED\xA0\x80", false},           // a surrogate
      {"\xF4\x90\x80\x80", false},       // above U+10FFFF
      {"\xE6\x95", false},               // cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsWellFormedUtf8(c.text), c.wellFormed);
  }
}

TEST(Cp932Test, NamesShowEachPartInItsOwnEncoding) {
  struct Case {
    std::string bytes, shown;
  } cases[] = {
      {"/home/u/図面/a.jww", "/home/u/図面/a.jww"},  // control: UTF-8 unchanged
      {"\x95\x7E\x92\x6E\x90\x7D.jww", "敷地図.jww"},
      // A UTF-8 folder above a code page 932 name: each part decoded on its own.
      {"/home/u/図面/\x95\x7E\x92\x6E\x90\x7D.jww", "/home/u/図面/敷地図.jww"},
      {"/\x90\x7D\x96\xCA/", "/図面/"},
      {"/a/x\x95/b", "/a/x\xEF\xBF\xBD/b"},  // no character: replaced, never invalid output
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(NameToUtf8(c.bytes), c.shown);
    EXPECT_TRUE(IsWellFormedUtf8(NameToUtf8(c.bytes)));
  }
}

}  // namespace
}  // namespace plm
