#include "render/displaylist.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "jww/jwwbody.h"
#include "jww/jwwdocument.h"
#include "render/pictureheader.h"
#include "text/cp932.h"

namespace plm {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// x' = A x + C y + E,  y' = B x + D y + F.
struct Affine {
  double A = 1, B = 0, C = 0, D = 1, E = 0, F = 0;
  Vec2 Map(double x, double y) const { return {A * x + C * y + E, B * x + D * y + F}; }
  Vec2 MapVec(double x, double y) const { return {A * x + C * y, B * x + D * y}; }
  // This map applied after `local`.
  Affine After(const Affine& l) const {
    return {A * l.A + C * l.B, B * l.A + D * l.B, A * l.C + C * l.D, B * l.C + D * l.D, A * l.E + C * l.F + E,
            B * l.E + D * l.F + F};
  }
};

bool IsLeadByte(uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD); }

// A field of an image reference as a finite positive number (spaces around allowed).
std::optional<double> PositiveNumber(std::string_view field) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
  if (ec != std::errc() || end != field.data() + field.size() || !std::isfinite(v) || !(v > 0)) return std::nullopt;
  return v;
}

// The width and height an image reference states in its first two fields after the
// name, when both are finite positive numbers.
std::optional<std::pair<double, double>> StatedSize(std::string_view rest) {
  const size_t comma = rest.find(',');
  const std::string_view first = rest.substr(0, comma);
  const std::string_view second = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  const std::optional<double> w = PositiveNumber(first), h = PositiveNumber(second.substr(0, second.find(',')));
  if (!w || !h) return std::nullopt;
  return std::make_pair(*w, *h);
}

// The longest start of a code page 932 name of at most kMaxImageNameBytes that ends on
// a character boundary.
std::string_view CutName(std::string_view name) {
  size_t n = 0;
  while (n < name.size()) {
    const size_t step = IsCp932LeadByte(static_cast<unsigned char>(name[n])) && n + 1 < name.size() ? 2 : 1;
    if (n + step > kMaxImageNameBytes) break;
    n += step;
  }
  return name.substr(0, n);
}

// What a text that names a bound image shows, the same for every insertion of it: the
// frame in the text's own units (x from X0 to X1, y from 0 to Height) and the picture.
struct ImageText {
  bool Drawable = false;
  double X0 = 0, X1 = 0, Height = 0;
  std::string Name;  // UTF-8
  std::shared_ptr<const std::vector<uint8_t>> Bytes;
  ImageFormat Format = ImageFormat::Unknown;
};

// What a bound image's header says, read once however many texts name it.
struct PictureInfo {
  bool Read = false;
  ImageFormat Format = ImageFormat::Unknown;
  std::optional<PixelSize> Size;
};

class Builder {
 public:
  Builder(const RenderSource& src, const SpacingMarks* marks, const RenderLimits& limits, DisplayList& out)
      : src_(src),
        marks_(marks),
        lim_(limits),
        out_(out),
        active_(src.BlockDefs.size(), 0),
        selector_(src.Images, [](const BoundImageBytes& image) -> std::string_view { return image.Name; }),
        pictures_(src.Images.size()) {
    defByNumber_.reserve(src.BlockDefs.size());
    for (size_t i = 0; i < src.BlockDefs.size(); ++i) defByNumber_.try_emplace(src.BlockDefs[i].Number, i);
    uint64_t stored = StoredItems(*src.Main);
    for (const BlockDefView& d : src.BlockDefs) stored += d.Entities ? StoredItems(*d.Entities) : 0;
    const uint64_t perItem = lim_.WorkPerStoredItem;
    const uint64_t scaled = perItem && stored > std::numeric_limits<uint64_t>::max() / perItem
                                ? std::numeric_limits<uint64_t>::max()
                                : stored * perItem;
    workBudget_ = std::max(lim_.MinWork, scaled);
  }

  void Run() {
    const ListMarks* m = marks_ ? &marks_->Main : nullptr;
    Walk(*src_.Main, m, false, Affine{}, 0);
  }

