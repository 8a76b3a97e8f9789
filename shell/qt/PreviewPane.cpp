#include "shell/qt/PreviewPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <exception>
#include <cmath>
#include <map>
#include <vector>

#include "render/displaylist.h"
#include "shell/preview.h"

namespace plm {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }


QColor ColorOf(Rgb c) { return QColor(c.R, c.G, c.B); }

// The rectangle primitives are clipped to: the pane with a small margin, so clipped
// edges never show. Everything handed to the painter lies inside it, whatever the zoom.
struct ClipRect {
  double X0, Y0, X1, Y1;
  bool Contains(Vec2 p) const { return p.X >= X0 && p.X <= X1 && p.Y >= Y0 && p.Y <= Y1; }
  // False when the box of the points lies wholly outside (or is not finite).
  bool Meets(double minX, double minY, double maxX, double maxY) const {
    return std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY) &&
           maxX >= X0 && minX <= X1 && maxY >= Y0 && minY <= Y1;
  }
};

bool Finite(Vec2 p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

// Liang-Barsky: the part of segment a-b inside the rectangle; false when none is.
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

// Sutherland-Hodgman against the rectangle; empty when nothing is inside.
QPolygonF ClipPolygon(const std::vector<Vec2>& in, const ClipRect& r) {
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
  QPolygonF out;
  for (const Vec2& p : pts) out << QPointF(p.X, p.Y);
  return out;
}

QPolygonF ClipQuad(const std::array<Vec2, 4>& q, const ClipRect& r) {
  if (r.Contains(q[0]) && r.Contains(q[1]) && r.Contains(q[2]) && r.Contains(q[3]))
    return QPolygonF({QPointF(q[0].X, q[0].Y), QPointF(q[1].X, q[1].Y), QPointF(q[2].X, q[2].Y),
                      QPointF(q[3].X, q[3].Y)});
  return ClipPolygon({q.begin(), q.end()}, r);
}

void BoxOf(const std::array<Vec2, 4>& q, double& minX, double& minY, double& maxX, double& maxY) {
  minX = maxX = q[0].X;
  minY = maxY = q[0].Y;
  for (const Vec2& p : q) {
    minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
    minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
  }
}

double Length(Vec2 v) { return std::hypot(v.X, v.Y); }

// Glyphs are drawn in a font of this many pixels, scaled by the text's transform.
constexpr int kGlyphPixels = 100;
// Glyphs of Japanese fonts sit on a baseline 0.12 em above the bottom of their em box.
constexpr double kDescent = 0.12;
// Texts shorter than this on screen are drawn as their baseline only; taller ones as
// their cells only, since such glyphs would be mostly off the pane anyway.
constexpr double kMinGlyphPx = 3, kMaxGlyphPx = 4000;
constexpr double kArcTolerancePx = 0.3;
constexpr size_t kSmoothStrokes = 20000;

const QColor kMarkFill(255, 140, 0, 72);
const QColor kMarkStroke(224, 0, 0);
const QColor kCellStroke(111, 168, 220);

}  // namespace

// Draws one display list into a pane of a given size: everything is culled by its box
// and clipped to the pane before the painter sees it, so no zoom hands it absurd
// numbers.
class ListPainter {
 public:
  ListPainter(const PreviewView& view, QSizeF size) : view_(view), w_(size.width()), h_(size.height()) {
    glyphFont_.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("ＭＳ ゴシック"),
                            QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")});
    glyphFont_.setPixelSize(kGlyphPixels);
  }

  void Paint(QPainter& p, const DisplayList& list) {
    const ClipRect clip{-2.0, -2.0, w_ + 2.0, h_ + 2.0};
    DrawSolids(p, list, clip);
    CollectStrokes(list, clip);
    DrawTexts(p, list, clip);
    DrawStrokes(p);
  }

 private:
  Vec2 ToDevice(Vec2 d) const {
    return {w_ / 2.0 + (d.X - view_.CenterX) * view_.Scale, h_ / 2.0 - (d.Y - view_.CenterY) * view_.Scale};
  }
  Vec2 DeviceVector(Vec2 v) const { return {v.X * view_.Scale, -v.Y * view_.Scale}; }

