#pragma once
// Pen colour numbers to RGB for a preview on a white background.
#include <cstdint>
#include <span>

namespace plm {

struct TColorExNo;

struct Rgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const Rgb&) const = default;
};

// A stored colour value in the byte order of the drawing's tables and of a solid's
// Color: red in the lowest byte, then green, then blue.
Rgb RgbOfColorRef(uint32_t value);

// Colours 1-9 are the standard screen colours. 101-356 come from the drawing's
// extended table (entry n - 100) when it has one (version 420 and later); otherwise
// they fall back to the standard colour an older format maps them to. Any other
// number draws in black.
Rgb PenColorRgb(uint32_t penColor, std::span<const TColorExNo> extColors);

// Strokes and texts that would vanish on white paper (near-white colours) are drawn
// in dark grey instead; fills keep their colour, since white solids mask on purpose.
Rgb VisibleOnWhite(Rgb c);

}  // namespace plm
