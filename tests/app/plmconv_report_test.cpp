// plmconv convert --report: one row for exactly each spacing value the switches change.
#include "app/plmconv_report.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "app/plmconv.h"
#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "text/cp932.h"
#include "platform/fsutil.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;

using plmtest::CliRun;
using plmtest::Plmconv;

// RFC 4180 records: quoted cells may hold commas, quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(cell);
      cell.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(cell);
      cell.clear();
      rows.push_back(row);
      row.clear();
      ++i;
    } else {
      cell += c;
    }
  }
  EXPECT_TRUE(cell.empty() && row.empty()) << "the last record lacks its CRLF";
  return rows;
}

const std::vector<std::string> kHeader = {"file",  "where", "block",           "layer_group",
                                          "layer", "text",  "text_type_class", "spacing"};

// The report's records after checking the byte-order mark and the header row.
std::vector<std::vector<std::string>> ReadCsvReport(const fs::path& file) {
  const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(file);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_TRUE(text.starts_with("\xEF\xBB\xBF")) << "no UTF-8 byte-order mark";
  std::vector<std::vector<std::string>> rows = ParseCsv(text.substr(std::min<size_t>(3, text.size())));
  if (rows.empty()) {
    ADD_FAILURE() << "no header row";
    return rows;
  }
  EXPECT_EQ(rows.front(), kHeader);
  rows.erase(rows.begin());
  return rows;
}

// One expected row, its old spacing apart so it is compared by value.
struct Expected {
  std::vector<std::string> cells;  // the first seven columns
  double spacing;
};

// Report rows against expected rows, in order; spacings compared bit for bit (any NaN
// reads "NaN").
void ExpectRows(const std::vector<std::vector<std::string>>& actual, const std::vector<Expected>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    ASSERT_EQ(actual[i].size(), 8u);
    EXPECT_EQ(std::vector<std::string>(actual[i].begin(), actual[i].begin() + 7), expected[i].cells);
    const std::string& spacing = actual[i][7];
    if (std::isnan(expected[i].spacing)) {
      EXPECT_EQ(spacing, "NaN");
    } else {
      EXPECT_EQ(std::bit_cast<uint64_t>(std::strtod(spacing.c_str(), nullptr)),
                std::bit_cast<uint64_t>(expected[i].spacing))
          << spacing;
    }
  }
}

// A text as its CSV cell reads: a text a spreadsheet would take as a formula starts
// with an apostrophe.
std::string CsvShown(const std::string& utf8) {
  return !utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos ? "'" + utf8
                                                                                                   : utf8;
}

Expected Row(const std::string& file, const char* where, const std::string& block, const EntityAttributes* attr,
             const std::string& text, uint32_t typeClass, double spacing) {
  return {{CsvShown(file), where, CsvShown(Cp932ToUtf8(block)), attr ? std::to_string(attr->LayerGroup) : "",
           attr ? std::to_string(attr->Layer) : "", CsvShown(Cp932ToUtf8(text)), std::to_string(typeClass)},
          spacing};
}

bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// ---- Drawings built from the model --------------------------------------------------

constexpr std::array<double, 10> kTypeSpacings = {-1.0, 0.5, -0.0, 0.0, -2.5, 1.0, NAN, 0.0, 0.0, -0.125};

// The rows the model's rule gives for a body: texts of the main list, dimensions,
// then per definition its texts and dimensions; text-type table rows first.
std::vector<Expected> ModelRows(const std::string& file, const Body& body, const ConversionSwitches& options,
                                bool jwwTable) {
  std::vector<Expected> rows;
  if (jwwTable && options.ZeroTypeSpacing)
    for (size_t i = 0; i < kTypeSpacings.size(); ++i)
      if (!(kTypeSpacings[i] >= 0.0))
        rows.push_back(Row(file, "text-type table", "", nullptr, "", static_cast<uint32_t>(i + 1), kTypeSpacings[i]));
  Body after = body;
  plmtest::ApplyRuleModel(after, options);
  auto list = [&](const std::vector<plmtest::Entity>& was, const std::vector<plmtest::Entity>& now,
                  const std::string& block, const char* textPlace, const char* dimPlace) {
    for (size_t i = 0; i < was.size(); ++i)
      if (auto* m = std::get_if<Text>(&was[i]); m && !SameBits(m->Spacing, std::get<Text>(now[i]).Spacing))
        rows.push_back(Row(file, textPlace, block, &m->Attr, m->Text, m->TextTypeCode % 1000, m->Spacing));
    for (size_t i = 0; i < was.size(); ++i)
      if (auto* s = std::get_if<Dimension>(&was[i]);
          s && !SameBits(s->Text.Spacing, std::get<Dimension>(now[i]).Text.Spacing))
        rows.push_back(
            Row(file, dimPlace, block, &s->Attr, s->Text.Text, s->Text.TextTypeCode % 1000, s->Text.Spacing));
  };
  list(body.Entities, after.Entities, "", "main list", "dimension");
  for (size_t d = 0; d < body.BlockDefs.size(); ++d)
    list(body.BlockDefs[d].Entities, after.BlockDefs[d].Entities, body.BlockDefs[d].Name, "block definition",
         "block definition dimension");
  return rows;
}

