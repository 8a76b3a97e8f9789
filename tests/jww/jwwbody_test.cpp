// The JWW body: entity list, block definitions, the writer's rules and the spacing
// rule, checked against an independent model of the bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "jww/jwwbody.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace {

using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;
using plmtest::Encoding;
using plmtest::MakeAttr;

std::vector<uint8_t> JwwFile(int32_t version, const Body& body, const Encoding& enc = {},
                             const plmtest::JwwHeaderFill& fill = {}) {
  Bytes b = plmtest::JwwHeaderBytes(version, fill);
  b.append(plmtest::EncodeBody(body, version, version >= plm::kVerImages, enc));
  return b.data();
}

// The writer's output for a loaded drawing, in memory.
std::vector<uint8_t> Written(const plm::JwwDocument& doc, plm::TempImages& images) {
  plm::ByteSink sink;
  plm::WriteJwwHeader(sink, doc, doc.Header.Version);
  plm::WriteJwwBody(sink, doc, images, doc.Header.Version);
  EXPECT_TRUE(sink.Ok()) << sink.FailureReason();
  return sink.Bytes();
}

bool Load(plm::JwwDocument& doc, plm::TempImages& images, const std::vector<uint8_t>& bytes,
          plm::ReadFailure* failure = nullptr) {
  return plm::LoadJwwBytes(doc, images, bytes, failure);
}

// Loads `input` once and, for each switch combination given, applies the rule to a
// copy and compares the written bytes and the change counts with the model.
void ExpectModelOutput(const std::vector<uint8_t>& input, const std::vector<int>& combinations) {
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument loaded;
  plm::ReadFailure failure;
  ASSERT_TRUE(Load(loaded, images, input, &failure)) << failure.Reason;
  for (int bits : combinations) {
    SCOPED_TRACE("switches " + std::to_string(bits));
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    plm::JwwDocument doc = loaded;
    const plm::SpacingChanges changes = plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);
    std::string why;
    const auto expected = plmtest::ExpectedJwwFile(input, options, nullptr, &why);
    ASSERT_TRUE(expected) << why;
    EXPECT_EQ(plmtest::FirstDifference(Written(doc, images), *expected), "");
    plmtest::ExpectChanges(changes, plmtest::ExpectedJwwChanges(input, options));
  }
}

const std::vector<int> kAllCombinations = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

plmtest::JwwHeaderFill NegativeTypeTable() {
  plmtest::JwwHeaderFill fill;
  fill.TypeSpacing = {-1.0, 0.0, -0.0, 2.0, std::numeric_limits<double>::quiet_NaN(), -0.5, 0, 0, 0, -1e300};
  return fill;
}

// Every entity of the loaded lists equals the model's, compared as encoded at the
// newest layout (so absent optional parts must hold their defaults).
void ExpectListMatches(const std::vector<plm::EntityRef>& order, const plm::EntityLists& lists,
                       const std::vector<plmtest::Entity>& model) {
  ASSERT_EQ(order.size(), model.size());
  for (size_t i = 0; i < model.size(); ++i) {
    SCOPED_TRACE("entity " + std::to_string(i));
    ASSERT_EQ(order[i].Kind, plmtest::KindOf(model[i]));
    const size_t k = static_cast<size_t>(order[i].Index);
    plmtest::Entity actual;
    switch (order[i].Kind) {
      case 1: actual = lists.LineList.at(k); break;
      case 2: actual = lists.ArcList.at(k); break;
      case 3: actual = lists.PointList.at(k); break;
      case 4: actual = lists.TextList.at(k); break;
      case 5: actual = lists.DimensionList.at(k); break;
      case 6: actual = lists.SolidList.at(k); break;
      default: actual = lists.BlockInsertList.at(k); break;
    }
    Bytes a, e;
    plmtest::EncodeEntity(a, actual, 700);
    plmtest::EncodeEntity(e, model[i], 700);
    EXPECT_EQ(plmtest::FirstDifference(a.data(), e.data()), "");
  }
}

const int32_t kVersions[] = {220, 223, 225, 230, 231, 299, 300, 350, 351, 419, 420, 600, 700, 701};

TEST(JwwBodyTest, RichBodyAtEveryVersionIsWrittenAsTheRulesSayForEverySwitchCombination) {
  for (int32_t v : kVersions) {
    SCOPED_TRACE("version " + std::to_string(v));
    ExpectModelOutput(JwwFile(v, plmtest::RichBody(), {}, NegativeTypeTable()), kAllCombinations);
  }
}

