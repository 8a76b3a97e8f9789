#include "render/viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using plm::Box;
using plm::ClipRect;
using plm::PreviewView;
using plm::Vec2;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr ClipRect kPane{0, 0, 100, 50};

Box BoxFrom(double minX, double minY, double maxX, double maxY) {
  Box b;
  b.Add({minX, minY});
  b.Add({maxX, maxY});
  return b;
}

void ExpectNear(Vec2 got, Vec2 want) {
  EXPECT_NEAR(got.X, want.X, 1e-9);
  EXPECT_NEAR(got.Y, want.Y, 1e-9);
}

// The area of a simple polygon, positive whichever way it winds.
double Area(const std::vector<Vec2>& p) {
  double twice = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    const Vec2 a = p[i], b = p[(i + 1) % p.size()];
    twice += a.X * b.Y - b.X * a.Y;
  }
  return std::abs(twice) / 2;
}

TEST(ViewportTest, SegmentsKeepOnlyTheirPartInsideThePane) {
  struct Case {
    const char* name;
    Vec2 a, b;
    bool kept;
    Vec2 wantA, wantB;
  };
  const Case cases[] = {
      {"inside, unchanged", {10, 10}, {90, 40}, true, {10, 10}, {90, 40}},
      {"leaves by the right edge", {50, 25}, {150, 25}, true, {50, 25}, {100, 25}},
      {"enters by the left edge", {-50, 10}, {50, 10}, true, {0, 10}, {50, 10}},
      {"crosses from corner to corner", {-10, -5}, {110, 55}, true, {0, 0}, {100, 50}},
      {"vertical through top and bottom", {30, -100}, {30, 100}, true, {30, 0}, {30, 50}},
      {"on the edge", {0, 0}, {0, 50}, true, {0, 0}, {0, 50}},
      {"a point inside", {5, 5}, {5, 5}, true, {5, 5}, {5, 5}},
      {"a point outside", {-5, 5}, {-5, 5}, false, {}, {}},
      {"wholly above", {0, -1}, {100, -1}, false, {}, {}},
      {"passes beside a corner", {90, -20}, {130, 20}, false, {}, {}},
      {"an end at infinity", {10, 10}, {kInf, 10}, false, {}, {}},
      {"an end not a number", {kNaN, 10}, {10, 10}, false, {}, {}},
      {"far off on both sides", {-1e6, 25}, {1e6, 25}, true, {0, 25}, {100, 25}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Vec2 a = c.a, b = c.b;
    ASSERT_EQ(plm::ClipSegment(a, b, kPane), c.kept);
    if (!c.kept) continue;
    ExpectNear(a, c.wantA);
    ExpectNear(b, c.wantB);
  }
}

TEST(ViewportTest, PolygonsKeepTheirAreaInsideThePane) {
  struct Case {
    const char* name;
    std::vector<Vec2> polygon;
    double area;  // of what is left; 0 for nothing
  };
  const Case cases[] = {
      {"inside, unchanged", {{10, 10}, {20, 10}, {20, 20}, {10, 20}}, 100},
      {"overlaps the top left corner", {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}}, 100},
      {"covers the pane", {{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}}, 5000},
      {"triangle cut by the right edge", {{90, 0}, {110, 0}, {90, 20}}, 200 - 50},
      {"wholly left", {{-30, 0}, {-10, 0}, {-10, 10}}, 0},
      {"a corner not finite", {{10, 10}, {kNaN, 10}, {20, 20}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Vec2> out = plm::ClipPolygon(c.polygon, kPane);
    if (c.area == 0) {
      EXPECT_LT(out.size(), 3u);
      continue;
    }
    ASSERT_GE(out.size(), 3u);
    EXPECT_NEAR(Area(out), c.area, 1e-6);
    for (const Vec2& p : out) EXPECT_TRUE(kPane.Contains(p)) << p.X << "," << p.Y;
  }
  // A quadrilateral wholly inside keeps its four corners in their order.
  const std::array<Vec2, 4> quad = {Vec2{1, 1}, Vec2{9, 2}, Vec2{8, 9}, Vec2{2, 8}};
  const std::vector<Vec2> kept = plm::ClipQuad(quad, kPane);
  ASSERT_EQ(kept.size(), 4u);
  for (size_t i = 0; i < 4; ++i) ExpectNear(kept[i], quad[i]);
}

TEST(ViewportTest, BoxesMeetThePaneUnlessWhollyOutsideOrNotFinite) {
  struct Case {
    const char* name;
    Box box;
    bool meets;
  };
  const Case cases[] = {
      {"inside", BoxFrom(10, 10, 20, 20), true},
      {"around the pane", BoxFrom(-1e300, -1e300, 1e300, 1e300), true},
      {"touches the right edge", BoxFrom(100, 10, 120, 20), true},
      {"just right of it", BoxFrom(100.5, 10, 120, 20), false},
      {"below it", BoxFrom(10, 51, 20, 60), false},
      {"an infinite side", BoxFrom(10, 10, kInf, 20), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(kPane.Meets(c.box), c.meets);
  }
  const Box box = plm::BoxOf({Vec2{3, -1}, Vec2{-2, 4}, Vec2{5, 2}, Vec2{0, 0}});
  EXPECT_EQ(box.MinX, -2);
  EXPECT_EQ(box.MinY, -1);
  EXPECT_EQ(box.MaxX, 5);
  EXPECT_EQ(box.MaxY, 4);
}

TEST(ViewportTest, FitPutsTheWholeDrawingInThePaneWithItsMargin) {
  struct Case {
    const char* name;
    Box bounds;
    double width, height;
    PreviewView want;
  };
  const Case cases[] = {
      {"nothing drawn: the default view", Box{}, 200, 100, {1, 0, 0}},
      {"wide drawing: the width decides", BoxFrom(0, 0, 92, 10), 108, 200, {1, 46, 5}},
      {"tall drawing: the height decides", BoxFrom(-10, -40, 10, 40), 500, 176, {2, 0, 0}},
      {"a tiny pane still leaves 8 pixels", BoxFrom(0, 0, 4, 4), 10, 10, {2, 2, 2}},
      {"a single point: the scale stops at 1e12", BoxFrom(7, 7, 7, 7), 2016, 2016, {1e12, 7, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PreviewView v = plm::FitView(c.bounds, c.width, c.height);
    EXPECT_DOUBLE_EQ(v.Scale, c.want.Scale);
    EXPECT_DOUBLE_EQ(v.CenterX, c.want.CenterX);
    EXPECT_DOUBLE_EQ(v.CenterY, c.want.CenterY);
  }
  // The fitted box's corners land 8 pixels inside the pane's edges that decided.
  const PreviewView v = plm::FitView(BoxFrom(0, 0, 92, 10), 108, 200);
  ExpectNear(plm::ToPane(v, 108, 200, {0, 10}), {8, 95});
  ExpectNear(plm::ToPane(v, 108, 200, {92, 0}), {100, 105});
}

TEST(ViewportTest, ZoomKeepsThePointUnderThePointerWithinItsLimits) {
  const PreviewView start{2, 10, 20};
  const double w = 300, h = 200;
  struct Case {
    const char* name;
    double fitScale, steps;
    Vec2 at;
    double wantScale;  // 0: refused
  };
  const Case cases[] = {
      {"one notch in at the centre", 2, 1, {150, 100}, 2.5},
      {"one notch out off centre", 2, -1, {10, 190}, 1.6},
      {"far in stops at 1e5 times the fit", 2, 200, {40, 40}, 2e5},
      {"far out stops at a fiftieth of the fit", 2, -200, {40, 40}, 0.04},
      {"a fit scale of zero refuses", 0, 1, {40, 40}, 0},
      {"a notch count not a number refuses", 2, kNaN, {40, 40}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<PreviewView> zoomed = plm::ZoomedView(start, c.fitScale, c.steps, c.at, w, h);
    if (c.wantScale == 0) {
      EXPECT_FALSE(zoomed);
      continue;
    }
    ASSERT_TRUE(zoomed);
    EXPECT_DOUBLE_EQ(zoomed->Scale, c.wantScale);
    ExpectNear(plm::ToDrawing(*zoomed, w, h, c.at), plm::ToDrawing(start, w, h, c.at));
  }
}

TEST(ViewportTest, PanningMovesTheDrawingWithThePointer) {
  const PreviewView start{4, 10, 20};
  const Vec2 grabbed = plm::ToPane(start, 300, 200, {12, 18});
  const PreviewView moved = plm::PannedView(start, {20, -8});
  ExpectNear(plm::ToPane(moved, 300, 200, {12, 18}), {grabbed.X + 20, grabbed.Y - 8});
  // A picture painted before the move is shown shifted by the same pixels.
  ExpectNear(plm::PaneShift(start, moved), {20, -8});
  // Drawing and pane coordinates undo each other, and drawing up is pane down.
  ExpectNear(plm::ToDrawing(start, 300, 200, grabbed), {12, 18});
  ExpectNear(plm::PaneVector(start, {1, 1}), {4, -4});
}

}  // namespace
