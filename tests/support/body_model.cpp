#include "tests/support/body_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <type_traits>

#include "jww/jwwbody.h"
#include "text/textfilters.h"

using namespace std::string_literals;

namespace plmtest {
namespace {

using plm::EntityAttributes;

constexpr int32_t kPenWidthVersion = 351;
constexpr int32_t kDimExtensionVersion = 420;
constexpr int32_t kImageVersion = 700;
constexpr char kPrefix[] = "^@BM%temp%";
constexpr size_t kPrefixLength = 10;

// ---- encoding -------------------------------------------------------------------

void EncodeSenFields(Bytes& out, const plm::Line& s, int32_t v) {
  EncodeAttr(out, s.Attr, v);
  out.f64(s.StartX).f64(s.StartY).f64(s.EndX).f64(s.EndY);
}

void EncodeTenFields(Bytes& out, const plm::Point& t, int32_t v) {
  EncodeAttr(out, t.Attr, v);
  out.f64(t.X).f64(t.Y).u32(t.Temporary);
  if (t.Attr.PenStyle == 100) out.u32(t.Code).f64(t.Angle).f64(t.Scale);
}

void EncodeMojiFields(Bytes& out, const plm::Text& m, int32_t v, bool longStrings) {
  EncodeAttr(out, m.Attr, v);
  out.f64(m.StartX).f64(m.StartY).f64(m.EndX).f64(m.EndY).u32(m.TextTypeCode);
  out.f64(m.SizeX).f64(m.SizeY).f64(m.Spacing).f64(m.Angle);
  EncodeString(out, m.FontName, longStrings);
  EncodeString(out, m.Text, longStrings);
}

struct ClassState {
  std::map<std::string, uint32_t> index;
  uint32_t next = 1;
};

void EncodeTag(Bytes& out, ClassState& cs, const std::string& name, int32_t schema, RefForm form) {
  auto it = cs.index.find(name);
  if (it == cs.index.end()) {
    out.newClass(static_cast<uint16_t>(schema), name);
    cs.index[name] = cs.next++;
    return;
  }
  const uint32_t n = it->second;
  switch (form) {
    case RefForm::Shortest: out.classRef(n); break;
    case RefForm::Big: out.u16(0x7FFF).u32(0x80000000u | n); break;
    case RefForm::BigNoTopBit: out.u16(0x7FFF).u32(n); break;
  }
}

void EncodeCount(Bytes& out, uint32_t n, bool escaped) {
  if (escaped) out.u16(0xFFFF).u32(n);
  else out.count(n);
}

void EncodeList(Bytes& out, ClassState& cs, const std::vector<Entity>& list, int32_t v, const Encoding& enc,
                int32_t schema) {
  for (const Entity& e : list) {
    EncodeTag(out, cs, ClassNameOf(KindOf(e)), schema, enc.Refs);
    EncodeEntity(out, e, v, enc.LongStrings);
    ++cs.next;
  }
}

// ---- decoding -------------------------------------------------------------------

struct Reader {
  std::span<const uint8_t> d;
  size_t p = 0;
  bool ok = true;
  std::string why;

