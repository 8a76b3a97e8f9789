#include "render/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <ostream>
#include <tuple>

namespace plm {
namespace {

constexpr char kFontFamily[] =
    "'Noto Sans CJK JP', 'Noto Sans JP', 'Source Han Sans JP', 'Yu Gothic', 'Meiryo', 'MS Gothic', "
    "'Hiragino Sans', 'IPAGothic', 'TakaoGothic', sans-serif";
constexpr double kMarginPx = 16;
constexpr double kCaptionPx = 28;
constexpr double kLegendLinePx = 22;
constexpr double kArcTolerancePx = 0.25;
// Glyphs of Japanese fonts sit on a baseline 0.12 em above the bottom of their em box.
constexpr double kDescent = 0.12;

// Fixed notation without trailing zeros, always with '.' whatever the locale.
void AppendNum(std::string& out, double v, int decimals = 2) {
  if (!std::isfinite(v)) v = 0;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  char* end = r.ptr;
  if (std::find(buf, end, '.') != end) {
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
  }
  if (end - buf == 2 && buf[0] == '-' && buf[1] == '0') {
    out += '0';
    return;
  }
  out.append(buf, end);
}

std::string Num(double v, int decimals = 2) {
  std::string s;
  AppendNum(s, v, decimals);
  return s;
}

std::string General(double v) {
  if (!std::isfinite(v)) v = 0;
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
  return std::string(buf, r.ptr);
}

std::string Hex(Rgb c) {
  static const char digits[] = "0123456789abcdef";
  std::string s = "#";
  for (uint8_t v : {c.R, c.G, c.B}) {
    s += digits[v >> 4];
    s += digits[v & 15];
  }
  return s;
}

void Escaped(std::ostream& out, std::string_view s) {
  for (char ch : s) {
    switch (ch) {
      case '&': out << "&amp;"; break;
      case '<': out << "&lt;"; break;
      case '>': out << "&gt;"; break;
      case '"': out << "&quot;"; break;
      default:
        if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n') out << ' ';
        else out << ch;
    }
  }
}

// Drawing coordinates to page pixels (y down).
struct PageMap {
  double Scale = 1, MinX = 0, MaxY = 0, OffsetX = 0, OffsetY = 0;
  Vec2 operator()(Vec2 p) const { return {OffsetX + (p.X - MinX) * Scale, OffsetY + (MaxY - p.Y) * Scale}; }
};

void AppendPoint(std::string& out, char command, Vec2 p) {
  out += command;
  AppendNum(out, p.X);
  out += ' ';
  AppendNum(out, p.Y);
}

void Polygon(std::string& out, const std::array<Vec2, 4>& c, const PageMap& map) {
  for (size_t i = 0; i < 4; ++i) AppendPoint(out, i ? 'L' : 'M', map(c[i]));
  out += 'Z';
}

// Only the texts the rule changes show their cells: the marks stand out, and the
// glyphs of the others are not buried under boxes.
void WriteTexts(std::ostream& out, const DisplayList& list, const PageMap& map, bool cells) {
  if (cells) {
    out << "<g id=\"marked\" fill=\"#ff8c00\" fill-opacity=\"0.28\" stroke=\"#e00000\" stroke-width=\"1\">\n";
    std::string d;
    for (const TextRun& t : list.Texts) {
      if (!t.Marked) continue;
      d.clear();
      for (size_t i = 0; i < t.Cells.size(); ++i) Polygon(d, t.CellCorners(i), map);
      out << "<path d=\"" << d << "\"/>\n";
    }
    out << "</g>\n";
  }
  // Spaces are kept, so every character keeps the x position of its cell.
  out << "<g id=\"texts\" xml:space=\"preserve\" font-family=\"" << kFontFamily << "\">\n";
  for (const TextRun& t : list.Texts) {
    const double k = t.SizeX / t.SizeY;
    const double s = map.Scale;
    const Vec2 o = map(t.Origin);
    out << "<text transform=\"matrix(" << General(s * t.AxisX.X * k) << " " << General(-s * t.AxisX.Y * k) << " "
        << General(-s * t.AxisY.X) << " " << General(s * t.AxisY.Y) << " " << Num(o.X) << " " << Num(o.Y)
        << ")\" font-size=\"" << General(t.SizeY) << "\" y=\"" << General(-kDescent * t.SizeY) << "\" x=\"";
    for (size_t i = 0; i < t.Cells.size(); ++i) out << (i ? " " : "") << General(t.Cells[i].X / k);
    out << "\" fill=\"" << Hex(t.S.Color) << "\"" << (t.Marked ? " class=\"marked\"" : "") << ">";
    for (const CharCell& c : t.Cells) Escaped(out, c.Utf8);
    out << "</text>\n";
  }
  out << "</g>\n";
}

// The pictures of the bound images, each embedded once however often it is placed.
class Pictures {
 public:
  explicit Pictures(std::span<const SvgPanel> panels) {
    for (const SvgPanel& p : panels)
      if (p.List)
        for (const ImagePrim& image : p.List->Images)
          if (image.Bytes && MimeType(image.Format) && ids_.try_emplace(image.Bytes.get(), ids_.size()).second)
            order_.push_back(&image);
  }

