#include "shell/filelist.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/fsutil.h"
#include "platform/paths.h"
#include "shell/formats.h"
#include "tests/support/bytes.h"
#include "tests/support/header_column.h"
#include "tests/support/jwwheader_model.h"
#include "tests/support/shell_fixtures.h"

namespace plm {
namespace {

using plmtest::Bytes;

// Rows whose name column holds the key and whose size column names the row.
std::vector<FileRow> RowsWithKeys(int column, const std::vector<std::string>& keys) {
  std::vector<FileRow> rows;
  for (size_t i = 0; i < keys.size(); ++i) {
    FileRow row;
    row[static_cast<size_t>(column)] = keys[i];
    row[column == kColSize ? kColType : kColSize] = std::to_string(i + 1);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> Ids(const std::vector<FileRow>& rows, int column) {
  std::vector<std::string> ids;
  for (const FileRow& row : rows) ids.push_back(row[column == kColSize ? kColType : kColSize]);
  return ids;
}

// Orders worked out by hand, step by step, from the selection sort.
TEST(FileListTest, SortLeavesEqualKeysWhereTheSelectionPutsThem) {
  struct Case {
    const char* name;
    int column;
    std::vector<std::string> keys;
    bool descending;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"control: distinct keys", kColName, {"c", "a", "b"}, false, {"2", "3", "1"}},
      // a=0 swaps in row 3 (first A); a=1 swaps in row 5, which sends b2 to the end.
      {"ascending, equal keys", kColName, {"B", "b", "A", "b", "a"}, false, {"3", "5", "1", "4", "2"}},
      // a=1 swaps in A4, sending B2 behind b3.
      {"ascending, equal keys reordered", kColName, {"a", "B", "b", "A", "c"}, false, {"1", "4", "3", "2", "5"}},
      // a=0 swaps in c5, sending a1 behind A4.
      {"descending, equal keys reordered", kColName, {"a", "B", "b", "A", "c"}, true, {"5", "2", "3", "4", "1"}},
      {"descending, one swap", kColName, {"B", "b", "A", "b", "a"}, true, {"1", "2", "4", "3", "5"}},
      {"all keys equal", kColName, {"x", "X", "x"}, true, {"1", "2", "3"}},
      {"a prefix first, bytes unsigned", kColName, {"ab", "a", "", "\xE3\x81\x82", "z"}, false, {"3", "2", "1", "5", "4"}},
      // Names compare as code page 932 bytes: 旧 (8B 8C) before 敷 (95 7E), which
      // UTF-8 (E6 97 A7, E6 95 B7) has the other way round.
      {"names in code page 932", kColName, {"\xE6\x95\xB7", "\xE6\x97\xA7"}, false, {"2", "1"}},
      // The letter after a Japanese character is upper-cased too.
      {"UTF-8 names", kColName, {"\xE3\x81\x82" "b", "\xE3\x81\x82" "A", "\xE3\x81\x82" "a"}, false, {"2", "3", "1"}},
      // The memo is code page 932: a trail byte in a..z stays as it is.
      {"memo trail byte not upper-cased", kColMemo, {"\x82" "A", "\x82" "a"}, true, {"2", "1"}},
      {"sizes right-aligned", kColSize, {"     900", "    1000", "      10"}, false, {"3", "1", "2"}},
      {"times", kColTime, {"2024/01/02 00:00:00", "2023/12/31 23:59:59"}, false, {"2", "1"}},
      {"one row", kColName, {"x"}, true, {"1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<FileRow> rows = RowsWithKeys(c.column, c.keys);
    SortFileRows(rows, c.column, c.descending);
    EXPECT_EQ(Ids(rows, c.column), c.expected);
  }
}

// The selection sort, literally, on texts compared by std::string (unsigned bytes).
std::vector<FileRow> ReferenceSort(std::vector<FileRow> rows, int column, bool descending) {
  for (size_t a = 0; a + 1 < rows.size(); ++a) {
    std::string key = SortKey(rows[a], column);
    size_t best = a;
    for (size_t r = a + 1; r < rows.size(); ++r) {
      const std::string candidate = SortKey(rows[r], column);
      if (descending ? candidate > key : candidate < key) {
        best = r;
        key = candidate;
      }
    }
    std::swap(rows[a], rows[best]);
  }
  return rows;
}

TEST(FileListTest, SortAgreesWithTheSelectionSortOnRandomRows) {
  const std::vector<std::string> pieces = {"a", "A", "b", "\x82" "a", "\x82" "A", " ", "\xFF", "1"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> piece(0, pieces.size() - 1), length(0, 2), count(0, 40);
  for (int trial = 0; trial < 300; ++trial) {
    const int column = trial % 2 ? kColMemo : kColName;
    std::vector<std::string> keys(count(rng));
    for (std::string& k : keys)
      for (size_t n = length(rng); n > 0; --n) k += pieces[piece(rng)];
    for (bool descending : {false, true}) {
      SCOPED_TRACE(testing::Message() << "trial " << trial << (descending ? " descending" : " ascending"));
      std::vector<FileRow> rows = RowsWithKeys(column, keys);
      const std::vector<FileRow> expected = ReferenceSort(rows, column, descending);
      SortFileRows(rows, column, descending);
      ASSERT_EQ(rows, expected);
    }
  }
}

TEST(FileListTest, HeaderClicksAlternateAndTheAttributeColumnRelists) {
  std::vector<FileRow> rows = RowsWithKeys(kColName, {"b", "c", "a"});
  bool descending = false;
  EXPECT_EQ(HeaderClickSort(rows, kColName, true, descending), HeaderClickAction::Sorted);
  EXPECT_EQ(Ids(rows, kColName), (std::vector<std::string>{"3", "1", "2"}));
  EXPECT_TRUE(descending);
  EXPECT_EQ(HeaderClickSort(rows, kColName, true, descending), HeaderClickAction::Sorted);
  EXPECT_EQ(Ids(rows, kColName), (std::vector<std::string>{"2", "1", "3"}));
  EXPECT_FALSE(descending);
  // Any sorting column flips the direction.
  EXPECT_EQ(HeaderClickSort(rows, kColTime, true, descending), HeaderClickAction::Sorted);
  EXPECT_TRUE(descending);
  EXPECT_EQ(HeaderClickSort(rows, kColAttr, true, descending), HeaderClickAction::Relist);
  EXPECT_TRUE(descending);
  EXPECT_EQ(HeaderClickSort(rows, kColName, false, descending), HeaderClickAction::None);
  EXPECT_EQ(HeaderClickSort(rows, -1, true, descending), HeaderClickAction::None);
  EXPECT_TRUE(descending);
}

TEST(FileListTest, HeaderColumnAtExcludesTheEdges) {
  const std::vector<int> widths = {64, 64, 64};
  struct Case {
    int firstVisible, x, line, expected;
  };
  const Case cases[] = {{0, 1, 0, 0},  {0, 0, 0, -1},  {0, 63, 0, 0},   {0, 64, 0, -1}, {0, 65, 0, 1},
                        {0, 65, 1, -1}, {0, 66, 1, 1}, {1, 10, 0, 1},   {0, 200, 0, -1}, {2, 63, 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "first " << c.firstVisible << " x " << c.x << " line " << c.line);
    EXPECT_EQ(plmtest::HeaderColumnAt(widths, c.firstVisible, c.x, c.line), c.expected);
  }
}

TEST(FileListTest, SizesAreRightAlignedAndNeverCut) {
  struct Case {
    uint64_t size;
    int widthPx, pxPerChar;
    const char* expected;
  };
  const Case cases[] = {
      {123, 64, 8, "     123"},
      {0, 64, 8, "       0"},
      {12345, 23, 8, "12345"},  // narrower than 24 pixels: field of 3
      {7, 23, 8, "  7"},
      {7, 0, 8, "  7"},
      {3000000000ull, 64, 8, "3000000000"},  // 2 GiB and more in full
      {99, 100, 8, "          99"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(PadSize(c.size, SizeFieldWidth(c.widthPx, c.pxPerChar)), c.expected);
  }
}

TEST(FileListTest, RepadUsesTheDigitWidthOfAtLeastThree) {
  std::vector<FileRow> rows(5);
  rows[0][kColSize] = "     123";
  rows[1][kColSize] = "";
  rows[2][kColSize] = "12a";
  rows[3][kColSize] = "  3000000000";
  rows[4][kColSize] = "-5";
  RepadSizeColumn(rows, 50, 7);  // 7 characters
  EXPECT_EQ(rows[0][kColSize], "    123");
  EXPECT_EQ(rows[1][kColSize], "");
  EXPECT_EQ(rows[2][kColSize], "      0");
  EXPECT_EQ(rows[3][kColSize], "3000000000");
  EXPECT_EQ(rows[4][kColSize], "      0");
  RepadSizeColumn(rows, 50, 1);  // width 1 counts as 3: 16 characters
  EXPECT_EQ(rows[0][kColSize], std::string(13, ' ') + "123");
}

TEST(FileListTest, CellTexts) {
  EXPECT_EQ(UpperExtensionOf("a.b.jw$"), ".JW$");
  EXPECT_EQ(UpperExtensionOf("Makefile"), "");
  EXPECT_EQ(UpperExtensionOf("x.jww\xE3\x81\x82" "a"), ".JWW\xE3\x81\x82" "A");
  EXPECT_EQ(UpperExtensionOf("dot."), ".");
  EXPECT_EQ(LastWriteText({2024, 1, 2, 3, 4, 5}), "2024/01/02 03:04:05");
  EXPECT_EQ(LastWriteText({987, 12, 31, 23, 59, 59}), "0987/12/31 23:59:59");
  EXPECT_EQ(AttributeText(false, false), "");
  EXPECT_EQ(AttributeText(true, false), "A ");
  EXPECT_EQ(AttributeText(false, true), "R ");
  EXPECT_EQ(AttributeText(true, true), "A R ");
}

// Names from archives made on Japanese Windows: code page 932 bytes, kept as they are.
TEST(FileListTest, CodePage932NamesKeepTheirBytesAndShowDecoded) {
  const std::string sjis = "\x95\x7E\x92\x6E\x90\x7D.jww";  // 敷地図.jww
  // ソ is 83 5C and ａ is 82 81: a letter-valued second byte of a pair is no letter.
  const std::string pairs = "x.\x83\x5C\x82\x81" "a";
  struct Case {
    std::string name, extension, shownName, shownExtension;
  } cases[] = {
      {"plain.jww", ".JWW", "plain.jww", ".JWW"},  // control
      {"敷地図.jww", ".JWW", "敷地図.jww", ".JWW"},
      {sjis, ".JWW", "敷地図.jww", ".JWW"},
      {"x.\x95", ".\x95", "x.\xEF\xBF\xBD", ".\xEF\xBF\xBD"},  // a lead byte alone is no character
      {pairs, ".\x83\x5C\x82\x81" "A", "x.ソａa", ".ソａA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shownName);
    FileRow row{c.name, "1", UpperExtensionOf(c.name), "", "", ""};
    EXPECT_EQ(row[kColType], c.extension);
    EXPECT_EQ(CellDisplayText(row, kColName), c.shownName);
    EXPECT_EQ(CellDisplayText(row, kColType), c.shownExtension);
    EXPECT_EQ(FormatForName(c.name) == &JwwFormat(), c.extension == ".JWW");
  }
  // Sorting by name orders code page 932 bytes, whichever encoding a name came in:
  // 旧 (8B 8C) before 敷 (95 7E) before ｱ (B1).
  std::vector<FileRow> rows = {{"\xB1.jww"}, {sjis}, {"旧.jww"}, {"b.jww"}};
  SortFileRows(rows, kColName, false);
  std::vector<std::string> names;
  for (const FileRow& r : rows) names.push_back(r[kColName]);
  EXPECT_EQ(names, (std::vector<std::string>{"b.jww", "旧.jww", sjis, "\xB1.jww"}));
}

// A folder lists in name order by code page 932 bytes, upper-cased, whatever order the
// file system keeps: 熙 (EA A4) comes after ｱ (B1) there, though not in Unicode.
TEST(FileListTest, ListingComesInNameOrder) {
  ScopedTempFolder dir("plm-order-");
  ASSERT_TRUE(dir.Ok());
  for (const char* name : {"熙.jww", "b.jww", "ｱ.jww", "Z.jww", "図面.jww", "a.JWW", "あ.jww", "A.jww"})
    plmtest::WriteFileBytes(dir.Path() / PathFromUtf8(name), {'x'});
  ShellState state;
  const ListFilesResult listed = ListFiles(state, Utf8FromPath(dir.Path()) + "/", 0, kDefaultColumnWidth);
  std::vector<std::string> names;
  for (const FileRow& row : listed.Rows) names.push_back(row[kColName]);
  EXPECT_EQ(names, (std::vector<std::string>{"A.jww", "a.JWW", "b.jww", "Z.jww", "あ.jww", "図面.jww", "ｱ.jww",
                                             "熙.jww"}));
}

TEST(FileListTest, SearchPatternsMatchAsTheDesktopSearchDoes) {
  struct Case {
    const char* name;
    const char* pattern;
    bool expected;
  };
  const Case cases[] = {
      {"a.jww", "*.*", true},     {"README", "*.*", true},   {"a.JWW", "*.jww", true},
      {"a.jwwx", "*.jww", false}, {"a.jws", "*.jww", false}, {"a.b.JwW", "*.jww", true},
      {"a.jww.txt", "*.jww", false}, {"jww", "*.jww", false}, {"a.jwc", "*.jw?", true},
      {"a.JW$", "*.jw?", true},   {"a.jw", "*.jw?", true},   {"a.jwcc", "*.jw?", false},
      {"a.bak", "*.jw?", false},  {"a.jw\xE3\x81\x82", "*.jw?", true}, {"a.JWS", "*.jws", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " ~ " << c.pattern);
    EXPECT_EQ(MatchesSearchPattern(c.name, c.pattern), c.expected);
  }
  EXPECT_EQ(FilterPattern(0), "*.*");
  EXPECT_EQ(FilterPattern(1), "*.jw?");
  EXPECT_EQ(FilterPattern(2), "*.jww");
  EXPECT_EQ(FilterPattern(3), "*.jws");
  EXPECT_EQ(FilterPattern(-1), "*.*");
  EXPECT_EQ(FilterPattern(4), "*.*");
}

// 800 bytes of a JWC header with the two memo fields.
Bytes JwcFile(std::string_view memo1, std::string_view memo2) {
  Bytes b;
  b.raw("jw_cad(c)data.......").fill(20, ' ');
  b.raw(memo1).fill(32 - memo1.size(), ' ').raw(memo2).fill(32 - memo2.size(), 0);
  return b.fill(800 - b.size(), '0');
}

TEST(FileListTest, ReadFileMemoChoosesTheReaderByExtension) {
  const Bytes jww = plmtest::JwwDrawingWithMemo("plan\r\n\x90\x7D\x96\xCA");
  const Bytes jwc = JwcFile("jwc memo", "two");
  Bytes jwk;
  jwk.raw("jwk").fill(37, ' ').raw("parts").fill(59, ' ').fill(296, '9');
  struct Case {
    const char* name;
    const Bytes& content;
    std::string expected;
  };
  const std::string jwwMemo = "plan\x90\x7D\x96\xCA";
  const std::string jwcMemo = "jwc memo" + std::string(24, ' ') + " two";
  const std::string jwkMemo = "parts" + std::string(27, ' ') + " " + std::string(32, ' ');
  const Case cases[] = {
      {"d.jww", jww, jwwMemo},  {"d.JW$", jww, jwwMemo}, {"d.BK1", jww, jwwMemo}, {"d.bak", jww, jwwMemo},
      {"d.bk", jww, jwwMemo},   {"d.TMP", jww, ""},      {"d.jws", jww, ""},      {"d", jww, ""},
      {"c.jwc", jwc, jwcMemo},  {"c.BAK", jwc, jwcMemo}, {"c.BKUP", jwc, jwcMemo}, {"c.jww", jwc, ""},
      {"k.JWK", jwk, jwkMemo},  {"k.BAK", jwk, ""},      {"k.jwc", jwk, ""},
  };
  plmtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plmtest::WriteFileBytes(dir / c.name, c.content.data());
    EXPECT_EQ(ReadFileMemo(Utf8FromPath(dir / c.name)), c.expected);
  }
  // A file of too few bytes for its reader: no memo.
  std::vector<uint8_t> shortJwc = jwc.data();
  shortJwc.resize(799);
  plmtest::WriteFileBytes(dir / "s.jwc", shortJwc);
  EXPECT_EQ(ReadFileMemo(Utf8FromPath(dir / "s.jwc")), "");
  EXPECT_EQ(ReadFileMemo(Utf8FromPath(dir / "missing.jww")), "");
}

}  // namespace
}  // namespace plm