  bool Need(uint64_t n, const char* what) {
    if (!ok) return false;
    if (d.size() - p < n) {
      ok = false;
      why = std::string("ends while reading ") + what + " at " + std::to_string(p);
    }
    return ok;
  }
  uint64_t Le(int n, const char* what) {
    if (!Need(n, what)) return 0;
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(d[p + i]) << (8 * i);
    p += n;
    return v;
  }
  uint8_t U8(const char* w) { return static_cast<uint8_t>(Le(1, w)); }
  uint16_t U16(const char* w) { return static_cast<uint16_t>(Le(2, w)); }
  uint32_t U32(const char* w) { return static_cast<uint32_t>(Le(4, w)); }
  int32_t I32(const char* w) { return static_cast<int32_t>(U32(w)); }
  double F64(const char* w) {
    const uint64_t bits = Le(8, w);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  std::string Str(const char* w) {
    size_t n = U8(w);
    if (n == 0xFF) n = U16(w);
    if (!Need(n, w)) return {};
    std::string s(reinterpret_cast<const char*>(d.data() + p), n);
    p += n;
    return s;
  }
  uint32_t Count(const char* w) {
    uint32_t n = U16(w);
    if (n == 0xFFFF) n = U32(w);
    return n;
  }
  void Fail(const std::string& reason) {
    if (ok) why = reason + " at " + std::to_string(p);
    ok = false;
  }
};

EntityAttributes DecodeAttr(Reader& r, int32_t v) {
  EntityAttributes a;
  a.GroupNo = r.U32("attr");
  a.PenStyle = r.U8("attr");
  a.PenColor = r.U16("attr");
  if (v >= kPenWidthVersion) a.PenWidth = r.U16("attr");
  a.Layer = r.U16("attr");
  a.LayerGroup = r.U16("attr");
  a.Flags = r.U16("attr");
  return a;
}

plm::Line DecodeSen(Reader& r, int32_t v) {
  plm::Line s;
  s.Attr = DecodeAttr(r, v);
  s.StartX = r.F64("line");
  s.StartY = r.F64("line");
  s.EndX = r.F64("line");
  s.EndY = r.F64("line");
  return s;
}

plm::Point DecodeTen(Reader& r, int32_t v) {
  plm::Point t;
  t.Attr = DecodeAttr(r, v);
  t.X = r.F64("point");
  t.Y = r.F64("point");
  t.Temporary = r.U32("point");
  if (t.Attr.PenStyle == 100) {
    t.Code = r.U32("point");
    t.Angle = r.F64("point");
    t.Scale = r.F64("point");
  }
  return t;
}

plm::Text DecodeMoji(Reader& r, int32_t v) {
  plm::Text m;
  m.Attr = DecodeAttr(r, v);
  m.StartX = r.F64("text");
  m.StartY = r.F64("text");
  m.EndX = r.F64("text");
  m.EndY = r.F64("text");
  m.TextTypeCode = r.U32("text");
  m.SizeX = r.F64("text");
  m.SizeY = r.F64("text");
  m.Spacing = r.F64("text");
  m.Angle = r.F64("text");
  m.FontName = r.Str("font name");
  m.Text = r.Str("text");
  return m;
}

Entity DecodeEntity(Reader& r, int kind, int32_t v) {
  switch (kind) {
    case 1: return DecodeSen(r, v);
    case 2: {
      plm::Arc e;
      e.Attr = DecodeAttr(r, v);
      e.CenterX = r.F64("arc");
      e.CenterY = r.F64("arc");
      e.Radius = r.F64("arc");
      e.StartAngle = r.F64("arc");
      e.ArcAngle = r.F64("arc");
      e.TiltAngle = r.F64("arc");
      e.Flatness = r.F64("arc");
      e.FullCircle = r.U32("arc");
      return e;
    }
    case 3: return DecodeTen(r, v);
    case 4: return DecodeMoji(r, v);
    case 5: {
      plm::Dimension s;
      s.Attr = DecodeAttr(r, v);
      s.Line = DecodeSen(r, v);
      s.Text = DecodeMoji(r, v);
      if (v >= kDimExtensionVersion) {
        s.AuxMode = r.U16("dimension");
        s.AuxLine1 = DecodeSen(r, v);
        s.AuxLine2 = DecodeSen(r, v);
        s.Point1 = DecodeTen(r, v);
        s.Point2 = DecodeTen(r, v);
        s.Point3 = DecodeTen(r, v);
        s.Point4 = DecodeTen(r, v);
      } else {
        s.AuxLine1.Attr = s.AuxLine2.Attr = s.Attr;
        EntityAttributes pa = s.Attr;
        pa.PenStyle = 0;
        s.Point1.Attr = s.Point2.Attr = s.Point3.Attr = s.Point4.Attr = pa;
      }
      return s;
    }
    case 6: {
      plm::Solid s;
      s.Attr = DecodeAttr(r, v);
      s.Corner1X = r.F64("solid");
      s.Corner1Y = r.F64("solid");
      s.Corner2X = r.F64("solid");
      s.Corner2Y = r.F64("solid");
      s.Corner3X = r.F64("solid");
      s.Corner3Y = r.F64("solid");
      s.Corner4X = r.F64("solid");
      s.Corner4Y = r.F64("solid");
      if (s.Attr.PenColor == 10) s.Color = r.U32("solid");
      return s;
    }
    default: {
      plm::BlockInsert b;
      b.Attr = DecodeAttr(r, v);
      b.X = r.F64("block");
      b.Y = r.F64("block");
      b.ScaleX = r.F64("block");
      b.ScaleY = r.F64("block");
      b.Angle = r.F64("block");
      b.BlockNumber = r.I32("block");
      return b;
    }
  }
}

// The class table of one file: the remembered index of each of the seven entity
// classes, and the running index.
struct DecodeClasses {
  std::array<uint32_t, 8> remembered{};  // by kind, 0 = not seen
  uint32_t next = 1;
};

int KindOfName(const std::string& name) {
  for (int k = 1; k <= 7; ++k)
    if (name == ClassNameOf(k)) return k;
  return 0;
}

// Reads a tag; gives the kind of the entity class it resolves to (0 for none).
int DecodeTag(Reader& r, DecodeClasses& cs, size_t limit) {
  const uint16_t tag = r.U16("tag");
  if (!r.ok) return 0;
  if (tag == 0xFFFF) {
    r.U16("schema");
    const uint16_t n = r.U16("class name length");
    if (n > limit) {
      r.Fail("class name too long");
      return 0;
    }
    if (!r.Need(n, "class name")) return 0;
    std::string name(reinterpret_cast<const char*>(r.d.data() + r.p), n);
    r.p += n;
    const int kind = KindOfName(name);
    if (kind) cs.remembered[kind] = cs.next;
    ++cs.next;
    return kind;
  }
  uint32_t index = 0;
  if (tag == 0x7FFF) index = r.U32("class reference") & 0x7FFFFFFFu;
  else if (tag >= 0x8000) index = tag - 0x8000u;
  if (index == 0) return 0;
  for (int k = 1; k <= 7; ++k)
    if (cs.remembered[k] == index) return k;
  return 0;
}

bool DecodeList(Reader& r, DecodeClasses& cs, uint32_t count, int32_t v, size_t limit, std::vector<Entity>& out) {
  for (uint32_t i = 0; i < count && r.ok; ++i) {
    const int kind = DecodeTag(r, cs, limit);
    if (!r.ok) return false;
    if (kind == 0) {
      r.Fail("tag of no entity class");
      return false;
    }
    out.push_back(DecodeEntity(r, kind, v));
    ++cs.next;
  }
  return r.ok;
}

// ---- rules ----------------------------------------------------------------------

bool In(unsigned v, unsigned lo, unsigned hi) { return v >= lo && v <= hi; }

void CleanMoji(plm::Text& m) {
  m.FontName = plm::CleanString(m.FontName);
  m.Text = plm::CleanString(m.Text);
}

void NormaliseList(std::vector<Entity>& list, int32_t v, bool jws) {
  for (Entity& e : list) {
    const int kind = KindOf(e);
    std::visit(
        [&](auto& r) {
          r.Attr = plm::CheckEntAttr(v, kind, r.Attr);
          using T = std::decay_t<decltype(r)>;
          if constexpr (std::is_same_v<T, plm::Text>) {
            CleanMoji(r);
            if (jws && r.Text.size() >= kPrefixLength && r.Text.compare(0, kPrefixLength, kPrefix) == 0)
              r.Text = "^@BM" + r.Text.substr(kPrefixLength);
          } else if constexpr (std::is_same_v<T, plm::Dimension>) {
            r.Line.Attr = plm::CheckEntAttr(v, 1, r.Line.Attr);
            r.Text.Attr = plm::CheckEntAttr(v, 4, r.Text.Attr);
            CleanMoji(r.Text);
            r.AuxLine1.Attr = plm::CheckEntAttr(v, 1, r.AuxLine1.Attr);
            r.AuxLine2.Attr = plm::CheckEntAttr(v, 1, r.AuxLine2.Attr);
            for (plm::Point* p : {&r.Point1, &r.Point2, &r.Point3, &r.Point4})
              p->Attr = plm::CheckEntAttr(v, 3, p->Attr);
          }
        },
        e);
  }
}

// Rule step for one text: which switch combination treats it.
bool RuleTreats(const plm::Text& m, bool typed, bool freeSize) {
  return plm::TextTypeClass(m.TextTypeCode) != 0 ? typed : freeSize;
}

}  // namespace

const char* ClassNameOf(int kind) {
  static const char* const kNames[] = {"", "CDataSen", "CDataEnko", "CDataTen", "CDataMoji",
                                       "CDataSunpou", "CDataSolid", "CDataBlock", "CDataList"};
  return kNames[kind];
}

void EncodeAttr(Bytes& out, const EntityAttributes& a, int32_t version) {
  out.u32(a.GroupNo).u8(a.PenStyle).u16(a.PenColor);
  if (version >= kPenWidthVersion) out.u16(a.PenWidth);
  out.u16(a.Layer).u16(a.LayerGroup).u16(a.Flags);
}

void EncodeString(Bytes& out, std::string_view s, bool longForm) {
  if (longForm) out.u8(0xFF).u16(static_cast<uint16_t>(s.size())).raw(s);
  else out.str(s);
}

void EncodeEntity(Bytes& out, const Entity& e, int32_t v, bool longStrings) {
  switch (KindOf(e)) {
    case 1: EncodeSenFields(out, std::get<plm::Line>(e), v); break;
    case 2: {
      const auto& a = std::get<plm::Arc>(e);
      EncodeAttr(out, a.Attr, v);
      out.f64(a.CenterX).f64(a.CenterY).f64(a.Radius).f64(a.StartAngle).f64(a.ArcAngle).f64(a.TiltAngle);
      out.f64(a.Flatness).u32(a.FullCircle);
      break;
    }
    case 3: EncodeTenFields(out, std::get<plm::Point>(e), v); break;
    case 4: EncodeMojiFields(out, std::get<plm::Text>(e), v, longStrings); break;
    case 5: {
      const auto& s = std::get<plm::Dimension>(e);
      EncodeAttr(out, s.Attr, v);
      EncodeSenFields(out, s.Line, v);
      EncodeMojiFields(out, s.Text, v, longStrings);
      if (v >= kDimExtensionVersion) {
        out.u16(s.AuxMode);
        EncodeSenFields(out, s.AuxLine1, v);
        EncodeSenFields(out, s.AuxLine2, v);
        for (const plm::Point* p : {&s.Point1, &s.Point2, &s.Point3, &s.Point4}) EncodeTenFields(out, *p, v);
      }
      break;
    }
    case 6: {
      const auto& s = std::get<plm::Solid>(e);
      EncodeAttr(out, s.Attr, v);
      out.f64(s.Corner1X).f64(s.Corner1Y).f64(s.Corner2X).f64(s.Corner2Y);
      out.f64(s.Corner3X).f64(s.Corner3Y).f64(s.Corner4X).f64(s.Corner4Y);
      if (s.Attr.PenColor == 10) out.u32(s.Color);
      break;
    }
    case 7: {
      const auto& b = std::get<plm::BlockInsert>(e);
      EncodeAttr(out, b.Attr, v);
      out.f64(b.X).f64(b.Y).f64(b.ScaleX).f64(b.ScaleY).f64(b.Angle).i32(b.BlockNumber);
      break;
    }
  }
}

Bytes EncodeBody(const Body& body, int32_t v, bool withImages, const Encoding& enc) {
  Bytes out;
  const int32_t schema = enc.Schema < 0 ? v : enc.Schema;
  ClassState cs;
  EncodeCount(out, static_cast<uint32_t>(body.Entities.size()), enc.EscapedCounts);
  EncodeList(out, cs, body.Entities, v, enc, schema);
  EncodeCount(out, static_cast<uint32_t>(body.BlockDefs.size()), enc.EscapedCounts);
  for (const BlockDef& d : body.BlockDefs) {
    EncodeTag(out, cs, d.ClassName, schema, enc.Refs);
    EncodeAttr(out, d.Attr, v);
    out.i32(d.Number).i32(d.Referenced).i32(d.Time);
    if (d.Time < 0) out.u32(static_cast<uint32_t>(d.LongTime)).u32(static_cast<uint32_t>(d.LongTime >> 32));
    EncodeString(out, d.Name, enc.LongStrings);
    EncodeCount(out, static_cast<uint32_t>(d.Entities.size()), enc.EscapedCounts);
    ++cs.next;
    EncodeList(out, cs, d.Entities, v, enc, schema);
  }
  if (withImages) {
    out.i32(static_cast<int32_t>(body.Images.size()));
    for (const Image& im : body.Images) {
      EncodeString(out, im.Name, enc.LongStrings);
      out.i32(im.Size);
      if (!im.Name.empty() && im.Size != 0) out.raw(im.Data);
    }
  }
  return out;
}

std::optional<Decoded> DecodeBody(std::span<const uint8_t> bytes, size_t pos, int32_t v, bool withImages,
                                  size_t limit, std::string* why) {
  Reader r;
  r.d = bytes;
  r.p = pos;
  Decoded out;
  DecodeClasses cs;
  const uint32_t count = r.Count("entity count");
  if (r.ok && count > bytes.size()) r.Fail("entity count larger than the file");
  DecodeList(r, cs, count, v, limit, out.body.Entities);
  const uint32_t defs = r.Count("block definition count");
  if (r.ok && defs > bytes.size()) r.Fail("definition count larger than the file");
  for (uint32_t i = 0; i < defs && r.ok; ++i) {
    BlockDef d;
    // Every tag of the definition list is followed by a definition, whatever it names.
    const uint16_t tag = r.U16("tag");
    if (tag == 0xFFFF) {
      r.U16("schema");
      const uint16_t n = r.U16("class name length");
      if (n > limit) r.Fail("class name too long");
      if (!r.Need(n, "class name")) break;
      d.ClassName.assign(reinterpret_cast<const char*>(r.d.data() + r.p), n);
      r.p += n;
      ++cs.next;
    } else if (tag == 0x7FFF) {
      r.U32("class reference");
    }
    d.Attr = DecodeAttr(r, v);
    d.Number = r.I32("definition");
    d.Referenced = r.I32("definition");
    d.Time = r.I32("definition");
    if (d.Time < 0) {
      r.Le(8, "long time");
      d.Time = static_cast<int32_t>(i + 1);
    }
    d.Name = r.Str("definition name");
    const uint32_t n = r.Count("definition entity count");
    if (r.ok && n > bytes.size()) r.Fail("definition entity count larger than the file");
    ++cs.next;
    DecodeList(r, cs, n, v, limit, d.Entities);
    out.body.BlockDefs.push_back(std::move(d));
  }
  if (withImages && r.ok) {
    const int32_t n = r.I32("image count");
    for (int32_t i = 0; i < n && r.ok; ++i) {
      Image im;
      im.Name = r.Str("image name");
      im.Size = r.I32("image size");
      if (!im.Name.empty() && im.Size > 0 && r.Need(static_cast<uint64_t>(im.Size), "image data")) {
        im.Data.assign(bytes.begin() + static_cast<ptrdiff_t>(r.p), bytes.begin() + static_cast<ptrdiff_t>(r.p + im.Size));
        r.p += static_cast<size_t>(im.Size);
      }
      out.body.Images.push_back(std::move(im));
    }
  }
  if (!r.ok) {
    if (why) *why = r.why;
    return std::nullopt;
  }
  out.End = r.p;
  return out;
}

std::string UpperAnsiModel(std::string_view s) {
  // Double-byte characters are stepped over whole, so a trail byte is never changed.
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (In(b, 0x81, 0x9F) || In(b, 0xE0, 0xFC)) ++i;
    else if (b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 'a' + 'A');
  }
  return out;
}

std::string ImageRefModel(const std::string& text) {
  if (text.size() < kPrefixLength + 1 || text.compare(0, kPrefixLength, kPrefix) != 0) return {};
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return {};
  return UpperAnsiModel(text.substr(kPrefixLength, comma - kPrefixLength));
}

ImageFiles ExtractedFiles(const Body& loaded) {
  ImageFiles files;
  for (const Image& im : loaded.Images)
    if (!im.Name.empty() && im.Size > 0) files[im.Name] = im.Data;
  return files;
}

Body NormaliseBody(const Body& loaded, int32_t v, bool jws, const ImageFiles& files) {
  Body out = loaded;
  out.Images.clear();
  if (!jws && v >= kImageVersion) {
    std::vector<bool> used(loaded.Images.size(), false);
    auto mark = [&](const plm::Text& m) {
      const std::string ref = ImageRefModel(m.Text);
      if (ref.empty()) return;
      for (size_t i = 0; i < loaded.Images.size(); ++i) {
        if (UpperAnsiModel(loaded.Images[i].Name).starts_with(ref)) {
          used[i] = true;
          return;
        }
      }
    };
    for (const Entity& e : loaded.Entities)
      if (KindOf(e) == 4) mark(std::get<plm::Text>(e));
    for (const BlockDef& d : loaded.BlockDefs)
      for (const Entity& e : d.Entities)
        if (KindOf(e) == 4) mark(std::get<plm::Text>(e));
    for (size_t i = 0; i < loaded.Images.size(); ++i) {
      auto f = files.find(loaded.Images[i].Name);
      if (!used[i] || f == files.end()) continue;
      out.Images.push_back({loaded.Images[i].Name, static_cast<int32_t>(f->second.size()), f->second});
    }
  }
  NormaliseList(out.Entities, v, jws);
  for (BlockDef& d : out.BlockDefs) {
    d.Attr = plm::CheckEntAttr(v, 8, d.Attr);
    d.Name = plm::CleanString(d.Name);
    d.ClassName = "CDataList";
    NormaliseList(d.Entities, v, jws);
  }
  return out;
}

bool ZeroWhenNegative(double& spacing) {
  if (spacing >= 0.0) return false;
  spacing = +0.0;
  return true;
}

plm::SpacingChanges ApplyRuleModel(Body& body, const plm::ConversionSwitches& o) {
  const bool type = o.ZeroTypeSpacing, free = o.ZeroFreeSpacing;
  const bool dims = o.ChangeDimensionValues, blocks = o.ChangeBlockTexts;
  plm::SpacingChanges c;
  auto apply = [](plm::Text& m, bool typed, bool freeSize, uint64_t& counter) {
    if (RuleTreats(m, typed, freeSize) && ZeroWhenNegative(m.Spacing)) ++counter;
  };
  for (Entity& e : body.Entities)
    if (KindOf(e) == 4) apply(std::get<plm::Text>(e), type, free, c.Texts);
  for (Entity& e : body.Entities)
    if (KindOf(e) == 5) apply(std::get<plm::Dimension>(e).Text, type, free && dims, c.DimTexts);
  for (BlockDef& d : body.BlockDefs) {
    for (Entity& e : d.Entities)
      if (KindOf(e) == 4) apply(std::get<plm::Text>(e), type, free && blocks, c.BlockTexts);
    for (Entity& e : d.Entities)
      if (KindOf(e) == 5) apply(std::get<plm::Dimension>(e).Text, type, free && dims && blocks, c.BlockDimTexts);
  }
  return c;
}

// ---- headers ----------------------------------------------------------------------

Bytes JwsHeaderBytes(int32_t v, uint8_t filler) {
  Bytes b;
  b.raw("JwsData").fill(193, filler).i32(v);
  b.f64(0.5).f64(-2.25);
  for (int i = 0; i < 16; ++i) b.f64(1.0 / (i + 1));
  for (int i = 0; i < 6; ++i) b.i32(-7 * i + 3);
  for (int i = 0; i < 10; ++i) b.f64(100.0 + i * 0.125);
  return b;
}

int32_t JwsOutputVersionModel(int32_t v) {
  if (v <= 230) v = 230;
  if (v == 300) v = 351;
  return v;
}

std::optional<std::vector<uint8_t>> ExpectedJwwFile(std::span<const uint8_t> input, const plm::ConversionSwitches& o,
                                                    const ImageFiles* files, std::string* why) {
  auto header = ExpectedJwwHeader(input, o.ZeroTypeSpacing);
  if (!header) {
    if (why) *why = "header";
    return std::nullopt;
  }
  const int32_t v = header->Version;
  auto decoded = DecodeBody(input, header->End, v, v >= kImageVersion, 2048, why);
  if (!decoded) return std::nullopt;
  Body body = decoded->body;
  const ImageFiles extracted = ExtractedFiles(body);
  ApplyRuleModel(body, o);
  std::vector<uint8_t> out = header->Expected;
  const Bytes b = EncodeBody(NormaliseBody(body, v, false, files ? *files : extracted), v, v >= kImageVersion);
  out.insert(out.end(), b.data().begin(), b.data().end());
  return out;
}

plm::SpacingChanges ExpectedJwwChanges(std::span<const uint8_t> input, const plm::ConversionSwitches& o) {
  auto header = ExpectedJwwHeader(input, o.ZeroTypeSpacing);
  if (!header) return {};
  auto decoded = DecodeBody(input, header->End, header->Version, header->Version >= kImageVersion, 2048);
  if (!decoded) return {};
  plm::SpacingChanges c = ApplyRuleModel(decoded->body, o);
  c.TypeTable = header->TypeTableChanges;
  return c;
}

std::optional<std::vector<uint8_t>> ExpectedJwsFile(std::span<const uint8_t> input, const plm::ConversionSwitches& o,
                                                    std::string* why) {
  if (input.size() < 452) {
    if (why) *why = "header";
    return std::nullopt;
  }
  const int32_t v = static_cast<int32_t>(input[200] | input[201] << 8 | input[202] << 16 |
                                         static_cast<uint32_t>(input[203]) << 24);
  const int32_t outV = JwsOutputVersionModel(v);
  auto decoded = DecodeBody(input, 452, v, false, 200, why);
  if (!decoded) return std::nullopt;
  Body body = decoded->body;
  ApplyRuleModel(body, o);
  Bytes out;
  out.raw(std::vector<uint8_t>(input.begin(), input.begin() + 7)).fill(193, '.').i32(outV);
  out.raw(std::vector<uint8_t>(input.begin() + 204, input.begin() + 452));
  out.append(EncodeBody(NormaliseBody(body, outV, true, {}), outV, false));
  return out.data();
}

std::string FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& e) {
  const size_t n = std::min(a.size(), e.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != e[i]) {
      std::ostringstream s;
      s << "first difference at byte " << i << " (0x" << std::hex << i << std::dec << "): actual "
        << int(a[i]) << ", expected " << int(e[i]) << "; sizes " << a.size() << " and " << e.size();
      return s.str();
    }
  }
  if (a.size() != e.size())
    return "sizes differ: actual " + std::to_string(a.size()) + ", expected " + std::to_string(e.size());
  return {};
}

