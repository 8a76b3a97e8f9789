// Bound images in the display list and the SVG: which texts stand for which image, where
// the picture lies, and how the SVG embeds it or draws its frame.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Bytes Shared(std::vector<uint8_t> b) { return std::make_shared<const std::vector<uint8_t>>(std::move(b)); }

// A text of 4 x 5 characters at (x, y) with its stored end point.
plm::Text ImageText(std::string text, double x = 10, double y = 20, double endX = 10, double endY = 20,
                    double angle = 0) {
  plm::Text t = Text(std::move(text), x, y, 4, 5, 0, angle);
  t.EndX = endX, t.EndY = endY;
  return t;
}

plm::Dimension DimensionWith(std::string text) {
  plm::Dimension d = plmtest::SampleSunpo(1, Attr(2), 0, 0, std::move(text));
  d.Text.SizeX = d.Text.SizeY = 2;
  return d;
}

// The display list of `body`, loaded as a JWW drawing (or a JWS figure), with
// `images` as its bound images.
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
  const Bytes a = Shared(plmtest::pictures::Png(2, 1)), b = Shared(plmtest::pictures::Bmp(2, 1));
  struct Case {
    const char* name;
    std::vector<plmtest::Entity> entities;
    std::vector<plm::BoundImageBytes> images;
    bool jws = false;
    size_t texts = 0;     // drawn as characters
    size_t pictures = 0;  // image primitives
    const char* shown = "";  // the first image's name
    Bytes bytes;             // the first image's bytes
  };
  std::vector<plmtest::BlockDef> defs = {Def(1, {ImageText("^@BM%temp%abc.bmp,1")})};
  const Case cases[] = {
      {"control: a reference in other letter case", {ImageText("^@BM%temp%a.png,1")}, {{"A.PNG", a}}, false, 0, 1,
       "A.PNG", a},
      {"the first of two names that begin with it", {ImageText("^@BM%temp%abc.bmp,0,0")},
       {{"ABC.BMP", b}, {"ABC.BMPX", a}}, false, 0, 1, "ABC.BMP", b},
      {"a longer name listed first", {ImageText("^@BM%temp%abc.bmp,0")}, {{"ABC.BMPX", a}, {"ABC.BMP", b}}, false,
       0, 1, "ABC.BMPX", a},
      {"a block definition inserted twice", {Insert(1, 0, 0), Insert(1, 100, 0)}, {{"ABC.BMP", b}}, false, 0, 2,
       "ABC.BMP", b},
      {"an entry that holds no bytes", {ImageText("^@BM%temp%zero.bmp,1")}, {{"ZERO.BMP", nullptr}, {"ZERO.BMPX", a}},
       false, 0, 1, "ZERO.BMP", nullptr},
      {"no entry of that name", {ImageText("^@BM%temp%gone.bmp,1")}, {{"A.PNG", a}}, false, 0, 1, "gone.bmp", nullptr},
      {"no images read at all", {ImageText("^@BM%temp%a.png,1")}, {}, false, 0, 1, "a.png", nullptr},
      {"an empty name selects nothing", {ImageText("^@BM%temp%,1")}, {{"", a}, {"A.PNG", a}}, false, 0, 1, "",
       nullptr},
      {"a double-byte name", {ImageText("^@BM%temp%\x89\xe6\x91\x9c.png,1")}, {{"\x89\xe6\x91\x9c.PNG", a}}, false, 0,
       1, "画像.PNG", a},
      {"no comma: characters", {ImageText("^@BM%temp%a.png")}, {{"A.PNG", a}}, false, 1, 0, "", nullptr},
      {"prefix in other letter case: characters", {ImageText("^@bm%temp%a.png,1")}, {{"A.PNG", a}}, false, 1, 0, "", nullptr},
      {"a dimension value: characters", {DimensionWith("^@BM%temp%a.png,1")}, {{"A.PNG", a}}, false, 1, 0, "", nullptr},
      {"a JWS figure: characters", {ImageText("^@BM%temp%a.png,1")}, {}, true, 1, 0, "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Body body;
    body.Entities = c.entities;
    body.BlockDefs = defs;
    const plm::DisplayList list = ListOf(body, c.images, c.jws);
    EXPECT_EQ(list.Texts.size(), c.texts);
    ASSERT_EQ(list.Images.size(), c.pictures);
    for (const plm::ImagePrim& image : list.Images) {
      EXPECT_EQ(image.Name, c.shown);
      EXPECT_EQ(image.Bytes, c.bytes);
      EXPECT_EQ(image.Format, c.bytes == a ? plm::ImageFormat::Png
                              : c.bytes == b ? plm::ImageFormat::Bmp
                                             : plm::ImageFormat::Unknown);
    }
    EXPECT_EQ(list.Stats.Skipped, 0u);
  }
}

