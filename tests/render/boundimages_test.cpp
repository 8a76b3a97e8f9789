// Bound images in the display list and the SVG: which texts stand for which image, where
// the picture lies, and how the SVG embeds it or draws its frame.
#include <gtest/gtest.h>

#include <limits>
#include <numbers>
#include <sstream>

#include "render/displaylist.h"
#include "render/svg.h"
#include "tests/render/render_fixture.h"
#include "tests/support/pictures.h"

namespace {

using namespace rendertest;
using plmtest::Body;
using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

Bytes Shared(std::vector<uint8_t> b) { return std::make_shared<const std::vector<uint8_t>>(std::move(b)); }

// A text of 4 x 5 characters starting at (x, y), with its stored end point.
plm::Text ImageText(std::string text, double x = 10, double y = 20, double endX = 10, double endY = 20,
                    double angle = 0) {
  plm::Text t = Text(std::move(text), x, y, 4, 5, 0, angle);
  t.EndX = endX, t.EndY = endY;
  return t;
}

// The display list of `body` as a JWW drawing with `images` bound, or as a JWS figure.
plm::DisplayList ListOf(const Body& body, const std::vector<plm::BoundImageBytes>& images = {}, bool jws = false,
                        const plm::RenderLimits& limits = {}) {
  if (jws) return plm::BuildDisplayList(plm::SourceOf(LoadJws(body)), nullptr, limits);
  const plm::JwwDocument doc = LoadJww(body);
  plm::RenderSource source = plm::SourceOf(doc);
  source.Images = images;
  return plm::BuildDisplayList(source, nullptr, limits);
}

std::string SvgOf(const plm::DisplayList& list, const plm::SvgOptions& options = {}) {
  std::ostringstream out;
  const plm::SvgPanel panel{&list, "x"};
  plm::WriteSvg(out, std::span(&panel, 1), {}, options);
  return out.str();
}

size_t Occurrences(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + what.size())) ++n;
  return n;
}

