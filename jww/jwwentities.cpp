#include "jww/jwwentities.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "jww/jwwbody.h"

namespace plm {
namespace {

// One visitor per record serves both directions, so the reader and the writer
// cannot disagree on a field's place or width.
struct EntityReader {
  ByteCursor& in;
  int32_t version;
  What what;
  static constexpr bool kReading = true;
  void Attr(EntityAttributes& a, int32_t) { a = ReadEntAttr(in, version); }
  void F64(double& v) { v = in.F64(what); }
  void U32(uint32_t& v) { v = in.U32(what); }
  void I32(int32_t& v) { v = in.I32(what); }
  void U16(uint16_t& v) { v = in.U16(what); }
  void Str(std::string& s) { s = in.JwwString(what); }
  void MojiText(std::string& s, bool) { s = in.JwwString(what); }
};

// Decodes fixed-width fields from bytes the cursor's Window has shown to be there,
// without a check per field. Records with strings use it for their fixed parts only.
struct WindowReader {
  const uint8_t* p;
  int32_t version;
  static constexpr bool kReading = true;
  template <class T>
  T Take() {
    T v = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&v, p, sizeof(T));  // one load
    } else {
      for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(p[i]) << (8 * i));
    }
    p += sizeof(T);
    return v;
  }
  void Attr(EntityAttributes& a, int32_t) {
    a.GroupNo = Take<uint32_t>();
    a.PenStyle = Take<uint8_t>();
    a.PenColor = Take<uint16_t>();
    a.PenWidth = version >= kVerPenWidth ? Take<uint16_t>() : 0;
    a.Layer = Take<uint16_t>();
    a.LayerGroup = Take<uint16_t>();
    a.Flags = Take<uint16_t>();
  }
  void F64(double& v) {
    const uint64_t bits = Take<uint64_t>();
    std::memcpy(&v, &bits, 8);
  }
  void U32(uint32_t& v) { v = Take<uint32_t>(); }
  void I32(int32_t& v) { v = static_cast<int32_t>(Take<uint32_t>()); }
  void U16(uint16_t& v) { v = Take<uint16_t>(); }
};

struct EntityWriter {
  ByteSink& out;
  int32_t version;
  bool rewriteImagePrefix;
  static constexpr bool kReading = false;
  void Attr(const EntityAttributes& a, int32_t kind) { WriteEntAttr(out, version, kind, a); }
  void F64(const double& v) { out.F64(v); }
  void U32(const uint32_t& v) { out.U32(v); }
  void I32(const int32_t& v) { out.I32(v); }
  void U16(const uint16_t& v) { out.U16(v); }
  void Str(const std::string& s) { WriteCleanString(out, s); }
  // The Text of a Text entity (not of a dimension value text).
  void MojiText(const std::string& s, bool entityText) {
    if (!(entityText && rewriteImagePrefix)) {
      WriteCleanString(out, s);
      return;
    }
    std::string clean = CleanString(s);
    if (clean.compare(0, kImagePrefixLength, kImagePrefix) == 0)
      clean.erase(4, kImagePrefixLength - 4);  // "^@BM%temp%name" -> "^@BMname"
    out.JwwString(clean);
  }
};

// Encodes fixed-width fields into room the sink's Room has handed out; the
// attribute check is applied as by WriteEntAttr.
struct WindowWriter {
  uint8_t* p;
  int32_t version;
  static constexpr bool kReading = false;
  // One store on a little-endian machine; byte stores through `p` could otherwise
  // alias `p` itself and make the compiler reload it after each one.
  template <class T>
  void Put(T v) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(p, &v, sizeof(T));
    } else {
      uint8_t* q = p;
      for (size_t i = 0; i < sizeof(T); ++i) q[i] = static_cast<uint8_t>(v >> (8 * i));
    }
    p += sizeof(T);
  }
  void Attr(const EntityAttributes& attr, int32_t kind) {
    const EntityAttributes a = CheckEntAttr(version, kind, attr);
    Put<uint32_t>(a.GroupNo);
    Put<uint8_t>(a.PenStyle);
    Put<uint16_t>(a.PenColor);
    if (version >= kVerPenWidth) Put<uint16_t>(a.PenWidth);
    Put<uint16_t>(a.Layer);
    Put<uint16_t>(a.LayerGroup);
    Put<uint16_t>(a.Flags);
  }
  void F64(const double& v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    Put<uint64_t>(bits);
  }
  void U32(const uint32_t& v) { Put<uint32_t>(v); }
  void I32(const int32_t& v) { Put<uint32_t>(static_cast<uint32_t>(v)); }
  void U16(const uint16_t& v) { Put<uint16_t>(v); }
};