TEST(DisplayListImagesTest, PlacementByFieldsEndPointAspectOrCells) {
  const Bytes wide = Shared(plmtest::pictures::Bmp(200, 100)), tall = Shared(plmtest::pictures::Png(100, 400)),
              unreadable = Shared({'B', 'M', 1});
  struct Case {
    const char* name;
    std::string rest;        // after "^@BM%temp%p.bmp,"
    double endX, endY, angle;
    Bytes bytes;
    plm::Vec2 ll, lr, ur, ul;
  };
  const Case cases[] = {
      {"control: both fields", "40,30", 10, 20, 0, wide, {10, 20}, {50, 20}, {50, 50}, {10, 50}},
      {"fields with spaces, more fields after", " 40 , 30 ,0,1", 70, 20, 0, wide, {10, 20}, {50, 20}, {50, 50}, {10, 50}},
      {"fields along 90 degrees", "40,30", 10, 20, 90, wide, {10, 20}, {10, 60}, {-20, 60}, {-20, 20}},
      {"end point, the picture's aspect", "0", 70, 20, 0, wide, {10, 20}, {70, 20}, {70, 50}, {10, 50}},
      {"end point along 90 degrees, a tall picture", "x,y", 10, 30, 90, tall, {10, 20}, {10, 30}, {-30, 30}, {-30, 20}},
      {"width 0: end point", "0,30", 70, 20, 0, wide, {10, 20}, {70, 20}, {70, 50}, {10, 50}},
      {"negative height: end point", "40,-3", 70, 20, 0, wide, {10, 20}, {70, 20}, {70, 50}, {10, 50}},
      {"infinite width: end point", "inf,3", 70, 20, 0, wide, {10, 20}, {70, 20}, {70, 50}, {10, 50}},
      {"width past double: end point", "1e400,3", 70, 20, 0, wide, {10, 20}, {70, 20}, {70, 50}, {10, 50}},
      {"one field: end point", "40", 70, 20, 0, wide, {10, 20}, {70, 20}, {70, 50}, {10, 50}},
      {"unreadable header: as tall as wide", "", 70, 20, 0, unreadable, {10, 20}, {70, 20}, {70, 80}, {10, 80}},
      {"no bytes: as tall as wide", "", 70, 20, 0, nullptr, {10, 20}, {70, 20}, {70, 80}, {10, 80}},
      // "^@BM%temp%p.bmp," and one more byte: 17 half-width cells of 2, 5 tall.
      {"no end point: the cells", "1", 10, 20, 0, wide, {10, 20}, {44, 20}, {44, 25}, {10, 25}},
      {"end point not a number: the cells", "1", kNaN, 20, 0, wide, {10, 20}, {44, 20}, {44, 25}, {10, 25}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Body body;
    body.Entities = {ImageText("^@BM%temp%p.bmp," + c.rest, 10, 20, c.endX, c.endY, c.angle)};
    const plm::DisplayList list = ListOf(body, {{"P.BMP", c.bytes}});
    ASSERT_EQ(list.Images.size(), 1u);
    const auto& k = list.Images[0].Corners;
    ExpectNear(k[0], c.ll.X, c.ll.Y);
    ExpectNear(k[1], c.lr.X, c.lr.Y);
    ExpectNear(k[2], c.ur.X, c.ur.Y);
    ExpectNear(k[3], c.ul.X, c.ul.Y);
    EXPECT_NEAR(list.Bounds.MaxY, std::max({c.ll.Y, c.lr.Y, c.ur.Y, c.ul.Y}), kEps);
  }
}

TEST(DisplayListImagesTest, InsertionsPlaceThePictureWithTheirTransform) {
  // Definition 1 holds a 40 x 30 picture at (1, 2); inserted at (100, 0), scaled 2,
  // turned 90 degrees: p -> (100 - 2 p.y, 2 p.x).
  Body body;
  body.Entities = {Insert(1, 100, 0, 2, 2, std::numbers::pi / 2)};
  body.BlockDefs = {Def(1, {ImageText("^@BM%temp%p.bmp,40,30", 1, 2)})};
  const plm::DisplayList list = ListOf(body, {{"P.BMP", Shared(plmtest::pictures::Bmp(4, 3))}});
  ASSERT_EQ(list.Images.size(), 1u);
  const auto& k = list.Images[0].Corners;
  ExpectNear(k[0], 96, 2);
  ExpectNear(k[1], 96, 82);
  ExpectNear(k[2], 36, 82);
  ExpectNear(k[3], 36, 2);
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

TEST(SvgImagesTest, PicturesAreEmbeddedOnceAndPlacedOnTheirCorners) {
  // Base64 of "BM" with each padding: no picture header reads, so each is as tall as
  // wide.
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
    EXPECT_EQ(Occurrences(svg, "<image "), 1u);
    EXPECT_EQ(Occurrences(svg, std::string("xlink:href=\"data:image/bmp;base64,") + c.base64 + "\""), 1u);
    EXPECT_NE(svg.find("preserveAspectRatio=\"none\""), std::string::npos);
    EXPECT_EQ(Occurrences(svg, "<use xlink:href=\"#picture-0\""), 2u);
    EXPECT_EQ(svg.find("^@BM"), std::string::npos);  // no longer drawn as characters
    EXPECT_NE(svg.find("xmlns:xlink=\"http://www.w3.org/1999/xlink\""), std::string::npos);
  }
}

TEST(SvgImagesTest, AMissingOrUnknownPictureIsItsFrameWithTheName) {
  Body body;
  body.Entities = {ImageText("^@BM%temp%<a&b>\"\x81.gif,40,30"), ImageText("^@BM%temp%gone.bmp,40,30", 0, 100)};
  const plm::DisplayList list =
      ListOf(body, {{"<A&B>\"\x81.GIF", Shared({'G', 'I', 'F', '8', '9', 'a'})}, {"GONE.BMPX", nullptr}});
  const std::string svg = SvgOf(list);
  EXPECT_EQ(svg.find("<image"), std::string::npos);
  EXPECT_EQ(svg.find("<use"), std::string::npos);
  EXPECT_NE(svg.find(">&lt;A&amp;B&gt;&quot;\xEF\xBF\xBD.GIF</text>"), std::string::npos);  // escaped, valid UTF-8
  EXPECT_NE(svg.find(">GONE.BMPX</text>"), std::string::npos);
  // The frames: the corners of each as a closed path.
  EXPECT_EQ(Occurrences(svg, "<path fill=\"none\" stroke=\"#000000\" stroke-width=\"1\" d=\"M"), 2u);
}

TEST(SvgImagesTest, OnlyMarkedTextsShowTheirCells) {
  Body body;
  body.Entities = {Text("ab", 0, 0, 2, 2, -1), Text("cd", 0, 10, 2, 2, 0)};
  const plm::JwwDocument doc = LoadJww(body);
  plm::ConversionSwitches options;
  options.ZeroFreeSpacing = true;
  const plm::WrittenJww written = plm::WrittenCopyOf(doc, options);
  const plm::DisplayList list = plm::BuildDisplayList(plm::SourceOf(doc), &written.Marks);
  for (bool cells : {true, false}) {
    SCOPED_TRACE(cells);
    plm::SvgOptions svgOptions;
    svgOptions.CharCells = cells;
    const std::string svg = SvgOf(list, svgOptions);
    const size_t group = svg.find("<g id=\"marked\"");
    EXPECT_EQ(group != std::string::npos, cells);
    if (cells) {
      EXPECT_EQ(Occurrences(svg.substr(group, svg.find("</g>", group) - group), "Z"), 2u);  // two cells
    }
    EXPECT_EQ(svg.find("id=\"cells\""), std::string::npos);
    EXPECT_EQ(Occurrences(svg, "class=\"marked\""), 1u);
    EXPECT_NE(svg.find(">cd</text>"), std::string::npos);
  }
}

}  // namespace
