#include "bench/synth.h"

#include "platform/files.h"
#include "platform/fsutil.h"

#include "jww/jwwbody.h"
#include "jws/jwsdocument.h"

#include <algorithm>
#include <cerrno>
#include <random>

namespace plm::bench {
namespace {

namespace fs = std::filesystem;

// Code page 932 bytes of room and part names, fonts and memo lines.
const char* const kWords[] = {
    "\x95\xbd\x96\xca\x90\x7d",          // 平面図
    "\x91\xe4\x8f\x8a",                  // 台所
    "\x90\x51\x8e\xba",                  // 寝室
    "\x8c\xba\x8a\xd6",                  // 玄関
    "\x90\xf4\x96\xca\x8f\x8a",          // 洗面所
    "\x98\x61\x8e\xba",                  // 和室
    "\x82\x55\x92\x9f",                  // ６帖
    "\x8e\xfb\x94\x5b",                  // 収納
    "\x97\x81\x8e\xba",                  // 浴室
    "\x98\x4c\x89\xba",                  // 廊下
    "\x83\x6f\x83\x8b\x83\x52\x83\x6a\x81\x5b",  // バルコニー
    "\x8a\x4f\x95\xc7",                  // 外壁
};
const char* const kFonts[] = {
    "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e",  // ＭＳ ゴシック
    "\x82\x6c\x82\x72\x20\x96\xbe\x92\xa9",                  // ＭＳ 明朝
};
const char kMemoTitle[] = "\x96\xd8\x91\xa2\x82\x51\x8a\x4b\x8c\x9a";  // 木造２階建
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];

class Builder {
 public:
  Builder(JwwDocument& doc, uint32_t seed) : doc_(doc), rng_(seed) {}

  double Coord() { return std::uniform_real_distribution<double>(-20000.0, 20000.0)(rng_); }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  EntityAttributes Attr(uint16_t color, uint8_t style) {
    EntityAttributes a;
    a.GroupNo = static_cast<uint32_t>(Pick(50));
    a.PenStyle = style;
    a.PenColor = color;
    a.PenWidth = static_cast<uint16_t>(Pick(3));
    a.Layer = static_cast<uint16_t>(Pick(16));
    a.LayerGroup = static_cast<uint16_t>(Pick(4));
    return a;
  }

  Line MakeLine() {
    Line s;
    s.Attr = Attr(static_cast<uint16_t>(1 + Pick(9)), static_cast<uint8_t>(1 + Pick(9)));
    s.StartX = Coord(), s.StartY = Coord(), s.EndX = Coord(), s.EndY = Coord();
    return s;
  }

  Arc MakeArc() {
    Arc e;
    e.Attr = Attr(static_cast<uint16_t>(1 + Pick(9)), 1);
    e.CenterX = Coord(), e.CenterY = Coord(), e.Radius = 100.0 + Pick(5000);
    e.StartAngle = 0.5 * Pick(6), e.ArcAngle = 1.5, e.TiltAngle = 0, e.Flatness = 1.0;
    e.FullCircle = Pick(4) == 0;
    return e;
  }

  Point MakePoint(bool coded) {
    Point t;
    t.Attr = Attr(2, coded ? kPenStyleCodedPoint : 1);
    t.X = Coord(), t.Y = Coord();
    if (coded) t.Code = static_cast<uint32_t>(Pick(10)), t.Angle = 0.25, t.Scale = 1.0;
    return t;
  }

  // A text with negative spacing now and then, of a text type or free-size.
  Text MakeText(const std::string& text) {
    Text m;
    m.Attr = Attr(static_cast<uint16_t>(1 + Pick(9)), 1);
    m.StartX = Coord(), m.StartY = Coord();
    m.EndX = m.StartX + 50.0 * static_cast<double>(text.size()), m.EndY = m.StartY;
    m.TextTypeCode = static_cast<uint32_t>(Pick(3) == 0 ? 0 : 1 + Pick(10));
    m.SizeX = m.SizeY = 3.5;
    m.Spacing = Pick(4) == 0 ? -0.5 : 0.0;
    m.Angle = 0;
    m.FontName = kFonts[Pick(2)];
    m.Text = text;
    return m;
  }

  std::string RoomName() {
    std::string s = kWords[Pick(kWordCount)];
    if (Pick(2) == 0) s += " " + std::to_string(1 + Pick(20)) + "." + std::to_string(Pick(10)) + "m2";
    return s;
  }

  Dimension Dim() {
    Dimension d;
    d.Attr = Attr(1, 1);
    d.Line = MakeLine();
    d.Text = MakeText(std::to_string(100 * (1 + Pick(90))));
    d.AuxMode = 1;
    d.AuxLine1 = MakeLine();
    d.AuxLine2 = MakeLine();
    d.Point1 = MakePoint(false), d.Point2 = MakePoint(false), d.Point3 = MakePoint(false), d.Point4 = MakePoint(false);
    return d;
  }