TEST(JwwBodyTest, LoadedRecordsHoldTheFileValuesAndTheDefaultsOfOlderLayouts) {
  for (int32_t v : {300, 350, 351, 419, 420, 700}) {
    SCOPED_TRACE("version " + std::to_string(v));
    const std::vector<uint8_t> input = JwwFile(v, plmtest::RichBody());
    plmtest::TempDir dir;
    plm::TempImages images;
    images.TempFolder = dir.path();
    plm::JwwDocument doc;
    ASSERT_TRUE(Load(doc, images, input));
    const auto model = plmtest::DecodeBody(input, plmtest::ExpectedJwwHeader(input, false)->End, v, v >= 700, 2048);
    ASSERT_TRUE(model);
    EXPECT_EQ(doc.EntityCount, model->body.Entities.size());
    ExpectListMatches(doc.EntityOrder, doc, model->body.Entities);
    ASSERT_EQ(doc.BlockDefinitionList.size(), model->body.BlockDefs.size());
    for (size_t i = 0; i < doc.BlockDefinitionList.size(); ++i) {
      SCOPED_TRACE("definition " + std::to_string(i));
      const plm::BlockDefinition& d = doc.BlockDefinitionList[i];
      const plmtest::BlockDef& m = model->body.BlockDefs[i];
      EXPECT_EQ(d.Attr, v >= 351 ? m.Attr : MakeAttr(m.Attr.PenStyle, m.Attr.PenColor, 0, m.Attr.Layer,
                                                      m.Attr.LayerGroup, m.Attr.GroupNo, m.Attr.Flags));
      EXPECT_EQ(d.Number, m.Number);
      EXPECT_EQ(d.Time, m.Time);
      EXPECT_EQ(d.Name, m.Name);
      EXPECT_EQ(d.EntityCount, m.Entities.size());
      ExpectListMatches(d.EntityOrder, d, m.Entities);
    }
  }
}

// The model's decoder states the pre-420 defaults; this states them once by hand.
TEST(JwwBodyTest, DimensionBefore420CarriesItsOwnAttributesOnAuxiliaryPartsAndPointsWithStyleZero) {
  Body body;
  const plm::EntityAttributes attr = MakeAttr(5, 7, 9, 3, 4, 77, 0x55);
  body.Entities.push_back(plmtest::SampleSunpo(1, attr, 0, -1.0));
  for (int32_t v : {400, 350}) {
    SCOPED_TRACE(v);
    plm::JwwDocument doc;
    plm::TempImages images;
    ASSERT_TRUE(Load(doc, images, JwwFile(v, body)));
    ASSERT_EQ(doc.DimensionList.size(), 1u);
    const plm::Dimension& s = doc.DimensionList[0];
    plm::EntityAttributes expected = attr;
    if (v < 351) expected.PenWidth = 0;
    EXPECT_EQ(s.Attr, expected);
    EXPECT_EQ(s.AuxMode, 0);
    for (const plm::Line* l : {&s.AuxLine1, &s.AuxLine2}) {
      EXPECT_EQ(l->Attr, expected);
      EXPECT_EQ(l->StartX, 0.0);
      EXPECT_EQ(l->EndY, 0.0);
    }
    plm::EntityAttributes pointAttr = expected;
    pointAttr.PenStyle = 0;
    for (const plm::Point* p : {&s.Point1, &s.Point2, &s.Point3, &s.Point4}) {
      EXPECT_EQ(p->Attr, pointAttr);
      EXPECT_EQ(p->X, 0.0);
      EXPECT_EQ(p->Code, 0u);
      EXPECT_EQ(p->Scale, 0.0);
    }
  }
}