  void DrawSolids(QPainter& p, const DisplayList& list, const ClipRect& clip) {
    p.setPen(Qt::NoPen);
    for (const SolidPrim& s : list.Solids) {
      std::array<Vec2, 4> q;
      for (size_t i = 0; i < 4; ++i) q[i] = ToDevice(s.Corners[i]);
      double x0, y0, x1, y1;
      BoxOf(q, x0, y0, x1, y1);
      if (!clip.Meets(x0, y0, x1, y1)) continue;
      const QPolygonF poly = ClipQuad(q, clip);
      if (poly.size() < 3) continue;
      p.setBrush(ColorOf(s.Fill));
      p.drawPolygon(poly);
    }
    p.setBrush(Qt::NoBrush);
  }

  // One batch of lines per colour, everything already clipped to the pane.
  void AddLine(Vec2 a, Vec2 b, Rgb c, const ClipRect& clip) {
    if (!ClipSegment(a, b, clip)) return;
    strokes_[(uint32_t{c.R} << 16) | (uint32_t{c.G} << 8) | c.B].append(QLineF(a.X, a.Y, b.X, b.Y));
    ++strokeCount_;
  }

  void CollectStrokes(const DisplayList& list, const ClipRect& clip) {
    auto add = [&](Vec2 a, Vec2 b, Rgb c) { AddLine(a, b, c, clip); };
    for (const SegmentPrim& s : list.Segments) add(ToDevice(s.A), ToDevice(s.B), s.S.Color);
    for (const ArcPrim& a : list.Arcs) {
      ArcPrim page = a;
      page.Center = ToDevice(a.Center);
      page.AxisA = DeviceVector(a.AxisA);
      page.AxisB = DeviceVector(a.AxisB);
      const double hx = std::hypot(page.AxisA.X, page.AxisB.X), hy = std::hypot(page.AxisA.Y, page.AxisB.Y);
      if (!clip.Meets(page.Center.X - hx, page.Center.Y - hy, page.Center.X + hx, page.Center.Y + hy)) continue;
      if (hx < 0.5 && hy < 0.5) {
        add(page.Center, {page.Center.X + 0.5, page.Center.Y}, a.S.Color);
        continue;
      }
      const std::vector<Vec2> pts = FlattenArc(page, kArcTolerancePx);
      for (size_t i = 1; i < pts.size(); ++i) add(pts[i - 1], pts[i], a.S.Color);
    }
    for (const PointPrim& pt : list.Points) {
      const Vec2 q = ToDevice(pt.P);
      add({q.X - 1.5, q.Y}, {q.X + 1.5, q.Y}, pt.S.Color);
      add({q.X, q.Y - 1.5}, {q.X, q.Y + 1.5}, pt.S.Color);
    }
  }

  void DrawStrokes(QPainter& p) {
    // Smooth lines cost several times more; a crowded view is drawn without.
    p.setRenderHint(QPainter::Antialiasing, strokeCount_ <= kSmoothStrokes);
    for (const auto& [rgb, batch] : strokes_) {
      QPen pen(QColor::fromRgb(static_cast<QRgb>(rgb)));
      pen.setWidthF(1.0);
      pen.setCosmetic(true);
      pen.setCapStyle(Qt::RoundCap);
      p.setPen(pen);
      p.drawLines(batch);
    }
  }

