#pragma once
// Test-only picture files: the headers of BMP, PNG and JPEG files built field by
// field from the formats' descriptions, with no pixel data behind them.
#include <cstdint>
#include <string_view>
#include <vector>

#include "tests/support/bytes.h"

namespace plmtest::pictures {

inline Bytes& Be16(Bytes& b, uint16_t v) { return b.u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }
inline Bytes& Be32(Bytes& b, uint32_t v) {
  Be16(b, static_cast<uint16_t>(v >> 16));
  return Be16(b, static_cast<uint16_t>(v));
}

// File header, then an info header of `infoSize` bytes (40, 108 or 124) with 32-bit
// sides; a negative height stores the rows top down.
inline std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint32_t infoSize = 40) {
  Bytes b;
  b.raw("BM").u32(14 + infoSize).u32(0).u32(14 + infoSize);
  b.u32(infoSize).i32(width).i32(height).u16(1).u16(24);
  b.zeros(infoSize - 16);
  return b.data();
}

// The oldest form: an info header of 12 bytes with 16-bit sides.
inline std::vector<uint8_t> CoreBmp(uint16_t width, uint16_t height) {
  Bytes b;
  b.raw("BM").u32(26).u32(0).u32(26);
  b.u32(12).u16(width).u16(height).u16(1).u16(24);
  return b.data();
}

inline Bytes PngSignature() {
  Bytes b;
  b.u8(0x89).raw("PNG").u8(0x0D).u8(0x0A).u8(0x1A).u8(0x0A);
  return b;
}

// The signature and the IHDR chunk (length 13, type, sides, depth 8, colour type 6,
// compression, filter, interlace, CRC left 0).
inline std::vector<uint8_t> Png(uint32_t width, uint32_t height, std::string_view chunk = "IHDR") {
  Bytes b = PngSignature();
  Be32(b, 13).raw(chunk);
  Be32(b, width);
  Be32(b, height).u8(8).u8(6).u8(0).u8(0).u8(0);
  Be32(b, 0);
  return b.data();
}

// Start of image, an APP0 segment, `before` (further markers as given), a baseline
// start-of-frame segment (`frame` marker) with three components, end of image.
inline std::vector<uint8_t> Jpeg(uint16_t width, uint16_t height, const Bytes& before = {}, uint8_t frame = 0xC0) {
  Bytes b;
  b.u8(0xFF).u8(0xD8);
  b.u8(0xFF).u8(0xE0);
  Be16(b, 16).raw(std::string_view("JFIF\0", 5)).u8(1).u8(1).u8(0);
  Be16(b, 1);
  Be16(b, 1).u8(0).u8(0);
  b.append(before);
  b.u8(0xFF).u8(frame);
  Be16(b, 17).u8(8);
  Be16(b, height);
  Be16(b, width).u8(3);
  for (uint8_t c = 1; c <= 3; ++c) b.u8(c).u8(0x11).u8(0);
  b.u8(0xFF).u8(0xD9);
  return b.data();
}

// A segment of `marker` holding `payload` bytes of zero.
inline Bytes Segment(uint8_t marker, uint16_t payload) {
  Bytes b;
  b.u8(0xFF).u8(marker);
  Be16(b, static_cast<uint16_t>(payload + 2)).zeros(payload);
  return b;
}

}  // namespace plmtest::pictures
