#include "render/pictureheader.h"

#include <gtest/gtest.h>

#include "render/displaylist.h"
#include "tests/support/pictures.h"

namespace {

using namespace plmtest::pictures;
using plm::ImageFormat;
using plmtest::Bytes;

std::vector<uint8_t> Cut(std::vector<uint8_t> b, size_t n) { return {b.begin(), b.begin() + static_cast<long>(n)}; }

// Each case's sides, or 0 x 0 for none; every start of its bytes must read safely too.
TEST(PictureHeaderTest, SidesFromGoodAndHostileHeaders) {
  Bytes fillAndRestart, empties, scan, tooShort, pastEnd, fill;
  fillAndRestart.append(Segment(0xC4, 20)).u8(0xFF).u8(0xFF).u8(0xD0).u8(0xFF).u8(0x01);  // table, fill, RST0, TEM
  for (int i = 0; i < 50000; ++i) empties.append(Segment(0xE1, 0));
  scan.u8(0xFF).u8(0xDA);
  tooShort.u8(0xFF).u8(0xE1).u8(0).u8(1);
  pastEnd.u8(0xFF).u8(0xE1).u8(0xFF).u8(0xF0);
  fill.u8(0xFF).u8(0xD8).fill(100000, 0xFF);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    ImageFormat format;
    uint32_t width, height;
  };
  const Case cases[] = {
      {"control: BMP, 40-byte info header", Bmp(640, 480), ImageFormat::Bmp, 640, 480},
      {"BMP top down, 124-byte info header", Bmp(3, -7, 124), ImageFormat::Bmp, 3, 7},
      {"BMP, 12-byte info header", Bmp(32, 16, 12), ImageFormat::Bmp, 32, 16},
      {"PNG", Png(800, 600), ImageFormat::Png, 800, 600},
      {"JPEG", Jpeg(1024, 768), ImageFormat::Jpeg, 1024, 768},
      {"JPEG, progressive after a table, fill bytes, RST0, TEM", Jpeg(5, 9, fillAndRestart, 0xC2), ImageFormat::Jpeg, 5, 9},
      {"JPEG after 50,000 empty segments", Jpeg(5, 9, empties), ImageFormat::Jpeg, 5, 9},
      {"GIF", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, ImageFormat::Unknown, 0, 0},
      {"BMP info header of 8 bytes", Bmp(640, 480, 8), ImageFormat::Bmp, 0, 0},
      {"BMP width 0", Bmp(0, 480), ImageFormat::Bmp, 0, 0},
      {"BMP negative width", Bmp(-640, 480), ImageFormat::Bmp, 0, 0},
      {"BMP height -2^31", Bmp(640, INT32_MIN), ImageFormat::Bmp, 0, 0},
      {"PNG first chunk not IHDR", Png(800, 600, "IDAT"), ImageFormat::Png, 0, 0},
      {"PNG width 0", Png(0, 600), ImageFormat::Png, 0, 0},
      {"PNG height 2^31", Png(800, 0x80000000u), ImageFormat::Png, 0, 0},
      {"JPEG frame of height 0", Jpeg(5, 0), ImageFormat::Jpeg, 0, 0},
      {"JPEG scan before any frame", Jpeg(5, 9, scan), ImageFormat::Jpeg, 0, 0},
      {"JPEG segment length 1", Jpeg(5, 9, tooShort), ImageFormat::Jpeg, 0, 0},
      {"JPEG segment running past the end", Jpeg(5, 9, pastEnd), ImageFormat::Jpeg, 0, 0},
      {"JPEG of fill bytes only", fill.data(), ImageFormat::Jpeg, 0, 0},
      {"JPEG with a byte that is no marker", Jpeg(5, 9, Segment(0xE1, 0).u8(0)), ImageFormat::Jpeg, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(plm::ImageFormatOf(c.bytes), c.format);
    const std::optional<plm::PixelSize> size = plm::PictureSizeOf(c.bytes);
    EXPECT_EQ(size ? size->Width : 0, c.width);
    EXPECT_EQ(size ? size->Height : 0, c.height);
    for (size_t n = 0; n < std::min<size_t>(c.bytes.size(), 64); ++n) {
      const std::optional<plm::PixelSize> part = plm::PictureSizeOf(Cut(c.bytes, n));
      EXPECT_TRUE(!part || (part->Width && part->Height)) << n;
    }
  }
}

}  // namespace
