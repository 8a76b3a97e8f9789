#include "render/pictureheader.h"

#include <algorithm>
#include <initializer_list>

#include "render/displaylist.h"

namespace plm {
namespace {

constexpr uint32_t kMaxSide = 0x7FFFFFFF;

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> b) : b_(b) {}
  bool Has(size_t at, size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  uint32_t U16Le(size_t at) const { return uint32_t{b_[at]} | uint32_t{b_[at + 1]} << 8; }
  uint32_t U32Le(size_t at) const { return U16Le(at) | U16Le(at + 2) << 16; }
  uint32_t U16Be(size_t at) const { return uint32_t{b_[at]} << 8 | uint32_t{b_[at + 1]}; }
  uint32_t U32Be(size_t at) const { return U16Be(at) << 16 | U16Be(at + 2); }
  uint8_t At(size_t at) const { return b_[at]; }

 private:
  std::span<const uint8_t> b_;
};

std::optional<PixelSize> Sized(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return std::nullopt;
  return PixelSize{width, height};
}

// The file header (14 bytes), then an info header that starts with its own size: 12
// for the oldest form with 16-bit sides, 16 and more for the forms with 32-bit sides,
// where a negative height means rows stored top down.
std::optional<PixelSize> BmpSize(const Reader& r) {
  if (!r.Has(14, 4)) return std::nullopt;
  const uint32_t infoSize = r.U32Le(14);
  if (infoSize == 12) {
    if (!r.Has(18, 4)) return std::nullopt;
    return Sized(r.U16Le(18), r.U16Le(20));
  }
  if (infoSize < 16 || !r.Has(18, 8)) return std::nullopt;
  const auto width = static_cast<int32_t>(r.U32Le(18)), height = static_cast<int32_t>(r.U32Le(22));
  if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
  return Sized(static_cast<uint32_t>(width), static_cast<uint32_t>(height < 0 ? -height : height));
}

// The signature, then the IHDR chunk: length 13, type, width and height big-endian.
std::optional<PixelSize> PngSize(const Reader& r) {
  if (!r.Has(8, 16) || r.U32Be(8) != 13 || r.U32Be(12) != 0x49484452) return std::nullopt;
  return Sized(r.U32Be(16), r.U32Be(20));
}

// Markers from the start of the image on; the first start-of-frame segment holds the
// height and the width after the sample precision. Segments are stepped over by their
// stated length, so every step moves forward.
std::optional<PixelSize> JpegSize(const Reader& r) {
  size_t at = 2;
  while (r.Has(at, 2)) {
    if (r.At(at) != 0xFF) return std::nullopt;
    const uint8_t marker = r.At(at + 1);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    at += 2;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no segment follows
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;          // end of image, scan data
    if (!r.Has(at, 2)) return std::nullopt;
    const uint32_t length = r.U16Be(at);
    if (length < 2) return std::nullopt;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || !r.Has(at, 7)) return std::nullopt;
      return Sized(r.U16Be(at + 5), r.U16Be(at + 3));
    }
    at += length;
  }
  return std::nullopt;
}

}  // namespace

ImageFormat ImageFormatOf(std::span<const uint8_t> b) {
  const auto starts = [&](std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
  };
  if (starts({'B', 'M'})) return ImageFormat::Bmp;
  if (starts({0xFF, 0xD8, 0xFF})) return ImageFormat::Jpeg;
  if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ImageFormat::Png;
  return ImageFormat::Unknown;
}

std::optional<PixelSize> PictureSizeOf(std::span<const uint8_t> bytes) {
  const Reader r(bytes);
  switch (ImageFormatOf(bytes)) {
    case ImageFormat::Bmp: return BmpSize(r);
    case ImageFormat::Png: return PngSize(r);
    case ImageFormat::Jpeg: return JpegSize(r);
    case ImageFormat::Unknown: break;
  }
  return std::nullopt;
}

}  // namespace plm