// One line and one coded point at version 351, laid out by hand.
TEST(JwwBodyTest, AnnotatedLineAndCodedPointAreReadAndWrittenBackByteForByte) {
  Bytes body;
  body.u16(2);                                    // entity count
  body.u16(0xFFFF).u16(351).u16(8).raw("CDataSen");  // class 1
  body.u32(0x01020304).u8(2).u16(3).u16(4).u16(5).u16(6).u16(7);  // GroupNo style colour width layer group flags
  body.f64(1.0).f64(2.0).f64(3.0).f64(4.0);       // start, end          -> object 2
  body.u16(0xFFFF).u16(351).u16(8).raw("CDataTen");  // class 3
  body.u32(9).u8(100).u16(1).u16(0).u16(0).u16(0).u16(0);
  body.f64(5.0).f64(6.0).u32(1);                  // X, Y, Temporary
  body.u32(42).f64(0.5).f64(2.5);                 // Code, Angle, Scale  -> object 4
  body.u16(0);                                    // no block definitions
  Bytes file = plmtest::JwwHeaderBytes(351);
  file.append(body);

  plm::JwwDocument doc;
  plm::TempImages images;
  ASSERT_TRUE(Load(doc, images, file.data()));
  ASSERT_EQ(doc.LineList.size(), 1u);
  ASSERT_EQ(doc.PointList.size(), 1u);
  EXPECT_EQ(doc.LineList[0].Attr, MakeAttr(2, 3, 4, 5, 6, 0x01020304, 7));
  EXPECT_EQ(doc.LineList[0].EndY, 4.0);
  EXPECT_EQ(doc.PointList[0].Code, 42u);
  EXPECT_EQ(doc.PointList[0].Scale, 2.5);
  EXPECT_EQ(doc.EntityOrder, (std::vector<plm::EntityRef>{{1, 0}, {3, 0}}));

  std::vector<uint8_t> expected = plmtest::ExpectedJwwHeader(file.data(), false)->Expected;
  expected.insert(expected.end(), body.data().begin(), body.data().end());
  EXPECT_EQ(plmtest::FirstDifference(Written(doc, images), expected), "");
}

TEST(JwwBodyTest, EncodingsTheWriterNeverUsesAreReadAndWrittenInShortestForm) {
  const Encoding cases[] = {
      {plmtest::RefForm::Big, false, false, -1},
      {plmtest::RefForm::BigNoTopBit, false, false, -1},
      {plmtest::RefForm::Shortest, true, false, -1},
      {plmtest::RefForm::Shortest, false, true, -1},
      {plmtest::RefForm::Big, true, true, 0},
  };
  for (int32_t v : {350, 700}) {
    for (const Encoding& enc : cases) {
      SCOPED_TRACE("version " + std::to_string(v) + " refs " + std::to_string(int(enc.Refs)) + " long strings " +
                   std::to_string(enc.LongStrings) + " escaped counts " + std::to_string(enc.EscapedCounts));
      ExpectModelOutput(JwwFile(v, plmtest::RichBody(), enc), {0, 15});
    }
  }
}

// Classes first met inside block definitions are declared there and referred to by
// index in later definitions; the main list's classes are referred to inside them.
TEST(JwwBodyTest, ClassesDeclaredInsideBlockDefinitionsKeepTheirPlaceAndIndex) {
  Body body;
  body.Entities.push_back(plmtest::SampleSen(1, MakeAttr(1, 1)));
  body.Entities.push_back(plmtest::SampleSen(2, MakeAttr(1, 1)));
  plmtest::BlockDef a;
  a.Number = 1;
  a.Name = "a";
  a.Entities = {plmtest::SampleTen(3, MakeAttr(1, 1)), plmtest::SampleSen(4, MakeAttr(1, 1)),
                plmtest::SampleMoji(5, MakeAttr(1, 1), 0, -1.0, "in a")};
  plmtest::BlockDef b;
  b.Number = 2;
  b.Name = "b";
  b.Entities = {plmtest::SampleMoji(6, MakeAttr(1, 1), 3, -1.0, "in b"), plmtest::SampleTen(7, MakeAttr(100, 1)),
                plmtest::SampleSunpo(8, MakeAttr(1, 1), 0, -1.0), plmtest::SampleSunpo(18, MakeAttr(1, 1), 0, -1.0)};
  body.BlockDefs = {a, b, a};
  for (int32_t v : {351, 420, 700}) {
    SCOPED_TRACE(v);
    ExpectModelOutput(JwwFile(v, body), kAllCombinations);
  }
}

TEST(JwwBodyTest, EmptyListsAndTrailingBytes) {
  for (int32_t v : {220, 600, 700}) {
    SCOPED_TRACE(v);
    std::vector<uint8_t> input = JwwFile(v, Body{});
    ExpectModelOutput(input, {0});
    input.insert(input.end(), {1, 2, 3, 0xFF, 0xFF});
    plm::JwwDocument doc;
    plm::TempImages images;
    ASSERT_TRUE(Load(doc, images, input));
    EXPECT_EQ(doc.EntityCount, 0u);
    EXPECT_TRUE(doc.BlockDefinitionList.empty());
    const std::vector<uint8_t> out = Written(doc, images);
    EXPECT_EQ(out.size(), input.size() - 5) << "trailing bytes are not carried";
  }
}