  Solid MakeSolid() {
    Solid s;
    const bool rgb = Pick(3) == 0;
    s.Attr = Attr(rgb ? kPenColorRgbSolid : static_cast<uint16_t>(1 + Pick(9)), 1);
    s.Corner1X = Coord(), s.Corner1Y = Coord(), s.Corner2X = Coord(), s.Corner2Y = Coord();
    s.Corner3X = Coord(), s.Corner3Y = Coord(), s.Corner4X = Coord(), s.Corner4Y = Coord();
    if (rgb) s.Color = 0x00C0C0C0u;
    return s;
  }

  BlockInsert Insertion(int32_t blockNumber) {
    BlockInsert b;
    b.Attr = Attr(1, 1);
    b.X = Coord(), b.Y = Coord(), b.ScaleX = b.ScaleY = 1.0, b.Angle = 0;
    b.BlockNumber = blockNumber;
    return b;
  }

  template <class List, class Rec>
  static void Add(List& lists, int32_t kind, std::vector<Rec>& list, Rec r) {
    list.push_back(std::move(r));
    lists.EntityOrder.push_back({kind, static_cast<int32_t>(list.size() - 1)});
  }

  // 100 entities in the proportions of real drawings.
  void AddUnit(EntityLists& l, int32_t blockCount) {
    for (int i = 0; i < 100; ++i) {
      const int slot = i;
      if (slot < 68) Add(l, kKindLine, l.LineList, MakeLine());
      else if (slot < 76) Add(l, kKindArc, l.ArcList, MakeArc());
      else if (slot < 80) Add(l, kKindPoint, l.PointList, MakePoint(slot % 2 == 0));
      else if (slot < 90) Add(l, kKindText, l.TextList, MakeText(RoomName()));
      else if (slot < 93) Add(l, kKindDimension, l.DimensionList, Dim());
      else if (slot < 97) Add(l, kKindSolid, l.SolidList, MakeSolid());
      else if (blockCount > 0) Add(l, kKindBlockInsert, l.BlockInsertList, Insertion(1 + Pick(blockCount)));
      else Add(l, kKindLine, l.LineList, MakeLine());
    }
  }

  // n entities drawn from the same mix as AddUnit, spread over the kinds.
  void AddEntities(EntityLists& l, int n, int32_t blockCount) {
    for (int i = 0; i < n; ++i) {
      const int slot = Pick(100);
      if (slot < 68) Add(l, kKindLine, l.LineList, MakeLine());
      else if (slot < 76) Add(l, kKindArc, l.ArcList, MakeArc());
      else if (slot < 80) Add(l, kKindPoint, l.PointList, MakePoint(slot % 2 == 0));
      else if (slot < 90) Add(l, kKindText, l.TextList, MakeText(RoomName()));
      else if (slot < 93) Add(l, kKindDimension, l.DimensionList, Dim());
      else if (slot < 97) Add(l, kKindSolid, l.SolidList, MakeSolid());
      else if (blockCount > 0) Add(l, kKindBlockInsert, l.BlockInsertList, Insertion(1 + Pick(blockCount)));
      else Add(l, kKindLine, l.LineList, MakeLine());
    }
  }

  BlockDefinition BlockDef(int32_t number) {
    BlockDefinition d;
    d.Attr = Attr(1, 1);
    d.Number = number;
    d.Time = number;
    d.Name = std::string(kWords[Pick(kWordCount)]) + "-" + std::to_string(number);
    EntityLists& l = d;
    for (int i = 0; i < 16; ++i) Add(l, kKindLine, d.LineList, MakeLine());
    for (int i = 0; i < 2; ++i) Add(l, kKindArc, d.ArcList, MakeArc());
    Add(l, kKindText, d.TextList, MakeText(RoomName()));
    Add(l, kKindDimension, d.DimensionList, Dim());
    d.EntityCount = static_cast<uint32_t>(d.EntityOrder.size());
    return d;
  }