plm::ConversionSwitches OptionsFromBits(int bits) {
  plm::ConversionSwitches o;
  o.ZeroTypeSpacing = bits & 1;
  o.ZeroFreeSpacing = (bits >> 1) & 1;
  o.ChangeDimensionValues = (bits >> 2) & 1;
  o.ChangeBlockTexts = (bits >> 3) & 1;
  return o;
}

// ---- samples ------------------------------------------------------------------------

EntityAttributes MakeAttr(uint8_t style, uint16_t color, uint16_t width, uint16_t layer, uint16_t group, uint32_t groupNo,
                  uint16_t flags) {
  EntityAttributes a;
  a.GroupNo = groupNo;
  a.PenStyle = style;
  a.PenColor = color;
  a.PenWidth = width;
  a.Layer = layer;
  a.LayerGroup = group;
  a.Flags = flags;
  return a;
}

namespace {
double D(int seed, int k) { return seed * 32.0 + k + 0.375; }
}  // namespace

plm::Line SampleSen(int seed, EntityAttributes a) {
  return {a, D(seed, 1), D(seed, 2), D(seed, 3), D(seed, 4)};
}

plm::Arc SampleEnko(int seed, EntityAttributes a) {
  return {a, D(seed, 1), D(seed, 2), D(seed, 3), D(seed, 4), D(seed, 5), D(seed, 6), D(seed, 7),
          static_cast<uint32_t>(seed % 2)};
}

