// The writer's string filter and attribute check, stated case by case. The byte
// models of the other tests call these two functions, so these tables are what pins
// them.
#include <gtest/gtest.h>

#include <string>

#include "jww/jwwbody.h"
#include "text/textfilters.h"
#include "tests/support/body_model.h"

namespace {

using namespace std::string_literals;
using plmtest::MakeAttr;

TEST(CleanStringTest, StatedCases) {
  struct Case {
    const char* name;
    std::string in, want;
  } const cases[] = {
      {"plain", "Layer 1", "Layer 1"},
      {"empty stays empty", "", ""},
      {"space kept", " ", " "},
      {"control bytes only", "\x01\x02\x1F", " "},
      {"zero bytes only", "\0\0\0"s, " "},
      {"control bytes dropped", "a\0b\tc\r\n"s, "abc"},
      {"0x20 kept, 0x1F dropped", "\x1F \x1F", " "},
      {"^m removed", "A^mB", "AB"},
      {"^m at the end removed", "AB^m", "AB"},
      {"^M kept", "A^MB", "A^MB"},
      {"^m alone", "^m", " "},
      {"^m and control bytes only", "\x01^m\x1F", " "},
      {"caret alone", "^", "^"},
      {"caret at the end", "a^", "a^"},
      {"m alone", "m", "m"},
      {"^mm leaves m", "^mm", "m"},
      {"caret before ^m", "^^m", "^"},
      {"^^mm gives ^m", "^^mm", "^m"},
      {"^^^mmm gives ^^mm", "^^^mmm", "^^mm"},
      {"^ control m is no pair", "^\x01m", "^m"},
      {"trail byte ^ keeps the pair whole, m after it stays", "\x83^m", "\x83^m"},
      {"trail byte ^ with lead 0xE0", "\xE0^m", "\xE0^m"},
      {"trail byte below 0x20 kept", "\x81\x01", "\x81\x01"},
      {"trail byte 0x00 kept", "\x9F\0"s, "\x9F\0"s},
      {"trail byte 0x1F kept, the control after it dropped", "\xFD\x1F\x1F", "\xFD\x1F"},
      {"lead byte eats the next lead byte", "\x81\x81" "A", "\x81\x81" "A"},
      {"lead byte at the end", "ab\x81", "ab\x81"},
      {"lead byte alone", "\xE0", "\xE0"},
      {"lead byte after ^m at the end", "^m\x9F", "\x9F"},
      {"caret before a pair is no ^m", "^\x83m", "^\x83m"},
      {"0x80 is a lead byte", "\x80\x01", "\x80\x01"},
      {"0x9F is a lead byte, 0xA0 is not", "\x9F\x01\xA0\x01", "\x9F\x01\xA0"},
      {"0xDF is no lead byte, 0xE0 is", "\xDF\x01\xE0\x01", "\xDF\xE0\x01"},
      {"0xFD is a lead byte, 0xFE is not", "\xFD\x0A\xFE\x0A", "\xFD\x0A\xFE"},
      {"single-byte ranges pass", "\x7F\xA0\xDF\xFE\xFF", "\x7F\xA0\xDF\xFE\xFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(plm::CleanString(c.in), c.want);
  }
}

// Filtering again can change a filtered string: removing one "^m" can join a new one.
TEST(CleanStringTest, IsNotIdempotent) {
  struct Case {
    std::string in, once, twice;
  } const cases[] = {
      {"^^mm", "^m", " "},
      {"^^^mmm", "^^mm", "^m"},
      {"a^^mmb", "a^mb", "ab"},
      {"\x01", " ", " "},
      {"\x83^m", "\x83^m", "\x83^m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    const std::string once = plm::CleanString(c.in);
    EXPECT_EQ(once, c.once);
    EXPECT_EQ(plm::CleanString(once), c.twice);
  }
}

// Versions below 420 map the extended line types (kinds 1, 2) and colours (kinds 1 to
// 6) first; from 420 they stay. Both sides are checked at two versions each.
const int32_t kOldVersions[] = {300, 351, 419};
const int32_t kNewVersions[] = {420, 600, 700};

// PenStyle in, and what each kind writes. Kinds 5 to 8 keep any style.
TEST(AttributeCheckTest, LineTypesByKindAndVersion) {
  struct Row {
    unsigned in;
    unsigned lineNew, lineOld;  // kinds 1 and 2
    unsigned point;             // kind 3, any version
    unsigned text;              // kind 4, any version
  } const rows[] = {
      {0, 1, 1, 1, 1},      {1, 1, 1, 1, 1},      {2, 2, 2, 1, 2},      {8, 8, 8, 1, 8},
      {9, 9, 9, 1, 9},      {10, 1, 1, 1, 1},     {11, 11, 11, 1, 1},   {19, 19, 19, 1, 1},
      {20, 1, 1, 1, 1},     {30, 1, 1, 1, 1},     {31, 31, 1, 1, 1},    {32, 32, 4, 1, 1},
      {33, 33, 3, 1, 1},    {34, 34, 6, 1, 1},    {35, 35, 8, 1, 1},    {36, 36, 8, 1, 1},
      {37, 37, 2, 1, 1},    {38, 38, 5, 1, 1},    {39, 39, 7, 1, 1},    {40, 40, 6, 1, 1},
      {41, 41, 6, 1, 1},    {42, 42, 8, 1, 1},    {43, 43, 8, 1, 1},    {44, 44, 17, 1, 1},
      {45, 45, 17, 1, 1},   {46, 46, 1, 1, 1},    {50, 50, 1, 1, 1},    {62, 62, 1, 1, 1},
      {63, 1, 1, 1, 1},     {99, 1, 1, 1, 1},     {100, 1, 1, 100, 1},  {101, 1, 1, 1, 1},
      {255, 1, 1, 1, 1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("PenStyle " + std::to_string(r.in));
    const plm::EntityAttributes a = MakeAttr(static_cast<uint8_t>(r.in), 1);
    for (int32_t v : kNewVersions) {
      SCOPED_TRACE(v);
      EXPECT_EQ(plm::CheckEntAttr(v, 1, a).PenStyle, r.lineNew);
      EXPECT_EQ(plm::CheckEntAttr(v, 2, a).PenStyle, r.lineNew);
    }
    for (int32_t v : kOldVersions) {
      SCOPED_TRACE(v);
      EXPECT_EQ(plm::CheckEntAttr(v, 1, a).PenStyle, r.lineOld);
      EXPECT_EQ(plm::CheckEntAttr(v, 2, a).PenStyle, r.lineOld);
    }
    for (int32_t v : {300, 419, 420, 700}) {
      SCOPED_TRACE(v);
      EXPECT_EQ(plm::CheckEntAttr(v, 3, a).PenStyle, r.point);
      EXPECT_EQ(plm::CheckEntAttr(v, 4, a).PenStyle, r.text);
      for (int kind = 5; kind <= 8; ++kind) EXPECT_EQ(plm::CheckEntAttr(v, kind, a).PenStyle, r.in) << kind;
    }
  }
}

// PenColor in, and what each kind writes. Kinds 7 and 8 keep any colour.
TEST(AttributeCheckTest, ColoursByKindAndVersion) {
  struct Row {
    unsigned in;
    unsigned otherNew, otherOld;  // kinds 1 to 5
    unsigned solidNew, solidOld;  // kind 6
  } const rows[] = {
      {0, 2, 2, 2, 2},         {1, 1, 1, 1, 1},         {5, 5, 5, 5, 5},         {9, 9, 9, 9, 9},
      {10, 2, 2, 10, 10},      {11, 2, 2, 2, 2},        {100, 2, 2, 2, 2},       {101, 101, 2, 101, 2},
      {102, 102, 8, 102, 8},   {103, 103, 3, 103, 3},   {104, 104, 6, 104, 6},   {105, 105, 4, 105, 4},
      {106, 106, 5, 106, 5},   {107, 107, 1, 107, 1},   {108, 108, 2, 108, 2},   {109, 109, 5, 109, 5},
      {110, 110, 8, 110, 8},   {111, 111, 4, 111, 4},   {112, 112, 3, 112, 3},   {113, 113, 6, 113, 6},
      {114, 114, 5, 114, 5},   {115, 115, 2, 115, 2},   {116, 116, 2, 116, 2},   {117, 117, 2, 117, 2},
      {200, 200, 2, 200, 2},   {356, 356, 2, 356, 2},   {357, 2, 2, 2, 2},       {1000, 2, 2, 2, 2},
      {65535, 2, 2, 2, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE("PenColor " + std::to_string(r.in));
    const plm::EntityAttributes a = MakeAttr(1, static_cast<uint16_t>(r.in));
    for (int32_t v : kNewVersions) {
      SCOPED_TRACE(v);
      for (int kind = 1; kind <= 5; ++kind) EXPECT_EQ(plm::CheckEntAttr(v, kind, a).PenColor, r.otherNew) << kind;
      EXPECT_EQ(plm::CheckEntAttr(v, 6, a).PenColor, r.solidNew);
    }
    for (int32_t v : kOldVersions) {
      SCOPED_TRACE(v);
      for (int kind = 1; kind <= 5; ++kind) EXPECT_EQ(plm::CheckEntAttr(v, kind, a).PenColor, r.otherOld) << kind;
      EXPECT_EQ(plm::CheckEntAttr(v, 6, a).PenColor, r.solidOld);
    }
    for (int32_t v : {300, 419, 420, 700}) {
      SCOPED_TRACE(v);
      EXPECT_EQ(plm::CheckEntAttr(v, 7, a).PenColor, r.in);
      EXPECT_EQ(plm::CheckEntAttr(v, 8, a).PenColor, r.in);
    }
  }
}

// Layer, layer group and pen width for every kind and version; group number and flags
// always pass. The pen width is checked even where the layout has no place for it.
TEST(AttributeCheckTest, LayerGroupAndWidthForEveryKind) {
  struct Row {
    const char* name;
    plm::EntityAttributes in, want;  // PenStyle 1, PenColor 1: valid for every kind
  } const rows[] = {
      {"all at their limits", MakeAttr(1, 1, 30000, 15, 15, 0xFFFFFFFFu, 0xFFFF),
       MakeAttr(1, 1, 30000, 15, 15, 0xFFFFFFFFu, 0xFFFF)},
      {"layer 16", MakeAttr(1, 1, 7, 16, 3, 9, 1), MakeAttr(1, 1, 7, 0, 3, 9, 1)},
      {"layer group 16", MakeAttr(1, 1, 7, 3, 16, 9, 1), MakeAttr(1, 1, 7, 3, 0, 9, 1)},
      {"width 30001", MakeAttr(1, 1, 30001, 3, 4, 9, 1), MakeAttr(1, 1, 0, 3, 4, 9, 1)},
      {"all at the top of their fields", MakeAttr(1, 1, 65535, 65535, 65535, 5, 2), MakeAttr(1, 1, 0, 0, 0, 5, 2)},
      {"zeros", MakeAttr(1, 1, 0, 0, 0, 0, 0), MakeAttr(1, 1, 0, 0, 0, 0, 0)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    for (int32_t v : {220, 300, 351, 419, 420, 700}) {
      for (int kind = 1; kind <= 8; ++kind) {
        EXPECT_EQ(plm::CheckEntAttr(v, kind, r.in), r.want) << "version " << v << " kind " << kind;
      }
    }
  }
}

}  // namespace
