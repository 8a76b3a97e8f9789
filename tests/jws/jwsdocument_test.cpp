// JWS figures: the short header, the shared body, the version adjustment, the
// text-prefix rewrite and the spacing rule, checked against an independent model.
#include <gtest/gtest.h>

#include "jws/jwsdocument.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/jws_figure.h"

namespace {

using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;
using plmtest::MakeAttr;
namespace fs = std::filesystem;

std::vector<uint8_t> Figure(int32_t v, const Body& body, uint8_t filler = 'x') {
  return plmtest::JwsFigure(v, body, filler);
}

std::vector<uint8_t> Written(const plm::JwsDocument& doc) {
  plm::ByteSink sink;
  plm::WriteJwsFile(sink, doc, doc.Version);
  EXPECT_TRUE(sink.Ok()) << sink.FailureReason();
  return sink.Bytes();
}

plm::Text Text(int seed, std::string text, std::string font = "font") {
  return plmtest::SampleMoji(seed, MakeAttr(1, 1), 0, -1.0, std::move(text), std::move(font));
}

// The rich body plus texts that carry the image prefix, in the main list and in a
// definition.
Body FigureBody() {
  Body b = plmtest::RichBody();
  b.Entities.push_back(Text(100, "^@BM%temp%pic.bmp,1"));
  b.Entities.push_back(Text(101, "^@BM%TEMP%pic.bmp,1"));
  b.BlockDefs[0].Entities.push_back(Text(102, "^@BM%temp%in block"));
  return b;
}

TEST(JwsUnitTest, FiguresOfEveryVersionAreWrittenAsTheRulesSayForEverySwitchCombination) {
  for (int32_t v : {100, 229, 230, 300, 350, 351, 400, 420, 600, 700}) {
    SCOPED_TRACE("version " + std::to_string(v));
    const std::vector<uint8_t> input = Figure(v, FigureBody());
    plm::JwsDocument loaded;
    plm::ReadFailure failure;
    ASSERT_TRUE(plm::LoadJwsBytes(loaded, input, &failure)) << failure.Reason;
    EXPECT_EQ(loaded.Version, v);
    for (int bits = 0; bits < 16; ++bits) {
      SCOPED_TRACE("switches " + std::to_string(bits));
      const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
      plm::JwsDocument doc = loaded;
      const plm::SpacingChanges changes = plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);
      std::string why;
      const auto expected = plmtest::ExpectedJwsFile(input, options, &why);
      ASSERT_TRUE(expected) << why;
      EXPECT_EQ(plmtest::FirstDifference(Written(doc), *expected), "");
      auto model = plmtest::DecodeBody(input, 452, v, false, 200);
      const plm::SpacingChanges modelChanges = plmtest::ApplyRuleModel(model->body, options);
      EXPECT_EQ(changes.TypeTable, 0u);
      EXPECT_EQ(changes.Texts, modelChanges.Texts);
      EXPECT_EQ(changes.DimTexts, modelChanges.DimTexts);
      EXPECT_EQ(changes.BlockTexts, modelChanges.BlockTexts);
      EXPECT_EQ(changes.BlockDimTexts, modelChanges.BlockDimTexts);
    }
  }
}

TEST(JwsUnitTest, OutputVersionAdjustment) {
  const std::pair<int32_t, int32_t> cases[] = {{100, 230}, {229, 230}, {230, 230}, {231, 231}, {299, 299},
                                               {300, 351}, {301, 301}, {351, 351}, {420, 420}, {-5, 230}};
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(plm::JwsOutputVersion(in), out);
    EXPECT_EQ(plmtest::JwsOutputVersionModel(in), out);
  }
}

