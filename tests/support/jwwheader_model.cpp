#include "tests/support/jwwheader_model.h"

#include <cstdio>
#include <cstring>

#include "text/textfilters.h"

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

namespace {

// The values of a JwwHeaderFill; every field it does not name is zero or empty.
class FillValues : public HeaderValueSource {
 public:
  explicit FillValues(const JwwHeaderFill& fill) : fill_(fill) {}
  uint32_t Int(const HeaderField& f) override {
    if (f.name == "PaperSize") return 3;
    if (f.name == "Reserved1") return 0x5A5A5A5Au;
    if (f.name == "Reserved2") return static_cast<uint32_t>(fill_.Reserved);
    if (f.name == "MaxLineWidth") return static_cast<uint32_t>(fill_.MaxLineWidth);
    if (f.name == "Switch11") return static_cast<uint32_t>(fill_.Switch11);
    if (f.name == "TextTypeSettings.ColorNo") return static_cast<uint32_t>(f.index);
    return 0;
  }
  uint64_t Real(const HeaderField& f) override {
    double d = 0.0;
    if (f.name == "TextTypeSettings.Width") d = 1.0 + f.index;
    if (f.name == "TextTypeSettings.Height") d = 2.0 + f.index;
    if (f.name == "TextTypeSettings.Spacing") d = fill_.TypeSpacing.at(static_cast<size_t>(f.index));
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return bits;
  }
  std::string Str(const HeaderField& f) override {
    if (f.name == "Signature") return "JwwData.";
    if (f.name == "Memo") return fill_.Memo;
    if (f.name == "Layers.Name" && f.index == 0) return fill_.FirstLayerName;
    return {};
  }

 private:
  const JwwHeaderFill& fill_;
};

// The fields of a header file in the order BuildJwwHeader asks for them. The
// signature is the first 8 bytes; the version after it is stepped over (the caller
// reads it first to choose the layout). Reading past the end gives zeros and clears ok.
class FileValues : public HeaderValueSource {
 public:
  explicit FileValues(std::span<const uint8_t> in) : in_(in) {}
  uint32_t Int(const HeaderField&) override { return static_cast<uint32_t>(Le(4)); }
  uint64_t Real(const HeaderField&) override { return lastReal = Le(8); }
  std::string Str(const HeaderField& f) override {
    if (f.name == "Signature") {
      std::string sig = Take(8);
      Le(4);
      return sig;
    }
    size_t n = static_cast<size_t>(Le(1));
    if (n == 0xFF) n = static_cast<size_t>(Le(2));
    return Take(n);
  }

  bool ok = true;
  size_t pos = 0;
  uint64_t lastReal = 0;

 private:
  bool Need(size_t n) {
    if (ok && in_.size() - pos < n) ok = false;
    return ok;
  }
  uint64_t Le(size_t n) {
    if (!Need(n)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(in_[pos + i]) << (8 * i);
    pos += n;
    return v;
  }
  std::string Take(size_t n) {
    if (!Need(n)) return {};
    std::string s(reinterpret_cast<const char*>(in_.data() + pos), n);
    pos += n;
    return s;
  }

  std::span<const uint8_t> in_;
};

// WrittenValues over a file, counting the text-type spacings it changes.
class CountingWritten : public HeaderValueSource {
 public:
  CountingWritten(FileValues& file, int32_t version, bool zeroTypeSpacing)
      : file_(file), written_(file, version, zeroTypeSpacing) {}
  uint32_t Int(const HeaderField& f) override { return written_.Int(f); }
  uint64_t Real(const HeaderField& f) override {
    const uint64_t bits = written_.Real(f);
    if (f.name == "TextTypeSettings.Spacing" && bits != file_.lastReal) ++changes;
    return bits;
  }
  std::string Str(const HeaderField& f) override { return written_.Str(f); }

  uint64_t changes = 0;

 private:
  FileValues& file_;
  WrittenValues written_;
};

}  // namespace

Bytes JwwHeaderBytes(int32_t version, const JwwHeaderFill& fill) {
  Bytes b;
  FillValues values(fill);
  BuildJwwHeader(b, version, values);
  return b;
}

std::optional<HeaderWalk> ExpectedJwwHeader(std::span<const uint8_t> in, bool zeroTypeSpacing) {
  if (in.size() < 12) return std::nullopt;
  HeaderWalk w;
  w.Version = static_cast<int32_t>(in[8] | in[9] << 8 | in[10] << 16 | static_cast<uint32_t>(in[11]) << 24);
  FileValues file(in);
  CountingWritten written(file, w.Version, zeroTypeSpacing);
  Bytes out;
  BuildJwwHeader(out, w.Version, written);
  if (!file.ok) return std::nullopt;
  w.Expected = out.data();
  w.End = file.pos;
  w.TypeTableChanges = written.changes;
  return w;
}

}  // namespace plmtest