  void DrawTexts(QPainter& p, const DisplayList& list, const ClipRect& clip) {
    QPen cellPen(kCellStroke), markPen(kMarkStroke);
    cellPen.setCosmetic(true);
    markPen.setCosmetic(true);
    markPen.setWidthF(1.0);
    for (const TextRun& t : list.Texts) {
      if (t.Cells.empty()) continue;
      // The run's extent in text units, then on screen.
      double lo = t.Cells.front().X, hi = lo;
      for (const CharCell& c : t.Cells) lo = std::min(lo, c.X), hi = std::max(hi, c.X + c.Width);
      const std::array<Vec2, 4> run = {ToDevice(t.At(lo, 0)), ToDevice(t.At(hi, 0)), ToDevice(t.At(hi, t.SizeY)),
                                       ToDevice(t.At(lo, t.SizeY))};
      double x0, y0, x1, y1;
      BoxOf(run, x0, y0, x1, y1);
      if (!clip.Meets(x0, y0, x1, y1)) continue;
      const double heightPx = Length(DeviceVector(t.AxisY)) * t.SizeY;
      if (!std::isfinite(heightPx)) continue;

      if (heightPx < kMinGlyphPx) {
        // Too small to read: the baseline stands for the text, and a changed text keeps
        // a box large enough to find.
        AddLine(run[0], run[1], t.S.Color, clip);
        if (t.Marked) {
          const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
          const double w = std::max(x1 - x0, 6.0), h = std::max(y1 - y0, 6.0);
          p.setPen(markPen);
          p.setBrush(kMarkFill);
          const QRectF pane(clip.X0, clip.Y0, clip.X1 - clip.X0, clip.Y1 - clip.Y0);
          p.drawRect(QRectF(cx - w / 2, cy - h / 2, w, h).intersected(pane));
          p.setBrush(Qt::NoBrush);
        }
        continue;
      }

      // Character cells: marked texts filled and outlined in red, others outlined
      // lightly once they are large enough to tell apart.
      if (t.Marked || heightPx >= 8) {
        p.setPen(t.Marked ? markPen : cellPen);
        p.setBrush(t.Marked ? QBrush(kMarkFill) : QBrush(Qt::NoBrush));
        for (size_t i = 0; i < t.Cells.size(); ++i) {
          std::array<Vec2, 4> q = t.CellCorners(i);
          for (Vec2& v : q) v = ToDevice(v);
          double a0, b0, a1, b1;
          BoxOf(q, a0, b0, a1, b1);
          if (!clip.Meets(a0, b0, a1, b1)) continue;
          const QPolygonF poly = ClipQuad(q, clip);
          if (poly.size() >= 3) p.drawPolygon(poly);
        }
        p.setBrush(Qt::NoBrush);
      }
      if (heightPx > kMaxGlyphPx || !(t.SizeX > 0) || !(t.SizeY > 0)) continue;

      // Glyphs in a font of kGlyphPixels, mapped by the text's frame: u to the right
      // along the baseline (stretched to the cell width), v down.
      const double f = t.SizeY / kGlyphPixels, k = t.SizeX / t.SizeY;
      const Vec2 o = ToDevice(t.Origin), ax = DeviceVector(t.AxisX), ay = DeviceVector(t.AxisY);
      const QTransform frame(ax.X * f * k, ax.Y * f * k, -ay.X * f, -ay.Y * f, o.X, o.Y);
      const QTransform saved = p.worldTransform();
      p.setFont(glyphFont_);
      p.setPen(ColorOf(t.S.Color));
      for (size_t i = 0; i < t.Cells.size(); ++i) {
        const CharCell& c = t.Cells[i];
        if (c.Utf8.empty() || c.Utf8 == " ") continue;
        std::array<Vec2, 4> q = t.CellCorners(i);
        for (Vec2& v : q) v = ToDevice(v);
        double a0, b0, a1, b1;
        BoxOf(q, a0, b0, a1, b1);
        if (!clip.Meets(a0, b0, a1, b1)) continue;
        p.setWorldTransform(frame);
        p.drawText(QPointF(c.X / (f * k), -kDescent * kGlyphPixels), Utf8(c.Utf8));
        p.setWorldTransform(saved);
      }
    }
  }

  PreviewView view_;
  double w_, h_;
  QFont glyphFont_;
  std::map<uint32_t, QVector<QLineF>> strokes_;
  size_t strokeCount_ = 0;
};

