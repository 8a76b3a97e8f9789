#include "tests/support/jwwheader_model.h"

#include <cstdio>
#include <cstring>

#include "platform/textfilters.h"

namespace plmtest {
namespace {

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

bool IsNameField(std::string_view name) {
  return name == "Layers.Name" || name == "LayerGroups.Name" || name == "ExtColors.Name" ||
         name == "ExtLineTypes.Name";
}

// Walks the header in file order; every field goes through the source.
class HeaderWalker {
 public:
  HeaderWalker(Bytes& out, HeaderValueSource& src) : out_(out), src_(src) {}

  void Begin(int block) { layout.begin[block] = out_.size(); block_ = block; }
  void End() { layout.end[block_] = out_.size(); }

  void I(std::string_view name, int index = -1, int sub = -1) { out_.u32(src_.Int({name, index, sub, block_})); }
  void D(std::string_view name, int index = -1, int sub = -1) { out_.f64bits(src_.Real({name, index, sub, block_})); }
  void S(std::string_view name, int index = -1) { out_.str(src_.Str({name, index, -1, block_})); }

  HeaderLayout layout;

 private:
  Bytes& out_;
  HeaderValueSource& src_;
  int block_ = 0;
};

}  // namespace

DistinctValues& DistinctValues::SetInt(std::string_view name, int index, uint32_t v, int sub) {
  ints_[{std::string(name), index, sub}] = v;
  return *this;
}
DistinctValues& DistinctValues::SetReal(std::string_view name, int index, uint64_t bits, int sub) {
  reals_[{std::string(name), index, sub}] = bits;
  return *this;
}
DistinctValues& DistinctValues::SetDouble(std::string_view name, int index, double v, int sub) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return SetReal(name, index, bits, sub);
}
DistinctValues& DistinctValues::SetStr(std::string_view name, int index, std::string v, int sub) {
  strs_[{std::string(name), index, sub}] = std::move(v);
  return *this;
}

uint64_t DistinctValues::Hash(const HeaderField& f) const {
  uint64_t h = 0xCBF29CE484222325ull ^ seed_;
  for (char c : f.name) h = (h ^ static_cast<uint8_t>(c)) * 0x100000001B3ull;
  return Mix(Mix(h ^ static_cast<uint64_t>(f.index + 1)) ^ static_cast<uint64_t>(f.sub + 1) << 32);
}

uint32_t DistinctValues::Int(const HeaderField& f) {
  if (auto it = ints_.find(KeyOf(f)); it != ints_.end()) return it->second;
  uint32_t v = static_cast<uint32_t>(Hash(f));
  return v == 0 || v == 0xFFFFFFFFu ? 0x13579BDFu : v;
}

uint64_t DistinctValues::Real(const HeaderField& f) {
  if (auto it = reals_.find(KeyOf(f)); it != reals_.end()) return it->second;
  const uint64_t h = Hash(f);
  const uint64_t sign = h & 0x8000000000000000ull;
  const uint64_t payload = h & 0x0007FFFFFFFFFFFFull;
  switch (h % 11) {
    case 0: return sign | 0x7FF0000000000000ull | payload | 1;  // signalling NaN
    case 1: return sign | 0x7FF8000000000000ull | payload;      // quiet NaN with payload
    default: return h;
  }
}

std::string DistinctValues::Str(const HeaderField& f) {
  if (auto it = strs_.find(KeyOf(f)); it != strs_.end()) return it->second;
  if (f.name == "Signature") return "JwwData.";
  char text[48];
  std::snprintf(text, sizeof text, "%.*s#%d:%04X", static_cast<int>(f.name.size() < 12 ? f.name.size() : 12),
                f.name.data(), f.index, static_cast<unsigned>(Hash(f) & 0xFFFF));
  return text;
}

uint32_t WrittenValues::Int(const HeaderField& f) {
  const uint32_t v = input_.Int(f);
  if (f.name == "Reserved1" || f.name == "Reserved2") return 0;
  if (f.name == "MaxLineWidth" && version_ <= 420 && static_cast<int32_t>(v) < -101) return static_cast<uint32_t>(-101);
  if (f.name == "Switch11") return static_cast<uint32_t>(ModelSwitch11(static_cast<int32_t>(v), version_));
  return v;
}

