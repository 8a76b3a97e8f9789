#include "render/pictureheader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "render/displaylist.h"
#include "tests/support/pictures.h"

namespace {

using namespace plmtest::pictures;
using plm::ImageFormat;
using plmtest::Bytes;

std::vector<uint8_t> Cut(std::vector<uint8_t> b, size_t n) {
  b.resize(std::min(b.size(), n));
  return b;
}

std::vector<uint8_t> Patched(std::vector<uint8_t> b, size_t at, std::vector<uint8_t> with) {
  std::copy(with.begin(), with.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}

struct Case {
  const char* name;
  std::vector<uint8_t> bytes;
  ImageFormat format;
  std::optional<std::pair<uint32_t, uint32_t>> size;
};

std::vector<Case> Cases() {
  Bytes dht = Segment(0xC4, 20), restartAndFill;
  restartAndFill.u8(0xFF).u8(0xD0).u8(0xFF).u8(0xFF).u8(0xFF).u8(0x01);  // RST0, fill bytes, TEM
  Bytes manySegments;
  for (int i = 0; i < 50000; ++i) manySegments.append(Segment(0xE1, 0));
  Bytes scanFirst;
  scanFirst.u8(0xFF).u8(0xDA);
  Bytes shortSegment;
  shortSegment.u8(0xFF).u8(0xE1).u8(0).u8(1);
  Bytes pastTheEnd;
  pastTheEnd.u8(0xFF).u8(0xE1).u8(0xFF).u8(0xF0);
  Bytes allFill;
  allFill.u8(0xFF).u8(0xD8).fill(100000, 0xFF);
  Bytes gif;
  gif.raw("GIF89a").u16(10).u16(10);
  return {
      {"control: BMP with a 40-byte info header", Bmp(640, 480), ImageFormat::Bmp, {{640, 480}}},
      {"BMP stored top down", Bmp(640, -480), ImageFormat::Bmp, {{640, 480}}},
      {"BMP with a 124-byte info header", Bmp(3, 7, 124), ImageFormat::Bmp, {{3, 7}}},
      {"BMP with a 12-byte info header", CoreBmp(32, 16), ImageFormat::Bmp, {{32, 16}}},
      {"PNG", Png(800, 600), ImageFormat::Png, {{800, 600}}},
      {"JPEG, baseline frame after APP0", Jpeg(1024, 768), ImageFormat::Jpeg, {{1024, 768}}},
      {"JPEG, progressive frame after a table", Jpeg(5, 9, dht, 0xC2), ImageFormat::Jpeg, {{5, 9}}},
      {"JPEG, restart, fill bytes and TEM before the frame", Jpeg(5, 9, restartAndFill), ImageFormat::Jpeg, {{5, 9}}},
      {"JPEG, 50,000 empty segments before the frame", Jpeg(5, 9, manySegments), ImageFormat::Jpeg, {{5, 9}}},
      {"empty", {}, ImageFormat::Unknown, std::nullopt},
      {"GIF", gif.data(), ImageFormat::Unknown, std::nullopt},
      {"BMP signature alone", {'B', 'M'}, ImageFormat::Bmp, std::nullopt},
      {"BMP cut inside the sides", Cut(Bmp(640, 480), 20), ImageFormat::Bmp, std::nullopt},
      {"BMP 12-byte header cut", Cut(CoreBmp(32, 16), 20), ImageFormat::Bmp, std::nullopt},
      {"BMP info header of 8 bytes", Patched(Bmp(640, 480), 14, {8, 0, 0, 0}), ImageFormat::Bmp, std::nullopt},
      {"BMP width 0", Bmp(0, 480), ImageFormat::Bmp, std::nullopt},
      {"BMP negative width", Bmp(-640, 480), ImageFormat::Bmp, std::nullopt},
      {"BMP height -2^31", Bmp(640, INT32_MIN), ImageFormat::Bmp, std::nullopt},
      {"PNG signature alone", PngSignature().data(), ImageFormat::Png, std::nullopt},
      {"PNG cut inside IHDR", Cut(Png(800, 600), 22), ImageFormat::Png, std::nullopt},
      {"PNG first chunk not IHDR", Png(800, 600, "IDAT"), ImageFormat::Png, std::nullopt},
      {"PNG IHDR of another length", Patched(Png(800, 600), 11, {14}), ImageFormat::Png, std::nullopt},
      {"PNG width 0", Png(0, 600), ImageFormat::Png, std::nullopt},
      {"PNG height 2^31", Png(800, 0x80000000u), ImageFormat::Png, std::nullopt},
      {"JPEG signature alone", {0xFF, 0xD8, 0xFF}, ImageFormat::Jpeg, std::nullopt},
      {"JPEG frame of height 0", Jpeg(5, 0), ImageFormat::Jpeg, std::nullopt},
      {"JPEG cut inside the frame", Cut(Jpeg(5, 9), 2 + 20 + 6), ImageFormat::Jpeg, std::nullopt},
      {"JPEG scan before any frame", Jpeg(5, 9, scanFirst), ImageFormat::Jpeg, std::nullopt},
      {"JPEG segment length 1", Jpeg(5, 9, shortSegment), ImageFormat::Jpeg, std::nullopt},
      {"JPEG segment running past the end", Jpeg(5, 9, pastTheEnd), ImageFormat::Jpeg, std::nullopt},
      {"JPEG of fill bytes only", allFill.data(), ImageFormat::Jpeg, std::nullopt},
      {"JPEG with a byte that is no marker", Patched(Jpeg(5, 9), 20, {0x00}), ImageFormat::Jpeg, std::nullopt},
  };
}

TEST(PictureHeaderTest, SidesFromGoodAndHostileHeaders) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(plm::ImageFormatOf(c.bytes), c.format);
    const std::optional<plm::PixelSize> size = plm::PictureSizeOf(c.bytes);
    ASSERT_EQ(size.has_value(), c.size.has_value());
    if (!size) continue;
    EXPECT_EQ(size->Width, c.size->first);
    EXPECT_EQ(size->Height, c.size->second);
  }
}

// Every prefix of every header gives an answer or none, and never reads past its end
// (the sanitizer builds check the reads).
TEST(PictureHeaderTest, EveryCutOfAHeaderIsSafe) {
  for (const Case& c : Cases()) {
    if (c.bytes.size() > 200) continue;
    SCOPED_TRACE(c.name);
    for (size_t n = 0; n <= c.bytes.size(); ++n) {
      const std::vector<uint8_t> cut(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(n));
      const std::optional<plm::PixelSize> size = plm::PictureSizeOf(cut);
      if (size) {
        EXPECT_TRUE(size->Width > 0 && size->Height > 0);
      }
    }
  }
}

}  // namespace