  // A picture of 1 x 1 units that <use> places, for each embedded image.
  void WriteDefinitions(std::ostream& out) const {
    if (order_.empty()) return;
    out << "<defs>\n";
    for (const ImagePrim* image : order_) {
      out << "<image id=\"picture-" << ids_.at(image->Bytes.get())
          << "\" width=\"1\" height=\"1\" preserveAspectRatio=\"none\" xlink:href=\"data:" << MimeType(image->Format)
          << ";base64,";
      Base64(out, *image->Bytes);
      out << "\"/>\n";
    }
    out << "</defs>\n";
  }

  // The id of the image's picture, or none when it is drawn as a frame.
  std::optional<size_t> IdOf(const ImagePrim& image) const {
    const auto found = image.Bytes ? ids_.find(image.Bytes.get()) : ids_.end();
    if (found == ids_.end()) return std::nullopt;
    return found->second;
  }

 private:
  static const char* MimeType(ImageFormat f) {
    switch (f) {
      case ImageFormat::Bmp: return "image/bmp";
      case ImageFormat::Jpeg: return "image/jpeg";
      case ImageFormat::Png: return "image/png";
      case ImageFormat::Unknown: break;
    }
    return nullptr;
  }

  static void Base64(std::ostream& out, const std::vector<uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string chunk;
    chunk.reserve(4096);
    for (size_t i = 0; i < bytes.size(); i += 3) {
      const size_t n = std::min<size_t>(3, bytes.size() - i);
      const uint32_t v = uint32_t{bytes[i]} << 16 | (n > 1 ? uint32_t{bytes[i + 1]} << 8 : 0) | (n > 2 ? uint32_t{bytes[i + 2]} : 0);
      chunk += digits[v >> 18];
      chunk += digits[(v >> 12) & 63];
      chunk += n > 1 ? digits[(v >> 6) & 63] : '=';
      chunk += n > 2 ? digits[v & 63] : '=';
      if (chunk.size() >= 4000) {
        out << chunk;
        chunk.clear();
      }
    }
    out << chunk;
  }

