// The one walk of Spacing values and the rule on it: every place a value stands is
// met once, in one order, and the switches select exactly the values of their place.
#include "jww/spacingrule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/body_model.h"

namespace {

using plm::SpacingPlace;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

plm::Text TextOf(const std::string& words, uint32_t typeCode, double spacing, uint16_t layer = 0) {
  plm::Text t;
  t.Text = words;
  t.TextTypeCode = typeCode;
  t.Spacing = spacing;
  t.Attr.Layer = layer;
  return t;
}

plm::Dimension DimensionOf(const std::string& words, uint32_t typeCode, double spacing, uint16_t layer = 0) {
  plm::Dimension d;
  d.Text = TextOf(words, typeCode, spacing);
  d.Attr.Layer = layer;  // the dimension's own attributes, not its value text's
  return d;
}

// One text and one dimension in the main list and in each of two block definitions,
// every one named after its place.
plm::JwwDocument SampleDrawing(double spacing) {
  plm::JwwDocument doc;
  for (size_t i = 0; i < doc.TextTypeSettings.size(); ++i) doc.TextTypeSettings[i].Spacing = spacing;
  doc.TextList = {TextOf("t0", 0, spacing, 1), TextOf("t1", 1003, spacing, 2)};
  doc.DimensionList = {DimensionOf("d0", 0, spacing, 3)};
  for (const char* name : {"A", "B"}) {
    plm::BlockDefinition& def = doc.BlockDefinitionList.emplace_back();
    def.Name = name;
    def.TextList = {TextOf(std::string("bt") + name, 2, spacing)};
    def.DimensionList = {DimensionOf(std::string("bd") + name, 0, spacing)};
  }
  return doc;
}

struct Visited {
  SpacingPlace place;
  size_t index, blockIndex;
  std::string block, words;
  uint32_t textTypeClass;
  uint16_t layer;
  bool operator==(const Visited&) const = default;
};

std::vector<Visited> Walk(const plm::SpacingView& view) {
  std::vector<Visited> seen;
  plm::ForEachSpacing(view, [&](const plm::SpacingSite& s, double) {
    seen.push_back({s.Place, s.Index, s.BlockIndex, s.BlockName ? *s.BlockName : "", s.Text ? *s.Text : "",
                    s.TextTypeClass, s.Attr ? s.Attr->Layer : uint16_t{999}});
  });
  return seen;
}

TEST(SpacingWalkTest, MeetsEveryValueOnceInTheRulesOrder) {
  const plm::JwwDocument doc = SampleDrawing(-1);
  std::vector<Visited> expected;
  for (uint32_t n = 1; n <= 10; ++n) expected.push_back({SpacingPlace::TextTypeTable, n - 1, 0, "", "", n, 999});
  expected.push_back({SpacingPlace::Text, 0, 0, "", "t0", 0, 1});
  expected.push_back({SpacingPlace::Text, 1, 0, "", "t1", 3, 2});
  expected.push_back({SpacingPlace::DimensionText, 0, 0, "", "d0", 0, 3});
  expected.push_back({SpacingPlace::BlockText, 0, 0, "A", "btA", 2, 0});
  expected.push_back({SpacingPlace::BlockDimensionText, 0, 0, "A", "bdA", 0, 0});
  expected.push_back({SpacingPlace::BlockText, 0, 1, "B", "btB", 2, 0});
  expected.push_back({SpacingPlace::BlockDimensionText, 0, 1, "B", "bdB", 0, 0});
  EXPECT_EQ(Walk(plm::SpacingViewOf(doc)), expected);
}

// Which values of the sample drawing the rule changes, by place and text type.
struct RuleCase {
  int bits;  // switches 1..4 as bits 0..3
  bool table, freeText, typedText, freeDim, blockTyped, blockFreeDim;
};

TEST(SpacingRuleTest, TheSwitchesSelectTheirPlaces) {
  const RuleCase cases[] = {
      {0, false, false, false, false, false, false},  // control: nothing changes
      {1, true, false, true, false, true, false},     // text types everywhere
      {2, false, true, false, false, false, false},   // free-size texts of the main list
      {2 | 4, false, true, false, true, false, false},
      {2 | 8, false, true, false, false, false, false},
      {2 | 4 | 8, false, true, false, true, false, true},
      {4 | 8, false, false, false, false, false, false},  // 3 and 4 only widen switch 2
      {15, true, true, true, true, true, true},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE("switches " + std::to_string(c.bits));
    plm::JwwDocument doc = SampleDrawing(-0.5);
    std::vector<std::string> told;
    const plm::SpacingChanges changes =
        plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), plmtest::OptionsFromBits(c.bits),
                              [&](const plm::SpacingSite& s) { told.push_back(s.Text ? *s.Text : "table"); });
    auto zeroed = [](double v) { return v == 0.0 && !std::signbit(v); };
    EXPECT_EQ(zeroed(doc.TextTypeSettings[4].Spacing), c.table);
    EXPECT_EQ(zeroed(doc.TextList[0].Spacing), c.freeText);
    EXPECT_EQ(zeroed(doc.TextList[1].Spacing), c.typedText);
    EXPECT_EQ(zeroed(doc.DimensionList[0].Text.Spacing), c.freeDim);
    EXPECT_EQ(zeroed(doc.BlockDefinitionList[1].TextList[0].Spacing), c.blockTyped);
    EXPECT_EQ(zeroed(doc.BlockDefinitionList[1].DimensionList[0].Text.Spacing), c.blockFreeDim);
    EXPECT_EQ(changes.TypeTable, c.table ? 10u : 0u);
    EXPECT_EQ(changes.Texts, uint64_t{c.freeText} + c.typedText);
    EXPECT_EQ(changes.DimTexts, uint64_t{c.freeDim});
    EXPECT_EQ(changes.BlockTexts, c.blockTyped ? 2u : 0u);
    EXPECT_EQ(changes.BlockDimTexts, c.blockFreeDim ? 2u : 0u);
    EXPECT_EQ(told.size(), changes.Total()) << "each change is told once";
  }
}