// Greatest lengths of the fixed parts, with a 15-byte attribute block.
constexpr size_t kAttrMax = 15;
constexpr size_t kSenMax = kAttrMax + 4 * 8;
constexpr size_t kEnkoMax = kAttrMax + 7 * 8 + 4;
constexpr size_t kTenMax = kAttrMax + 2 * 8 + 4 + 4 + 2 * 8;
constexpr size_t kMojiHeadMax = kAttrMax + 4 * 8 + 4 + 4 * 8;
constexpr size_t kSunpoHeadMax = kAttrMax + kSenMax + kMojiHeadMax;
constexpr size_t kSunpoTailMax = 2 + 2 * kSenMax + 4 * kTenMax;
constexpr size_t kSolidMax = kAttrMax + 8 * 8 + 4;
constexpr size_t kBlockMax = kAttrMax + 5 * 8 + 4;

// Fixed parts are inlined into each reader, writer and probe: they are most of the work.
template <class Ar, class E>
[[gnu::always_inline]] inline void VisitSen(Ar& ar, E& e, int32_t kind) {
  ar.Attr(e.Attr, kind);
  ar.F64(e.StartX);
  ar.F64(e.StartY);
  ar.F64(e.EndX);
  ar.F64(e.EndY);
}

template <class Ar, class E>
[[gnu::always_inline]] inline void VisitEnko(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindArc);
  ar.F64(e.CenterX);
  ar.F64(e.CenterY);
  ar.F64(e.Radius);
  ar.F64(e.StartAngle);
  ar.F64(e.ArcAngle);
  ar.F64(e.TiltAngle);
  ar.F64(e.Flatness);
  ar.U32(e.FullCircle);
}

template <class Ar, class E>
[[gnu::always_inline]] inline void VisitTen(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindPoint);
  ar.F64(e.X);
  ar.F64(e.Y);
  ar.U32(e.Temporary);
  if (e.Attr.PenStyle == kPenStyleCodedPoint) {
    ar.U32(e.Code);
    ar.F64(e.Angle);
    ar.F64(e.Scale);
  }
}

template <class Ar, class E>
[[gnu::always_inline]] inline void VisitMojiHead(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindText);
  ar.F64(e.StartX);
  ar.F64(e.StartY);
  ar.F64(e.EndX);
  ar.F64(e.EndY);
  ar.U32(e.TextTypeCode);
  ar.F64(e.SizeX);
  ar.F64(e.SizeY);
  ar.F64(e.Spacing);
  ar.F64(e.Angle);
}

template <class Ar, class E>
void VisitMojiStrings(Ar& ar, E& e, bool entityText) {
  ar.Str(e.FontName);
  ar.MojiText(e.Text, entityText);
}

template <class Ar, class E>
void VisitMoji(Ar& ar, E& e, bool entityText) {
  VisitMojiHead(ar, e);
  VisitMojiStrings(ar, e, entityText);
}

// Up to the value text's strings.
template <class Ar, class E>
void VisitSunpoHead(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindDimension);
  VisitSen(ar, e.Line, kKindLine);
  VisitMojiHead(ar, e.Text);
}

// After the value text's strings.
template <class Ar, class E>
void VisitSunpoTail(Ar& ar, E& e, int32_t version) {
  if (version >= kVerExtTables) {
    ar.U16(e.AuxMode);
    VisitSen(ar, e.AuxLine1, kKindLine);
    VisitSen(ar, e.AuxLine2, kKindLine);
    VisitTen(ar, e.Point1);
    VisitTen(ar, e.Point2);
    VisitTen(ar, e.Point3);
    VisitTen(ar, e.Point4);
  } else if constexpr (Ar::kReading) {
    // Older dimensions: the extension parts take the dimension's own attributes.
    e.AuxLine1 = Line{};
    e.AuxLine1.Attr = e.Attr;
    e.AuxLine2 = e.AuxLine1;
    Point point;
    point.Attr = e.Attr;
    point.Attr.PenStyle = 0;
    e.Point1 = e.Point2 = e.Point3 = e.Point4 = point;
  }
}