// The model's rich body plus texts whose cells need quoting, a double-byte text and
// a double-byte block name.
Body ReportBody() {
  Body body = plmtest::RichBody();
  const EntityAttributes attr = plmtest::MakeAttr(1, 2, 0, 7, 11);
  body.Entities.push_back(plmtest::SampleMoji(200, attr, 0, -0.3, "a,b \"q\"\r\nnext"));
  body.Entities.push_back(plmtest::SampleMoji(201, attr, 2003, -1e-300, "\x95\xB6\x8E\x9A"s));  // 文字
  plmtest::BlockDef def;
  def.Attr = plmtest::MakeAttr(1, 1);
  def.Number = 9;
  def.Name = "\x83\x75\x83\x8D\x83\x62\x83\x4E"s;  // ブロック
  def.Entities.push_back(plmtest::SampleMoji(202, plmtest::MakeAttr(1, 2, 0, 15, 15), 0, -4.0, "in block"));
  body.BlockDefs.push_back(def);
  return body;
}

TEST(PlmconvReportTest, RowsAreExactlyTheValuesEachSwitchCombinationChanges) {
  plmtest::TempDir dir;
  const Body body = ReportBody();
  plmtest::JwwHeaderFill fill;
  fill.TypeSpacing = kTypeSpacings;
  Bytes jww = plmtest::JwwHeaderBytes(600, fill);
  jww.append(plmtest::EncodeBody(body, 600, false));
  Bytes jws = plmtest::JwsHeaderBytes(420);
  jws.append(plmtest::EncodeBody(body, 420, false));
  plmtest::WriteFileBytes(dir / "d.JWW", jww.data());
  plmtest::WriteFileBytes(dir / "f.JWS", jws.data());
  fs::create_directory(dir / "out");
  const std::string d = (dir / "d.JWW").string(), f = (dir / "f.JWS").string();
  const std::vector<std::string> names = {"--type-spacing", "--free-spacing", "--dimension-values", "--block-texts"};
  for (int bits = 0; bits < 16; ++bits) {
    SCOPED_TRACE("switches " + std::to_string(bits));
    const ConversionSwitches options = plmtest::OptionsFromBits(bits);
    std::vector<std::string> args = {"convert", "--dry-run", "--report", (dir / "r.csv").string(), "-o",
                                     (dir / "out").string()};
    for (int n = 0; n < 4; ++n)
      if (bits & (1 << n)) args.push_back(names[static_cast<size_t>(n)]);
    args.push_back(d);
    args.push_back(f);
    const CliRun r = Plmconv(args);
    ASSERT_EQ(r.code, kExitOk) << r.out << r.err;
    std::vector<Expected> expected = ModelRows(d, body, options, true);
    const std::vector<Expected> figure = ModelRows(f, body, options, false);
    expected.insert(expected.end(), figure.begin(), figure.end());
    // The switch combinations reach different sets, so the comparison says something.
    if (bits == 15) {
      EXPECT_GT(expected.size(), 20u);
    }
    ExpectRows(ReadCsvReport(dir / "r.csv"), expected);
  }
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

// The real drawings: the dry run's report against what the conversion then changes,
// found by loading every input and its output and comparing their spacing values.
template <class Doc>
void CompareDocuments(const std::string& file, const Doc& in, const Doc& out, std::vector<Expected>& rows) {
  if constexpr (std::is_same_v<Doc, JwwDocument>)
    for (size_t i = 0; i < in.TextTypeSettings.size(); ++i)
      if (!SameBits(in.TextTypeSettings[i].Spacing, out.TextTypeSettings[i].Spacing))
        rows.push_back(Row(file, "text-type table", "", nullptr, "", static_cast<uint32_t>(i + 1),
                           in.TextTypeSettings[i].Spacing));
  auto texts = [&](const std::vector<Text>& a, const std::vector<Text>& b, const std::string& block,
                   const char* where) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
      if (!SameBits(a[i].Spacing, b[i].Spacing))
        rows.push_back(Row(file, where, block, &a[i].Attr, a[i].Text, a[i].TextTypeCode % 1000, a[i].Spacing));
  };
  auto dims = [&](const std::vector<Dimension>& a, const std::vector<Dimension>& b, const std::string& block,
                  const char* where) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
      if (!SameBits(a[i].Text.Spacing, b[i].Text.Spacing))
        rows.push_back(
            Row(file, where, block, &a[i].Attr, a[i].Text.Text, a[i].Text.TextTypeCode % 1000, a[i].Text.Spacing));
  };
  texts(in.TextList, out.TextList, "", "main list");
  dims(in.DimensionList, out.DimensionList, "", "dimension");
  ASSERT_EQ(in.BlockDefinitionList.size(), out.BlockDefinitionList.size());
  for (size_t d = 0; d < in.BlockDefinitionList.size(); ++d) {
    texts(in.BlockDefinitionList[d].TextList, out.BlockDefinitionList[d].TextList, in.BlockDefinitionList[d].Name, "block definition");
    dims(in.BlockDefinitionList[d].DimensionList, out.BlockDefinitionList[d].DimensionList, in.BlockDefinitionList[d].Name, "block definition dimension");
  }
}