// A version-300 figure comes out as 351: every attribute block gains a pen-width word.
TEST(JwsUnitTest, Version300IsWrittenAs351WithAPenWidthWordInEveryAttributeBlock) {
  Body body;
  body.Entities = {plmtest::SampleSen(1, MakeAttr(1, 1, 9)), plmtest::SampleEnko(2, MakeAttr(1, 1, 9)),
                   plmtest::SampleTen(3, MakeAttr(100, 1, 9)), Text(4, "t"),
                   plmtest::SampleSunpo(5, MakeAttr(1, 1, 9), 0, 1.0), plmtest::SampleSolid(6, MakeAttr(1, 10, 9)),
                   plmtest::SampleBlock(7, MakeAttr(1, 1, 9), 1)};
  plmtest::BlockDef d;
  d.Name = "d";
  d.Entities = {plmtest::SampleSen(8, MakeAttr(1, 1, 9))};
  body.BlockDefs = {d};
  const std::vector<uint8_t> input = Figure(300, body);
  plm::JwsDocument doc;
  ASSERT_TRUE(plm::LoadJwsBytes(doc, input));
  const std::vector<uint8_t> out = Written(doc);
  // 7 entities, a dimension's line and text (no auxiliary parts below 420), the
  // definition and its line: 11 attribute blocks.
  EXPECT_EQ(out.size(), input.size() + 2 * 11);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 200, out.begin() + 204), (std::vector<uint8_t>{0x5F, 0x01, 0, 0}));
  const auto decoded = plmtest::DecodeBody(out, 452, 351, false, 200);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(std::get<plm::Line>(decoded->body.Entities[0]).Attr, MakeAttr(1, 1, 0)) << "pen width 0 from memory";
  EXPECT_EQ(plmtest::FirstDifference(out, *plmtest::ExpectedJwsFile(input, {})), "");
}

TEST(JwsUnitTest, ImagePrefixIsRewrittenOnlyInTextEntities) {
  struct Case {
    std::string text;
    std::string written;
  };
  const Case texts[] = {
      {"^@BM%temp%name.bmp,1", "^@BMname.bmp,1"},
      {"^@BM%temp%", "^@BM"},
      {"\x01^@BM%temp%c"s, "^@BMc"},  // filtered first, then rewritten
      {"^@BM%temp%^mx", "^@BMx"},
      {"^@BM%TEMP%x", "^@BM%TEMP%x"},
      {"^@bm%temp%x", "^@bm%temp%x"},
      {"^@BMx", "^@BMx"},
      {"^@BM%temp", "^@BM%temp"},
      {" ^@BM%temp%x", " ^@BM%temp%x"},
  };
  Body body;
  for (size_t i = 0; i < std::size(texts); ++i) body.Entities.push_back(Text(static_cast<int>(i), texts[i].text));
  body.Entities.push_back(Text(50, "plain", "^@BM%temp%font"));
  body.Entities.push_back(plmtest::SampleSunpo(51, MakeAttr(1, 1), 0, 1.0, "^@BM%temp%dim"));
  plmtest::BlockDef d;
  d.Name = "^@BM%temp%block";
  d.Entities.push_back(Text(52, "^@BM%temp%inside"));
  body.BlockDefs = {d};
  const std::vector<uint8_t> input = Figure(420, body);
  plm::JwsDocument doc;
  ASSERT_TRUE(plm::LoadJwsBytes(doc, input));
  const plm::JwsDocument before = doc;
  const auto out = plmtest::DecodeBody(Written(doc), 452, 420, false, 200);
  ASSERT_TRUE(out);
  for (size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE(texts[i].text);
    EXPECT_EQ(std::get<plm::Text>(out->body.Entities[i]).Text, texts[i].written);
    EXPECT_EQ(doc.TextList[i].Text, texts[i].text) << "the document is not changed";
  }
  EXPECT_EQ(std::get<plm::Text>(out->body.Entities[std::size(texts)]).FontName, "^@BM%temp%font");
  EXPECT_EQ(std::get<plm::Dimension>(out->body.Entities[std::size(texts) + 1]).Text.Text, "^@BM%temp%dim");
  EXPECT_EQ(out->body.BlockDefs[0].Name, "^@BM%temp%block");
  EXPECT_EQ(std::get<plm::Text>(out->body.BlockDefs[0].Entities[0]).Text, "^@BMinside");
  EXPECT_EQ(doc.BlockDefinitionList[0].TextList[0].Text, before.BlockDefinitionList[0].TextList[0].Text);
}

