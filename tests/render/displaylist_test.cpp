#include "render/displaylist.h"

#include <gtest/gtest.h>

#include <numbers>

#include "render/colors.h"
#include "tests/render/render_fixture.h"

namespace {

using namespace rendertest;
using plm::BuildDisplayList;
using plm::SourceOf;
using plmtest::Body;

constexpr double kPi = std::numbers::pi;

TEST(DisplayListTest, LineKeepsItsEndsAndColour) {
  Body body;
  body.Entities.push_back(Line(1, 2, 4, 6, 6));
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Segments.size(), 1u);
  ExpectNear(list.Segments[0].A, 1, 2);
  ExpectNear(list.Segments[0].B, 4, 6);
  EXPECT_EQ(list.Segments[0].S.Color, (plm::Rgb{0, 0, 255}));  // colour 6 is blue
  EXPECT_EQ(list.Bounds.MinX, 1);
  EXPECT_EQ(list.Bounds.MaxY, 6);
  EXPECT_FALSE(list.Bounds.Empty);
}

TEST(DisplayListTest, QuarterArcOfTiltedEllipse) {
  // Centre (10, 20), radius 5, flatness 0.5, tilted 30 degrees, from 0 to 90 degrees
  // in the ellipse's own frame.
  plm::Arc e;
  e.Attr = Attr(2);
  e.CenterX = 10, e.CenterY = 20, e.Radius = 5, e.StartAngle = 0, e.ArcAngle = kPi / 2, e.TiltAngle = kPi / 6;
  e.Flatness = 0.5;
  Body body;
  body.Entities.push_back(e);
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Arcs.size(), 1u);
  const plm::ArcPrim& a = list.Arcs[0];
  EXPECT_FALSE(a.Full);
  // Start: centre + 5 (cos 30, sin 30); end: centre + 2.5 (-sin 30, cos 30).
  ExpectNear(a.At(a.Start), 10 + 5 * std::sqrt(3.0) / 2, 22.5);
  ExpectNear(a.At(a.Start + a.Sweep), 8.75, 20 + 2.5 * std::sqrt(3.0) / 2);
  // Halfway: centre + Rot(30) (5 cos 45, 2.5 sin 45).
  const double c = std::sqrt(0.5);
  ExpectNear(a.At(a.Start + a.Sweep / 2), 10 + 5 * c * std::sqrt(3.0) / 2 - 2.5 * c * 0.5,
             20 + 5 * c * 0.5 + 2.5 * c * std::sqrt(3.0) / 2);
  const std::vector<plm::Vec2> points = plm::FlattenArc(a, 0.01);
  ASSERT_GE(points.size(), 3u);
  ExpectNear(points.front(), 10 + 5 * std::sqrt(3.0) / 2, 22.5);
  ExpectNear(points.back(), 8.75, 20 + 2.5 * std::sqrt(3.0) / 2);
  // The bounds reach the arc's highest point, which lies inside the sweep.
  EXPECT_GT(list.Bounds.MaxY, 22.5);
}

TEST(DisplayListTest, ClockwiseArcAndFullCircle) {
  plm::Arc cw;
  cw.Attr = Attr(2);
  cw.Radius = 2, cw.StartAngle = 0, cw.ArcAngle = -kPi / 2, cw.Flatness = 1;
  plm::Arc circle = cw;
  circle.CenterX = 10, circle.ArcAngle = 0, circle.FullCircle = 1;
  Body body;
  body.Entities = {cw, circle};
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Arcs.size(), 2u);
  ExpectNear(list.Arcs[0].At(list.Arcs[0].Start + list.Arcs[0].Sweep), 0, -2);  // sweeps down
  EXPECT_TRUE(list.Arcs[1].Full);
  EXPECT_NEAR(list.Arcs[1].Sweep, 2 * kPi, kEps);
  EXPECT_NEAR(list.Bounds.MaxX, 12, kEps);
  EXPECT_NEAR(list.Bounds.MinY, -2, kEps);
}

