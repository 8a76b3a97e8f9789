#include "text/cp932.h"

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

// Names print as they did unless a control character is in them; then they are
// quoted so a shell reads back the decoded name (what `ls --quoting-style=shell-escape`
// prints for the same text).
TEST(Cp932Test, ShownNamesQuoteControlCharactersOnly) {
  struct Case {
    std::string bytes, shown;
  } cases[] = {
      {"a.jww", "a.jww"},  // control: nothing to quote
      {"", ""},
      {"my 'plan' \\ $x.jww", "my 'plan' \\ $x.jww"},
      {"/home/u/図面/敷地図.jww", "/home/u/図面/敷地図.jww"},
      {"/home/u/\x95\x7E\x92\x6E\x90\x7D.jww", "/home/u/敷地図.jww"},  // code page 932, decoded
      {"x\xFF", "x\xEF\xBF\xBD"},                                   // neither: replaced
      {"b.jww: converted\na.jww", "'b.jww: converted'$'\\n''a.jww'"},
      {"\nlead", "''$'\\n''lead'"},
      {"trail\n", "'trail'$'\\n'"},
      {"\x01\x02\b\v\f\r\a\t", "''$'\\001\\002\\b\\v\\f\\r\\a\\t'"},  // one run, one $'...'
      {"esc\x1B[31m", "'esc'$'\\033''[31m'"},
      {"del\x7F", "'del'$'\\177'"},
      {"c1\xC2\x9Bx", "'c1'$'\\302\\233''x'"},       // U+009B
      {"nbsp\xC2\xA0", "nbsp\xC2\xA0"},                // U+00A0 is no control
      {"it's\tx", "'it'\\''s'$'\\t''x'"},
      {"a\n'b", "'a'$'\\n'\\''b'"},                   // the quote right after a run
      {"\x95\x7E\n\x81", "'敷'$'\\n''\xEF\xBF\xBD'"},  // decoded first, then quoted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(ShownName(c.bytes), c.shown);
  }
}

}  // namespace
}  // namespace plm