uint64_t WrittenValues::Real(const HeaderField& f) {
  const uint64_t bits = input_.Real(f);
  if (zeroTypeSpacing_ && f.name == "TextTypeSettings.Spacing") {
    double d;
    std::memcpy(&d, &bits, 8);
    if (!(d >= 0.0)) return 0;
  }
  return bits;
}

std::string WrittenValues::Str(const HeaderField& f) {
  std::string s = input_.Str(f);
  return IsNameField(f.name) ? plm::CleanString(s) : s;
}

int32_t ModelSwitch11(int32_t raw, int32_t version) {
  const int32_t tens = raw / 10;
  const int32_t units = raw % 10;
  if (version < 600) return units;
  return tens > 0 ? units + 10 * tens : units + 10;
}

HeaderLayout BuildJwwHeader(Bytes& out, int32_t v, HeaderValueSource& src) {
  HeaderWalker w(out, src);
  std::string sig = src.Str({"Signature", -1, -1, 0});
  sig.resize(8, '\0');
  out.raw(sig);
  out.i32(v);

  w.Begin(1);
  w.S("Memo");
  w.End();

  w.Begin(2);
  w.I("PaperSize");
  w.I("WriteLayerGroup");
  w.End();

  w.Begin(3);
  for (int g = 0; g < 16; ++g) {
    w.I("LayerGroups.State", g);
    w.I("LayerGroups.WriteLayer", g);
    w.D("LayerGroups.Scale", g);
    w.I("LayerGroups.Protect", g);
    for (int l = 0; l < 16; ++l) {
      w.I("Layers.State", g * 16 + l);
      w.I("Layers.Protect", g * 16 + l);
    }
  }
  w.End();

  w.Begin(4);
  for (int i = 0; i < 14; ++i) w.I("Reserved1", i);
  w.End();

  w.Begin(5);
  for (int i = 0; i < 5; ++i) w.I("DimSettings", i);
  w.I("Reserved2");
  w.I("MaxLineWidth");
  w.End();

  w.Begin(6);
  w.D("PrintOriginX");
  w.D("PrintOriginY");
  w.D("PrintScale");
  w.I("PrintRotation");
  w.I("GridMode");
  w.D("GridMinPitch");
  w.D("GridPitchX");
  w.D("GridPitchY");
  w.D("GridOriginX");
  w.D("GridOriginY");
  w.End();

  w.Begin(7);
  for (int i = 0; i < 256; ++i) w.S("Layers.Name", i);
  w.End();

  w.Begin(8);
  for (int i = 0; i < 16; ++i) w.S("LayerGroups.Name", i);
  w.End();

  // Versions 231..299 take the short form, like 230 and earlier.
  w.Begin(9);
  w.D("ShadowLevel");
  w.D("ShadowLatitude");
  w.I("ShadowHours");
  w.D("WallShadowLevel");
  if (v >= 300) {
    w.D("SkyLevel");
    w.D("SkyRadius");
  }
  w.End();

  w.Begin(10);
  w.I("Unit3D");
  w.D("SaveZoom");
  w.D("SaveOriginX");
  w.D("SaveOriginY");
  w.D("RangeZoom");
  w.D("RangeOriginX");
  w.D("RangeOriginY");
  w.End();

  w.Begin(11);
  if (v > 230) {
    for (int i = 0; i < 8; ++i) {
      w.D("MarkJumpZoom", i);
      w.D("MarkJumpX", i);
      w.D("MarkJumpY", i);
      w.I("MarkJumpGroup", i);
    }
    for (int e = 0; e < 2; ++e) {
      for (int k = 0; k < 3; ++k) w.D("ViewExtra.Values", e, k);
      w.I("ViewExtra.Flag", e);
    }
  } else {
    for (int i = 0; i < 4; ++i) {
      w.D("MarkJumpZoom", i);
      w.D("MarkJumpX", i);
      w.D("MarkJumpY", i);
    }
  }
  w.End();

  w.Begin(12);
  for (int i = 0; i < 10; ++i) w.D("ParallelPitch", i);
  w.D("BothSideExtension");
  for (int i = 0; i < 10; ++i) {
    w.I("PenSettings.Color", i);
    w.I("PenSettings.Width", i);
  }
  w.End();

  w.Begin(13);
  for (int i = 0; i < 10; ++i) {
    w.I("PenSettings.PrintColor", i);
    w.I("PenSettings.PrintWidth", i);
    w.D("PenSettings.PointRadius", i);
  }
  w.End();

  w.Begin(14);
  for (int i = 0; i < 8; ++i) {
    w.I("LineTypes.Pattern", i);
    w.I("LineTypes.UnitDots", i);
    w.I("LineTypes.Pitch", i);
    w.I("LineTypes.PrintPitch", i);
  }
  w.End();

  w.Begin(15);
  for (int i = 0; i < 5; ++i) {
    w.I("RandomLines.Pattern", i);
    w.I("RandomLines.Amplitude", i);
    w.I("RandomLines.Pitch", i);
    w.I("RandomLines.PrintAmplitude", i);
    w.I("RandomLines.PrintPitch", i);
  }
  for (int i = 0; i < 4; ++i) {
    w.I("DoubleLineTypes.Pattern", i);
    w.I("DoubleLineTypes.UnitDots", i);
    w.I("DoubleLineTypes.Pitch", i);
    w.I("DoubleLineTypes.PrintPitch", i);
  }
  w.End();

  w.Begin(16);
  for (int i = 0; i < 10; ++i) w.I("SwitchFlags", i);
  w.I("Switch11");
  if (v >= 223) {
    w.I("DrawTime");
    w.I("View3DSet");
    for (int i = 0; i < 3; ++i) w.I("View3DAngle", i);
    for (int i = 0; i < 5; ++i) w.D("View3DValue", i);
  }
  if (v >= 225) {
    w.D("LastLineLength");
    w.D("LastBoxWidth");
    w.D("LastBoxHeight");
    w.D("LastRadius");
  }
  if (v >= 230) {
    w.I("SolidAnyColor");
    w.I("SolidColor");
  }
  w.End();

  w.Begin(17);
  if (v >= 420) {
    for (int i = 0; i < 257; ++i) {
      w.I("ExtColors.Color", i);
      w.I("ExtColors.Width", i);
    }
    for (int i = 0; i < 257; ++i) {
      w.S("ExtColors.Name", i);
      w.I("ExtColors.PrintColor", i);
      w.I("ExtColors.PrintWidth", i);
      w.D("ExtColors.PointRadius", i);
    }
    for (int i = 0; i < 33; ++i) {
      w.I("ExtLineTypes.Pattern", i);
      w.I("ExtLineTypes.UnitDots", i);
      w.I("ExtLineTypes.Pitch", i);
      w.I("ExtLineTypes.PrintPitch", i);
    }
    for (int i = 0; i < 33; ++i) {
      w.S("ExtLineTypes.Name", i);
      w.I("ExtLineTypes.SegmentCount", i);
      for (int k = 0; k < 10; ++k) w.D("ExtLineTypes.Segments", i, k);
    }
  }
  w.End();

  w.Begin(18);
  for (int i = 0; i < 10; ++i) {
    w.D("TextTypeSettings.Width", i);
    w.D("TextTypeSettings.Height", i);
    w.D("TextTypeSettings.Spacing", i);
    w.I("TextTypeSettings.ColorNo", i);
  }
  w.End();

  w.Begin(19);
  w.D("WriteTextWidth");
  w.D("WriteTextHeight");
  w.D("WriteTextSpacing");
  w.I("WriteTextColor");
  w.I("WriteTextType");
  w.D("ArrangePitch");
  w.D("ArrangeCount");
  w.I("BaseShiftOn");
  for (int i = 0; i < 3; ++i) w.D("BaseShiftX", i);
  for (int i = 0; i < 3; ++i) w.D("BaseShiftY", i);
  w.End();

  return w.layout;
}

Bytes BuildEmptyJwwDrawing(int32_t version, HeaderValueSource& src, HeaderLayout* layout) {
  Bytes b;
  HeaderLayout l = BuildJwwHeader(b, version, src);
  b.count(0).count(0);
  if (version >= 700) b.i32(0);
  if (layout) *layout = l;
  return b;
}

}  // namespace plmtest
