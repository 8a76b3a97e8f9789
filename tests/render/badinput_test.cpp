// Hostile drawings: the display list skips what cannot be drawn, never loops, and
// stays within its limits.
#include <gtest/gtest.h>

#include <limits>
#include <numbers>
#include <regex>
#include <sstream>

#include "render/displaylist.h"
#include "render/svg.h"
#include "tests/render/render_fixture.h"

namespace {

using namespace rendertest;
using plmtest::Body;
using plmtest::Entity;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

plm::Arc Circle(double r, double cx = 0) {
  plm::Arc e;
  e.Attr = Attr(2);
  e.CenterX = cx, e.Radius = r, e.ArcAngle = 2 * std::numbers::pi, e.Flatness = 1, e.FullCircle = 1;
  return e;
}

// A number written as nan or inf in an attribute or a path.
bool HasNonFiniteNumber(const std::string& svg) {
  static const std::regex kNonFinite(R"re([ ("MLZ,]-?(nan|inf)[ )",])re", std::regex::icase);
  return std::regex_search(svg, kNonFinite);
}

struct Case {
  const char* name = "";
  Body body;
  uint64_t skipped = 0, missing = 0, cycles = 0, depth = 0;
  bool limit = false;
  size_t drawn = 0;  // segments + arcs + texts + points + solids + images
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  {
    Case c;
    c.name = "control: a line, a circle and a text";
    c.body.Entities = {Line(0, 0, 1, 1), Circle(1), Text("ab", 0, 0, 2, 2, 0)};
    c.drawn = 3;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "not-a-number and infinite coordinates";
    c.body.Entities = {Line(kNaN, 0, 1, 1), Line(0, 0, kInf, 1), Text("x", kNaN, 0, 2, 2, 0), Circle(1, kNaN),
                       Line(0, 0, 1, 1)};
    c.skipped = 4;
    c.drawn = 1;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "coordinates of 1e300";
    c.body.Entities = {Line(1e300, 0, 1, 1), Circle(1e300), Text("x", 0, 0, 2, 2, 1e300), Text("xy", 0, 0, 2, 2, 1e300),
                       Line(0, 0, 1, 1)};
    c.skipped = 4;
    c.drawn = 1;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "zero and negative sizes";
    c.body.Entities = {Circle(0), Circle(-2), Text("x", 0, 0, 0, 2, 0), Text("x", 0, 0, 2, -1, 0),
                       Text("x", 0, 0, kNaN, 2, 0), Insert(1, 0, 0, 0, 1), Line(0, 0, 1, 1)};
    c.body.BlockDefs.push_back(Def(1, {Line(0, 0, 1, 1)}));
    c.skipped = 6;
    c.drawn = 1;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "image texts of absurd size, angle or place";
    c.body.Entities = {Text("^@BM%temp%p.bmp,1e300,1", 0, 0, 2, 2, 0), Text("^@BM%temp%p.bmp,1,1", 0, 0, 2, 2, 0, kNaN),
                       Text("^@BM%temp%p.bmp,1,1", kNaN, 0, 2, 2, 0), Text("^@BM%temp%p.bmp,1,1", 0, 0, 2, 2, 0)};
    c.skipped = 3;
    c.drawn = 1;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "block scale of 1e300";
    c.body.Entities = {Insert(1, 0, 0, 1e300, 1e300)};
    c.body.BlockDefs.push_back(Def(1, {Line(0, 0, 1, 1), Line(0, 0, 0, 0)}));
    c.skipped = 1;  // the insertion itself
    c.drawn = 0;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "a block that inserts itself";
    c.body.Entities = {Insert(1, 0, 0)};
    c.body.BlockDefs.push_back(Def(1, {Line(0, 0, 1, 1), Insert(1, 5, 5)}));
    c.cycles = 1;
    c.drawn = 1;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "two blocks that insert each other, and a missing one";
    c.body.Entities = {Insert(1, 0, 0), Insert(99, 0, 0)};
    c.body.BlockDefs.push_back(Def(1, {Line(0, 0, 1, 1), Insert(2, 1, 0)}));
    c.body.BlockDefs.push_back(Def(2, {Line(0, 0, 1, 1), Insert(1, 1, 0)}));
    c.cycles = 1;
    c.missing = 1;
    c.drawn = 2;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "a chain of 200 nested definitions";
    c.body.Entities = {Insert(0, 0, 0)};
    for (int i = 0; i < 200; ++i) c.body.BlockDefs.push_back(Def(i, {Line(0, 0, 1, 1), Insert(i + 1, 1, 0)}));
    c.depth = 1;
    c.drawn = 16;  // the default depth
    cases.push_back(c);
  }
  {
    // Ten insertions per level, 30 levels: 10^30 insertions if nothing stopped it.
    Case c;
    c.name = "fan-out of ten per level";
    c.body.Entities = {Insert(0, 0, 0)};
    for (int i = 0; i < 30; ++i) {
      std::vector<Entity> e = {Line(0, 0, 1, 1)};
      for (int k = 0; k < 10; ++k) e.push_back(Insert(i + 1, k, 0, 0.5, 0.5));
      c.body.BlockDefs.push_back(Def(i, e));
    }
    c.limit = true;
    cases.push_back(c);
  }
  {
    Case c;
    c.name = "100,000 entities";
    for (int i = 0; i < 100000; ++i) c.body.Entities.push_back(Line(i, 0, i, 1));
    c.drawn = 100000;
    cases.push_back(c);
  }
  {
    // Well within what the drawing's size allows, though past the floor of the work bound.
    Case c;
    c.name = "a 2,000-line block placed 60 times";
    std::vector<Entity> plan;
    for (int i = 0; i < 2000; ++i) plan.push_back(Line(i, 0, i, 1));
    c.body.BlockDefs.push_back(Def(0, plan));
    for (int k = 0; k < 60; ++k) c.body.Entities.push_back(Insert(0, 0, 3 * k));
    c.drawn = 120000;
    cases.push_back(c);
  }
  return cases;
}