  std::map<const std::vector<uint8_t>*, size_t> ids_;
  std::vector<const ImagePrim*> order_;
};

// Each picture mapped onto its corners: the unit square's top left corner to the upper
// left one, its x axis along the top edge, its y axis down the left edge. An image
// that cannot be shown is its frame with the name inside, along the bottom edge.
void WriteImages(std::ostream& out, const DisplayList& list, const PageMap& map, const Pictures& pictures) {
  if (list.Images.empty()) return;
  out << "<g id=\"images\">\n";
  for (const ImagePrim& image : list.Images) {
    const Vec2 ll = map(image.Corners[0]), lr = map(image.Corners[1]), ul = map(image.Corners[3]);
    const Vec2 ex{lr.X - ll.X, lr.Y - ll.Y}, ey{ll.X - ul.X, ll.Y - ul.Y};
    if (const std::optional<size_t> id = pictures.IdOf(image)) {
      out << "<use xlink:href=\"#picture-" << *id << "\" transform=\"matrix(" << General(ex.X) << " " << General(ex.Y)
          << " " << General(ey.X) << " " << General(ey.Y) << " " << Num(ul.X) << " " << Num(ul.Y) << ")\"/>\n";
      continue;
    }
    std::string d;
    Polygon(d, image.Corners, map);
    out << "<path fill=\"none\" stroke=\"" << Hex(image.S.Color) << "\" stroke-width=\"1\" d=\"" << d << "\"/>\n";
    // The name, centred and turned with the bottom edge, as large as fits the frame
    // (a single-byte character taken as 0.6 em wide, any other as 1 em).
    const double width = std::hypot(ex.X, ex.Y);
    const double height = width > 0 ? std::fabs(ex.X * ey.Y - ex.Y * ey.X) / width : 0;
    double ems = 0;
    for (unsigned char c : image.Name) ems += c < 0x80 ? 0.6 : (c >= 0xC0 ? 1.0 : 0.0);
    const double size = std::min(0.4 * height, 0.9 * width / std::max(ems, 1.0));
    if (!(size >= 0.5) || !std::isfinite(size)) continue;
    const Vec2 centre{(ul.X + lr.X) / 2, (ul.Y + lr.Y) / 2};
    const double ux = ex.X / width, uy = ex.Y / width;
    out << "<text transform=\"matrix(" << General(ux) << " " << General(uy) << " " << General(-uy) << " "
        << General(ux) << " " << Num(centre.X) << " " << Num(centre.Y) << ")\" y=\"" << General(0.35 * size)
        << "\" font-size=\"" << General(size) << "\" text-anchor=\"middle\" font-family=\"" << kFontFamily
        << "\" fill=\"" << Hex(image.S.Color) << "\">";
    Escaped(out, image.Name);
    out << "</text>\n";
  }
  out << "</g>\n";
}

void WritePanel(std::ostream& out, const DisplayList& list, const std::string& caption, const PageMap& map,
                double left, const SvgOptions& options, const Pictures& pictures) {
  out << "<g class=\"panel\">\n";
  out << "<text x=\"" << Num(left + kMarginPx) << "\" y=\"" << Num(kCaptionPx - 8)
      << "\" font-size=\"16\" font-family=\"" << kFontFamily << "\" fill=\"#333\">";
  Escaped(out, caption);
  out << "</text>\n";

  out << "<g id=\"solids\" stroke=\"none\">\n";
  std::string d;
  for (const SolidPrim& s : list.Solids) {
    d.clear();
    Polygon(d, s.Corners, map);
    out << "<path fill=\"" << Hex(s.Fill) << "\" d=\"" << d << "\"/>\n";
  }
  out << "</g>\n";

  // Lines and arcs, one path per colour.
  std::map<std::tuple<uint8_t, uint8_t, uint8_t>, std::string> strokes;
  auto key = [](Rgb c) { return std::make_tuple(c.R, c.G, c.B); };
  for (const SegmentPrim& s : list.Segments) {
    std::string& path = strokes[key(s.S.Color)];
    AppendPoint(path, 'M', map(s.A));
    AppendPoint(path, 'L', map(s.B));
  }
  for (const ArcPrim& a : list.Arcs) {
    ArcPrim page = a;
    page.Center = map(a.Center);
    page.AxisA = {a.AxisA.X * map.Scale, -a.AxisA.Y * map.Scale};
    page.AxisB = {a.AxisB.X * map.Scale, -a.AxisB.Y * map.Scale};
    const std::vector<Vec2> pts = FlattenArc(page, kArcTolerancePx);
    std::string& path = strokes[key(a.S.Color)];
    for (size_t i = 0; i < pts.size(); ++i) AppendPoint(path, i ? 'L' : 'M', pts[i]);
  }
  for (const PointPrim& p : list.Points) {
    const Vec2 q = map(p.P);
    strokes[key(p.S.Color)] += "M" + Num(q.X - 1.5) + " " + Num(q.Y) + "h3M" + Num(q.X) + " " + Num(q.Y - 1.5) + "v3";
  }
  out << "<g id=\"lines\" fill=\"none\" stroke-width=\"0.8\" stroke-linecap=\"round\">\n";
  for (const auto& [c, path] : strokes)
    out << "<path stroke=\"" << Hex({std::get<0>(c), std::get<1>(c), std::get<2>(c)}) << "\" d=\"" << path << "\"/>\n";
  out << "</g>\n";

  WriteTexts(out, list, map, options.CharCells);
  WriteImages(out, list, map, pictures);
  out << "</g>\n";
}

}  // namespace

std::vector<std::string> LegendLines(const SpacingMarks& marks, const DisplayList& list) {
  const SpacingChanges& c = marks.Counts;
  std::vector<std::string> lines;
  lines.push_back("負の文字間隔: " + std::to_string(c.Total()) + " 件（変換で 0 に）");
  lines.push_back("  文字: " + std::to_string(c.Texts) + "　寸法値: " + std::to_string(c.DimTexts) +
                  "　ブロック内の文字: " + std::to_string(c.BlockTexts) +
                  "　ブロック内の寸法値: " + std::to_string(c.BlockDimTexts) +
                  "　文字種: " + std::to_string(c.TypeTable));
  if (c.TypeTable) {
    std::string types = "  文字種の設定が変わる番号:";
    for (size_t i = 0; i < marks.TextTypes.size(); ++i)
      if (marks.TextTypes[i]) types += " " + std::to_string(i + 1);
    lines.push_back(types);
  }
  const RenderStats& s = list.Stats;
  const uint64_t notDrawn = s.Skipped + s.MissingBlocks + s.CycleSkips + s.DepthSkips;
  if (notDrawn || s.TruncatedTexts || s.LimitReached) {
    std::string line = "描画できなかった要素: " + std::to_string(notDrawn) + " 件";
    if (s.MissingBlocks) line += "（定義のないブロック " + std::to_string(s.MissingBlocks) + "）";
    if (s.CycleSkips) line += "（自分を含むブロック " + std::to_string(s.CycleSkips) + "）";
    if (s.DepthSkips) line += "（入れ子が深すぎるブロック " + std::to_string(s.DepthSkips) + "）";
    if (s.TruncatedTexts) line += "、途中で切った文字列 " + std::to_string(s.TruncatedTexts) + " 件";
    if (s.LimitReached) line += "、要素数の上限で描画を打ち切りました";
    lines.push_back(line);
  }
  return lines;
}

void WriteSvg(std::ostream& out, std::span<const SvgPanel> panels, const std::vector<std::string>& legend,
              const SvgOptions& options) {
  const size_t n = std::max<size_t>(panels.size(), 1);
  Box bounds;
  for (const SvgPanel& p : panels) {
    if (p.List && !p.List->Bounds.Empty) {
      bounds.Add({p.List->Bounds.MinX, p.List->Bounds.MinY});
      bounds.Add({p.List->Bounds.MaxX, p.List->Bounds.MaxY});
    }
  }
  if (bounds.Empty) bounds.Add({0, 0});
  const double panelWidth = std::max(options.WidthPx, 200.0) / static_cast<double>(n);
  const double bw = std::max(bounds.MaxX - bounds.MinX, 1e-9), bh = std::max(bounds.MaxY - bounds.MinY, 1e-9);
  double scale = (panelWidth - 2 * kMarginPx) / bw;
  const double maxDrawHeight = 1.5 * panelWidth;
  if (bh * scale > maxDrawHeight) scale = maxDrawHeight / bh;
  if (!std::isfinite(scale) || scale <= 0) scale = 1;
  const double drawHeight = std::max(bh * scale, 1.0);
  const double legendTop = kCaptionPx + drawHeight + 2 * kMarginPx;
  const double height = legendTop + kLegendLinePx * (static_cast<double>(legend.size()) + 1) + kMarginPx;
  const double width = panelWidth * static_cast<double>(n);

  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
      << Num(width) << "\" height=\"" << Num(height) << "\" viewBox=\"0 0 " << Num(width) << " " << Num(height)
      << "\">\n";
  const Pictures pictures(panels);
  pictures.WriteDefinitions(out);
  out << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  for (size_t i = 0; i < panels.size(); ++i) {
    if (!panels[i].List) continue;
    const double left = panelWidth * static_cast<double>(i);
    PageMap map{scale, bounds.MinX, bounds.MaxY, left + kMarginPx + (panelWidth - 2 * kMarginPx - bw * scale) / 2,
                kCaptionPx + kMarginPx};
    WritePanel(out, *panels[i].List, panels[i].Caption, map, left, options, pictures);
    if (i) out << "<path d=\"M" << Num(left) << " 0V" << Num(legendTop) << "\" stroke=\"#999\" stroke-width=\"1\"/>\n";
  }

  out << "<g id=\"legend\" font-family=\"" << kFontFamily << "\" font-size=\"15\" fill=\"#222\">\n";
  out << "<path d=\"M0 " << Num(legendTop) << "H" << Num(width) << "\" stroke=\"#999\" stroke-width=\"1\"/>\n";
  double y = legendTop + kLegendLinePx;
  out << "<rect x=\"" << Num(kMarginPx) << "\" y=\"" << Num(y - 13) << "\" width=\"28\" height=\"16\" fill=\"#ff8c00\" "
      << "fill-opacity=\"0.28\" stroke=\"#e00000\"/>\n";
  out << "<text x=\"" << Num(kMarginPx + 36) << "\" y=\"" << Num(y) << "\">変換で文字間隔が変わる文字</text>\n";
  for (const std::string& line : legend) {
    y += kLegendLinePx;
    out << "<text x=\"" << Num(kMarginPx) << "\" y=\"" << Num(y) << "\" xml:space=\"preserve\">";
    Escaped(out, line);
    out << "</text>\n";
  }
  out << "</g>\n</svg>\n";
}

}  // namespace plm
