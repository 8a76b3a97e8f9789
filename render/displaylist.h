#pragma once
// The display list of a drawing: everything it shows, in drawing coordinates, with
// block insertions expanded. Drawing coordinates have y pointing up.
//
// Angle conventions (checked against real drawings: text end points, rounded corners
// of rectangles, door swings, rotated insertions):
// - Arcs and circles: StartAngle, ArcAngle and TiltAngle are radians, counter-
//   clockwise. A point of the arc is  Center + Rot(TiltAngle) * (Radius cos t,
//   Radius * Flatness sin t)  for t from StartAngle to StartAngle + ArcAngle; so the
//   start angle is measured in the ellipse's own (tilted) frame and a negative
//   ArcAngle sweeps clockwise. FullCircle non-zero draws the whole ellipse.
// - Block insertions: Angle is radians, counter-clockwise; a definition point p is
//   placed at (X, Y) + Rot(Angle) * (ScaleX p.x, ScaleY p.y).
// - Texts: Angle is degrees, counter-clockwise. The start point is the lower left
//   corner of the first character; characters advance along the angle and stand
//   SizeY tall perpendicular to it. A double-byte character is SizeX wide and is
//   followed by Spacing; a single-byte character is SizeX / 2 wide and is followed by
//   Spacing / 2 (the stored end points of the drawings agree with this to the last
//   digit). Negative spacing makes neighbouring cells overlap.
// - Coded points: Angle is radians (drawn as points only).
// - Bound images (JWW): a text, not a dimension value, of the image reference form
//   stands for the bound image its name selects (as the writer selects it) and is not
//   drawn as characters. The picture's lower left corner is the text's start point and
//   its bottom edge runs along the text's angle. Its width and height are the first
//   two comma-separated fields after the name when both are finite positive numbers
//   (drawing units); otherwise the width is the distance from the start point to the
//   stored end point when that is positive and finite, and the height follows the
//   picture's own aspect ratio (from its header), or equals the width when the header
//   does not read; with no width either way, the frame is the box of the text's
//   character cells.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "render/colors.h"
#include "render/marks.h"
#include "render/source.h"

namespace plm {

struct Vec2 {
  double X = 0, Y = 0;
};

struct Box {
  double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
  bool Empty = true;
  void Add(Vec2 p);
};

struct Style {
  Rgb Color;
  uint16_t PenColor = 0;
  uint8_t PenStyle = 0;
};

struct SegmentPrim {
  Vec2 A, B;
  Style S;
};

// An elliptic arc given by conjugate half-axes, which stay exact under the affine
// maps of block insertions:  Center + AxisA cos t + AxisB sin t,  t in
// [Start, Start + Sweep].
struct ArcPrim {
  Vec2 Center, AxisA, AxisB;
  double Start = 0, Sweep = 0;
  bool Full = false;
  Style S;
  Vec2 At(double t) const;
};

struct PointPrim {
  Vec2 P;
  Style S;
};

struct SolidPrim {
  std::array<Vec2, 4> Corners;  // in file order
  Rgb Fill;
  Style S;
};

// Where a text stands in the document, for the legend and for tests.
enum class TextSite : uint8_t { Text, DimensionValue, BlockText, BlockDimensionValue };

struct CharCell {
  std::string Utf8;  // the character, decoded from code page 932
  double X = 0;      // left edge along the baseline, in text units
  double Width = 0;
  bool DoubleByte = false;
};

// A text placed by its own frame: a text-unit point (x, y) lies at
// Origin + AxisX x + AxisY y (the axes carry the angle and any block transform).
struct TextRun {
  Vec2 Origin, AxisX, AxisY;
  double SizeX = 0, SizeY = 0, Spacing = 0;
  std::vector<CharCell> Cells;
  Style S;
  TextSite Site = TextSite::Text;
  bool Marked = false;  // the spacing rule changes this text
  Vec2 At(double x, double y) const;
  // Lower left, lower right, upper right, upper left of a cell, in drawing coordinates.
  std::array<Vec2, 4> CellCorners(size_t i) const;
};

// The kinds of picture a bound image may hold, told by the bytes' own signature.
enum class ImageFormat : uint8_t { Unknown, Bmp, Jpeg, Png };
ImageFormat ImageFormatOf(std::span<const uint8_t> bytes);

// A bound image where a text refers to it: the picture fills the parallelogram of
// Corners (lower left, lower right, upper right, upper left, in drawing coordinates),
// upright when the lower left corner is drawn at the bottom. Bytes is the image file
// as the drawing stores it, null when the drawing holds no image of that name; a
// painter that cannot show the picture draws the frame with the name instead. Name is
// the selected image's name, or the text's when none is selected, cut to
// kMaxImageNameBytes.
inline constexpr size_t kMaxImageNameBytes = 255;
struct ImagePrim {
  std::array<Vec2, 4> Corners;
  std::string Name;  // UTF-8
  std::shared_ptr<const std::vector<uint8_t>> Bytes;
  ImageFormat Format = ImageFormat::Unknown;
  Style S;
};

// Limits that keep hostile drawings bounded in time and memory.
struct RenderLimits {
  int MaxDepth = 16;                    // nesting of block insertions
  uint64_t MaxPrimitives = 1'000'000;   // everything emitted, characters and images included
  uint64_t MaxVisits = 8'000'000;       // entities walked, expansions included
  // Work (entities walked plus primitives emitted) allowed for each entity or text byte
  // the drawing stores, but never less than MinWork: block insertions may repeat what a
  // drawing stores, yet a small file cannot cost what only a large one may.
  uint64_t WorkPerStoredItem = 256;
  uint64_t MinWork = 100'000;
  size_t MaxCharsPerText = 2000;
  double CoordLimit = 1e10;             // larger (or non-finite) coordinates are skipped
};

// What could not be drawn, and why.
struct RenderStats {
  uint64_t Skipped = 0;          // absurd or non-finite geometry, zero or negative sizes
  uint64_t MissingBlocks = 0;    // insertions of a number no definition has
  uint64_t CycleSkips = 0;       // insertions of a definition already being expanded
  uint64_t DepthSkips = 0;       // insertions nested deeper than MaxDepth
  uint64_t TruncatedTexts = 0;   // texts cut at MaxCharsPerText
  bool LimitReached = false;     // MaxPrimitives, MaxVisits or the work bound stopped the expansion
};

struct DisplayList {
  std::vector<SolidPrim> Solids;
  std::vector<SegmentPrim> Segments;
  std::vector<ArcPrim> Arcs;
  std::vector<PointPrim> Points;
  std::vector<TextRun> Texts;
  std::vector<ImagePrim> Images;  // painted over everything else, in drawing order
  Box Bounds;
  RenderStats Stats;
};

// Builds the display list of `source`. With `marks`, texts the rule changes are
// Marked (every insertion of a marked definition text included).
DisplayList BuildDisplayList(const RenderSource& source, const SpacingMarks* marks = nullptr,
                             const RenderLimits& limits = {});

// Points along an arc, ends included, so that the chord error stays below
// `tolerance` (drawing units); at most maxPoints.
std::vector<Vec2> FlattenArc(const ArcPrim& arc, double tolerance, size_t maxPoints = 257);

}  // namespace plm
