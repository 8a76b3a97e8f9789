// Header blocks 1 to 19 of a JWW drawing. One visitor walks the fields in file order
// with their version gates; the reader and the writer both go through it, so the two
// directions cannot drift apart.
#include "jww/jwwheader.h"

#include <cstring>

namespace plm {
namespace {

struct HeaderReader {
  ByteCursor& in;
  bool skipNames;  // the memo reader only steps over the names
  void I32(int32_t& v, What w) { v = in.I32(w); }
  void F64(double& v, What w) { v = in.F64(w); }
  void Name(std::string& s, What w) {
    if (skipNames) in.SkipJwwString(w);
    else s = in.JwwString(w);
  }
  void Memo(std::string& s, What w) { s = in.JwwString(w); }
  // The eleventh switch is held split into tens and units (sign kept on both).
  void Switch11(int32_t& units, int32_t& tens, What w) {
    const int32_t v = in.I32(w);
    tens = v / 10;
    units = v % 10;
  }
  bool Stop() const { return !in.Ok(); }
};

struct HeaderWriter {
  ByteSink& out;
  int32_t version;
  void I32(const int32_t& v, What) { out.I32(v); }
  void F64(const double& v, What) { out.F64(v); }
  void Name(const std::string& s, What) { WriteCleanString(out, s); }
  void Memo(const std::string& s, What) { out.JwwString(s); }
  void Switch11(const int32_t& units, const int32_t& tens, What) {
    int64_t v = units;
    if (version >= kVerSwitch11Combined) v = tens > 0 ? int64_t{units} + 10 * int64_t{tens} : int64_t{units} + 10;
    out.U32(static_cast<uint32_t>(v));
  }
  bool Stop() const { return !out.Ok(); }
};

// Walks blocks 1 to 19 (1 to 16 when `throughSwitches`) for `version`.
template <class Ar, class H, class D>
void VisitHeader(Ar& ar, H& h, D& d, int32_t version, bool throughSwitches) {
  ar.Memo(h.Memo, {"the memo"});
  // 2: paper and group
  ar.I32(h.PaperSize, {"the paper size"});
  ar.I32(h.WriteLayerGroup, {"the current layer group"});
  // 3: layer groups and their layers
  for (int g = 0; g < 16; ++g) {
    auto& group = d.LayerGroups[g];
    const What w{"the settings of layer group", g};
    ar.I32(group.State, w);
    ar.I32(group.WriteLayer, w);
    ar.F64(group.Scale, w);
    ar.I32(group.Protect, w);
    for (int l = 0; l < 16; ++l) {
      auto& layer = d.Layers[g * 16 + l];
      ar.I32(layer.State, w);
      ar.I32(layer.Protect, w);
    }
  }
  // 4 and 5: reserved words, dimension settings
  for (auto& v : h.Reserved1) ar.I32(v, {"the reserved block"});
  for (auto& v : h.DimSettings) ar.I32(v, {"the dimension settings"});
  ar.I32(h.Reserved2, {"the dimension settings"});
  ar.I32(h.MaxLineWidth, {"the line width limit"});
  // 6: printing and grid
  const What print{"the printing and grid settings"};
  ar.F64(h.PrintOriginX, print);
  ar.F64(h.PrintOriginY, print);
  ar.F64(h.PrintScale, print);
  ar.I32(h.PrintRotation, print);
  ar.I32(h.GridMode, print);
  ar.F64(h.GridMinPitch, print);
  ar.F64(h.GridPitchX, print);
  ar.F64(h.GridPitchY, print);
  ar.F64(h.GridOriginX, print);
  ar.F64(h.GridOriginY, print);
  // 7 and 8: names
  for (int i = 0; i < 256 && !ar.Stop(); ++i) ar.Name(d.Layers[i].Name, {"the name of layer", i});
  for (int i = 0; i < 16 && !ar.Stop(); ++i) ar.Name(d.LayerGroups[i].Name, {"the name of layer group", i});
  // 9: shadow; the sky-chart values only from version 300 (the 28-byte form also
  // serves versions 231 to 299, in both directions)
  const What shadow{"the shadow settings"};
  ar.F64(h.ShadowLevel, shadow);
  ar.F64(h.ShadowLatitude, shadow);
  ar.I32(h.ShadowHours, shadow);
  ar.F64(h.WallShadowLevel, shadow);
  if (version >= kVerSkyChart) {
    ar.F64(h.SkyLevel, shadow);
    ar.F64(h.SkyRadius, shadow);
  }
  // 10: view
  const What view{"the view settings"};
  ar.I32(h.Unit3D, view);
  ar.F64(h.SaveZoom, view);
  ar.F64(h.SaveOriginX, view);
  ar.F64(h.SaveOriginY, view);
  ar.F64(h.RangeZoom, view);
  ar.F64(h.RangeOriginX, view);
  ar.F64(h.RangeOriginY, view);
  // 11: mark jumps
  const What jumps{"the mark jumps"};
  if (version > kVerSwitches144) {
    for (int i = 0; i < 8; ++i) {
      ar.F64(h.MarkJumpZoom[i], jumps);
      ar.F64(h.MarkJumpX[i], jumps);
      ar.F64(h.MarkJumpY[i], jumps);
      ar.I32(h.MarkJumpGroup[i], jumps);
    }
    for (auto& extra : h.ViewExtra) {
      for (auto& v : extra.Values) ar.F64(v, jumps);
      ar.I32(extra.Flag, jumps);
    }
  } else {
    for (int i = 0; i < 4; ++i) {
      ar.F64(h.MarkJumpZoom[i], jumps);
      ar.F64(h.MarkJumpX[i], jumps);
      ar.F64(h.MarkJumpY[i], jumps);
    }
  }
  // 12: parallel lines and screen pens
  const What pens{"the pen settings"};
  for (auto& v : h.ParallelPitch) ar.F64(v, pens);
  ar.F64(h.BothSideExtension, pens);
  for (auto& p : d.PenSettings) {
    ar.I32(p.Color, pens);
    ar.I32(p.Width, pens);
  }
  // 13: printer pens
  for (auto& p : d.PenSettings) {
    ar.I32(p.PrintColor, pens);
    ar.I32(p.PrintWidth, pens);
    ar.F64(p.PointRadius, pens);
  }
  // 14 and 15: line types, random lines, double-length line types
  const What lines{"the line types"};
  auto lineType = [&](auto& t) {
    ar.I32(t.Pattern, lines);
    ar.I32(t.UnitDots, lines);
    ar.I32(t.Pitch, lines);
    ar.I32(t.PrintPitch, lines);
  };
  for (auto& t : d.LineTypes) lineType(t);
  for (auto& r : d.RandomLines) {
    ar.I32(r.Pattern, lines);
    ar.I32(r.Amplitude, lines);
    ar.I32(r.Pitch, lines);
    ar.I32(r.PrintAmplitude, lines);
    ar.I32(r.PrintPitch, lines);
  }
  for (auto& t : d.DoubleLineTypes) lineType(t);
  // 16: switches, sized by the version
  const What switches{"the switches"};
  for (auto& v : h.SwitchFlags) ar.I32(v, switches);
  ar.Switch11(h.Switch11Units, h.Switch11Tens, switches);
  if (version >= kVerSwitches104) {
    ar.I32(h.DrawTime, switches);
    ar.I32(h.View3DSet, switches);
    for (auto& v : h.View3DAngle) ar.I32(v, switches);
    for (auto& v : h.View3DValue) ar.F64(v, switches);
  }
  if (version >= kVerSwitches136) {
    ar.F64(h.LastLineLength, switches);
    ar.F64(h.LastBoxWidth, switches);
    ar.F64(h.LastBoxHeight, switches);
    ar.F64(h.LastRadius, switches);
  }
  if (version >= kVerSwitches144) {
    ar.I32(h.SolidAnyColor, switches);
    ar.I32(h.SolidColor, switches);
  }
  if (throughSwitches) return;
  // 17: extended colours and line types
  if (version >= kVerExtTables) {
    for (int i = 0; i < 257; ++i) {
      const What w{"the extended colour", i};
      ar.I32(d.ExtColors[i].Color, w);
      ar.I32(d.ExtColors[i].Width, w);
    }
    for (int i = 0; i < 257 && !ar.Stop(); ++i) {
      auto& c = d.ExtColors[i];
      const What w{"the extended colour", i};
      ar.Name(c.Name, w);
      ar.I32(c.PrintColor, w);
      ar.I32(c.PrintWidth, w);
      ar.F64(c.PointRadius, w);
    }
    for (int i = 0; i < 33; ++i) {
      const What w{"the extended line type", i};
      auto& t = d.ExtLineTypes[i];
      ar.I32(t.Pattern, w);
      ar.I32(t.UnitDots, w);
      ar.I32(t.Pitch, w);
      ar.I32(t.PrintPitch, w);
    }
    for (int i = 0; i < 33 && !ar.Stop(); ++i) {
      auto& t = d.ExtLineTypes[i];
      const What w{"the extended line type", i};
      ar.Name(t.Name, w);
      ar.I32(t.SegmentCount, w);
      for (auto& v : t.Segments) ar.F64(v, w);
    }
  }
  // 18: text types
  for (int i = 0; i < 10; ++i) {
    auto& t = d.TextTypeSettings[i];
    const What w{"text type", i + 1};
    ar.F64(t.Width, w);
    ar.F64(t.Height, w);
    ar.F64(t.Spacing, w);
    ar.I32(t.ColorNo, w);
  }
  // 19: text writing
  const What text{"the text writing settings"};
  ar.F64(h.WriteTextWidth, text);
  ar.F64(h.WriteTextHeight, text);
  ar.F64(h.WriteTextSpacing, text);
  ar.I32(h.WriteTextColor, text);
  ar.I32(h.WriteTextType, text);
  ar.F64(h.ArrangePitch, text);
  ar.F64(h.ArrangeCount, text);
  ar.I32(h.BaseShiftOn, text);
  for (auto& v : h.BaseShiftX) ar.F64(v, text);
  for (auto& v : h.BaseShiftY) ar.F64(v, text);
}

}  // namespace

void ReadJwwSignatureAndVersion(ByteCursor& in, THeader& h) {
  h.Signature.assign(8, '\0');
  in.Read(h.Signature.data(), 8, {"the signature"});
  h.Version = in.I32({"the version"});
}

void ReadJwwHeaderBlocks(ByteCursor& in, JwwDocument& doc, bool throughSwitches) {
  HeaderReader ar{in, throughSwitches};
  VisitHeader(ar, doc.Header, doc, doc.Header.Version, throughSwitches);
}

void WriteJwwHeader(ByteSink& out, const JwwDocument& doc, int32_t version) {
  // The signature is always 8 bytes, whatever was read into it.
  char signature[8] = {};
  std::memcpy(signature, doc.Header.Signature.data(), std::min<size_t>(8, doc.Header.Signature.size()));
  out.Raw(signature, 8);
  out.I32(version);
  // Header fields the writer normalises, on a copy: the document is never changed.
  THeader h = doc.Header;
  h.Reserved1.fill(0);
  h.Reserved2 = 0;
  if (version <= kVerExtTables && h.MaxLineWidth < kMinMaxLineWidth) h.MaxLineWidth = kMinMaxLineWidth;
  HeaderWriter ar{out, version};
  VisitHeader(ar, h, doc, version, false);
}

}  // namespace plm