template <class Ar, class E>
[[gnu::always_inline]] inline void VisitSolid(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindSolid);
  ar.F64(e.Corner1X);
  ar.F64(e.Corner1Y);
  ar.F64(e.Corner2X);
  ar.F64(e.Corner2Y);
  ar.F64(e.Corner3X);
  ar.F64(e.Corner3Y);
  ar.F64(e.Corner4X);
  ar.F64(e.Corner4Y);
  if (e.Attr.PenColor == kPenColorRgbSolid) ar.U32(e.Color);
}

template <class Ar, class E>
[[gnu::always_inline]] inline void VisitBlock(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindBlockInsert);
  ar.F64(e.X);
  ar.F64(e.Y);
  ar.F64(e.ScaleX);
  ar.F64(e.ScaleY);
  ar.F64(e.Angle);
  ar.I32(e.BlockNumber);
}

// A fixed part of at most maxLength bytes: decoded from the buffer in one piece when
// it is all there, else field by field with the cursor's checks.
template <class Visit, class E>
void ReadPart(ByteCursor& in, int32_t version, What what, size_t maxLength, E& e, Visit visit) {
  if (const uint8_t* window = in.Window(maxLength)) {
    WindowReader ar{window, version};
    visit(ar, e);
    in.Advance(static_cast<size_t>(ar.p - window));
  } else {
    EntityReader ar{in, version, what};
    visit(ar, e);
  }
}

template <class Visit, class E>
void WritePart(ByteSink& out, int32_t version, bool rewriteImagePrefix, size_t maxLength, const E& e, Visit visit) {
  if (uint8_t* room = out.Room(maxLength)) {
    WindowWriter ar{room, version};
    visit(ar, e);
    out.Advance(static_cast<size_t>(ar.p - room));
  } else {
    EntityWriter ar{out, version, rewriteImagePrefix};
    visit(ar, e);
  }
}

// Steps over the fields of a fixed-length record shown to be there, decoding only
// its attribute, which the record's layout depends on; with kCheck, also tells
// whether the attribute passes the writer's check unchanged.
template <bool kCheck>
struct FixedMeasure {
  const uint8_t* p;
  int32_t version;
  bool same = true;
  static constexpr bool kReading = true;
  void Attr(EntityAttributes& a, int32_t kind) {
    WindowReader r{p, version};
    r.Attr(a, kind);
    p = r.p;
    if constexpr (kCheck) same = same && CheckEntAttr(version, kind, a) == a;
  }
  void F64(double&) { p += 8; }
  void U32(uint32_t&) { p += 4; }
  void I32(int32_t&) { p += 4; }
  void U16(uint16_t&) { p += 2; }
};

// The length of the fixed-length record of `kind` at `p` (0 for another kind, or
// when fewer bytes than its longest form are there); with kCheck, 0 also when its
// attribute would change.
template <bool kCheck>
size_t MeasureFixedKind(const uint8_t* p, size_t available, int32_t version, int32_t kind) {
  const auto measure = [&](auto record, size_t maxLength, auto visit) -> size_t {
    if (available < maxLength) return 0;
    FixedMeasure<kCheck> m{p, version};
    visit(m, record);
    return m.same ? static_cast<size_t>(m.p - p) : 0;
  };
  switch (kind) {
    case kKindLine: return measure(Line{}, kSenMax, [](auto& ar, auto& e) { VisitSen(ar, e, kKindLine); });
    case kKindArc: return measure(Arc{}, kEnkoMax, [](auto& ar, auto& e) { VisitEnko(ar, e); });
    case kKindPoint: return measure(Point{}, kTenMax, [](auto& ar, auto& e) { VisitTen(ar, e); });
    case kKindSolid: return measure(Solid{}, kSolidMax, [](auto& ar, auto& e) { VisitSolid(ar, e); });
    case kKindBlockInsert: return measure(BlockInsert{}, kBlockMax, [](auto& ar, auto& e) { VisitBlock(ar, e); });
    default: return 0;
  }
}