TEST(RenderBadInputTest, SkipsWhatCannotBeDrawnAndStaysBounded) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const plm::JwwDocument doc = LoadJww(c.body);
    const plm::RenderLimits limits;
    const plm::DisplayList list = plm::BuildDisplayList(plm::SourceOf(doc), nullptr, limits);
    const size_t drawn =
        list.Segments.size() + list.Arcs.size() + list.Texts.size() + list.Points.size() + list.Solids.size() +
        list.Images.size();
    EXPECT_EQ(list.Stats.LimitReached, c.limit);
    if (c.limit) {
      EXPECT_LE(drawn, limits.MinWork);  // a small file expands only as far as its size allows
    } else {
      EXPECT_EQ(drawn, c.drawn);
      EXPECT_EQ(list.Stats.Skipped, c.skipped);
      EXPECT_EQ(list.Stats.MissingBlocks, c.missing);
      EXPECT_EQ(list.Stats.CycleSkips, c.cycles);
      EXPECT_EQ(list.Stats.DepthSkips, c.depth);
    }
    EXPECT_TRUE(std::isfinite(list.Bounds.MinX) && std::isfinite(list.Bounds.MaxY));
  }
}

TEST(RenderBadInputTest, SmallLimitsStopEarly) {
  Body body;
  for (int i = 0; i < 1000; ++i) body.Entities.push_back(Line(i, 0, i, 1));
  body.Entities.push_back(Text(std::string(5000, 'A'), 0, 0, 2, 2, 0));
  const plm::JwwDocument doc = LoadJww(body);
  plm::RenderLimits limits;
  limits.MaxPrimitives = 100;
  const plm::DisplayList capped = plm::BuildDisplayList(plm::SourceOf(doc), nullptr, limits);
  EXPECT_TRUE(capped.Stats.LimitReached);
  EXPECT_EQ(capped.Segments.size(), 100u);
  const plm::DisplayList full = plm::BuildDisplayList(plm::SourceOf(doc));
  ASSERT_EQ(full.Texts.size(), 1u);
  EXPECT_EQ(full.Texts[0].Cells.size(), plm::RenderLimits{}.MaxCharsPerText);
  EXPECT_EQ(full.Stats.TruncatedTexts, 1u);
}

TEST(RenderBadInputTest, PictureOfAHostileDrawingHoldsOnlyFiniteNumbers) {
  for (const Case& c : Cases()) {
    if (c.body.Entities.size() > 1000 || c.limit) continue;
    SCOPED_TRACE(c.name);
    const plm::JwwDocument doc = LoadJww(c.body);
    const plm::DisplayList list = plm::BuildDisplayList(plm::SourceOf(doc));
    std::ostringstream svg;
    const plm::SvgPanel panel{&list, "x"};
    plm::WriteSvg(svg, std::span(&panel, 1), plm::LegendLines({}, list));
    EXPECT_FALSE(HasNonFiniteNumber(svg.str()));
    EXPECT_NE(svg.str().find("</svg>"), std::string::npos);
  }
}

TEST(RenderBadInputTest, EveryRecordKindWithOddValuesDrawsAtEveryVersion) {
  for (int32_t version : {230, 351, 420, 600}) {
    SCOPED_TRACE(version);
    const plm::JwwDocument doc = LoadJww(plmtest::RichBody(), version);
    const plm::WrittenJww w = plm::WrittenCopyOf(doc, plmtest::OptionsFromBits(15));
    const plm::DisplayList list = plm::BuildDisplayList(plm::SourceOf(doc), &w.Marks);
    EXPECT_FALSE(list.Segments.empty());
    EXPECT_FALSE(list.Texts.empty());
    std::ostringstream svg;
    const plm::SvgPanel panel{&list, "x"};
    plm::WriteSvg(svg, std::span(&panel, 1), plm::LegendLines(w.Marks, list));
    EXPECT_FALSE(HasNonFiniteNumber(svg.str()));
    EXPECT_NE(svg.str().find("class=\"marked\""), std::string::npos);
  }
}

TEST(RenderBadInputTest, OrderEntriesOutsideTheListsAreIgnored) {
  Body body;
  body.Entities = {Line(0, 0, 1, 1)};
  plm::JwwDocument doc = LoadJww(body);
  doc.EntityOrder.push_back({plm::kKindLine, 5});
  doc.EntityOrder.push_back({plm::kKindText, -1});
  doc.EntityOrder.push_back({42, 0});
  const plm::DisplayList list = plm::BuildDisplayList(plm::SourceOf(doc));
  EXPECT_EQ(list.Segments.size(), 1u);
}

}  // namespace
