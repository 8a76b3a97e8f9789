#pragma once
// The preview's plain geometry: how a drawing lies in a pane (fit, zoom about a point,
// pan, drawing and pane coordinates) and clipping to the pane's rectangle, so that
// whatever reaches a painter is finite and lies inside it, at any zoom.
#include <array>
#include <optional>
#include <vector>

#include "render/displaylist.h"

namespace plm {

// How a drawing lies in a pane: the drawing point at the pane's centre, and pixels per
// drawing unit. Pane coordinates run right and down from the pane's top left corner;
// drawing coordinates run right and up.
struct PreviewView {
  double Scale = 1, CenterX = 0, CenterY = 0;
};

// The whole of `bounds` in a pane of `width` x `height` pixels with a margin of 8 on
// each side; the default view for an empty box. The scale is positive and at most 1e12.
PreviewView FitView(const Box& bounds, double width, double height);

// A drawing point on the pane and back, and a drawing vector on the pane.
Vec2 ToPane(const PreviewView& view, double width, double height, Vec2 drawing);
Vec2 ToDrawing(const PreviewView& view, double width, double height, Vec2 pane);
Vec2 PaneVector(const PreviewView& view, Vec2 drawing);

// `steps` wheel notches (1.25 times each) of zoom about the pane point `at`, which keeps
// the drawing point under it. The scale stays between fitScale / 50 and fitScale * 1e5;
// nullopt when it would not be a positive finite number.
std::optional<PreviewView> ZoomedView(const PreviewView& view, double fitScale, double steps, Vec2 at,
                                      double width, double height);
// The drawing moved with the pointer by `delta` pane pixels.
PreviewView PannedView(const PreviewView& view, Vec2 delta);
// Where a picture painted for `painted` goes on the pane to show `now` at the same scale.
Vec2 PaneShift(const PreviewView& painted, const PreviewView& now);

// The rectangle primitives are clipped to, in pane coordinates.
struct ClipRect {
  double X0, Y0, X1, Y1;
  bool Contains(Vec2 p) const { return p.X >= X0 && p.X <= X1 && p.Y >= Y0 && p.Y <= Y1; }
  // False when the box lies wholly outside, or is not finite.
  bool Meets(double minX, double minY, double maxX, double maxY) const;
  bool Meets(const Box& box) const { return Meets(box.MinX, box.MinY, box.MaxX, box.MaxY); }
};

// The box of four corners.
Box BoxOf(const std::array<Vec2, 4>& corners);
// The part of segment a-b inside `r` (a and b moved to its ends); false when no part
// is, or an end is not finite.
bool ClipSegment(Vec2& a, Vec2& b, const ClipRect& r);
// The part of a polygon inside `r`; empty when none is, or a corner is not finite.
std::vector<Vec2> ClipPolygon(const std::vector<Vec2>& polygon, const ClipRect& r);
// A quadrilateral clipped as a polygon; the four corners unchanged when all lie inside.
std::vector<Vec2> ClipQuad(const std::array<Vec2, 4>& quad, const ClipRect& r);

}  // namespace plm