// Gives about two texts in three a negative spacing (some NaN), keeping each text's
// type code, so real drawings exercise every branch of the rule.
void MakeSpacingsNegative(std::vector<plmtest::Entity>& entities, int& n) {
  for (plmtest::Entity& e : entities) {
    Text* m = std::get_if<Text>(&e);
    if (Dimension* s = std::get_if<Dimension>(&e)) m = &s->Text;
    if (!m) continue;
    switch (n++ % 6) {
      case 1: m->Spacing = -0.5; break;
      case 2: m->Spacing = -m->Spacing - 0.125; break;
      case 4: m->Spacing = NAN; break;
      case 5: m->Spacing = -1e-9; break;
      default: break;
    }
  }
}

// A corpus drawing rebuilt by the test's own decoder and builder with negative
// spacings: its header bytes as they are, then the changed body. Nothing when the
// decoder cannot take the file.
std::optional<std::vector<uint8_t>> WithNegativeSpacings(const std::vector<uint8_t>& file, bool jww) {
  size_t bodyStart;
  int32_t version;
  if (jww) {
    const auto header = plmtest::ExpectedJwwHeader(file, false);
    if (!header) return std::nullopt;
    bodyStart = header->End;
    version = header->Version;
  } else {
    if (file.size() < 452) return std::nullopt;
    bodyStart = 452;
    version = static_cast<int32_t>(file[200] | file[201] << 8 | file[202] << 16 |
                                   static_cast<uint32_t>(file[203]) << 24);
  }
  const bool images = jww && version >= kVerImages;
  auto decoded = plmtest::DecodeBody(file, bodyStart, version, images, jww ? 2048 : 200);
  if (!decoded) return std::nullopt;
  int n = 0;
  MakeSpacingsNegative(decoded->body.Entities, n);
  for (plmtest::BlockDef& d : decoded->body.BlockDefs) MakeSpacingsNegative(d.Entities, n);
  Bytes out;
  out.raw(std::vector<uint8_t>(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(bodyStart)));
  out.append(plmtest::EncodeBody(decoded->body, version, images));
  return out.data();
}

