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
#include "render/viewport.h"
#include "shell/preview.h"

namespace plm {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }


QColor ColorOf(Rgb c) { return QColor(c.R, c.G, c.B); }

// A clipped polygon for the painter.
QPolygonF Polygon(const std::vector<Vec2>& points) {
  QPolygonF out;
  for (const Vec2& p : points) out << QPointF(p.X, p.Y);
  return out;
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
    // The pane with a small margin, so clipped edges never show.
    const ClipRect clip{-2.0, -2.0, w_ + 2.0, h_ + 2.0};
    DrawSolids(p, list, clip);
    CollectStrokes(list, clip);
    DrawTexts(p, list, clip);
    DrawStrokes(p);
  }

 private:
  Vec2 ToDevice(Vec2 d) const { return ToPane(view_, w_, h_, d); }
  Vec2 DeviceVector(Vec2 v) const { return PaneVector(view_, v); }

  void DrawSolids(QPainter& p, const DisplayList& list, const ClipRect& clip) {
    p.setPen(Qt::NoPen);
    for (const SolidPrim& s : list.Solids) {
      std::array<Vec2, 4> q;
      for (size_t i = 0; i < 4; ++i) q[i] = ToDevice(s.Corners[i]);
      if (!clip.Meets(BoxOf(q))) continue;
      const QPolygonF poly = Polygon(ClipQuad(q, clip));
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
      const Box box = BoxOf(run);
      if (!clip.Meets(box)) continue;
      const double heightPx = Length(DeviceVector(t.AxisY)) * t.SizeY;
      if (!std::isfinite(heightPx)) continue;

      if (heightPx < kMinGlyphPx) {
        // Too small to read: the baseline stands for the text, and a changed text keeps
        // a box large enough to find.
        AddLine(run[0], run[1], t.S.Color, clip);
        if (t.Marked) {
          const double cx = (box.MinX + box.MaxX) / 2, cy = (box.MinY + box.MaxY) / 2;
          const double w = std::max(box.MaxX - box.MinX, 6.0), h = std::max(box.MaxY - box.MinY, 6.0);
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
          if (!clip.Meets(BoxOf(q))) continue;
          const QPolygonF poly = Polygon(ClipQuad(q, clip));
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
        if (!clip.Meets(BoxOf(q))) continue;
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
    const std::optional<PreviewView> zoomed = ZoomedView(view_, fitScale_, steps, {at.x(), at.y()}, width(), height());
    if (!zoomed) return;
    view_ = *zoomed;
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
    view_ = PannedView(view_, {d.x(), d.y()});
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
                       cacheView_.Scale == view_.Scale && cache_.size() == size() * dpr;
    if (!reuse) {
      cache_ = QPixmap(size() * dpr);
      cache_.setDevicePixelRatio(dpr);
      cache_.fill(Qt::white);
      QPainter c(&cache_);
      cacheView_ = view_;
      PaintDisplayList(c, written_ ? result_->Written : result_->Current, cacheView_, size());
      cacheSerial_ = resultSerial_;
      cacheWritten_ = written_;
    }
    const Vec2 shift = PaneShift(cacheView_, view_);
    if (std::isfinite(shift.X) && std::isfinite(shift.Y)) p.drawPixmap(QPointF(shift.X, shift.Y), cache_);
  }

 private:
  void Fit() {
    fitted_ = true;
    view_ = result_ && result_->Ok ? FitView(result_->Bounds, width(), height()) : PreviewView{};
    fitScale_ = view_.Scale;
  }

  std::shared_ptr<const PreviewResult> result_;
  QString reason_;
  bool written_ = false;
  bool fitted_ = true;
  PreviewView view_;
  double fitScale_ = 1;
  bool dragging_ = false;
  QPointF dragFrom_;
  QPixmap cache_;  // the last picture painted, for dragging
  PreviewView cacheView_;
  uint64_t resultSerial_ = 0, cacheSerial_ = 0;  // which result the picture shows
  bool cacheWritten_ = false;
};

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
    bool ready = !job.Reload && cached.Path == job.Path && cached.Drawing;
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
