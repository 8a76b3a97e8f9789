#pragma once
// The pixel size a picture file states in its header, read without decoding the
// pixels and without any toolkit. Every read is checked against the bytes there are,
// so any bytes at all give an answer or none, in time linear in their number.
#include <cstdint>
#include <optional>
#include <span>

namespace plm {

struct PixelSize {
  uint32_t Width = 0, Height = 0;
};

// The size of a BMP, PNG or JPEG file (told by ImageFormatOf), both sides at least 1
// and below 2^31; none for another format or a header that does not state one.
std::optional<PixelSize> PictureSizeOf(std::span<const uint8_t> bytes);

}  // namespace plm
