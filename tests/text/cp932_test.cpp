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

namespace plm {
namespace {

// The same sequence table on every system: the systems' own converters disagree on
// single bytes (one reads 0x80 as U+0080), and the program's table settles them.
TEST(Cp932Test, DecodesAndEncodesOneTableEverywhere) {
  struct Case {
    std::string bytes, utf8;
  } decoded[] = {
      {"A\\~", "A\\~"},
      {"\x80", "\xEF\xBF\xBD"},  // no character on any system
      {"\xA0\xFD\xFE\xFF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xB1\xDF", "ｱﾟ"},
      {"\x81\x5F\x81\x60\x81\x61\x81\x7C", "＼～∥－"},
      {"\x87\x40\xED\x40\xFA\x40", "①纊ⅰ"},
      {"\xF0\x40", "\xEE\x80\x80"},  // the user-defined area, U+E000
      {"\x82", "\xEF\xBF\xBD"},      // a lead byte at the end
      {"\x82\x20", "\xEF\xBF\xBD "},  // a lead byte before a byte that is no trail: both kept apart
  };
  for (const Case& c : decoded) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Cp932ToUtf8(c.bytes), c.utf8);
  }
  struct Encoded {
    std::string utf8, bytes;
  } encoded[] = {
      {"ⅰ", "\xFA\x40"},        // also at 0xEEEF: the IBM row wins
      {"∵", "\x81\xE6"},        // also at 0x879A and 0xFA5B: the first wins
      {"¥‾−〜", "\\~\x81\x7C\x81\x60"},  // JIS characters, one way
      {"\xF0\x9F\x98\x80x", "?x"},       // no code: one "?" per character
      {"\xC3(", "?("},                   // not UTF-8
  };
  for (const Encoded& c : encoded) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(Utf8ToCp932(c.utf8), c.bytes);
  }

  // Every one- and two-byte sequence decoded, every character of the Basic
  // Multilingual Plane encoded: digests both systems' builds must agree on.
  uint64_t decodeDigest = 0xcbf29ce484222325ull, encodeDigest = decodeDigest;
  const auto mix = [](uint64_t& h, std::string_view s) {
    for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
    h = (h ^ 0xFF) * 0x100000001b3ull;
  };
  for (int a = 0; a < 256; ++a) {
    const char one[1] = {static_cast<char>(a)};
    mix(decodeDigest, Cp932ToUtf8(std::string_view(one, 1)));
    if (a >= 0x80)
      for (int b = 0; b < 256; ++b) {
        const char two[2] = {static_cast<char>(a), static_cast<char>(b)};
        mix(decodeDigest, Cp932ToUtf8(std::string_view(two, 2)));
      }
  }
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    std::string utf8;
    if (c < 0x80) utf8 = {static_cast<char>(c)};
    else if (c < 0x800) utf8 = {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    else
      utf8 = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    mix(encodeDigest, Utf8ToCp932(utf8));
  }
  EXPECT_EQ(decodeDigest, 8554653936730419898u);
  EXPECT_EQ(encodeDigest, 10246359085569612745u);
}

}  // namespace
}  // namespace plm