// The drawing itself: holds one result and the view (scale and the drawing point at
// the pane's centre).
class PreviewCanvas : public QWidget {
 public:
  explicit PreviewCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewCanvas"));
    setMinimumSize(40, 40);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }

  void SetResult(std::shared_ptr<const PreviewResult> result, const QString& reason, bool keepView) {
    result_ = std::move(result);
    ++resultSerial_;
    reason_ = reason;
    if (!keepView || fitted_) Fit();
    update();
  }
  const PreviewResult* Result() const { return result_.get(); }
  const QString& Reason() const { return reason_; }
  void SetWritten(bool written) {
    written_ = written;
    update();
  }
  bool Written() const { return written_; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (fitted_) Fit();
  }

  void wheelEvent(QWheelEvent* event) override {
    if (!result_ || !result_->Ok) return;
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) return;
    const QPointF at = event->position();
    const Vec2 anchor = ToDrawing(at);
    const double scale = std::clamp(scale_ * std::pow(1.25, steps), fitScale_ / 50, fitScale_ * 1e5);
    if (!std::isfinite(scale) || scale <= 0) return;
    scale_ = scale;
    // The drawing point under the pointer stays under it.
    centerX_ = anchor.X - (at.x() - width() / 2.0) / scale_;
    centerY_ = anchor.Y + (at.y() - height() / 2.0) / scale_;
    fitted_ = false;
    update();
    event->accept();
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
      dragging_ = true;
      dragFrom_ = event->position();
      setCursor(Qt::ClosedHandCursor);
    }
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (!dragging_) return;
    const QPointF d = event->position() - dragFrom_;
    dragFrom_ = event->position();
    centerX_ -= d.x() / scale_;
    centerY_ += d.y() / scale_;
    fitted_ = false;
    update();
  }
  void mouseReleaseEvent(QMouseEvent*) override {
    dragging_ = false;
    unsetCursor();
    update();
  }
  // A double click fits the drawing to the pane again.
  void mouseDoubleClickEvent(QMouseEvent*) override {
    Fit();
    update();
  }

  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!result_ || !result_->Ok) {
      p.setPen(QColor(90, 90, 90));
      p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, reason_);
      return;
    }
    // While dragging, the picture drawn at the start of the drag moves with the pointer;
    // the drawing is painted afresh when the button is released.
    const qreal dpr = devicePixelRatioF();
    const bool reuse = dragging_ && !cache_.isNull() && cacheSerial_ == resultSerial_ && cacheWritten_ == written_ &&
                       cacheView_.Scale == scale_ && cache_.size() == size() * dpr;
    if (!reuse) {
      cache_ = QPixmap(size() * dpr);
      cache_.setDevicePixelRatio(dpr);
      cache_.fill(Qt::white);
      QPainter c(&cache_);
      cacheView_ = {scale_, centerX_, centerY_};
      PaintDisplayList(c, written_ ? result_->Written : result_->Current, cacheView_, size());
      cacheSerial_ = resultSerial_;
      cacheWritten_ = written_;
    }
    const QPointF shift((cacheView_.CenterX - centerX_) * scale_, (centerY_ - cacheView_.CenterY) * scale_);
    if (std::isfinite(shift.x()) && std::isfinite(shift.y())) p.drawPixmap(shift, cache_);
  }

 private:
  Vec2 ToDrawing(QPointF p) const {
    return {centerX_ + (p.x() - width() / 2.0) / scale_, centerY_ - (p.y() - height() / 2.0) / scale_};
  }

  void Fit() {
    fitted_ = true;
    const PreviewView v = result_ && result_->Ok ? FitView(result_->Bounds, size()) : PreviewView{};
    scale_ = fitScale_ = v.Scale;
    centerX_ = v.CenterX;
    centerY_ = v.CenterY;
  }

  std::shared_ptr<const PreviewResult> result_;
  QString reason_;
  bool written_ = false;
  bool fitted_ = true;
  double scale_ = 1, fitScale_ = 1, centerX_ = 0, centerY_ = 0;
  bool dragging_ = false;
  QPointF dragFrom_;
  QPixmap cache_;  // the last picture painted, for dragging
  PreviewView cacheView_;
  uint64_t resultSerial_ = 0, cacheSerial_ = 0;  // which result the picture shows
  bool cacheWritten_ = false;
};

PreviewView FitView(const Box& b, QSizeF size) {
  PreviewView v;
  if (b.Empty) return v;
  const double bw = std::max(b.MaxX - b.MinX, 1e-9), bh = std::max(b.MaxY - b.MinY, 1e-9);
  const double s = std::min(std::max(size.width() - 16.0, 8.0) / bw, std::max(size.height() - 16.0, 8.0) / bh);
  if (std::isfinite(s) && s > 0) v.Scale = std::min(s, 1e12);
  v.CenterX = (b.MinX + b.MaxX) / 2;
  v.CenterY = (b.MinY + b.MaxY) / 2;
  return v;
}

void PaintDisplayList(QPainter& painter, const DisplayList& list, const PreviewView& view, QSizeF size) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  ListPainter(view, size).Paint(painter, list);
}

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PreviewPane"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(2);

  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(4, 0, 4, 0);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("PreviewCount"));
  count_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  current_ = new QToolButton(this);
  current_->setObjectName(QStringLiteral("PreviewCurrent"));
  current_->setText(QStringLiteral("現在の図面"));
  current_->setToolTip(QStringLiteral("図面をいまの内容で表示します"));
  written_ = new QToolButton(this);
  written_->setObjectName(QStringLiteral("PreviewWritten"));
  written_->setText(QStringLiteral("変換後"));
  written_->setToolTip(QStringLiteral("変換で書き込まれる内容で表示します（文字間隔 0）"));
  for (QToolButton* b : {current_, written_}) {
    b->setCheckable(true);
    b->setAutoExclusive(true);
    b->setAutoRaise(true);
    b->setEnabled(false);
  }
  current_->setChecked(true);
  connect(written_, &QToolButton::toggled, this, [this](bool on) { canvas_->SetWritten(on); });
  bar->addWidget(count_, 1);
  bar->addWidget(current_);
  bar->addWidget(written_);
  layout->addLayout(bar);

  canvas_ = new PreviewCanvas(this);
  canvas_->setToolTip(QStringLiteral("ホイールで拡大・縮小、ドラッグで移動、ダブルクリックで全体表示"));
  layout->addWidget(canvas_, 1);

  cached_ = std::make_unique<PreviewDocument>();
  loader_.emplace(1);
  ShowReason(previewtexts::kNoSelection);
}