// Reads a text or a dimension from bytes [p, end) to tell whether writing it back
// would give exactly those bytes: every attribute passes the check unchanged, and
// every string is clean, in the short form the writer gives and wholly there. Fixed
// parts are decoded from bytes shown to be there beforehand; strings are looked at
// in place, not copied. A text that may name a bound image never passes: the image
// section needs it decoded.
struct VerbatimProbe {
  const uint8_t* p;
  const uint8_t* end;
  int32_t version;
  bool same = true;
  static constexpr bool kReading = true;
  void Attr(EntityAttributes& a, int32_t kind) {
    FixedMeasure<true> m{p, version};
    m.Attr(a, kind);
    p = m.p;
    same = same && m.same;
  }
  void F64(double& v) {
    WindowReader r{p, version};
    r.F64(v);
    p = r.p;
  }
  void U32(uint32_t& v) { Fixed(v); }
  void I32(int32_t& v) { Fixed(v); }
  void U16(uint16_t& v) { Fixed(v); }
  void Str(std::string&) { String(false); }
  void MojiText(std::string&, bool entityText) { String(entityText); }

 private:
  template <class T>
  void Fixed(T& v) {
    WindowReader r{p, version};
    v = r.Take<T>();
    p = r.p;
  }
  void String(bool entityText) {
    if (!same || p == end || *p == 0xFF || static_cast<size_t>(end - p - 1) < *p) {
      same = false;
      return;
    }
    const std::string_view s(reinterpret_cast<const char*>(p + 1), *p);
    if (!IsCleanString(s) || (entityText && s.starts_with(std::string_view(kImagePrefix, 4)))) same = false;
    p += 1 + s.size();
  }
};

// A text passes only when the spacing rule leaves it as it is: a spacing that is not
// negative (nor NaN) is never changed, whatever the switches.
size_t MeasureVerbatimMoji(const uint8_t* p, size_t available, int32_t version) {
  if (available < kMojiHeadMax) return 0;
  Text m;
  VerbatimProbe probe{p, p + available, version};
  VisitMojiHead(probe, m);
  if (!probe.same || !(m.Spacing >= 0.0)) return 0;
  VisitMojiStrings(probe, m, true);
  return probe.same ? static_cast<size_t>(probe.p - p) : 0;
}

size_t MeasureVerbatimSunpo(const uint8_t* p, size_t available, int32_t version) {
  if (available < kSunpoHeadMax) return 0;
  Dimension d;
  VerbatimProbe probe{p, p + available, version};
  VisitSunpoHead(probe, d);
  if (!probe.same || !(d.Text.Spacing >= 0.0)) return 0;
  VisitMojiStrings(probe, d.Text, false);
  if (!probe.same || static_cast<size_t>(probe.end - probe.p) < kSunpoTailMax) return 0;
  VisitSunpoTail(probe, d, version);
  return probe.same ? static_cast<size_t>(probe.p - p) : 0;
}

template <class E>
int32_t Last(const std::vector<E>& list) {
  return static_cast<int32_t>(list.size() - 1);
}

}  // namespace

// A record is decoded in its place in the list: a local copied in after its fields
// were stored piecemeal would be read back before those stores have landed.
template <class E, class Visit>
int32_t ReadRecord(ByteCursor& in, int32_t version, What what, size_t maxLength, std::vector<E>& list, Visit visit) {
  ReadPart(in, version, what, maxLength, list.emplace_back(), visit);
  return Last(list);
}

namespace {

// The records with strings are read apart from the fixed ones, which are most of a
// drawing and so keep a small frame of their own.
[[gnu::noinline]] int32_t ReadMoji(ByteCursor& in, int32_t version, What what, EntityLists& l) {
  Text m;
  ReadPart(in, version, what, kMojiHeadMax, m, [](auto& ar, auto& e) { VisitMojiHead(ar, e); });
  EntityReader ar{in, version, what};
  VisitMojiStrings(ar, m, true);
  l.TextList.push_back(std::move(m));
  return Last(l.TextList);
}

[[gnu::noinline]] int32_t ReadSunpo(ByteCursor& in, int32_t version, What what, EntityLists& l) {
  Dimension d;
  ReadPart(in, version, what, kSunpoHeadMax, d, [](auto& ar, auto& e) { VisitSunpoHead(ar, e); });
  EntityReader ar{in, version, what};
  VisitMojiStrings(ar, d.Text, false);
  ReadPart(in, version, what, kSunpoTailMax, d, [version](auto& a, auto& e) { VisitSunpoTail(a, e, version); });
  l.DimensionList.push_back(std::move(d));
  return Last(l.DimensionList);
}

}  // namespace