// The real drawings, with negative spacings given to their texts: the dry run's report
// against what the conversion then changes, found by loading every input and its
// output and comparing their spacing values.
TEST(PlmconvReportTest, CorpusDryRunReportListsWhatTheConversionChanges) {
  const fs::path corpus = plmtest::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "corpus folder absent";
  plmtest::TempDir dir;
  const fs::path in = dir / "in";
  fs::create_directory(in);
  fs::create_directory(dir / "dry");
  fs::create_directory(dir / "out");
  size_t variants = 0;
  for (const auto& e : fs::directory_iterator(corpus)) {
    const bool jww = IsJwwFile(e.path()), jws = IsJwsFile(e.path());
    if (!jww && !jws) continue;
    const auto variant = WithNegativeSpacings(plmtest::ReadFileBytes(e.path()), jww);
    if (!variant) continue;
    plmtest::WriteFileBytes(in / e.path().filename(), *variant);
    ++variants;
  }
  ASSERT_GT(variants, 100u) << "the decoder took too few corpus drawings";

  for (const std::string switches : {"--all", "--type-spacing", "--free-spacing"}) {
    SCOPED_TRACE(switches);
    for (const fs::path& f : {dir / "dry", dir / "out"}) {
      fs::remove_all(f);
      fs::create_directory(f);
    }
    const CliRun dry = Plmconv({"convert", switches, "--dry-run", "--report", (dir / "r.csv").string(), "-o",
                                (dir / "dry").string(), in.string()});
    ASSERT_EQ(dry.code, kExitOk) << dry.out << dry.err;
    EXPECT_TRUE(fs::is_empty(dir / "dry"));
    const CliRun run = Plmconv({"convert", switches, "-o", (dir / "out").string(), in.string()});
    ASSERT_EQ(run.code, kExitOk) << run.out;

    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(in)) files.push_back(e.path());
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
    std::vector<Expected> expected;
    ScopedTempFolder images("plmtest-images-");
    TempImages temp;
    temp.TempFolder = images.Path();
    for (const fs::path& input : files) {
      SCOPED_TRACE(input.filename().string());
      const fs::path output = dir / "out" / input.filename();
      if (IsJwwFile(input)) {
        auto before = std::make_unique<JwwDocument>(), after = std::make_unique<JwwDocument>();
        ASSERT_TRUE(LoadJwwFile(*before, temp, input));
        ASSERT_TRUE(LoadJwwFile(*after, temp, output));
        CompareDocuments(input.string(), *before, *after, expected);
      } else {
        auto before = std::make_unique<JwsDocument>(), after = std::make_unique<JwsDocument>();
        ASSERT_TRUE(LoadJwsFile(*before, input));
        ASSERT_TRUE(LoadJwsFile(*after, output));
        CompareDocuments(input.string(), *before, *after, expected);
      }
    }
    EXPECT_GT(expected.size(), 50u);
    ExpectRows(ReadCsvReport(dir / "r.csv"), expected);
  }
}