 private:
  bool Fits(double v) const { return std::isfinite(v) && std::fabs(v) <= lim_.CoordLimit; }
  bool Fits(Vec2 p) const { return Fits(p.X) && Fits(p.Y); }
  bool HasRoom() {
    if (emitted_ >= lim_.MaxPrimitives || visits_ >= lim_.MaxVisits || emitted_ + visits_ >= workBudget_)
      out_.Stats.LimitReached = true;
    return !out_.Stats.LimitReached;
  }
  // What a list stores: its entities and the bytes of its texts (each byte may become a
  // character cell).
  static uint64_t StoredItems(const EntityLists& v) {
    uint64_t n = v.EntityOrder.size();
    for (const Text& t : v.TextList) n += t.Text.size();
    for (const Dimension& d : v.DimensionList) n += d.Text.Text.size();
    return n;
  }
  Style StrokeOf(const EntityAttributes& a) const {
    return {VisibleOnWhite(PenColorRgb(a.PenColor, src_.ExtColors)), a.PenColor, a.PenStyle};
  }
  static bool Marked(const std::vector<uint8_t>* v, size_t i) { return v && i < v->size() && (*v)[i] != 0; }

  void Walk(const EntityLists& v, const ListMarks* marks, bool inBlock, const Affine& m, int depth) {
    for (const EntityRef& ref : v.EntityOrder) {
      if (!HasRoom()) return;
      ++visits_;
      if (ref.Index < 0) continue;
      const size_t i = static_cast<size_t>(ref.Index);
      switch (ref.Kind) {
        case kKindLine:
          if (i < v.LineList.size()) DrawLine(v.LineList[i], m);
          break;
        case kKindArc:
          if (i < v.ArcList.size()) DrawArc(v.ArcList[i], m);
          break;
        case kKindPoint:
          if (i < v.PointList.size()) DrawPoint(v.PointList[i], m);
          break;
        case kKindText:
          if (i >= v.TextList.size()) break;
          if (const ImageText* image = ImageTextOf(v.TextList[i]))
            DrawImage(v.TextList[i], *image, m);
          else
            DrawText(v.TextList[i], m, inBlock ? TextSite::BlockText : TextSite::Text, Marked(marks ? &marks->Texts : nullptr, i));
          break;
        case kKindDimension:
          if (i < v.DimensionList.size()) DrawDimension(v.DimensionList[i], m, inBlock, Marked(marks ? &marks->Dims : nullptr, i));
          break;
        case kKindSolid:
          if (i < v.SolidList.size()) DrawSolid(v.SolidList[i], m);
          break;
        case kKindBlockInsert:
          if (i < v.BlockInsertList.size()) Insert(v.BlockInsertList[i], m, depth);
          break;
        default:
          break;
      }
    }
  }

  void DrawLine(const Line& e, const Affine& m) {
    const Vec2 a = m.Map(e.StartX, e.StartY), b = m.Map(e.EndX, e.EndY);
    if (!Fits(a) || !Fits(b)) {
      ++out_.Stats.Skipped;
      return;
    }
    out_.Segments.push_back({a, b, StrokeOf(e.Attr)});
    out_.Bounds.Add(a);
    out_.Bounds.Add(b);
    ++emitted_;
  }

  void DrawArc(const Arc& e, const Affine& m) {
    const double r = e.Radius;
    if (!(r > 0) || !std::isfinite(r) || !std::isfinite(e.StartAngle) || !std::isfinite(e.ArcAngle) ||
        !std::isfinite(e.TiltAngle) || !std::isfinite(e.Flatness)) {
      ++out_.Stats.Skipped;
      return;
    }
    const double ct = std::cos(e.TiltAngle), st = std::sin(e.TiltAngle);
    ArcPrim p;
    p.Center = m.Map(e.CenterX, e.CenterY);
    p.AxisA = m.MapVec(r * ct, r * st);
    p.AxisB = m.MapVec(-r * e.Flatness * st, r * e.Flatness * ct);
    p.Full = e.FullCircle != 0 || std::fabs(e.ArcAngle) >= kTwoPi;
    p.Start = std::fmod(e.StartAngle, kTwoPi);
    p.Sweep = p.Full ? kTwoPi : e.ArcAngle;
    p.S = StrokeOf(e.Attr);
    // Half extents of the whole ellipse along x and y.
    const double hx = std::hypot(p.AxisA.X, p.AxisB.X), hy = std::hypot(p.AxisA.Y, p.AxisB.Y);
    if (!Fits(p.Center) || !Fits(hx) || !Fits(hy) || !Fits(p.Center.X + hx) || !Fits(p.Center.Y + hy)) {
      ++out_.Stats.Skipped;
      return;
    }
    AddArcBounds(p);
    out_.Arcs.push_back(p);
    ++emitted_;
  }