// More than 65,534 entities (count escape) and classes first declared after object
// 32,766, so their references need the 0x7FFF form.
TEST(JwwBodyTest, SeventyThousandEntitiesWithLateClassesUseTheLongCountAndReferenceForms) {
  Body body;
  body.Entities.reserve(70000);
  body.Entities.resize(40000);  // lines
  for (int i = 0; i < 40000; ++i) std::get<plm::Line>(body.Entities[i]) = plmtest::SampleSen(i, MakeAttr(1, 1));
  for (int i = 0; i < 30000; ++i) {
    switch (i % 4) {
      case 0: body.Entities.push_back(plmtest::SampleTen(i, MakeAttr(i % 8 ? 1 : 100, 1))); break;
      case 1: body.Entities.push_back(plmtest::SampleMoji(i, MakeAttr(1, 1), i % 3, -0.5, "t")); break;
      case 2: body.Entities.push_back(plmtest::SampleSolid(i, MakeAttr(1, 10))); break;
      default: body.Entities.push_back(plmtest::SampleSen(i, MakeAttr(1, 1))); break;
    }
  }
  plmtest::BlockDef d;
  d.Name = "late";
  d.Entities.push_back(plmtest::SampleMoji(1, MakeAttr(1, 1), 0, -2.0, "x"));
  d.Entities.push_back(plmtest::SampleEnko(2, MakeAttr(1, 1)));
  body.BlockDefs = {d, d};
  const std::vector<uint8_t> input = JwwFile(700, body);
  // The case holds what it claims: a 32-bit count and long references.
  const size_t bodyStart = plmtest::ExpectedJwwHeader(input, false)->End;
  EXPECT_EQ(input[bodyStart], 0xFF);
  EXPECT_EQ(input[bodyStart + 1], 0xFF);
  ExpectModelOutput(input, {0, 15});
}

TEST(JwwBodyTest, SpacingRuleZeroesNaNToPlusZeroAndKeepsMinusZero) {
  Body body;
  body.Entities.push_back(plmtest::SampleMoji(1, MakeAttr(1, 1), 0, std::numeric_limits<double>::quiet_NaN(), "a"));
  body.Entities.push_back(plmtest::SampleMoji(2, MakeAttr(1, 1), 2000, -0.0, "b"));
  body.Entities.push_back(plmtest::SampleMoji(3, MakeAttr(1, 1), 10003, -7.0, "c"));
  plm::JwwDocument doc;
  plm::TempImages images;
  ASSERT_TRUE(Load(doc, images, JwwFile(600, body)));
  plm::ConversionSwitches all = plmtest::OptionsFromBits(15);
  const plm::SpacingChanges c = plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), all);
  EXPECT_EQ(c.Texts, 2u);
  EXPECT_EQ(doc.TextList[0].Spacing, 0.0);
  EXPECT_FALSE(std::signbit(doc.TextList[0].Spacing));
  EXPECT_TRUE(std::signbit(doc.TextList[1].Spacing));
  EXPECT_EQ(doc.TextList[2].Spacing, 0.0);
  EXPECT_FALSE(std::signbit(doc.TextList[2].Spacing));
  EXPECT_EQ(plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), all).Total(), 0u) << "a second run changes nothing";
}