TEST(PlmconvReportTest, WriterFormats) {
  SpacingReportRow text{"a,b.JWW", SpacingPlace::BlockText, "\x83\x75\x83\x8D", 12, 3, "say \"hi\"\r\n\x01", 5, -0.1};
  SpacingReportRow table{"t.JWW", SpacingPlace::TextTypeTable, "", std::nullopt, std::nullopt, "", 10, NAN};
  struct Case {
    const char* name;
    ReportFormat format;
    std::vector<SpacingReportRow> rows;
    std::string expected;
  } const cases[] = {
      {"csv without rows",
       ReportFormat::Csv,
       {},
       "\xEF\xBB\xBF" "file,where,block,layer_group,layer,text,text_type_class,spacing\r\n"},
      {"csv quoting, decoding, table row",
       ReportFormat::Csv,
       {text, table},
       "\xEF\xBB\xBF" "file,where,block,layer_group,layer,text,text_type_class,spacing\r\n"
       "\"a,b.JWW\",block definition,\xE3\x83\x96\xE3\x83\xAD,12,3,\"say \"\"hi\"\"\r\n\x01\",5,-0.1\r\n"
       "t.JWW,text-type table,,,,,10,NaN\r\n"},
      {"json without rows", ReportFormat::Json, {}, "[]\n"},
      {"json escapes and nulls",
       ReportFormat::Json,
       {text, table},
       "[\n"
       "  {\"file\": \"a,b.JWW\", \"where\": \"block definition\", \"block\": \"\xE3\x83\x96\xE3\x83\xAD\", "
       "\"layer_group\": 12, \"layer\": 3, \"text\": \"say \\\"hi\\\"\\u000d\\u000a\\u0001\", \"text_type_class\": 5, "
       "\"spacing\": -0.1},\n"
       "  {\"file\": \"t.JWW\", \"where\": \"text-type table\", \"block\": \"\", \"layer_group\": null, "
       "\"layer\": null, \"text\": \"\", \"text_type_class\": 10, \"spacing\": \"NaN\"}\n"
       "]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream out;
    SpacingReportWriter writer(out, c.format);
    writer.Begin();
    writer.Add(c.rows);
    writer.End();
    EXPECT_EQ(out.str(), c.expected);
  }
}

// A text cell that a spreadsheet would run as a formula gets a leading apostrophe;
// numbers and the fixed cells are left as they are.
TEST(PlmconvReportTest, CsvTextsThatWouldBeFormulasAreNeutralised) {
  struct Case {
    std::string text;      // code page 932; ASCII here
    std::string cell;      // as written to the CSV
    std::string fileCell;  // the file column's cell when it differs: a control character is quoted
  } const cases[] = {
      {"plain", "plain", ""},  // control
      {"", "", ""},
      {"a=1+1", "a=1+1", ""},
      {" =1", " =1", ""},
      {"=1+1", "'=1+1", ""},
      {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"", ""},
      {"+41", "'+41", ""},
      {"-2+3", "'-2+3", ""},
      {"@SUM(A1:A2)", "'@SUM(A1:A2)", ""},
      {"\tx", "'\tx", "''$'\\t''x'"},
      {"\r=1", "\"'\r=1\"", "''$'\\r''=1'"},
      {"=a,b", "\"'=a,b\"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (const int column : {0, 2, 5}) {  // file, block, text
      SpacingReportRow row{"f.JWW", SpacingPlace::Text, "", 0, 1, "", 0, -0.5};
      if (column == 0) row.File = c.text;
      if (column == 2) row.Block = c.text;
      if (column == 5) row.Text = c.text;
      std::ostringstream out;
      SpacingReportWriter writer(out, ReportFormat::Csv);
      writer.Add({row});
      const std::string file = column == 0 ? (c.fileCell.empty() ? c.cell : c.fileCell) : "f.JWW";
      const std::string block = column == 2 ? c.cell : "";
      const std::string text = column == 5 ? c.cell : "";
      // The negative spacing stays a number.
      EXPECT_EQ(out.str(), file + ",main list," + block + ",0,1," + text + ",0,-0.5\r\n") << "column " << column;
    }
  }
}

// File names are bytes and need not be UTF-8: a name that is not is shown decoded from
// code page 932 (names from Japanese archives), and both reports stay valid UTF-8,
// every byte that decodes in neither standing as U+FFFD.
TEST(PlmconvReportTest, FileNamesThatAreNotUtf8KeepTheReportsValid) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    const char* why;
    std::string name, shown;
  } const cases[] = {
      {"valid, kept", "\xE3\x83\x96\xF0\x9F\x93\x90.JWW", "\xE3\x83\x96\xF0\x9F\x93\x90.JWW"},
      {"code page 932 name", "\x83\x75\x83\x8D.JWW", "ブロ.JWW"},
      {"lone 0xFF", "a\xFF.JWW", "a" + r + ".JWW"},
      {"overlong slash, two half-width kana in code page 932", "\xC0\xAF.JWW", "ﾀｯ.JWW"},
      {"a lead byte cut by the end", "x\x83", "x" + r},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const SpacingReportRow row{c.name, SpacingPlace::Text, "", 0, 1, "t", 0, -1};
    std::ostringstream json, csv;
    SpacingReportWriter j(json, ReportFormat::Json), v(csv, ReportFormat::Csv);
    j.Add({row});
    v.Add({row});
    EXPECT_EQ(json.str(), "\n  {\"file\": \"" + c.shown +
                              "\", \"where\": \"main list\", \"block\": \"\", \"layer_group\": 0, \"layer\": 1, "
                              "\"text\": \"t\", \"text_type_class\": 0, \"spacing\": -1}");
    EXPECT_EQ(csv.str(), c.shown + ",main list,,0,1,t,0,-1\r\n");
  }
}