  // The ends and every axis extreme the sweep passes.
  void AddArcBounds(const ArcPrim& p) {
    if (p.Full) {
      const double hx = std::hypot(p.AxisA.X, p.AxisB.X), hy = std::hypot(p.AxisA.Y, p.AxisB.Y);
      out_.Bounds.Add({p.Center.X - hx, p.Center.Y - hy});
      out_.Bounds.Add({p.Center.X + hx, p.Center.Y + hy});
      return;
    }
    out_.Bounds.Add(p.At(p.Start));
    out_.Bounds.Add(p.At(p.Start + p.Sweep));
    const double lo = std::min(p.Start, p.Start + p.Sweep), hi = std::max(p.Start, p.Start + p.Sweep);
    const double tx = std::atan2(p.AxisB.X, p.AxisA.X), ty = std::atan2(p.AxisB.Y, p.AxisA.Y);
    for (double base : {tx, tx + std::numbers::pi, ty, ty + std::numbers::pi}) {
      // The first t >= lo with t = base (mod 2 pi).
      const double t = lo + std::fmod(std::fmod(base - lo, kTwoPi) + kTwoPi, kTwoPi);
      if (t <= hi) out_.Bounds.Add(p.At(t));
    }
  }

  void DrawPoint(const Point& e, const Affine& m) {
    const Vec2 p = m.Map(e.X, e.Y);
    if (!Fits(p)) {
      ++out_.Stats.Skipped;
      return;
    }
    out_.Points.push_back({p, StrokeOf(e.Attr)});
    out_.Bounds.Add(p);
    ++emitted_;
  }

  void DrawSolid(const Solid& e, const Affine& m) {
    SolidPrim s;
    s.Corners = {m.Map(e.Corner1X, e.Corner1Y), m.Map(e.Corner2X, e.Corner2Y), m.Map(e.Corner3X, e.Corner3Y),
                 m.Map(e.Corner4X, e.Corner4Y)};
    for (const Vec2& c : s.Corners) {
      if (!Fits(c)) {
        ++out_.Stats.Skipped;
        return;
      }
    }
    s.Fill = e.Attr.PenColor == kPenColorRgbSolid ? RgbOfColorRef(e.Color) : PenColorRgb(e.Attr.PenColor, src_.ExtColors);
    s.S = {s.Fill, e.Attr.PenColor, e.Attr.PenStyle};
    for (const Vec2& c : s.Corners) out_.Bounds.Add(c);
    out_.Solids.push_back(s);
    ++emitted_;
  }

  // The text's frame: its start point and the axes of its angle, placed by `m`.
  static void PlaceFrame(TextRun& t, const Text& e, const Affine& m) {
    const double rad = e.Angle * std::numbers::pi / 180.0;
    const double c = std::cos(rad), s = std::sin(rad);
    t.Origin = m.Map(e.StartX, e.StartY);
    t.AxisX = m.MapVec(c, s);
    t.AxisY = m.MapVec(-s, c);
  }

  // The text's character cells along its baseline, in text units; false when its
  // sizes or angle cannot be laid out. `truncated` is set when MaxCharsPerText cut it.
  bool LayOutCells(const Text& e, std::vector<CharCell>& cells, bool& truncated) const {
    // A not-a-number spacing is laid out as 0: such texts are what the rule zeroes, so
    // they must stay visible. An infinite or absurd one cannot be laid out.
    const double spacing = std::isnan(e.Spacing) ? 0.0 : e.Spacing;
    if (!(e.SizeX > 0) || !(e.SizeY > 0) || !Fits(e.SizeX) || !Fits(e.SizeY) || !Fits(spacing) ||
        !std::isfinite(e.Angle))
      return false;
    const std::string& bytes = e.Text;
    double x = 0;
    for (size_t i = 0; i < bytes.size();) {
      if (cells.size() >= lim_.MaxCharsPerText) {
        truncated = true;
        break;
      }
      const uint8_t b = static_cast<uint8_t>(bytes[i]);
      CharCell cell;
      cell.DoubleByte = IsLeadByte(b) && i + 1 < bytes.size();
      const size_t n = cell.DoubleByte ? 2 : 1;
      if (b < 0x20 || b == 0x7F)
        cell.Utf8 = " ";
      else if (b < 0x80)
        cell.Utf8.assign(1, static_cast<char>(b));
      else
        cell.Utf8 = Cp932ToUtf8(std::string_view(bytes).substr(i, n));
      cell.X = x;
      cell.Width = cell.DoubleByte ? e.SizeX : e.SizeX / 2;
      x += cell.Width + (cell.DoubleByte ? spacing : spacing / 2);
      cells.push_back(std::move(cell));
      i += n;
    }
    return true;
  }

