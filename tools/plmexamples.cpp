// Writes a small set of example drawings into a folder, for the quick start: drawings
// of several versions with texts whose spacing is negative, and files the converter
// skips.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using namespace plm;

EntityAttributes Attr(uint16_t color, uint8_t style = 1) {
  EntityAttributes a;
  a.PenStyle = style;
  a.PenColor = color;
  a.Layer = 1;
  return a;
}

// Code page 932 bytes of a few Japanese words.
const std::string kFloorPlan = "\x95\xbd\x96\xca\x90\x7d";  // 平面図
const std::string kKitchen = "\x91\xe4\x8f\x8a";           // 台所
const std::string kGothic = "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e";  // ＭＳ ゴシック

Text MakeText(double x, double y, const std::string& text, uint32_t type, double spacing) {
  Text m;
  m.Attr = Attr(type == 0 ? 2 : 1);
  m.StartX = x;
  m.StartY = y;
  m.EndX = x + 10.0 * static_cast<double>(text.size());
  m.EndY = y;
  m.TextTypeCode = type;
  m.SizeX = m.SizeY = 5.0;
  m.Spacing = spacing;
  m.FontName = kGothic;
  m.Text = text;
  return m;
}

void AddLine(JwwDocument& d, double x0, double y0, double x1, double y1) {
  Line s;
  s.Attr = Attr(1);
  s.StartX = x0, s.StartY = y0, s.EndX = x1, s.EndY = y1;
  d.LineList.push_back(s);
  d.EntityOrder.push_back({kKindLine, static_cast<int32_t>(d.LineList.size() - 1)});
}

void AddText(JwwDocument& d, const Text& m) {
  d.TextList.push_back(m);
  d.EntityOrder.push_back({kKindText, static_cast<int32_t>(d.TextList.size() - 1)});
}

// A 48 x 24 picture as a 24-bit BMP file: a blue frame around a sky-to-green
// gradient with a red sun, so a viewer that shows it can be told from one that does not.
std::string LogoBmp() {
  constexpr int kWidth = 48, kHeight = 24, kRow = kWidth * 3;  // 144 bytes: no padding
  std::string b;
  const auto u16 = [&](uint32_t v) { b += static_cast<char>(v & 0xFF), b += static_cast<char>(v >> 8 & 0xFF); };
  const auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  b += "BM";
  u32(54 + kRow * kHeight), u32(0), u32(54);                    // file header
  u32(40), u32(kWidth), u32(kHeight), u16(1), u16(24), u32(0);  // info header
  u32(kRow * kHeight), u32(2835), u32(2835), u32(0), u32(0);
  for (int y = 0; y < kHeight; ++y) {  // bottom row first
    for (int x = 0; x < kWidth; ++x) {
      const bool frame = x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
      const bool sun = (x - 34) * (x - 34) + (y - 15) * (y - 15) <= 20;
      uint8_t r = static_cast<uint8_t>(60 + y * 6), g = static_cast<uint8_t>(140 + y * 4), bl = 200;
      if (y < 8) r = 70, g = 150, bl = 60;  // the ground
      if (sun) r = 220, g = 40, bl = 30;
      if (frame) r = 20, g = 40, bl = 160;
      b += static_cast<char>(bl), b += static_cast<char>(g), b += static_cast<char>(r);
    }
  }
  return b;
}

// The image a drawing refers to, made in a private folder for the writer to pack.
struct ScopedImageFolder {
  explicit ScopedImageFolder(const fs::path& beside) {
    Images.TempFolder = beside / ".images";
    std::error_code ec;
    fs::create_directories(Images.TempFolder, ec);
    const std::string logo = LogoBmp();
    std::ofstream(Images.TempFolder / "logo.bmp", std::ios::binary) << logo;
    Images.TempImageFiles.push_back({"logo.bmp", static_cast<int32_t>(logo.size()), false});
  }
  ~ScopedImageFolder() {
    std::error_code ec;
    fs::remove_all(Images.TempFolder, ec);
  }
  bool Ok() const { return fs::exists(Images.TempFolder / "logo.bmp"); }
  TempImages Images;
};