  void Header(int32_t version, const std::string& memo) {
    InitJwwData(doc_);
    doc_.Header.Signature = "JwwData.";
    doc_.Header.Version = version;
    doc_.Header.Memo = memo;
    for (int g = 0; g < 16; ++g) {
      doc_.LayerGroups[g].Scale = 100.0;
      doc_.LayerGroups[g].State = 2;
      doc_.LayerGroups[g].Name = kWords[g % kWordCount];
    }
    for (int i = 0; i < 256; ++i) {
      doc_.Layers[i].State = 2;
      if (i % 16 < 6) doc_.Layers[i].Name = std::string(kWords[(i / 16 + i) % kWordCount]) + std::to_string(i % 16);
    }
    for (int i = 0; i < 10; ++i) doc_.TextTypeSettings[i] = {2.0 + i, 2.0 + i, i % 3 == 0 ? -0.5 : 0.0, i + 1};
    for (int i = 0; i < 257; ++i) doc_.ExtColors[i].Name = i < 20 ? "color" + std::to_string(i) : "";
  }

 private:
  JwwDocument& doc_;
  std::mt19937 rng_;
};

uint64_t BodySize(const JwwDocument& doc, int32_t version) {
  TempImages none;
  ByteSink out;
  WriteJwwHeader(out, doc, version);
  WriteJwwBody(out, doc, none, version);
  return out.Written();
}

}  // namespace

std::vector<uint8_t> DrawingBytes(const JwwDocument& doc, TempImages& images, int32_t version) {
  ByteSink out;
  WriteJwwHeader(out, doc, version);
  WriteJwwBody(out, doc, images, version);
  return out.Bytes();
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) { return WriteNewFile(path, bytes); }

JwwDocument MakeDrawing(uint64_t targetBytes, int32_t version, TempImages& images, int imageCount, uint32_t seed) {
  JwwDocument doc;
  Builder b(doc, seed);
  b.Header(version, std::string(kMemoTitle) + "\r\n" + kWords[0] + " synthetic " + std::to_string(targetBytes));
  // Bytes per unit of 100 entities, measured with the writer.
  const uint64_t empty = BodySize(doc, version);
  {
    JwwDocument probe = doc;
    Builder pb(probe, seed);
    pb.AddUnit(probe, 1);
    probe.EntityCount = static_cast<uint32_t>(probe.EntityOrder.size());
    const uint64_t unit = BodySize(probe, version) - empty;
    const uint64_t imageBytes = version >= kVerImages ? targetBytes / 50 : 0;
    const uint64_t budget = targetBytes > empty + imageBytes ? targetBytes - empty - imageBytes : 0;
    // One block definition per 5000 entities, each worth about a fifth of a unit.
    const uint64_t units = std::max<uint64_t>(1, budget * 250 / (unit * 251 + 1));
    const int32_t blockCount = static_cast<int32_t>(std::max<uint64_t>(1, units / 50));
    doc.EntityOrder.reserve(units * 100);
    for (uint64_t u = 0; u < units; ++u) b.AddUnit(doc, blockCount);
    for (int32_t n = 1; n <= blockCount; ++n) doc.BlockDefinitionList.push_back(b.BlockDef(n));
    if (version >= kVerImages) {
      images.TempImageFiles.clear();
      uint64_t size = imageBytes / 2;
      for (int i = 0; i < imageCount; ++i, size = std::max<uint64_t>(size / 2, 1024)) {
        const std::string name = "image" + std::to_string(i + 1) + ".bmp";
        std::vector<uint8_t> data(size);
        for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>((k * 131 + i) >> 3);
        if (!WriteBytes(images.TempFolder / name, data)) return doc;
        images.TempImageFiles.push_back({name, static_cast<int32_t>(size), false});
        doc.TextList.push_back(b.MakeText(std::string(kImagePrefix) + name + ",100,80,0,0,1,0"));
        doc.EntityOrder.push_back({kKindText, static_cast<int32_t>(doc.TextList.size() - 1)});
      }
    }
  }
  doc.EntityCount = static_cast<uint32_t>(doc.EntityOrder.size());
  return doc;
}

JwwDocument MakeSmallDrawing(int32_t version, uint32_t seed) {
  JwwDocument doc;
  Builder b(doc, seed);
  b.Header(version, std::string(kMemoTitle) + " No." + std::to_string(seed) + "\r\n" + kWords[seed % kWordCount]);
  b.AddUnit(doc, 0);
  doc.EntityCount = static_cast<uint32_t>(doc.EntityOrder.size());
  return doc;
}

bool MakeDrawingFolder(const fs::path& folder, int count) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  static constexpr int32_t kVersions[] = {230, 300, 351, 420, 600, 700};
  TempImages none;
  for (int i = 0; i < count; ++i) {
    char name[32];
    if (i % 20 == 19) {
      std::snprintf(name, sizeof name, "notes%05d.txt", i);
      const std::string text = "not a drawing " + std::to_string(i) + "\n";
      if (!WriteBytes(folder / name, std::vector<uint8_t>(text.begin(), text.end()))) return false;
      continue;
    }
    std::snprintf(name, sizeof name, i % 20 == 7 ? "plan%05d.BAK" : "plan%05d.jww", i);
    const int32_t version = kVersions[i % 6];
    const JwwDocument doc = MakeSmallDrawing(version, static_cast<uint32_t>(i));
    if (!WriteBytes(folder / name, DrawingBytes(doc, none, version))) return false;
  }
  return true;
}