  void DrawText(const Text& e, const Affine& m, TextSite site, bool marked) {
    if (e.Text.empty()) return;
    TextRun t;
    bool truncated = false;
    if (!LayOutCells(e, t.Cells, truncated)) {
      ++out_.Stats.Skipped;
      return;
    }
    if (truncated) ++out_.Stats.TruncatedTexts;
    PlaceFrame(t, e, m);
    t.SizeX = e.SizeX;
    t.SizeY = e.SizeY;
    t.Spacing = e.Spacing;
    t.S = StrokeOf(e.Attr);
    t.Site = site;
    t.Marked = marked;
    Box box;
    for (size_t i = 0; i < t.Cells.size(); ++i) {
      for (const Vec2& corner : t.CellCorners(i)) {
        if (!Fits(corner)) {
          ++out_.Stats.Skipped;
          return;
        }
        box.Add(corner);
      }
    }
    out_.Bounds.Add({box.MinX, box.MinY});
    out_.Bounds.Add({box.MaxX, box.MaxY});
    emitted_ += 1 + t.Cells.size();
    out_.Texts.push_back(std::move(t));
  }

  // The bound image a text stands for, resolved on its first visit; null for a text
  // that is drawn as characters.
  const ImageText* ImageTextOf(const Text& e) {
    if (!src_.TextsNameImages || !e.Text.starts_with(kImagePrefix)) return nullptr;
    auto [it, added] = imageTexts_.try_emplace(&e);
    if (added) it->second = ResolveImageText(e);
    return it->second ? &*it->second : nullptr;
  }

  std::optional<ImageText> ResolveImageText(const Text& e) {
    const std::optional<ImageReferenceParts> parts = ImageReferencePartsOf(e.Text);
    if (!parts) return std::nullopt;
    ImageText r;
    std::string_view name = parts->Name;
    std::optional<PixelSize> pixels;
    if (const std::optional<size_t> index = selector_.Select(ImageReferenceOf(e.Text))) {
      const BoundImageBytes& image = src_.Images[*index];
      name = image.Name;
      r.Bytes = image.Bytes;
      const PictureInfo& info = PictureOf(*index);
      r.Format = info.Format;
      pixels = info.Size;
    }
    r.Name = Cp932ToUtf8(CutName(name));
    if (!std::isfinite(e.Angle)) return r;
    double width = 0, height = 0;
    const double run = std::hypot(e.EndX - e.StartX, e.EndY - e.StartY);
    if (const auto stated = StatedSize(parts->Rest)) {
      std::tie(width, height) = *stated;
    } else if (run > 0 && std::isfinite(run)) {
      width = run;
      height = pixels ? run * pixels->Height / pixels->Width : run;
    } else {
      std::vector<CharCell> cells;
      bool truncated = false;
      if (!LayOutCells(e, cells, truncated) || cells.empty()) return r;
      r.X0 = r.X1 = cells.front().X;
      for (const CharCell& c : cells) r.X0 = std::min(r.X0, c.X), r.X1 = std::max(r.X1, c.X + c.Width);
      r.Height = e.SizeY;
      r.Drawable = Fits(r.X0) && Fits(r.X1);
      return r;
    }
    r.X1 = width;
    r.Height = height;
    r.Drawable = Fits(width) && Fits(height);
    return r;
  }

  const PictureInfo& PictureOf(size_t index) {
    PictureInfo& info = pictures_[index];
    if (!info.Read && src_.Images[index].Bytes) {
      const std::vector<uint8_t>& bytes = *src_.Images[index].Bytes;
      info.Format = ImageFormatOf(bytes);
      info.Size = PictureSizeOf(bytes);
    }
    info.Read = true;
    return info;
  }

  void DrawImage(const Text& e, const ImageText& image, const Affine& m) {
    if (!image.Drawable) {
      ++out_.Stats.Skipped;
      return;
    }
    TextRun frame;
    PlaceFrame(frame, e, m);
    ImagePrim p;
    p.Corners = {frame.At(image.X0, 0), frame.At(image.X1, 0), frame.At(image.X1, image.Height),
                 frame.At(image.X0, image.Height)};
    for (const Vec2& c : p.Corners) {
      if (!Fits(c)) {
        ++out_.Stats.Skipped;
        return;
      }
    }
    for (const Vec2& c : p.Corners) out_.Bounds.Add(c);
    p.Name = image.Name;
    p.Bytes = image.Bytes;
    p.Format = image.Format;
    p.S = StrokeOf(e.Attr);
    out_.Images.push_back(std::move(p));
    ++emitted_;
  }