TEST(JwwBodyTest, SaveJwwFileWritesTheSameBytesAndLeavesNothingWhenItCannotCreate) {
  const std::vector<uint8_t> input = JwwFile(600, plmtest::RichBody());
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir / "TEMP";
  plm::JwwDocument doc;
  ASSERT_TRUE(Load(doc, images, input));
  ASSERT_TRUE(plm::SaveJwwFile(doc, images, dir / "OUT.JWW", 600));
  EXPECT_EQ(plmtest::FirstDifference(plmtest::ReadFileBytes(dir / "OUT.JWW"), *plmtest::ExpectedJwwFile(input, {})),
            "");
  std::string why;
  EXPECT_FALSE(plm::SaveJwwFile(doc, images, dir / "missing" / "OUT.JWW", 600, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// ---- hostile files --------------------------------------------------------------

// A small version-700 drawing with every entity kind, a block definition and an image.
std::vector<uint8_t> SmallCompleteDrawing() {
  Body body;
  body.Entities = {plmtest::SampleSen(1, MakeAttr(1, 1)),
                   plmtest::SampleEnko(2, MakeAttr(1, 1)),
                   plmtest::SampleTen(3, MakeAttr(100, 1)),
                   plmtest::SampleMoji(4, MakeAttr(1, 1), 0, -1.0, "^@BM%temp%p.bmp,0"),
                   plmtest::SampleSunpo(5, MakeAttr(1, 1), 0, -1.0),
                   plmtest::SampleSolid(6, MakeAttr(1, 10)),
                   plmtest::SampleBlock(7, MakeAttr(1, 1), 1)};
  plmtest::BlockDef d;
  d.Number = 1;
  d.Time = -1;
  d.Name = "d";
  d.Entities = {plmtest::SampleSen(8, MakeAttr(1, 1)), plmtest::SampleMoji(9, MakeAttr(1, 1), 3, -1.0, "t")};
  body.BlockDefs = {d};
  body.Images = {{"p.bmp", 5, {1, 2, 3, 4, 5}}};
  return JwwFile(700, body);
}

TEST(JwwBodyHostileTest, TruncationAtEveryByteFailsWithAReason) {
  const std::vector<uint8_t> full = SmallCompleteDrawing();
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  {
    plm::JwwDocument doc;
    ASSERT_TRUE(Load(doc, images, full)) << "control: the whole drawing loads";
  }
  for (size_t n = 0; n < full.size(); ++n) {
    const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    if (Load(doc, images, cut, &failure)) {
      ADD_FAILURE() << "a drawing cut to " << n << " of " << full.size() << " bytes loads";
      return;
    }
    if (failure.Reason.empty() || failure.Offset > n) {
      ADD_FAILURE() << "cut to " << n << ": reason '" << failure.Reason << "' at " << failure.Offset;
      return;
    }
  }
}

// Bytes of a version-600 header, then `body`.
std::vector<uint8_t> WithHeader(const Bytes& body, int32_t v = 600) {
  Bytes b = plmtest::JwwHeaderBytes(v);
  b.append(body);
  return b.data();
}

TEST(JwwBodyHostileTest, AbsurdCountsFailAtOnce) {
  Bytes line;
  plmtest::EncodeEntity(line, plmtest::SampleSen(1, MakeAttr(1, 1)), 600);
  struct Case {
    const char* name;
    Bytes body;
    size_t at;  // where the count stands, from the start of the body
  };
  std::vector<Case> cases;
  cases.push_back({"entity count 2^31-1", Bytes().u16(0xFFFF).u32(0x7FFFFFFF), 0});
  cases.push_back({"entity count with top bit", Bytes().u16(0xFFFF).u32(0x80000001), 0});
  cases.push_back({"entity count 0xFFFFFFFF", Bytes().u16(0xFFFF).u32(0xFFFFFFFF), 0});
  cases.push_back({"entity count 60000 in a short file", Bytes().u16(60000).newClass(600, "CDataSen").append(line), 0});
  cases.push_back({"definition count 2^31-1", Bytes().u16(0).u16(0xFFFF).u32(0x7FFFFFFF), 2});
  // entity count, definition count, class (15), attributes and three numbers, name "n"
  cases.push_back({"definition entity count 2^31-1",
                   Bytes().u16(0).u16(1).newClass(600, "CDataList").zeros(15 + 12).str("n").u16(0xFFFF).u32(0x7FFFFFFF),
                   2 + 2 + 15 + 15 + 12 + 2});
  cases.push_back({"image count 2^31-1", Bytes().u16(0).u16(0).i32(0x7FFFFFFF), 4});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t v = std::string(c.name).starts_with("image") ? 700 : 600;
    const size_t bodyStart = plmtest::JwwHeaderBytes(v).size();
    std::vector<uint8_t> input = WithHeader(c.body, v);
    input.resize(input.size() + 1024, 0);
    plmtest::TempDir dir;
    plm::TempImages images;
    images.TempFolder = dir.path();
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    EXPECT_FALSE(Load(doc, images, input, &failure));
    EXPECT_FALSE(failure.Reason.empty());
    EXPECT_EQ(failure.Offset, bodyStart + c.at) << failure.Reason;
    EXPECT_LT(doc.EntityOrder.capacity(), 100000u) << "nothing is reserved for a hostile count";
  }
}

TEST(JwwBodyHostileTest, TagsThatNameNoEntityClassFailTheLoad) {
  Bytes line;
  plmtest::EncodeEntity(line, plmtest::SampleSen(1, MakeAttr(1, 1)), 600);
  struct Case {
    const char* name;
    Bytes body;
    size_t at;  // the failing tag, from the start of the body
  };
  // A failing tag after a declared line stands behind the count (2), the class
  // definition (14) and the line (47).
  const size_t second = 2 + 14 + 47;
  ASSERT_EQ(line.size(), 47u);
  const Case cases[] = {
      {"control: a declared line and a reference to it",
       Bytes().u16(2).newClass(600, "CDataSen").append(line).classRef(1).append(line).u16(0), 0},
      {"unknown class name", Bytes().u16(1).newClass(600, "CDataFoo").append(line).u16(0), 2},
      {"class name in other letter case", Bytes().u16(1).newClass(600, "cdatasen").append(line).u16(0), 2},
      {"block definition class in the entity list", Bytes().u16(1).newClass(600, "CDataList").append(line).u16(0), 2},
      {"reference to an index never declared",
       Bytes().u16(2).newClass(600, "CDataSen").append(line).classRef(7).append(line).u16(0), second},
      {"reference to an object's index",
       Bytes().u16(2).newClass(600, "CDataSen").append(line).classRef(2).append(line).u16(0), second},
      {"long reference to nothing",
       Bytes().u16(2).newClass(600, "CDataSen").append(line).u16(0x7FFF).u32(0x80000009).append(line).u16(0), second},
      {"tag below 0x8000", Bytes().u16(1).u16(0x0001).append(line).u16(0), 2},
      {"tag 0x8000 (index 0)", Bytes().u16(2).newClass(600, "CDataSen").append(line).u16(0x8000).append(line).u16(0),
       second},
      // counts, definition class (15), attributes and numbers (27), name, entity count
      {"unknown class inside a definition",
       Bytes().u16(0).u16(1).newClass(600, "CDataList").zeros(15 + 12).str("n").u16(1).newClass(600, "CDataX").append(line),
       2 + 2 + 15 + 27 + 2 + 2},
  };
  const size_t bodyStart = plmtest::JwwHeaderBytes(600).size();
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plm::JwwDocument doc;
    plm::TempImages images;
    plm::ReadFailure failure;
    const bool ok = Load(doc, images, WithHeader(c.body), &failure);
    if (first) {
      EXPECT_TRUE(ok) << failure.Reason;
      first = false;
      continue;
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(failure.Offset, bodyStart + c.at) << failure.Reason;
    EXPECT_NE(failure.Reason.find("unknown class"), std::string::npos) << failure.Reason;
  }
}

// Every tag of the definition list is followed by a definition, whatever it names;
// the name length is bounded by the reading buffer.
TEST(JwwBodyHostileTest, DefinitionClassNamesUpTo2048BytesAreAcceptedAndLongerOnesFail) {
  for (size_t length : {size_t{9}, size_t{2048}, size_t{2049}, size_t{65535}}) {
    SCOPED_TRACE(length);
    Body body;
    plmtest::BlockDef d;
    d.ClassName = std::string(length, 'Q');
    d.Entities = {plmtest::SampleSen(1, MakeAttr(1, 1))};
    body.BlockDefs = {d, d};
    const std::vector<uint8_t> input = JwwFile(600, body);
    plm::JwwDocument doc;
    plm::TempImages images;
    plm::ReadFailure failure;
    const bool ok = Load(doc, images, input, &failure);
    EXPECT_EQ(ok, length <= 2048) << failure.Reason;
    if (ok) ExpectModelOutput(input, {0});
    // The name length of the first definition's class: behind both counts, the tag and the schema.
    else EXPECT_EQ(failure.Offset, plmtest::JwwHeaderBytes(600).size() + 8) << failure.Reason;
  }
  // In the entity list a name past the limit fails too, at its length.
  plm::JwwDocument doc;
  plm::TempImages images;
  plm::ReadFailure failure;
  EXPECT_FALSE(Load(doc, images, WithHeader(Bytes().u16(1).newClass(600, std::string(2049, 'S'))), &failure));
  EXPECT_EQ(failure.Offset, plmtest::JwwHeaderBytes(600).size() + 6) << failure.Reason;
}

}  // namespace
