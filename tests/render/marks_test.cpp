#include "render/marks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "render/displaylist.h"
#include "tests/render/render_fixture.h"

namespace {

using namespace rendertest;
using plmtest::Body;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

plm::Dimension Dim(uint32_t typeCode, double spacing) {
  plm::Dimension d = plmtest::SampleSunpo(1, Attr(2), typeCode, spacing);
  d.Text.SizeX = d.Text.SizeY = 2;
  return d;
}

// Main list: texts (free -0.5, typed -0.5, free -0.0, free NaN, typed +0.5), then
// dimensions (free -0.5, typed -1); definition 1: free and typed text, free and typed
// dimension, all -0.5; inserted twice. Text type 3 of the table has -1.
Body MixedBody() {
  Body body;
  body.Entities = {Text("a", 0, 0, 2, 2, -0.5, 0, 0),    Text("b", 0, 5, 2, 2, -0.5, 0, 3),
                   Text("c", 0, 10, 2, 2, -0.0, 0, 2000), Text("d", 0, 15, 2, 2, kNaN, 0, 1000),
                   Text("e", 0, 20, 2, 2, 0.5, 0, 1003),  Dim(0, -0.5),
                   Dim(5, -1),                           Insert(1, 50, 0),
                   Insert(1, 80, 0)};
  body.BlockDefs.push_back(
      Def(1, {Text("f", 0, 0, 2, 2, -0.5, 0, 0), Text("g", 0, 5, 2, 2, -0.5, 0, 4), Dim(0, -0.5), Dim(2003, -0.5)}));
  return body;
}

plmtest::JwwHeaderFill TableFill() {
  plmtest::JwwHeaderFill fill;
  fill.TypeSpacing[2] = -1;
  return fill;
}

struct Expected {
  std::vector<uint8_t> texts, dims, blockTexts, blockDims;
  bool typeEntry = false;
};

// The switches' table, written out for the mixed body.
Expected ExpectedFor(const plm::ConversionSwitches& o) {
  const bool t = o.ZeroTypeSpacing, f = o.ZeroFreeSpacing, dv = f && o.ChangeDimensionValues,
             bt = f && o.ChangeBlockTexts, bdv = dv && o.ChangeBlockTexts;
  auto b = [](bool v) { return static_cast<uint8_t>(v); };
  return {{b(f), b(t), 0, b(f), 0}, {b(dv), b(t)}, {b(bt), b(t)}, {b(bdv), b(t)}, t};
}

TEST(SpacingMarksTest, JwwMarksFollowTheSwitchesTable) {
  const plm::JwwDocument doc = LoadJww(MixedBody(), 600, TableFill());
  for (int bits = 0; bits < 16; ++bits) {
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    SCOPED_TRACE(bits);
    const plm::WrittenJww w = plm::WrittenCopyOf(doc, options);
    const Expected e = ExpectedFor(options);
    EXPECT_EQ(w.Marks.Main.Texts, e.texts);
    EXPECT_EQ(w.Marks.Main.Dims, e.dims);
    ASSERT_EQ(w.Marks.BlockDefs.size(), 1u);
    EXPECT_EQ(w.Marks.BlockDefs[0].Texts, e.blockTexts);
    EXPECT_EQ(w.Marks.BlockDefs[0].Dims, e.blockDims);
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(w.Marks.TextTypes[i], i == 2 && e.typeEntry ? 1 : 0) << i;

    // The counts are those the rule reports when it converts.
    plm::JwwDocument converted = doc;
    const plm::SpacingChanges changes = plm::ApplySpacingRule(plm::SpacingSubjectOf(converted), options);
    EXPECT_EQ(w.Marks.Counts.Total(), changes.Total());
    EXPECT_EQ(w.Marks.Counts.TypeTable, changes.TypeTable);
    EXPECT_EQ(w.Marks.Counts.Texts, changes.Texts);
    EXPECT_EQ(w.Marks.Counts.DimTexts, changes.DimTexts);
    EXPECT_EQ(w.Marks.Counts.BlockTexts, changes.BlockTexts);
    EXPECT_EQ(w.Marks.Counts.BlockDimTexts, changes.BlockDimTexts);
    // The loaded document keeps its values; the copy is what is written.
    EXPECT_EQ(doc.TextList[0].Spacing, -0.5);
    EXPECT_EQ(w.Doc.TextList[0].Spacing, e.texts[0] ? 0.0 : -0.5);
    EXPECT_TRUE(std::signbit(w.Doc.TextList[2].Spacing));  // -0.0 stays
  }
}

TEST(SpacingMarksTest, JwsMarksHaveNoTextTypeTable) {
  const plm::JwsDocument doc = LoadJws(MixedBody());
  for (int bits = 0; bits < 16; ++bits) {
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    SCOPED_TRACE(bits);
    const plm::WrittenJws w = plm::WrittenCopyOf(doc, options);
    const Expected e = ExpectedFor(options);
    EXPECT_EQ(w.Marks.Main.Texts, e.texts);
    EXPECT_EQ(w.Marks.Main.Dims, e.dims);
    EXPECT_EQ(w.Marks.BlockDefs[0].Texts, e.blockTexts);
    EXPECT_EQ(w.Marks.BlockDefs[0].Dims, e.blockDims);
    EXPECT_EQ(w.Marks.Counts.TypeTable, 0u);
    plm::JwsDocument converted = doc;
    EXPECT_EQ(w.Marks.Counts.Total(), plm::ApplySpacingRule(plm::SpacingSubjectOf(converted), options).Total());
  }
}

TEST(SpacingMarksTest, EveryInsertionOfAMarkedDefinitionTextIsMarked) {
  const plm::JwwDocument doc = LoadJww(MixedBody(), 600, TableFill());
  const plm::WrittenJww w = plm::WrittenCopyOf(doc, plmtest::OptionsFromBits(15));
  const plm::DisplayList before = plm::BuildDisplayList(plm::SourceOf(doc), &w.Marks);
  const plm::DisplayList after = plm::BuildDisplayList(plm::SourceOf(w.Doc), &w.Marks);
  std::map<plm::TextSite, int> marked;
  for (const plm::TextRun& t : before.Texts) marked[t.Site] += t.Marked;
  EXPECT_EQ(marked[plm::TextSite::Text], 3);  // a, b, d
  EXPECT_EQ(marked[plm::TextSite::DimensionValue], 2);
  EXPECT_EQ(marked[plm::TextSite::BlockText], 4);  // f and g, twice
  EXPECT_EQ(marked[plm::TextSite::BlockDimensionValue], 4);
  // As written, the overlapping cells of a marked text no longer overlap.
  ASSERT_EQ(before.Texts.size(), after.Texts.size());
  EXPECT_EQ(after.Texts[0].Spacing, 0.0);
  EXPECT_TRUE(after.Texts[0].Marked);
}

TEST(SpacingMarksTest, CellsSeparateOnceTheSpacingIsZeroed) {
  Body body;
  body.Entities.push_back(Text("\x95\xB6\x8E\x9A\x97\xF1", 0, 0, 4, 4, -3));
  const plm::JwwDocument doc = LoadJww(body);
  const plm::WrittenJww w = plm::WrittenCopyOf(doc, plmtest::OptionsFromBits(2));
  const plm::DisplayList before = plm::BuildDisplayList(plm::SourceOf(doc), &w.Marks);
  const plm::DisplayList after = plm::BuildDisplayList(plm::SourceOf(w.Doc), &w.Marks);
  ASSERT_EQ(before.Texts.size(), 1u);
  ASSERT_EQ(after.Texts.size(), 1u);
  EXPECT_EQ(before.Texts[0].Cells[1].X, 1);  // overlaps the first cell by 3
  EXPECT_EQ(after.Texts[0].Cells[1].X, 4);   // touches it
  EXPECT_EQ(after.Texts[0].Cells[2].X, 8);
}

}  // namespace