bool MakeBatchFolder(const fs::path& folder, int count, uint64_t totalBytes) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::mt19937 rng(2457);
  // One drawing in four is a JWW drawing, whose header alone is some 15 KB from
  // version 420 on; the others are JWS figures of a few parts. Sizes spread like a
  // project folder's, most near the mean and a tail of larger ones: each file gets
  // its share, by a log-normal weight, of what the headers leave of totalBytes.
  std::lognormal_distribution<double> spread(0.0, 0.7);
  std::vector<double> weights(static_cast<size_t>(count));
  double sum = 0;
  for (double& w : weights) sum += (w = spread(rng));
  static constexpr int32_t kJwwVersions[] = {700, 600, 700, 600, 420, 351, 700, 300};
  static constexpr int32_t kJwsVersions[] = {600, 420, 700, 351, 300};
  const int jwwCount = (count + 3) / 4;
  // Headers and the last step of ten entities, about half a KB, come on top of the shares.
  const double rest = static_cast<double>(totalBytes) - 15500.0 * jwwCount - 800.0 * (count - jwwCount);
  ScopedTempFolder temp("plmgen-images-");
  for (int i = 0; i < count; ++i) {
    const bool jww = i % 4 == 0;
    const int32_t version = jww ? kJwwVersions[(i / 4) % 8] : kJwsVersions[i % 5];
    JwwDocument doc;
    Builder b(doc, static_cast<uint32_t>(i) * 7919u + 1);
    b.Header(version, std::string(kMemoTitle) + " No." + std::to_string(i + 1) + "\r\n" + kWords[i % kWordCount]);
    JwsDocument figure;
    figure.Signature = "JwsData";
    figure.Version = version;
    for (TLayerGroup& g : figure.LayerGroups) g.Scale = 100.0;
    DrawingBody& body = jww ? static_cast<DrawingBody&>(doc) : static_cast<DrawingBody&>(figure);
    const int32_t blockCount = i % 3 == 0 ? 0 : 1 + b.Pick(jww ? 3 : 1);
    for (int32_t n = 1; n <= blockCount; ++n) body.BlockDefinitionList.push_back(b.BlockDef(n));
    figure.BlockDefCount = static_cast<uint32_t>(figure.BlockDefinitionList.size());
    TempImages images;
    images.TempFolder = temp.Path();
    if (jww && version >= kVerImages && i % 100 == 52) {
      const std::string name = "photo" + std::to_string(i) + ".jpg";
      std::vector<uint8_t> data(3000 + static_cast<size_t>(i % 7) * 500);
      for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<uint8_t>(k * 31 + static_cast<size_t>(i));
      if (!WriteBytes(images.TempFolder / name, data)) return false;
      images.TempImageFiles.push_back({name, static_cast<int32_t>(data.size()), false});
      doc.TextList.push_back(b.MakeText(std::string(kImagePrefix) + name + ",100,80,0,0,1,0"));
      doc.EntityOrder.push_back({kKindText, static_cast<int32_t>(doc.TextList.size() - 1)});
    }
    auto bytes = [&] {
      body.EntityCount = static_cast<uint32_t>(body.EntityOrder.size());
      if (jww) return DrawingBytes(doc, images, version);
      ByteSink out;
      WriteJwsFile(out, figure, version);
      return out.Bytes();
    };
    const uint64_t base = bytes().size();
    const uint64_t target = base + static_cast<uint64_t>(std::max(0.0, rest * weights[static_cast<size_t>(i)] / sum));
    std::vector<uint8_t> file;
    while ((file = bytes()).size() < target) b.AddEntities(body, 10, blockCount);
    char name[32];
    std::snprintf(name, sizeof name, jww ? "zu%04d.jww" : "bu%04d.jws", i + 1);
    if (!WriteBytes(folder / name, file)) return false;
    DeleteTempImageFiles(images);
  }
  return true;
}

bool MakeFolderTree(const fs::path& root, int count) {
  std::vector<fs::path> parents{root};
  int made = 0;
  for (size_t p = 0; p < parents.size() && made < count; ++p) {
    for (int c = 0; c < 22 && made < count; ++c, ++made) {
      const fs::path child = parents[p] / ("folder" + std::to_string(made));
      std::error_code ec;
      if (!fs::create_directories(child, ec) && ec) return false;
      parents.push_back(child);
    }
  }
  return true;
}

}  // namespace plm::bench