TEST(JwsUnitTest, EmptyFigureTrailingBytesAndCarriedHeaderValues) {
  std::vector<uint8_t> input = Figure(351, Body{}, 0x00);
  ASSERT_EQ(input.size(), 456u);
  input.insert(input.end(), {0xFF, 0xFF, 1, 2});
  plm::JwsDocument doc;
  plm::ReadFailure failure;
  ASSERT_TRUE(plm::LoadJwsBytes(doc, input, &failure)) << failure.Reason;
  EXPECT_EQ(doc.EntityCount, 0u);
  EXPECT_EQ(doc.BlockDefCount, 0u);
  EXPECT_EQ(doc.LayerGroups[3].Scale, 0.25);
  EXPECT_EQ(doc.HeaderInts[5], -32);
  const std::vector<uint8_t> out = Written(doc);
  ASSERT_EQ(out.size(), 456u);
  EXPECT_EQ(std::string(out.begin() + 7, out.begin() + 200), std::string(193, '.'));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 200, out.end()), std::vector<uint8_t>(input.begin() + 200, input.begin() + 456));
}

TEST(JwsUnitTest, SaveJwsFileWritesTheModelBytesAndLeavesNothingWhenItCannotCreate) {
  const std::vector<uint8_t> input = Figure(600, FigureBody());
  plm::JwsDocument doc;
  ASSERT_TRUE(plm::LoadJwsBytes(doc, input));
  plmtest::TempDir dir;
  ASSERT_TRUE(plm::SaveJwsFile(doc, dir / "A.JWS", doc.Version));
  EXPECT_EQ(plmtest::FirstDifference(plmtest::ReadFileBytes(dir / "A.JWS"), *plmtest::ExpectedJwsFile(input, {})), "");
  EXPECT_FALSE(plm::SaveJwsFile(doc, dir / "missing" / "A.JWS", doc.Version));
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(JwsUnitTest, DefinitionClassNamesUpTo200BytesAreAcceptedAndLongerOnesFail) {
  for (size_t length : {size_t{200}, size_t{201}, size_t{2048}}) {
    SCOPED_TRACE(length);
    Body body;
    plmtest::BlockDef d;
    d.ClassName = std::string(length, 'Q');
    body.BlockDefs = {d};
    const std::vector<uint8_t> input = Figure(420, body);
    plm::JwsDocument doc;
    plm::ReadFailure failure;
    const bool ok = plm::LoadJwsBytes(doc, input, &failure);
    EXPECT_EQ(ok, length <= 200) << failure.Reason;
    if (ok) {
      EXPECT_EQ(plmtest::FirstDifference(Written(doc), *plmtest::ExpectedJwsFile(input, {})), "");
    } else {
      // The class name length: behind the header, both counts, the tag and the schema.
      EXPECT_EQ(failure.Offset, plmtest::JwsHeaderBytes(420).size() + 8) << failure.Reason;
    }
  }
}

TEST(JwsUnitTest, TruncationAtEveryByteFailsWithAReason) {
  Body body;
  body.Entities = {plmtest::SampleSen(1, MakeAttr(1, 1)),  plmtest::SampleEnko(2, MakeAttr(1, 1)),
                   plmtest::SampleTen(3, MakeAttr(100, 1)), Text(4, "t"),
                   plmtest::SampleSunpo(5, MakeAttr(1, 1), 0, 1.0), plmtest::SampleSolid(6, MakeAttr(1, 10)),
                   plmtest::SampleBlock(7, MakeAttr(1, 1), 1)};
  plmtest::BlockDef d;
  d.Time = -1;
  d.Entities = {Text(8, "in")};
  body.BlockDefs = {d};
  const std::vector<uint8_t> full = Figure(420, body);
  plm::JwsDocument control;
  ASSERT_TRUE(plm::LoadJwsBytes(control, full));
  for (size_t n = 0; n < full.size(); ++n) {
    plm::JwsDocument doc;
    plm::ReadFailure failure;
    const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
    if (plm::LoadJwsBytes(doc, cut, &failure) || failure.Reason.empty() || failure.Offset > n) {
      ADD_FAILURE() << "cut to " << n << " of " << full.size() << ": reason '" << failure.Reason << "'";
      return;
    }
  }
}

TEST(JwsUnitTest, AbsurdCountsAndTagsOfNoEntityClassFail) {
  Bytes line;
  plmtest::EncodeEntity(line, plmtest::SampleSen(1, MakeAttr(1, 1)), 420);
  struct Case {
    const char* name;
    Bytes body;
    size_t at;  // of the failure, from the start of the body: the count, the tag or the name length
  };
  const Case cases[] = {
      {"entity count 2^31-1", Bytes().u16(0xFFFF).u32(0x7FFFFFFF), 0},
      {"entity count with top bit", Bytes().u16(0xFFFF).u32(0x80000000), 0},
      {"definition count 2^31-1", Bytes().u16(0).u16(0xFFFF).u32(0x7FFFFFFF), 2},
      {"unknown class", Bytes().u16(1).newClass(420, "CDataFoo").append(line).u16(0), 2},
      {"undeclared reference", Bytes().u16(1).classRef(1).append(line).u16(0), 2},
      {"entity class name over 200 bytes", Bytes().u16(1).newClass(420, std::string(201, 'S')).append(line).u16(0),
       2 + 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = plmtest::JwsHeaderBytes(420);
    const size_t bodyStart = file.size();
    file.append(c.body).zeros(1024);
    plm::JwsDocument doc;
    plm::ReadFailure failure;
    EXPECT_FALSE(plm::LoadJwsBytes(doc, file.data(), &failure));
    EXPECT_FALSE(failure.Reason.empty());
    EXPECT_EQ(failure.Offset, bodyStart + c.at) << failure.Reason;
    EXPECT_LT(doc.EntityOrder.capacity(), 100000u);
  }
}

// The signature, not the extension, picks the probe; a file whose signature does not
// match is no file of that format.
TEST(JwsUnitTest, SignatureDecidesAndAMismatchedExtensionIsSkipped) {
  plmtest::TempDir dir;
  const std::vector<uint8_t> jws = Figure(351, Body{});
  Bytes jww = plmtest::JwwHeaderBytes(600);
  jww.u16(0).u16(0);
  plmtest::WriteFileBytes(dir / "jwwdata.JWS", jww.data());
  plmtest::WriteFileBytes(dir / "jwsdata.JWW", jws);
  plmtest::WriteFileBytes(dir / "seven.JWS", {'J', 'w', 's', 'D', 'a', 't', 'a'});
  plmtest::WriteFileBytes(dir / "case.JWS", {'j', 'w', 's', 'd', 'a', 't', 'a', 0});
  EXPECT_FALSE(plm::IsJwsFile(dir / "jwwdata.JWS"));
  EXPECT_TRUE(plm::IsJwsFile(dir / "jwsdata.JWW"));
  EXPECT_FALSE(plm::IsJwwFile(dir / "jwsdata.JWW"));
  EXPECT_TRUE(plm::IsJwsFile(dir / "seven.JWS"));
  EXPECT_FALSE(plm::IsJwsFile(dir / "case.JWS"));
  EXPECT_FALSE(plm::IsJwsFile(dir / "absent.JWS"));
}

}  // namespace