// Through the command: a drawing under a name that is not UTF-8, holding a text that
// would be a formula.
TEST(PlmconvReportTest, CommandReportsAreSafeForHostileNamesAndTexts) {
  plmtest::TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  Body body;
  body.Entities.push_back(plmtest::SampleMoji(1, plmtest::MakeAttr(1, 2, 0, 3, 4), 0, -1.5, "=cmd|' /C calc'!A0"));
  Bytes jws = plmtest::JwsHeaderBytes(420);
  jws.append(plmtest::EncodeBody(body, 420, false));
  const fs::path input = dir / "in" / "\x83\x7D.JWS";
  plmtest::WriteFileBytes(input, jws.data());
  const std::string shown = (dir / "in").string() + "/マ.JWS";
  for (const char* report : {"r.csv", "r.json"}) {
    SCOPED_TRACE(report);
    const CliRun run = Plmconv({"convert", "--free-spacing", "--report", (dir / report).string(), "-o",
                                (dir / "out").string(), input.string()});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(dir / report);
    const std::string text(bytes.begin(), bytes.end());
    if (std::string(report) == "r.csv")
      EXPECT_NE(text.find("\r\n" + shown + ",main list,,4,3,'=cmd|' /C calc'!A0,0,-1.5\r\n"), std::string::npos)
          << text;
    else
      EXPECT_NE(text.find("{\"file\": \"" + shown + "\", "), std::string::npos) << text;
  }
}

// Without --dry-run the report lists what reached an output; a file whose output
// cannot be written adds no rows.
TEST(PlmconvReportTest, FilesThatFailAddNoRows) {
  plmtest::TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  const Body body = ReportBody();
  Bytes jws = plmtest::JwsHeaderBytes(420);
  jws.append(plmtest::EncodeBody(body, 420, false));
  plmtest::WriteFileBytes(dir / "in" / "ok.JWS", jws.data());
  plmtest::WriteFileBytes(dir / "in" / "blocked.JWS", jws.data());
  fs::create_directory(dir / "out" / "blocked.JWS");  // the output name is taken by a folder
  const CliRun r = Plmconv({"convert", "--free-spacing", "--report", (dir / "r.csv").string(), "-o",
                            (dir / "out").string(), (dir / "in").string()});
  EXPECT_EQ(r.code, kExitFailed) << r.out;
  EXPECT_NE(r.out.find("blocked.JWS: failed ("), std::string::npos) << r.out;
  const std::string ok = (dir / "in" / "ok.JWS").string();
  ExpectRows(ReadCsvReport(dir / "r.csv"), ModelRows(ok, body, plmtest::OptionsFromBits(2), false));
}

TEST(PlmconvReportTest, ReportFileProblemsAreUsageErrorsBeforeAnyConversion) {
  plmtest::TempDir dir;
  fs::create_directory(dir / "in");
  fs::create_directory(dir / "out");
  fs::create_directory(dir / "taken.csv");
  Bytes jws = plmtest::JwsHeaderBytes(420);
  jws.append(plmtest::EncodeBody(plmtest::RichBody(), 420, false));
  plmtest::WriteFileBytes(dir / "in" / "f.JWS", jws.data());
  const std::string out = (dir / "out").string(), file = (dir / "in" / "f.JWS").string();
  struct Case {
    const char* name;
    std::string report;
    int code;
  } const cases[] = {
      {"control: .CSV in capitals", (dir / "R.CSV").string(), kExitOk},
      {"control: .json", (dir / "r.json").string(), kExitOk},
      {"no extension", (dir / "report").string(), kExitUsage},
      {"another extension", (dir / "r.txt").string(), kExitUsage},
      {"folder missing", (dir / "none" / "r.csv").string(), kExitUsage},
      {"a folder of that name", (dir / "taken.csv").string(), kExitUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = Plmconv({"convert", "--all", "--report", c.report, "-o", out, file});
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    EXPECT_EQ(fs::exists(dir / "out" / "f.JWS"), c.code == kExitOk);
    fs::remove(dir / "out" / "f.JWS");
    fs::remove(dir / "out" / "f.BAK");
  }
  const CliRun missing = Plmconv({"convert", "--report"});
  EXPECT_EQ(missing.code, kExitUsage);
}

}  // namespace
}  // namespace plm