TEST(DisplayListTest, ThreeCharactersWithNegativeSpacingOverlap) {
  // "文字列" in code page 932, 4 wide, 5 tall, spacing -1.
  struct Case {
    const char* name;
    double angle;
    plm::Vec2 secondLowerLeft, secondUpperRight;
  };
  const Case cases[] = {
      {"horizontal", 0, {3, 0}, {7, 5}},
      {"upright, 90 degrees", 90, {0, 3}, {-5, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Body body;
    body.Entities.push_back(Text("\x95\xB6\x8E\x9A\x97\xF1", 0, 0, 4, 5, -1, c.angle));
    const plm::JwwDocument doc = LoadJww(body);
    const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
    ASSERT_EQ(list.Texts.size(), 1u);
    const plm::TextRun& t = list.Texts[0];
    ASSERT_EQ(t.Cells.size(), 3u);
    EXPECT_EQ(t.Cells[0].Utf8, "文");
    EXPECT_EQ(t.Cells[1].Utf8, "字");
    EXPECT_EQ(t.Cells[2].Utf8, "列");
    EXPECT_EQ(t.Cells[1].X, 3);  // 4 wide, then -1
    EXPECT_EQ(t.Cells[2].X, 6);
    EXPECT_EQ(t.Cells[2].Width, 4);
    const auto corners = t.CellCorners(1);
    ExpectNear(corners[0], c.secondLowerLeft.X, c.secondLowerLeft.Y);
    ExpectNear(corners[2], c.secondUpperRight.X, c.secondUpperRight.Y);
    EXPECT_FALSE(t.Marked);
  }
}

TEST(DisplayListTest, SingleByteCharactersTakeHalfTheWidthAndHalfTheSpacing) {
  // "A" then "文": A is 2 wide and followed by -0.5.
  Body body;
  body.Entities.push_back(Text("A\x95\xB6", 10, 0, 4, 4, -1));
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Texts.size(), 1u);
  ASSERT_EQ(list.Texts[0].Cells.size(), 2u);
  EXPECT_EQ(list.Texts[0].Cells[0].Width, 2);
  EXPECT_EQ(list.Texts[0].Cells[1].X, 1.5);
  EXPECT_FALSE(list.Texts[0].Cells[0].DoubleByte);
  EXPECT_TRUE(list.Texts[0].Cells[1].DoubleByte);
}

TEST(DisplayListTest, RotatedScaledBlockInsertion) {
  // Definition 7: a line (0,0)-(2,0) and a text at (1,1). Inserted at (10,5), scale
  // (2,3), turned 90 degrees: p -> (10,5) + Rot90 (2 p.x, 3 p.y) = (10 - 3 p.y, 5 + 2 p.x).
  Body body;
  body.Entities.push_back(Insert(7, 10, 5, 2, 3, kPi / 2));
  body.BlockDefs.push_back(Def(7, {Line(0, 0, 2, 0), Text("AB", 1, 1, 2, 2, 0)}));
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Segments.size(), 1u);
  ExpectNear(list.Segments[0].A, 10, 5);
  ExpectNear(list.Segments[0].B, 10, 9);
  ASSERT_EQ(list.Texts.size(), 1u);
  const plm::TextRun& t = list.Texts[0];
  EXPECT_EQ(t.Site, plm::TextSite::BlockText);
  ExpectNear(t.Origin, 7, 7);
  ExpectNear(t.AxisX, 0, 2);
  ExpectNear(t.AxisY, -3, 0);
  // Second character (x from 1 to 2, y up to 2) in text units: upper right (1+1, 2)
  // -> origin + (0,2)*2 + (-3,0)*2.
  ExpectNear(t.CellCorners(1)[2], 1, 11);
}

TEST(DisplayListTest, NestedInsertionsCompose) {
  // Outer definition 1 inserts definition 2 at (1,0) turned 90 degrees; the drawing
  // inserts 1 at (0,0) turned 90 degrees: 180 degrees in all around (0,1).
  Body body;
  body.Entities.push_back(Insert(1, 0, 0, 1, 1, kPi / 2));
  body.BlockDefs.push_back(Def(1, {Insert(2, 1, 0, 1, 1, kPi / 2)}));
  body.BlockDefs.push_back(Def(2, {Line(0, 0, 1, 0)}));
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Segments.size(), 1u);
  ExpectNear(list.Segments[0].A, 0, 1);
  ExpectNear(list.Segments[0].B, -1, 1);
}

TEST(DisplayListTest, DimensionAuxiliaryPartsFromVersion420) {
  plm::Dimension d = plmtest::SampleSunpo(3, Attr(2), 0, 0);
  d.Text.SizeX = d.Text.SizeY = 2;
  for (int version : {351, 420}) {
    SCOPED_TRACE(version);
    Body body;
    body.Entities.push_back(d);
    const plm::JwwDocument doc = LoadJww(body, version);
    const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
    EXPECT_EQ(list.Segments.size(), version >= 420 ? 3u : 1u);
    EXPECT_EQ(list.Points.size(), version >= 420 ? 4u : 0u);
    ASSERT_EQ(list.Texts.size(), 1u);
    EXPECT_EQ(list.Texts[0].Site, plm::TextSite::DimensionValue);
  }
}

TEST(DisplayListTest, JwsFigureDrawsTheSame) {
  Body body;
  body.Entities.push_back(Insert(5, 1, 1));
  body.BlockDefs.push_back(Def(5, {Line(0, 0, 1, 1)}));
  const plm::JwsDocument doc = LoadJws(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Segments.size(), 1u);
  ExpectNear(list.Segments[0].B, 2, 2);
}

TEST(PenColorTest, StandardExtendedAndSolidColours) {
  EXPECT_EQ(plm::PenColorRgb(2, {}), (plm::Rgb{0, 0, 0}));
  EXPECT_EQ(plm::PenColorRgb(3, {}), (plm::Rgb{0, 192, 0}));
  // Without an extended table 104 falls back to standard 6 (blue), 200 to 2 (black).
  EXPECT_EQ(plm::PenColorRgb(104, {}), (plm::Rgb{0, 0, 255}));
  EXPECT_EQ(plm::PenColorRgb(200, {}), (plm::Rgb{0, 0, 0}));
  std::array<plm::TColorExNo, 257> ext{};
  ext[4].Color = 0x00336699;  // blue 0x33, green 0x66, red 0x99
  EXPECT_EQ(plm::PenColorRgb(104, ext), (plm::Rgb{0x99, 0x66, 0x33}));
  EXPECT_EQ(plm::PenColorRgb(0, ext), (plm::Rgb{0, 0, 0}));
  EXPECT_EQ(plm::VisibleOnWhite({255, 255, 255}), (plm::Rgb{64, 64, 64}));
  EXPECT_EQ(plm::VisibleOnWhite({192, 192, 192}), (plm::Rgb{192, 192, 192}));

  plm::Solid rgb = plmtest::SampleSolid(1, Attr(plm::kPenColorRgbSolid));
  rgb.Color = 0x000000FF;  // red
  Body body;
  body.Entities.push_back(rgb);
  const plm::JwwDocument doc = LoadJww(body);
  const plm::DisplayList list = BuildDisplayList(SourceOf(doc));
  ASSERT_EQ(list.Solids.size(), 1u);
  EXPECT_EQ(list.Solids[0].Fill, (plm::Rgb{255, 0, 0}));
  ExpectNear(list.Solids[0].Corners[2], rgb.Corner3X, rgb.Corner3Y);
}

}  // namespace
