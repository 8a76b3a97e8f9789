#include "render/colors.h"

#include <array>

#include "jww/jwwdocument.h"

namespace plm {
namespace {

// Index = colour number; 0 is unused here (the screen background).
constexpr std::array<Rgb, 10> kStandard = {{
    {255, 255, 255},
    {0, 192, 192},    // 1 light blue
    {0, 0, 0},        // 2 black
    {0, 192, 0},      // 3 green
    {192, 192, 0},    // 4 yellow
    {192, 0, 192},    // 5 magenta
    {0, 0, 255},      // 6 blue
    {0, 128, 128},    // 7 dark cyan
    {255, 0, 128},    // 8 deep pink
    {192, 192, 192},  // 9 grey
}};

// Standard colour of extended colours 101..116 when written for an older version;
// 117..356 map to 2.
constexpr std::array<uint8_t, 16> kExtToStandard = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};

}  // namespace

Rgb RgbOfColorRef(uint32_t value) {
  return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
          static_cast<uint8_t>((value >> 16) & 0xFF)};
}

Rgb PenColorRgb(uint32_t penColor, std::span<const TColorExNo> extColors) {
  if (penColor >= 1 && penColor <= 9) return kStandard[penColor];
  if (penColor >= 101 && penColor <= 356) {
    const size_t entry = penColor - 100;
    if (entry < extColors.size()) return RgbOfColorRef(static_cast<uint32_t>(extColors[entry].Color));
    return kStandard[penColor <= 116 ? kExtToStandard[penColor - 101] : 2];
  }
  return kStandard[2];
}

Rgb VisibleOnWhite(Rgb c) {
  // Rec. 601 luma, in 0..255000.
  const int luma = 299 * c.R + 587 * c.G + 114 * c.B;
  return luma > 235000 ? Rgb{64, 64, 64} : c;
}

}  // namespace plm
