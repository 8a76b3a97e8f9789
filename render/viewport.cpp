#include "render/viewport.h"

#include <algorithm>
#include <cmath>

namespace plm {

namespace {

bool Finite(Vec2 p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

}  // namespace

PreviewView FitView(const Box& b, double width, double height) {
  PreviewView v;
  if (b.Empty) return v;
  const double bw = std::max(b.MaxX - b.MinX, 1e-9), bh = std::max(b.MaxY - b.MinY, 1e-9);
  const double s = std::min(std::max(width - 16.0, 8.0) / bw, std::max(height - 16.0, 8.0) / bh);
  if (std::isfinite(s) && s > 0) v.Scale = std::min(s, 1e12);
  v.CenterX = (b.MinX + b.MaxX) / 2;
  v.CenterY = (b.MinY + b.MaxY) / 2;
  return v;
}

Vec2 ToPane(const PreviewView& view, double width, double height, Vec2 d) {
  return {width / 2.0 + (d.X - view.CenterX) * view.Scale, height / 2.0 - (d.Y - view.CenterY) * view.Scale};
}

Vec2 ToDrawing(const PreviewView& view, double width, double height, Vec2 p) {
  return {view.CenterX + (p.X - width / 2.0) / view.Scale, view.CenterY - (p.Y - height / 2.0) / view.Scale};
}

Vec2 PaneVector(const PreviewView& view, Vec2 v) { return {v.X * view.Scale, -v.Y * view.Scale}; }

std::optional<PreviewView> ZoomedView(const PreviewView& view, double fitScale, double steps, Vec2 at,
                                      double width, double height) {
  const Vec2 anchor = ToDrawing(view, width, height, at);
  const double scale = std::clamp(view.Scale * std::pow(1.25, steps), fitScale / 50, fitScale * 1e5);
  if (!std::isfinite(scale) || scale <= 0) return std::nullopt;
  PreviewView zoomed;
  zoomed.Scale = scale;
  zoomed.CenterX = anchor.X - (at.X - width / 2.0) / scale;
  zoomed.CenterY = anchor.Y + (at.Y - height / 2.0) / scale;
  return zoomed;
}

PreviewView PannedView(const PreviewView& view, Vec2 delta) {
  PreviewView moved = view;
  moved.CenterX -= delta.X / view.Scale;
  moved.CenterY += delta.Y / view.Scale;
  return moved;
}

Vec2 PaneShift(const PreviewView& painted, const PreviewView& now) {
  return {(painted.CenterX - now.CenterX) * now.Scale, (now.CenterY - painted.CenterY) * now.Scale};
}

bool ClipRect::Meets(double minX, double minY, double maxX, double maxY) const {
  return std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY) &&
         maxX >= X0 && minX <= X1 && maxY >= Y0 && minY <= Y1;
}

Box BoxOf(const std::array<Vec2, 4>& q) {
  Box box;
  box.Empty = false;
  box.MinX = box.MaxX = q[0].X;
  box.MinY = box.MaxY = q[0].Y;
  for (const Vec2& p : q) {
    box.MinX = std::min(box.MinX, p.X), box.MaxX = std::max(box.MaxX, p.X);
    box.MinY = std::min(box.MinY, p.Y), box.MaxY = std::max(box.MaxY, p.Y);
  }
  return box;
}

// Liang-Barsky.
bool ClipSegment(Vec2& a, Vec2& b, const ClipRect& r) {
  if (!Finite(a) || !Finite(b)) return false;
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  double t0 = 0, t1 = 1;
  auto edge = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double t = q / p;
    if (p < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
    return true;
  };
  if (!edge(-dx, a.X - r.X0) || !edge(dx, r.X1 - a.X) || !edge(-dy, a.Y - r.Y0) || !edge(dy, r.Y1 - a.Y))
    return false;
  const Vec2 start = a;
  if (t1 < 1) b = {start.X + t1 * dx, start.Y + t1 * dy};
  if (t0 > 0) a = {start.X + t0 * dx, start.Y + t0 * dy};
  return true;
}

// Sutherland-Hodgman, one edge of the rectangle at a time.
std::vector<Vec2> ClipPolygon(const std::vector<Vec2>& in, const ClipRect& r) {
  for (const Vec2& p : in)
    if (!Finite(p)) return {};
  std::vector<Vec2> pts = in, next;
  auto pass = [&](auto inside, auto cross) {
    next.clear();
    for (size_t i = 0; i < pts.size(); ++i) {
      const Vec2 a = pts[i], b = pts[(i + 1) % pts.size()];
      const bool ina = inside(a), inb = inside(b);
      if (ina) next.push_back(a);
      if (ina != inb) next.push_back(cross(a, b));
    }
    pts.swap(next);
  };
  auto atX = [](Vec2 a, Vec2 b, double x) { return Vec2{x, a.Y + (b.Y - a.Y) * (x - a.X) / (b.X - a.X)}; };
  auto atY = [](Vec2 a, Vec2 b, double y) { return Vec2{a.X + (b.X - a.X) * (y - a.Y) / (b.Y - a.Y), y}; };
  pass([&](Vec2 p) { return p.X >= r.X0; }, [&](Vec2 a, Vec2 b) { return atX(a, b, r.X0); });
  pass([&](Vec2 p) { return p.X <= r.X1; }, [&](Vec2 a, Vec2 b) { return atX(a, b, r.X1); });
  pass([&](Vec2 p) { return p.Y >= r.Y0; }, [&](Vec2 a, Vec2 b) { return atY(a, b, r.Y0); });
  pass([&](Vec2 p) { return p.Y <= r.Y1; }, [&](Vec2 a, Vec2 b) { return atY(a, b, r.Y1); });
  return pts;
}

std::vector<Vec2> ClipQuad(const std::array<Vec2, 4>& q, const ClipRect& r) {
  if (r.Contains(q[0]) && r.Contains(q[1]) && r.Contains(q[2]) && r.Contains(q[3])) return {q.begin(), q.end()};
  return ClipPolygon({q.begin(), q.end()}, r);
}

}  // namespace plm