PreviewPane::~PreviewPane() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    pending_.reset();
  }
  loader_.reset();  // waits for a load under way, which then delivers nothing
}

void PreviewPane::ShowFile(const std::string& path) {
  if (path == path_) return;
  path_ = path;
  Show(nullptr, Utf8(previewtexts::kLoading));
  Request(true);
}

void PreviewPane::ShowReason(const std::string& reason) {
  path_.clear();
  const uint64_t generation = ++latest_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.reset();
  }
  delivered_ = generation;
  Show(nullptr, Utf8(reason));
}

void PreviewPane::SetOptions(const ConversionSwitches& options) {
  if (options == options_) return;
  options_ = options;
  if (!path_.empty()) Request(false);
}

void PreviewPane::Request(bool reload) {
  Job job;
  job.Generation = ++latest_;
  job.Path = path_;
  job.Options = options_;
  job.Reload = reload;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A request that has not started yet is replaced, but a read it asked for stays.
    if (pending_ && pending_->Reload && pending_->Path == job.Path) job.Reload = true;
    pending_ = std::move(job);
  }
  loader_->Submit([this](int) { LoadPending(); });
}

void PreviewPane::LoadPending() {
  Job job;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || !pending_) return;  // taken by an earlier load
    job = std::move(*pending_);
    pending_.reset();
  }
  PreviewDocument& cached = *cached_;
  const uint64_t generation = job.Generation;
  const std::function<bool()> obsolete = [this, generation] { return stopping_ || latest_ != generation; };
  auto result = std::make_shared<PreviewResult>();
  // Nothing may escape this load: an error (memory running out on a huge drawing)
  // shows as the reason instead of ending the program.
  try {
    bool ready = !job.Reload && cached.Path == job.Path && (cached.Jww || cached.Jws);
    if (!ready) {
      cached = PreviewDocument{};
      ready = LoadPreviewDocument(job.Path, cached, result->Reason);
      if (!ready) cached = PreviewDocument{};
    }
    if (obsolete()) return;
    if (ready) *result = BuildPreview(cached, job.Options, obsolete);
  } catch (const std::exception& e) {
    cached = PreviewDocument{};
    *result = PreviewResult{};
    result->Reason = std::string(previewtexts::kCannotRead) + e.what();
  }
  if (obsolete()) return;
  QMetaObject::invokeMethod(
      this, [this, generation, result] { Deliver(generation, result); }, Qt::QueuedConnection);
}

void PreviewPane::Deliver(uint64_t generation, std::shared_ptr<const PreviewResult> result) {
  if (generation != latest_) return;  // a newer request is on its way
  delivered_ = generation;
  const QString reason = result->Ok ? QString() : Utf8(result->Reason);
  Show(std::move(result), reason);
}

void PreviewPane::Show(std::shared_ptr<const PreviewResult> result, const QString& reason) {
  const bool ok = result && result->Ok;
  // Marked again for new switches: the view stays where the user put it.
  const bool keepView = ok && canvas_->Result() != nullptr && canvas_->Result()->Ok && !path_.empty() &&
                        shownPath_ == path_;
  shownPath_ = ok ? path_ : std::string();
  if (ok) {
    QStringList all;
    for (const std::string& l : result->Lines) all << Utf8(l);
    count_->setText(Utf8(result->Summary));
    count_->setToolTip(all.join(QLatin1Char('\n')));
  } else {
    count_->clear();
    count_->setToolTip(QString());
  }
  current_->setEnabled(ok);
  written_->setEnabled(ok);
  canvas_->SetResult(ok ? std::move(result) : nullptr, reason, keepView);
}

QString PreviewPane::ReasonText() const { return canvas_->Reason(); }
QString PreviewPane::CountText() const { return count_->text(); }
const PreviewResult* PreviewPane::Result() const { return canvas_->Result(); }
void PreviewPane::SetShowWritten(bool written) { (written ? written_ : current_)->setChecked(true); }
bool PreviewPane::ShowsWritten() const { return canvas_->Written(); }

}  // namespace plm
