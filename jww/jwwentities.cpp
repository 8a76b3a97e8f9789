#include "jww/jwwentities.h"

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
  void Attr(TEntAttr& a, int32_t) { a = ReadEntAttr(in, version); }
  void F64(double& v) { v = in.F64(what); }
  void U32(uint32_t& v) { v = in.U32(what); }
  void I32(int32_t& v) { v = in.I32(what); }
  void U16(uint16_t& v) { v = in.U16(what); }
  void Str(std::string& s) { s = in.JwwString(what); }
  void MojiText(std::string& s, bool) { s = in.JwwString(what); }
};

struct EntityWriter {
  ByteSink& out;
  int32_t version;
  bool rewriteImagePrefix;
  static constexpr bool kReading = false;
  void Attr(const TEntAttr& a, int32_t kind) { WriteEntAttr(out, version, kind, a); }
  void F64(const double& v) { out.F64(v); }
  void U32(const uint32_t& v) { out.U32(v); }
  void I32(const int32_t& v) { out.I32(v); }
  void U16(const uint16_t& v) { out.U16(v); }
  void Str(const std::string& s) { out.JwwString(CleanString(s)); }
  // The Text of a TEntMoji entity (not of a dimension value text).
  void MojiText(const std::string& s, bool entityText) {
    std::string clean = CleanString(s);
    if (entityText && rewriteImagePrefix && clean.compare(0, kImagePrefixLength, kImagePrefix) == 0)
      clean.erase(4, kImagePrefixLength - 4);  // "^@BM%temp%name" -> "^@BMname"
    out.JwwString(clean);
  }
};

template <class Ar, class E>
void VisitSen(Ar& ar, E& e, int32_t kind) {
  ar.Attr(e.Attr, kind);
  ar.F64(e.StartX);
  ar.F64(e.StartY);
  ar.F64(e.EndX);
  ar.F64(e.EndY);
}

template <class Ar, class E>
void VisitEnko(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindEnko);
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
void VisitTen(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindTen);
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
void VisitMoji(Ar& ar, E& e, bool entityText) {
  ar.Attr(e.Attr, kKindMoji);
  ar.F64(e.StartX);
  ar.F64(e.StartY);
  ar.F64(e.EndX);
  ar.F64(e.EndY);
  ar.U32(e.TextTypeCode);
  ar.F64(e.SizeX);
  ar.F64(e.SizeY);
  ar.F64(e.Spacing);
  ar.F64(e.Angle);
  ar.Str(e.FontName);
  ar.MojiText(e.Text, entityText);
}

template <class Ar, class E>
void VisitSunpo(Ar& ar, E& e, int32_t version) {
  ar.Attr(e.Attr, kKindSunpo);
  VisitSen(ar, e.Line, kKindSen);
  VisitMoji(ar, e.Text, false);
  if (version >= kVerExtTables) {
    ar.U16(e.AuxMode);
    VisitSen(ar, e.AuxLine1, kKindSen);
    VisitSen(ar, e.AuxLine2, kKindSen);
    VisitTen(ar, e.Point1);
    VisitTen(ar, e.Point2);
    VisitTen(ar, e.Point3);
    VisitTen(ar, e.Point4);
  } else if constexpr (Ar::kReading) {
    // Older dimensions: the extension parts take the dimension's own attributes.
    e.AuxLine1 = TEntSen{};
    e.AuxLine1.Attr = CopyEntAttr(e.Attr);
    e.AuxLine2 = e.AuxLine1;
    TEntTen point;
    point.Attr = CopyEntAttr(e.Attr);
    point.Attr.PenStyle = 0;
    e.Point1 = e.Point2 = e.Point3 = e.Point4 = point;
  }
}

template <class Ar, class E>
void VisitSolid(Ar& ar, E& e) {
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
void VisitBlock(Ar& ar, E& e) {
  ar.Attr(e.Attr, kKindBlock);
  ar.F64(e.X);
  ar.F64(e.Y);
  ar.F64(e.ScaleX);
  ar.F64(e.ScaleY);
  ar.F64(e.Angle);
  ar.I32(e.BlockNumber);
}

}  // namespace

int32_t ReadEntityRecord(ByteCursor& in, int32_t version, What what, int32_t kind, EntityLists& l) {
  EntityReader ar{in, version, what};
  switch (kind) {
    case kKindSen: VisitSen(ar, l.SenList.emplace_back(), kKindSen); return static_cast<int32_t>(l.SenList.size() - 1);
    case kKindEnko: VisitEnko(ar, l.EnkoList.emplace_back()); return static_cast<int32_t>(l.EnkoList.size() - 1);
    case kKindTen: VisitTen(ar, l.TenList.emplace_back()); return static_cast<int32_t>(l.TenList.size() - 1);
    case kKindMoji: VisitMoji(ar, l.MojiList.emplace_back(), true); return static_cast<int32_t>(l.MojiList.size() - 1);
    case kKindSunpo:
      VisitSunpo(ar, l.SunpoList.emplace_back(), ar.version);
      return static_cast<int32_t>(l.SunpoList.size() - 1);
    case kKindSolid: VisitSolid(ar, l.SolidList.emplace_back()); return static_cast<int32_t>(l.SolidList.size() - 1);
    case kKindBlock: VisitBlock(ar, l.BlockList.emplace_back()); return static_cast<int32_t>(l.BlockList.size() - 1);
    default: return -1;
  }
}

bool WriteEntityRecord(ByteSink& out, int32_t version, bool rewriteImagePrefix, const TEntRef& ref,
                       const EntityLists& l) {
  EntityWriter ar{out, version, rewriteImagePrefix};
  const auto i = static_cast<size_t>(ref.Index);
  auto fits = [&](const auto& list) { return ref.Index >= 0 && i < list.size(); };
  switch (ref.Kind) {
    case kKindSen: if (!fits(l.SenList)) return false; VisitSen(ar, l.SenList[i], kKindSen); return true;
    case kKindEnko: if (!fits(l.EnkoList)) return false; VisitEnko(ar, l.EnkoList[i]); return true;
    case kKindTen: if (!fits(l.TenList)) return false; VisitTen(ar, l.TenList[i]); return true;
    case kKindMoji: if (!fits(l.MojiList)) return false; VisitMoji(ar, l.MojiList[i], true); return true;
    case kKindSunpo: if (!fits(l.SunpoList)) return false; VisitSunpo(ar, l.SunpoList[i], ar.version); return true;
    case kKindSolid: if (!fits(l.SolidList)) return false; VisitSolid(ar, l.SolidList[i]); return true;
    case kKindBlock: if (!fits(l.BlockList)) return false; VisitBlock(ar, l.BlockList[i]); return true;
    default: return false;
  }
}

}  // namespace plm
