#pragma once
// Test-only picture files: BMP, PNG and JPEG headers built field by field from the
// formats' descriptions, with no pixel data behind them.
#include <cstdint>
#include <string_view>
#include <vector>

#include "tests/support/bytes.h"

namespace plmtest::pictures {

inline Bytes& Be16(Bytes& b, uint32_t v) { return b.u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }
inline Bytes& Be32(Bytes& b, uint32_t v) { return Be16(Be16(b, v >> 16), v & 0xFFFF); }

// File header, then an info header of `infoSize` bytes: 12 with 16-bit sides, else
// 32-bit sides (a negative height stores the rows top down).
inline std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint32_t infoSize = 40) {
  Bytes b;
  b.raw("BM").u32(14 + infoSize).u32(0).u32(14 + infoSize).u32(infoSize);
  if (infoSize == 12) b.u16(static_cast<uint16_t>(width)).u16(static_cast<uint16_t>(height)).u16(1).u16(24);
  else b.i32(width).i32(height).u16(1).u16(24).zeros(infoSize > 16 ? infoSize - 16 : 0);
  return b.data();
}

// The signature and the first chunk (IHDR: sides, depth 8, colour type 6, CRC 0).
inline std::vector<uint8_t> Png(uint32_t width, uint32_t height, std::string_view chunk = "IHDR") {
  Bytes b;
  b.u8(0x89).raw("PNG").u8(0x0D).u8(0x0A).u8(0x1A).u8(0x0A);
  Be32(Be32(Be32(b, 13).raw(chunk), width), height).u8(8).u8(6).zeros(3 + 4);
  return b.data();
}

// Start of image, `before` (markers as given), a start-of-frame segment of `frame`
// with one component, end of image.
inline std::vector<uint8_t> Jpeg(uint16_t width, uint16_t height, const Bytes& before = {}, uint8_t frame = 0xC0) {
  Bytes b;
  b.u8(0xFF).u8(0xD8).append(before).u8(0xFF).u8(frame);
  Be16(Be16(Be16(b, 11).u8(8), height), width).u8(1).u8(1).u8(0x11).u8(0);
  return b.u8(0xFF).u8(0xD9).data();
}

// A segment of `marker` holding `payload` zero bytes.
inline Bytes Segment(uint8_t marker, uint16_t payload) {
  Bytes b;
  Be16(b.u8(0xFF).u8(marker), payload + 2u).zeros(payload);
  return b;
}

}  // namespace plmtest::pictures
