#pragma once
// The attribute check the writers apply to every entity: values a reader of the
// oldest versions would not know are replaced by defaults. Inline, because the
// streamed body asks it of nearly every record it copies.
#include <cstdint>

#include "jww/drawingbody.h"
#include "jww/jwwversions.h"

namespace plm {
namespace attrcheck {

// Line types of kinds 1 and 2 and colours of kinds 1 to 6 in files older than 420.
inline uint8_t MapExtLineType(uint8_t style) {
  static constexpr uint8_t kMap[15] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};  // 31..45
  if (style >= 31 && style <= 45) return kMap[style - 31];
  if (style >= 46 && style <= 62) return 1;
  return style;
}

inline uint16_t MapExtColor(uint16_t color) {
  static constexpr uint8_t kMap[16] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};  // 101..116
  if (color >= 101 && color <= 116) return kMap[color - 101];
  if (color >= 117 && color <= 356) return 2;
  return color;
}

inline bool In(unsigned v, unsigned lo, unsigned hi) { return v >= lo && v <= hi; }

}  // namespace attrcheck

// The check applied on a copy of `attr` for the part's kind.
inline EntityAttributes CheckEntAttr(int32_t version, int32_t kind, EntityAttributes a) {
  using namespace attrcheck;
  if (version < kVerExtTables) {
    if (kind == kKindLine || kind == kKindArc) a.PenStyle = MapExtLineType(a.PenStyle);
    if (kind >= kKindLine && kind <= kKindSolid) a.PenColor = MapExtColor(a.PenColor);
  }
  const unsigned style = a.PenStyle;
  switch (kind) {
    case kKindLine:
    case kKindArc:
      if (!(In(style, 1, 9) || In(style, 11, 19) || In(style, 31, 62))) a.PenStyle = 1;
      break;
    case kKindPoint:
      if (style != 1 && style != kPenStyleCodedPoint) a.PenStyle = 1;
      break;
    case kKindText:
      if (!In(style, 1, 9)) a.PenStyle = 1;
      break;
    default: break;
  }
  const unsigned color = a.PenColor;
  if (kind >= kKindLine && kind <= kKindDimension) {
    if (!(In(color, 1, 9) || In(color, 101, 356))) a.PenColor = 2;
  } else if (kind == kKindSolid) {
    if (!(In(color, 1, 10) || In(color, 101, 356))) a.PenColor = 2;
  }
  if (a.Layer > 15) a.Layer = 0;
  if (a.LayerGroup > 15) a.LayerGroup = 0;
  if (a.PenWidth > 30000) a.PenWidth = 0;
  return a;
}

}  // namespace plm