size_t FixedRecordLength(const uint8_t* p, size_t available, int32_t version, int32_t kind) {
  return MeasureFixedKind<false>(p, available, version, kind);
}

size_t VerbatimRecordLength(const uint8_t* p, size_t available, int32_t version, int32_t kind) {
  static_assert(kSolidMax == kMaxVerbatimFixed && kEnkoMax <= kSolidMax && kSenMax <= kSolidMax &&
                kTenMax <= kSolidMax && kBlockMax <= kSolidMax);
  switch (kind) {
    case kKindText: return MeasureVerbatimMoji(p, available, version);
    case kKindDimension: return MeasureVerbatimSunpo(p, available, version);
    default: return MeasureFixedKind<true>(p, available, version, kind);
  }
}

int32_t ReadEntityRecord(ByteCursor& in, int32_t version, What what, int32_t kind, EntityLists& l) {
  switch (kind) {
    case kKindLine:
      return ReadRecord(in, version, what, kSenMax, l.LineList, [](auto& ar, auto& e) { VisitSen(ar, e, kKindLine); });
    case kKindArc:
      return ReadRecord(in, version, what, kEnkoMax, l.ArcList, [](auto& ar, auto& e) { VisitEnko(ar, e); });
    case kKindPoint:
      return ReadRecord(in, version, what, kTenMax, l.PointList, [](auto& ar, auto& e) { VisitTen(ar, e); });
    case kKindText: return ReadMoji(in, version, what, l);
    case kKindDimension: return ReadSunpo(in, version, what, l);
    case kKindSolid:
      return ReadRecord(in, version, what, kSolidMax, l.SolidList, [](auto& ar, auto& e) { VisitSolid(ar, e); });
    case kKindBlockInsert:
      return ReadRecord(in, version, what, kBlockMax, l.BlockInsertList, [](auto& ar, auto& e) { VisitBlock(ar, e); });
    default: return -1;
  }
}

bool WriteEntityRecord(ByteSink& out, int32_t version, bool rewriteImagePrefix, const EntityRef& ref,
                       const EntityLists& l) {
  const auto i = static_cast<size_t>(ref.Index);
  auto fits = [&](const auto& list) { return ref.Index >= 0 && i < list.size(); };
  const bool rw = rewriteImagePrefix;
  switch (ref.Kind) {
    case kKindLine:
      if (!fits(l.LineList)) return false;
      WritePart(out, version, rw, kSenMax, l.LineList[i], [](auto& ar, auto& e) { VisitSen(ar, e, kKindLine); });
      return true;
    case kKindArc:
      if (!fits(l.ArcList)) return false;
      WritePart(out, version, rw, kEnkoMax, l.ArcList[i], [](auto& ar, auto& e) { VisitEnko(ar, e); });
      return true;
    case kKindPoint:
      if (!fits(l.PointList)) return false;
      WritePart(out, version, rw, kTenMax, l.PointList[i], [](auto& ar, auto& e) { VisitTen(ar, e); });
      return true;
    case kKindText: {
      if (!fits(l.TextList)) return false;
      const Text& m = l.TextList[i];
      WritePart(out, version, rw, kMojiHeadMax, m, [](auto& ar, auto& e) { VisitMojiHead(ar, e); });
      EntityWriter ar{out, version, rw};
      VisitMojiStrings(ar, m, true);
      return true;
    }
    case kKindDimension: {
      if (!fits(l.DimensionList)) return false;
      const Dimension& d = l.DimensionList[i];
      WritePart(out, version, rw, kSunpoHeadMax, d, [](auto& ar, auto& e) { VisitSunpoHead(ar, e); });
      EntityWriter ar{out, version, rw};
      VisitMojiStrings(ar, d.Text, false);
      WritePart(out, version, rw, kSunpoTailMax, d, [version](auto& a, auto& e) { VisitSunpoTail(a, e, version); });
      return true;
    }
    case kKindSolid:
      if (!fits(l.SolidList)) return false;
      WritePart(out, version, rw, kSolidMax, l.SolidList[i], [](auto& ar, auto& e) { VisitSolid(ar, e); });
      return true;
    case kKindBlockInsert:
      if (!fits(l.BlockInsertList)) return false;
      WritePart(out, version, rw, kBlockMax, l.BlockInsertList[i], [](auto& ar, auto& e) { VisitBlock(ar, e); });
      return true;
    default: return false;
  }
}

}  // namespace plm