TEST(DisplayListImagesTest, TextsSelectImagesAsTheWriterDoes) {
  const Bytes png = Shared(plmtest::pictures::Png(2, 1));
  plm::Dimension dim = plmtest::SampleSunpo(1, Attr(2), 0, 0, "^@BM%temp%a.png,1");
  dim.Text.SizeX = dim.Text.SizeY = 2;
  struct Case {
    const char* name;
    plmtest::Entity entity;
    std::vector<plm::BoundImageBytes> images;
    size_t pictures;         // image primitives; the others are drawn as characters
    const char* shown = "";  // their name
    Bytes bytes = nullptr;   // and bytes
    bool jws = false;
  };
  const Case cases[] = {
      {"control: a reference in other letter case", ImageText("^@BM%temp%a.png,1"), {{"A.PNG", png}}, 1, "A.PNG", png},
      {"an insertion of a definition that holds one", Insert(1, 0, 0), {{"A.PNG", png}}, 1, "A.PNG", png},
      {"an entry that holds no bytes", ImageText("^@BM%temp%z.png,1"), {{"Z.PNG", nullptr}, {"Z.PNGX", png}}, 1, "Z.PNG"},
      {"no entry of that name", ImageText("^@BM%temp%gone.png,1"), {{"A.PNG", png}}, 1, "gone.png"},
      {"an empty name selects nothing", ImageText("^@BM%temp%,1"), {{"", png}}, 1, ""},
      {"a double-byte name", ImageText("^@BM%temp%\x89\xe6.png,1"), {{"\x89\xe6.PNG", png}}, 1, "画.PNG", png},
      {"no comma", ImageText("^@BM%temp%a.png"), {{"A.PNG", png}}, 0},
      {"prefix in other letter case", ImageText("^@bm%temp%a.png,1"), {{"A.PNG", png}}, 0},
      {"a dimension value", dim, {{"A.PNG", png}}, 0},
      {"a JWS figure", ImageText("^@BM%temp%a.png,1"), {}, 0, "", nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Body body;
    body.Entities = {c.entity, Insert(1, 100, 0)};
    body.BlockDefs = {Def(1, {ImageText("^@BM%temp%a.png,1")})};
    const plm::DisplayList list = ListOf(body, c.images, c.jws);
    ASSERT_EQ(list.Images.size(), c.pictures + (c.jws ? 0 : 1));  // the insertion's own
    EXPECT_EQ(list.Texts.size(), c.jws ? 2 : 1 - c.pictures);
    for (size_t i = 0; i < c.pictures; ++i) {
      EXPECT_EQ(list.Images[i].Name, c.shown);
      EXPECT_EQ(list.Images[i].Bytes, c.bytes);
      EXPECT_EQ(list.Images[i].Format, c.bytes ? plm::ImageFormat::Png : plm::ImageFormat::Unknown);
    }
  }
}

TEST(DisplayListImagesTest, PlacementByFieldsEndPointAspectOrCells) {
  const Bytes wide = Shared(plmtest::pictures::Bmp(200, 100)), tall = Shared(plmtest::pictures::Png(100, 400));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    std::string fields;  // after "^@BM%temp%p.bmp,"
    double endX, endY, angle;
    Bytes bytes;
    plm::Vec2 lr, ul;  // the lower left corner is the start point (10, 20)
  };
  const Case cases[] = {
      {"control: both fields", "40,30", 10, 20, 0, wide, {50, 20}, {10, 50}},
      {"fields with spaces, more fields after", " 40 , 30 ,0", 70, 20, 0, wide, {50, 20}, {10, 50}},
      {"fields along 90 degrees", "40,30", 10, 20, 90, wide, {10, 60}, {-20, 20}},
      {"no fields: end point, the picture's aspect", "0", 70, 20, 0, wide, {70, 20}, {10, 50}},
      {"end point along 90 degrees, a tall picture", "x,y", 10, 30, 90, tall, {10, 30}, {-30, 20}},
      {"negative height: end point", "40,-3", 70, 20, 0, wide, {70, 20}, {10, 50}},
      {"infinite width: end point", "inf,3", 70, 20, 0, wide, {70, 20}, {10, 50}},
      {"unreadable header: as tall as wide", "", 70, 20, 0, Shared({'B', 'M', 1}), {70, 20}, {10, 80}},
      {"no bytes: as tall as wide", "", 70, 20, 0, nullptr, {70, 20}, {10, 80}},
      // Text of 17 single-byte characters, each 2 wide: the cells span 34 x 5.
      {"no end point: the cells", "1", 10, 20, 0, wide, {44, 20}, {10, 25}},
      {"end point not a number: the cells", "1", nan, 20, 0, wide, {44, 20}, {10, 25}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Body body;
    body.Entities = {ImageText("^@BM%temp%p.bmp," + c.fields, 10, 20, c.endX, c.endY, c.angle)};
    const plm::DisplayList list = ListOf(body, {{"P.BMP", c.bytes}});
    ASSERT_EQ(list.Images.size(), 1u);
    const auto& k = list.Images[0].Corners;
    ExpectNear(k[0], 10, 20);
    ExpectNear(k[1], c.lr.X, c.lr.Y);
    ExpectNear(k[2], c.lr.X + c.ul.X - 10, c.lr.Y + c.ul.Y - 20);
    ExpectNear(k[3], c.ul.X, c.ul.Y);
  }
  // In a definition inserted at (100, 0), scaled 2, turned 90 degrees: p -> (100 - 2 p.y, 2 p.x).
  Body body;
  body.Entities = {Insert(1, 100, 0, 2, 2, std::numbers::pi / 2)};
  body.BlockDefs = {Def(1, {ImageText("^@BM%temp%p.bmp,40,30", 1, 2)})};
  const plm::DisplayList list = ListOf(body);
  ASSERT_EQ(list.Images.size(), 1u);
  ExpectNear(list.Images[0].Corners[0], 96, 2);
  ExpectNear(list.Images[0].Corners[2], 36, 82);
  EXPECT_NEAR(list.Bounds.MaxY, 82, kEps);
}

TEST(DisplayListImagesTest, ImagesCountAgainstTheLimitAndLongNamesAreCut) {
  Body body;
  for (int i = 0; i < 10; ++i) body.Entities.push_back(ImageText("^@BM%temp%p.bmp,1,1", i * 2));
  plm::RenderLimits limits;
  limits.MaxPrimitives = 5;
  const plm::DisplayList capped = ListOf(body, {}, false, limits);
  EXPECT_EQ(capped.Images.size(), 5u);
  EXPECT_TRUE(capped.Stats.LimitReached);
  std::string name, shown;
  for (int i = 0; i < 1000; ++i) name += "\x89\xe6", shown += "画";
  body.Entities = {ImageText("^@BM%temp%" + name + ",1,1")};
  const plm::DisplayList list = ListOf(body);
  ASSERT_EQ(list.Images.size(), 1u);
  EXPECT_EQ(list.Images[0].Name, shown.substr(0, plm::kMaxImageNameBytes / 2 * 3));  // whole characters
}

TEST(SvgImagesTest, PicturesAreEmbeddedOnceOrDrawnAsFramesWithTheirNames) {
  // Base64 with each padding; no header reads, so each picture is as tall as wide.
  struct Case {
    std::vector<uint8_t> bytes;
    const char* base64;
  };
  const Case cases[] = {{{'B', 'M'}, "Qk0="}, {{'B', 'M', 'x'}, "Qk14"}, {{'B', 'M', 0xFF, 0xFE}, "Qk3//g=="}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base64);
    Body body;
    body.Entities = {ImageText("^@BM%temp%p.bmp,40,30"), Insert(1, 100, 0)};
    body.BlockDefs = {Def(1, {ImageText("^@BM%temp%p.bmp,40,30")})};
    const std::string svg = SvgOf(ListOf(body, {{"P.BMP", Shared(c.bytes)}}));
    EXPECT_EQ(Occurrences(svg, "<image id=\"picture-0\" width=\"1\" height=\"1\" preserveAspectRatio=\"none\" "
                               "xlink:href=\"data:image/bmp;base64," + std::string(c.base64) + "\""), 1u);
    EXPECT_EQ(Occurrences(svg, "<use xlink:href=\"#picture-0\""), 2u);
    EXPECT_EQ(svg.find("^@BM"), std::string::npos);  // no longer drawn as characters
  }
  Body body;
  body.Entities = {ImageText("^@BM%temp%<a&b>\"\x81.gif,40,30"), ImageText("^@BM%temp%gone.bmp,40,30", 0, 100)};
  const std::string svg = SvgOf(ListOf(body, {{"<A&B>\"\x81.GIF", Shared({'G', 'I', 'F'})}, {"GONE.BMPX", nullptr}}));
  EXPECT_EQ(svg.find("<image"), std::string::npos);
  EXPECT_EQ(Occurrences(svg, "<path fill=\"none\" stroke=\"#000000\" stroke-width=\"1\" d=\"M"), 2u);
  EXPECT_NE(svg.find(">&lt;A&amp;B&gt;&quot;\xEF\xBF\xBD.GIF</text>"), std::string::npos);  // escaped, valid UTF-8
  EXPECT_NE(svg.find(">GONE.BMPX</text>"), std::string::npos);
}

TEST(SvgImagesTest, OnlyMarkedTextsShowTheirCells) {
  Body body;
  body.Entities = {Text("ab", 0, 0, 2, 2, -1), Text("cd", 0, 10, 2, 2, 0)};
  const plm::JwwDocument doc = LoadJww(body);
  const plm::WrittenJww written = plm::WrittenCopyOf(doc, plm::ConversionSwitches::All());
  const plm::DisplayList list = plm::BuildDisplayList(plm::SourceOf(doc), &written.Marks);
  for (bool cells : {true, false}) {
    SCOPED_TRACE(cells);
    plm::SvgOptions options;
    options.CharCells = cells;
    const std::string svg = SvgOf(list, options);
    const size_t group = svg.find("<g id=\"marked\""), end = svg.find("</g>", group);
    EXPECT_EQ(group != std::string::npos ? Occurrences(svg.substr(group, end - group), "Z") : 0, cells ? 2u : 0u);
    EXPECT_EQ(svg.find("id=\"cells\""), std::string::npos);
    EXPECT_EQ(Occurrences(svg, "class=\"marked\""), 1u);
  }
}

}  // namespace