TEST(SpacingRuleTest, OnlyNegativeAndNaNValuesChange) {
  struct Case {
    double spacing;
    bool changes;
  };
  const Case cases[] = {{-0.5, true}, {kNaN, true}, {-1e300, true}, {-0.0, false}, {0.0, false}, {2.5, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spacing);
    plm::JwwDocument doc = SampleDrawing(c.spacing);
    const plm::SpacingChanges changes = plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), plm::ConversionSwitches::All());
    EXPECT_EQ(changes.Total(), c.changes ? 17u : 0u);
    EXPECT_EQ(std::signbit(doc.TextList[0].Spacing), !c.changes && std::signbit(c.spacing));
    EXPECT_EQ(plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), plm::ConversionSwitches::All()).Total(), 0u)
        << "a second run changes nothing";
  }
}

// The pieces of a streamed body get the same rule as the whole body.
TEST(SpacingRuleTest, PiecesOfAStreamedBodyMatchTheWholeBody) {
  for (int bits = 0; bits < 16; ++bits) {
    SCOPED_TRACE(bits);
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    plm::JwwDocument whole = SampleDrawing(-2), pieces = SampleDrawing(-2);
    const plm::SpacingChanges expected = plm::ApplySpacingRule(plm::SpacingSubject{whole, {}}, options);
    plm::SpacingChanges got;
    plm::ApplySpacingRuleToLists(pieces, false, options, got);
    for (plm::BlockDefinition& def : pieces.BlockDefinitionList) plm::ApplySpacingRuleToLists(def, true, options, got);
    plmtest::ExpectChanges(got, expected);
    std::vector<double> a, b;
    plm::ForEachSpacing(plm::SpacingViewOf(whole), [&](const plm::SpacingSite&, double v) { a.push_back(v); });
    plm::ForEachSpacing(plm::SpacingViewOf(pieces), [&](const plm::SpacingSite&, double v) { b.push_back(v); });
    EXPECT_EQ(a, b);
  }
}

}  // namespace