plm::Point SampleTen(int seed, EntityAttributes a) {
  plm::Point t{a, D(seed, 1), D(seed, 2), static_cast<uint32_t>(seed % 3)};
  if (a.PenStyle == 100) {
    t.Code = static_cast<uint32_t>(seed * 7 + 1);
    t.Angle = D(seed, 3);
    t.Scale = D(seed, 4);
  }
  return t;
}

plm::Text SampleMoji(int seed, EntityAttributes a, uint32_t code, double spacing, std::string text, std::string font) {
  plm::Text m;
  m.Attr = a;
  m.StartX = D(seed, 1);
  m.StartY = D(seed, 2);
  m.EndX = D(seed, 3);
  m.EndY = D(seed, 4);
  m.TextTypeCode = code;
  m.SizeX = D(seed, 5);
  m.SizeY = D(seed, 6);
  m.Spacing = spacing;
  m.Angle = D(seed, 7);
  m.FontName = std::move(font);
  m.Text = std::move(text);
  return m;
}

plm::Dimension SampleSunpo(int seed, EntityAttributes a, uint32_t code, double spacing, std::string text) {
  plm::Dimension s;
  s.Attr = a;
  s.Line = SampleSen(seed + 1, MakeAttr(2, 3, 4, 5, 6, 7, 8));
  s.Text = SampleMoji(seed + 2, MakeAttr(1, 2, 3, 4, 5, 6, 7), code, spacing, std::move(text));
  s.AuxMode = static_cast<uint16_t>(seed % 5 + 1);
  s.AuxLine1 = SampleSen(seed + 3, MakeAttr(3, 4, 5, 6, 7, 8, 9));
  s.AuxLine2 = SampleSen(seed + 4, MakeAttr(4, 5, 6, 7, 8, 9, 10));
  s.Point1 = SampleTen(seed + 5, MakeAttr(1, 1, 1, 1, 1, 1, 1));
  s.Point2 = SampleTen(seed + 6, MakeAttr(100, 2, 0, 2, 2, 2, 2));
  s.Point3 = SampleTen(seed + 7, MakeAttr(7, 400, 30001, 16, 16, 3, 3));  // checked to 1, 2, 0, 0, 0
  s.Point4 = SampleTen(seed + 8, MakeAttr(100, 356, 30000, 15, 15, 4, 4));
  return s;
}