  void DrawDimension(const Dimension& e, const Affine& m, bool inBlock, bool marked) {
    DrawLine(e.Line, m);
    DrawText(e.Text, m, inBlock ? TextSite::BlockDimensionValue : TextSite::DimensionValue, marked);
    if (src_.Version < kVerExtTables) return;  // older files have no auxiliary parts
    DrawLine(e.AuxLine1, m);
    DrawLine(e.AuxLine2, m);
    for (const Point* p : {&e.Point1, &e.Point2, &e.Point3, &e.Point4}) DrawPoint(*p, m);
  }

  void Insert(const BlockInsert& e, const Affine& m, int depth) {
    const auto found = defByNumber_.find(e.BlockNumber);
    if (found == defByNumber_.end()) {
      ++out_.Stats.MissingBlocks;
      return;
    }
    const size_t d = found->second;
    if (active_[d]) {
      ++out_.Stats.CycleSkips;
      return;
    }
    if (depth >= lim_.MaxDepth) {
      ++out_.Stats.DepthSkips;
      return;
    }
    if (!Fits(e.X) || !Fits(e.Y) || !Fits(e.ScaleX) || !Fits(e.ScaleY) || e.ScaleX == 0 || e.ScaleY == 0 ||
        !std::isfinite(e.Angle)) {
      ++out_.Stats.Skipped;
      return;
    }
    const double c = std::cos(e.Angle), s = std::sin(e.Angle);
    const Affine local{c * e.ScaleX, s * e.ScaleX, -s * e.ScaleY, c * e.ScaleY, e.X, e.Y};
    const Affine placed = m.After(local);
    const ListMarks* marks = marks_ && d < marks_->BlockDefs.size() ? &marks_->BlockDefs[d] : nullptr;
    active_[d] = 1;
    Walk(*src_.BlockDefs[d].Entities, marks, true, placed, depth + 1);
    active_[d] = 0;
  }

  const RenderSource& src_;
  const SpacingMarks* marks_;
  const RenderLimits& lim_;
  DisplayList& out_;
  std::vector<uint8_t> active_;
  std::unordered_map<int32_t, size_t> defByNumber_;
  ImageSelector selector_;
  std::vector<PictureInfo> pictures_;  // parallel to src_.Images
  std::unordered_map<const Text*, std::optional<ImageText>> imageTexts_;
  uint64_t emitted_ = 0;
  uint64_t visits_ = 0;
  uint64_t workBudget_ = 0;
};

}  // namespace

void Box::Add(Vec2 p) {
  if (Empty) {
    MinX = MaxX = p.X;
    MinY = MaxY = p.Y;
    Empty = false;
    return;
  }
  MinX = std::min(MinX, p.X);
  MaxX = std::max(MaxX, p.X);
  MinY = std::min(MinY, p.Y);
  MaxY = std::max(MaxY, p.Y);
}

Vec2 ArcPrim::At(double t) const {
  const double c = std::cos(t), s = std::sin(t);
  return {Center.X + AxisA.X * c + AxisB.X * s, Center.Y + AxisA.Y * c + AxisB.Y * s};
}

Vec2 TextRun::At(double x, double y) const {
  return {Origin.X + AxisX.X * x + AxisY.X * y, Origin.Y + AxisX.Y * x + AxisY.Y * y};
}

std::array<Vec2, 4> TextRun::CellCorners(size_t i) const {
  const CharCell& c = Cells[i];
  return {At(c.X, 0), At(c.X + c.Width, 0), At(c.X + c.Width, SizeY), At(c.X, SizeY)};
}

DisplayList BuildDisplayList(const RenderSource& source, const SpacingMarks* marks, const RenderLimits& limits) {
  DisplayList out;
  Builder(source, marks, limits, out).Run();
  return out;
}

std::vector<Vec2> FlattenArc(const ArcPrim& arc, double tolerance, size_t maxPoints) {
  maxPoints = std::max<size_t>(maxPoints, 3);
  const double radius = std::max(std::hypot(arc.AxisA.X, arc.AxisA.Y), std::hypot(arc.AxisB.X, arc.AxisB.Y));
  double step = kTwoPi / 8;
  if (tolerance > 0 && radius > tolerance) step = std::min(step, 2 * std::acos(1 - tolerance / radius));
  const double n = std::ceil(std::fabs(arc.Sweep) / std::max(step, 1e-9));
  const size_t segments = static_cast<size_t>(std::clamp(n, 2.0, static_cast<double>(maxPoints - 1)));
  std::vector<Vec2> points;
  points.reserve(segments + 1);
  for (size_t i = 0; i <= segments; ++i)
    points.push_back(arc.At(arc.Start + arc.Sweep * static_cast<double>(i) / static_cast<double>(segments)));
  return points;
}

}  // namespace plm