JwwDocument Drawing(int32_t version, const std::string& memo) {
  JwwDocument d;
  InitJwwData(d);
  d.Header.Signature = "JwwData.";
  d.Header.Version = version;
  d.Header.Memo = memo;
  for (int i = 0; i < 10; ++i) {
    d.TextTypeSettings[i] = {2.0 + i, 2.0 + i, i % 3 == 0 ? -0.5 : 0.0, i + 1};
  }
  for (int g = 0; g < 16; ++g) d.LayerGroups[g].Scale = 100.0;
  AddLine(d, 0, 0, 1000, 0);
  AddLine(d, 1000, 0, 1000, 800);
  AddText(d, MakeText(10, 10, kFloorPlan, 0, -1.5));
  AddText(d, MakeText(10, 40, kKitchen, 3, -0.25));
  AddText(d, MakeText(10, 70, "A-101", 2003, 0.5));
  Dimension dim;
  dim.Attr = Attr(1);
  dim.Line.Attr = Attr(1);
  dim.Line.EndX = 1000;
  dim.Text = MakeText(500, -20, "1000", 0, -0.75);
  d.DimensionList.push_back(dim);
  d.EntityOrder.push_back({kKindDimension, 0});
  BlockDefinition block;
  block.Attr = Attr(1);
  block.Number = 1;
  block.Time = 1;
  block.Name = "door";
  block.TextList.push_back(MakeText(0, 0, "D1", 0, -0.5));
  block.EntityOrder.push_back({kKindText, 0});
  block.EntityCount = 1;
  d.BlockDefinitionList.push_back(block);
  BlockInsert insert;
  insert.Attr = Attr(1);
  insert.ScaleX = insert.ScaleY = 1.0;
  insert.BlockNumber = 1;
  d.BlockInsertList.push_back(insert);
  d.EntityOrder.push_back({kKindBlockInsert, 0});
  d.EntityCount = static_cast<uint32_t>(d.EntityOrder.size());
  return d;
}

// A version 700 drawing whose text refers to a bound image.
bool WriteDrawingWithImage(const fs::path& folder) {
  JwwDocument d = Drawing(700, "example drawing with a bound image");
  AddText(d, MakeText(10, 100, "^@BM%temp%logo.bmp,0,0,100,50", 0, 0.0));
  d.EntityCount = static_cast<uint32_t>(d.EntityOrder.size());
  ScopedImageFolder images(folder);
  return images.Ok() && SaveJwwFile(d, images.Images, folder / "plan700.jww", 700);
}

// A figure file with the same texts.
bool WriteFigure(const fs::path& folder, int32_t version) {
  const JwwDocument d = Drawing(version, "");
  JwsDocument f;
  f.Signature = "JwsData";
  f.Version = version;
  for (auto& g : f.LayerGroups) g.Scale = 1.0;
  f.EntityCount = d.EntityCount;
  f.EntityOrder = d.EntityOrder;
  f.LineList = d.LineList;
  f.TextList = d.TextList;
  f.DimensionList = d.DimensionList;
  f.BlockInsertList = d.BlockInsertList;
  f.BlockDefinitionList = d.BlockDefinitionList;
  f.BlockDefCount = static_cast<uint32_t>(f.BlockDefinitionList.size());
  return SaveJwsFile(f, folder / ("part" + std::to_string(version) + ".jws"), version);
}

constexpr const char* kUsage =
    "usage: plmexamples FOLDER\n"
    "Writes example drawings (JWW versions 300, 420, 600 and 700 with a bound image,\n"
    "JWS figures), a text file and a file with a drawing's extension but no drawing\n"
    "into FOLDER, creating it when needed.\n"
    "  -h, --help  show this help\n";

}  // namespace

int main(int argc, char** argv) {
  const std::string_view arg = argc == 2 ? std::string_view(argv[1]) : std::string_view();
  if (arg == "-h" || arg == "--help") {
    std::cout << kUsage;
    return 0;
  }
  // Anything that looks like an option is one this program does not know, never a
  // folder to write into; "./-x" names such a folder.
  if (argc != 2 || arg.empty() || arg.front() == '-') {
    std::cerr << kUsage;
    return 2;
  }
  const fs::path folder = PathFromUtf8(argv[1]);
  std::error_code ec;
  fs::create_directories(folder, ec);
  TempImages images;
  bool ok = true;
  for (int32_t version : {300, 420, 600}) {
    const JwwDocument d = Drawing(version, "example drawing, version " + std::to_string(version));
    ok &= SaveJwwFile(d, images, folder / ("plan" + std::to_string(version) + ".jww"), version);
  }
  ok &= WriteDrawingWithImage(folder);
  ok &= WriteFigure(folder, 351);
  ok &= WriteFigure(folder, 600);
  std::ofstream(folder / "readme.txt") << "not a drawing\n";
  std::ofstream(folder / "fake.jww") << "this file only carries a drawing's extension\n";
  if (!ok) {
    std::cerr << "plmexamples: cannot write into " << folder << "\n";
    return 1;
  }
  std::cout << "example drawings written to " << ShownPath(folder) << "\n";
  return 0;
}