plm::Solid SampleSolid(int seed, EntityAttributes a) {
  plm::Solid s{a, D(seed, 1), D(seed, 2), D(seed, 3), D(seed, 4), D(seed, 5), D(seed, 6), D(seed, 7), D(seed, 8)};
  if (a.PenColor == 10) s.Color = 0x00C0FFEEu + static_cast<uint32_t>(seed);
  return s;
}

plm::BlockInsert SampleBlock(int seed, EntityAttributes a, int32_t number) {
  return {a, D(seed, 1), D(seed, 2), D(seed, 3), D(seed, 4), D(seed, 5), number};
}

Body RichBody() {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Body b;
  auto& e = b.Entities;
  // Lines and arcs: standard, extended and invalid line types and colours.
  e.push_back(SampleSen(1, MakeAttr(1, 1, 1, 0, 0, 0xDEADBEEF, 0xBEEF)));
  e.push_back(SampleSen(2, MakeAttr(10, 0, 30001, 16, 16)));   // style 1, colour 2, width 0, layer 0, group 0
  e.push_back(SampleSen(3, MakeAttr(44, 105, 30000, 15, 15)));  // extended: 17 and 4 below 420
  e.push_back(SampleEnko(4, MakeAttr(35, 117, 7, 3, 4)));       // 8 and 2 below 420
  e.push_back(SampleEnko(5, MakeAttr(62, 356, 2, 1, 1)));       // 1 and 2 below 420
  e.push_back(SampleEnko(6, MakeAttr(19, 357, 2, 1, 1)));       // colour out of range
  e.push_back(SampleEnko(7, MakeAttr(63, 100, 2, 1, 1)));       // style and colour out of range
  // Points: coded (100), plain, and a style a point may not have.
  e.push_back(SampleTen(8, MakeAttr(100, 3, 5, 2, 2)));
  e.push_back(SampleTen(9, MakeAttr(1, 101, 5, 2, 2)));
  e.push_back(SampleTen(10, MakeAttr(5, 9, 5, 2, 2)));
  // Texts of every text-type class with negative, NaN, -0.0 and positive spacings.
  e.push_back(SampleMoji(11, MakeAttr(1, 2, 1, 1, 1), 0, -0.5, "free"));
  e.push_back(SampleMoji(12, MakeAttr(9, 116, 1, 1, 1), 1000, -1.0, "free 1000"));
  e.push_back(SampleMoji(13, MakeAttr(10, 1, 1, 1, 1), 2000, nan, "free nan"));
  e.push_back(SampleMoji(14, MakeAttr(1, 2, 1, 1, 1), 3, -2.0, "typed 3"));
  e.push_back(SampleMoji(15, MakeAttr(1, 2, 1, 1, 1), 2003, -0.25, "typed 2003"));
  e.push_back(SampleMoji(16, MakeAttr(1, 2, 1, 1, 1), 10003, -0.0, "typed 10003 minus zero"));
  e.push_back(SampleMoji(17, MakeAttr(1, 2, 1, 1, 1), 0, -0.0, "free minus zero"));
  e.push_back(SampleMoji(18, MakeAttr(1, 2, 1, 1, 1), 0xFFFFFFFFu, 1.5, "code 4294967295 positive"));
  e.push_back(SampleMoji(19, MakeAttr(0, 0, 1, 1, 1), 0, -3.0, "", ""));
  e.push_back(SampleMoji(20, MakeAttr(1, 2, 1, 1, 1), 0, -3.0, "\x01\x02\x1F"s, "\t"));
  e.push_back(SampleMoji(21, MakeAttr(1, 2), 3, nan, "a^mb^Mc\x83^m\x81\x5E" "d\x7F\xA5\xFE\xFF\x00z"s));
  e.push_back(SampleMoji(22, MakeAttr(1, 2), 0, -1.0, std::string(254, 'x')));
  e.push_back(SampleMoji(23, MakeAttr(1, 2), 0, -1.0, std::string(255, 'y'), std::string(300, 'f')));
  e.push_back(SampleMoji(24, MakeAttr(1, 2), 0, -1.0, std::string(5000, '\x1F') + "^m"));
  // Dimensions: free and typed value texts, points with PenStyle 100 among the auxiliaries.
  e.push_back(SampleSunpo(25, MakeAttr(1, 2, 1, 1, 1), 0, -1.0));
  e.push_back(SampleSunpo(35, MakeAttr(77, 0, 40000, 20, 20), 3, -1.0, "\x02^m"s));
  e.push_back(SampleSunpo(45, MakeAttr(1, 2), 1000, nan));
  // Solids with and without an RGB colour.
  e.push_back(SampleSolid(55, MakeAttr(1, 10, 1, 1, 1)));
  e.push_back(SampleSolid(56, MakeAttr(1, 5, 1, 1, 1)));
  e.push_back(SampleSolid(57, MakeAttr(1, 11, 1, 1, 1)));   // colour 2 when written
  e.push_back(SampleSolid(58, MakeAttr(1, 110, 1, 1, 1)));  // 8 below 420
  // Block insertions are not checked for style or colour.
  e.push_back(SampleBlock(59, MakeAttr(0, 0, 1, 17, 1), 1));
  e.push_back(SampleBlock(60, MakeAttr(250, 999, 1, 1, 99), 2));
  e.push_back(SampleSen(61, MakeAttr(2, 2)));  // a later line refers to the class by index

  // Definition 1: attributes out of range (kind 8 checks only layer, group, width),
  // texts and dimensions of both classes for the block switches.
  BlockDef d1;
  d1.Attr = MakeAttr(200, 500, 31000, 16, 17, 9, 9);
  d1.Number = 1;
  d1.Referenced = 1;
  d1.Time = 12345;
  d1.Name = "blk\x01^mA"s;
  d1.Entities.push_back(SampleTen(70, MakeAttr(100, 1)));
  d1.Entities.push_back(SampleMoji(71, MakeAttr(1, 2), 0, -0.5, "block free"));
  d1.Entities.push_back(SampleMoji(72, MakeAttr(1, 2), 4, -0.5, "block typed"));
  d1.Entities.push_back(SampleSunpo(73, MakeAttr(1, 2), 0, -0.75));
  d1.Entities.push_back(SampleSunpo(83, MakeAttr(1, 2), 5, -0.75));
  // Definition 2: the 8-byte time form; empty.
  BlockDef d2;
  d2.Attr = MakeAttr(1, 1);
  d2.Number = 2;
  d2.Time = -1;
  d2.LongTime = 0x0123456789ABCDEFull;
  d2.Name = "";
  // Definition 3: the 8-byte time form again and entities.
  BlockDef d3;
  d3.Attr = MakeAttr(1, 1);
  d3.Number = 3;
  d3.Time = -5;
  d3.Name = "three";
  d3.Entities.push_back(SampleBlock(90, MakeAttr(1, 1), 1));
  d3.Entities.push_back(SampleSolid(91, MakeAttr(1, 10)));
  b.BlockDefs = {d1, d2, d3};
  return b;
}

void ExpectChanges(const plm::SpacingChanges& actual, const plm::SpacingChanges& expected) {
  EXPECT_EQ(actual.TypeTable, expected.TypeTable);
  EXPECT_EQ(actual.Texts, expected.Texts);
  EXPECT_EQ(actual.DimTexts, expected.DimTexts);
  EXPECT_EQ(actual.BlockTexts, expected.BlockTexts);
  EXPECT_EQ(actual.BlockDimTexts, expected.BlockDimTexts);
}

}  // namespace plmtest
