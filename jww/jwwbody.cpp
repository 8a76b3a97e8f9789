#include "jww/jwwbody.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ansi.h"
#include "platform/fsutil.h"

namespace plm {
namespace {

constexpr int32_t kVerPenWidth = 351;
constexpr int32_t kVerDimExtension = 420;
constexpr int32_t kVerExtTypes = 420;

// Class names by kind; index 8 is the block definition class.
constexpr std::string_view kClassNames[9] = {"",           "CDataSen",   "CDataEnko",  "CDataTen", "CDataMoji",
                                             "CDataSunpou", "CDataSolid", "CDataBlock", "CDataList"};

constexpr uint64_t kMinTaggedEntity = 2 + 33;  // tag and the smallest body (a point before 351)
constexpr uint64_t kMinBlockDef = 2 + 13 + 12 + 1 + 2;
constexpr uint64_t kMinImage = 1 + 4;

// ---------------------------------------------------------------------------
// Entity bodies, one visitor per record for both directions.

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
  if (version >= kVerDimExtension) {
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

// Reads one record of `kind`, appends it to its list; returns its position there.
int32_t ReadEntityInto(EntityReader& ar, int32_t kind, EntityLists& l) {
  switch (kind) {
    case kKindSen: VisitSen(ar, l.Sen->emplace_back(), kKindSen); return static_cast<int32_t>(l.Sen->size() - 1);
    case kKindEnko: VisitEnko(ar, l.Enko->emplace_back()); return static_cast<int32_t>(l.Enko->size() - 1);
    case kKindTen: VisitTen(ar, l.Ten->emplace_back()); return static_cast<int32_t>(l.Ten->size() - 1);
    case kKindMoji: VisitMoji(ar, l.Moji->emplace_back(), true); return static_cast<int32_t>(l.Moji->size() - 1);
    case kKindSunpo:
      VisitSunpo(ar, l.Sunpo->emplace_back(), ar.version);
      return static_cast<int32_t>(l.Sunpo->size() - 1);
    case kKindSolid: VisitSolid(ar, l.Solid->emplace_back()); return static_cast<int32_t>(l.Solid->size() - 1);
    case kKindBlock: VisitBlock(ar, l.Block->emplace_back()); return static_cast<int32_t>(l.Block->size() - 1);
    default: return -1;
  }
}

// Writes the record an order entry names. False when the entry names no record.
bool WriteEntity(EntityWriter& ar, const TEntRef& ref, const EntityLists& l) {
  const auto i = static_cast<size_t>(ref.Index);
  auto fits = [&](const auto* list) { return ref.Index >= 0 && i < list->size(); };
  switch (ref.Kind) {
    case kKindSen: if (!fits(l.Sen)) return false; VisitSen(ar, (*l.Sen)[i], kKindSen); return true;
    case kKindEnko: if (!fits(l.Enko)) return false; VisitEnko(ar, (*l.Enko)[i]); return true;
    case kKindTen: if (!fits(l.Ten)) return false; VisitTen(ar, (*l.Ten)[i]); return true;
    case kKindMoji: if (!fits(l.Moji)) return false; VisitMoji(ar, (*l.Moji)[i], true); return true;
    case kKindSunpo: if (!fits(l.Sunpo)) return false; VisitSunpo(ar, (*l.Sunpo)[i], ar.version); return true;
    case kKindSolid: if (!fits(l.Solid)) return false; VisitSolid(ar, (*l.Solid)[i]); return true;
    case kKindBlock: if (!fits(l.Block)) return false; VisitBlock(ar, (*l.Block)[i]); return true;
    default: return false;
  }
}

// ---------------------------------------------------------------------------
// Lists

struct ListReader {
  ByteCursor& in;
  int32_t version;
  size_t nameLimit;
  uint32_t classes[8] = {};  // remembered ClassIndex per entity kind, 0 = not seen
  uint32_t classIndex = 1;
};

// After the first kMixSample entities of a long list, each kind list reserves room for
// its share of the rest, so large drawings are not copied again and again as the
// lists grow. Only a guess: a list that outgrows it grows as usual. The reservation
// stays within a small multiple of the bytes left in the file.
constexpr uint32_t kMixSample = 4096;

template <class T>
void ReserveShare(std::vector<T>& list, uint32_t seen, uint32_t count, uint64_t bytesLeft) {
  const uint64_t share = static_cast<uint64_t>(list.size()) * (count - seen) / seen;
  const uint64_t wanted = list.size() + share + share / 16;
  if (share > 0 && wanted * sizeof(T) <= 4 * bytesLeft) list.reserve(static_cast<size_t>(wanted));
}

void ReserveByMix(EntityLists& l, uint32_t seen, uint32_t count, uint64_t bytesLeft) {
  ReserveShare(*l.Sen, seen, count, bytesLeft);
  ReserveShare(*l.Enko, seen, count, bytesLeft);
  ReserveShare(*l.Ten, seen, count, bytesLeft);
  ReserveShare(*l.Moji, seen, count, bytesLeft);
  ReserveShare(*l.Sunpo, seen, count, bytesLeft);
  ReserveShare(*l.Solid, seen, count, bytesLeft);
  ReserveShare(*l.Block, seen, count, bytesLeft);
}

bool ReadEntityList(ListReader& r, uint32_t count, EntityLists lists, int64_t blockDef) {
  lists.Order->assign(count, TEntRef{});
  EntityReader ar{r.in, r.version, {}};
  for (uint32_t n = 0; n < count && r.in.Ok(); ++n) {
    ar.what = blockDef < 0 ? What{"entity", n} : What{"an entity of block definition", blockDef};
    const uint64_t at = r.in.Offset();
    const ClassTag tag = r.in.Tag(r.nameLimit, ar.what);
    if (!r.in.Ok()) return false;
    int32_t kind = kKindNone;
    if (tag.IsNew) {
      for (int32_t k = kKindSen; k <= kKindBlock; ++k)
        if (tag.Name == kClassNames[k]) kind = k;
      if (kind != kKindNone) r.classes[kind] = r.classIndex;
      ++r.classIndex;
    } else {
      for (int32_t k = kKindSen; k <= kKindBlock; ++k)
        if (tag.Index != 0 && r.classes[k] == tag.Index) kind = k;
    }
    if (kind == kKindNone) {
      // Nothing tells the length of an unknown object: reading on would misread the rest.
      r.in.FailAt(at, "has an object of unknown class " +
                          (tag.IsNew ? "\"" + tag.Name + "\"" : "index " + std::to_string(tag.Index)) + " at byte " +
                          std::to_string(at) + " while reading " + DescribeWhat(ar.what));
      return false;
    }
    const int32_t index = ReadEntityInto(ar, kind, lists);
    (*lists.Order)[n] = TEntRef{kind, index};
    ++r.classIndex;
    if (n + 1 == kMixSample && count >= 2 * kMixSample) ReserveByMix(lists, n + 1, count, r.in.Remaining());
  }
  return r.in.Ok();
}

bool ReadBlockDefList(ListReader& r, std::vector<TEntBlockDef_>& defs) {
  const uint32_t count = r.in.Count(kMinBlockDef, {"the block definition count"});
  defs.clear();
  if (!r.in.Ok()) return false;
  // Grown as definitions are read, so memory follows the bytes actually present.
  defs.reserve(std::min<uint32_t>(count, 1024));
  for (uint32_t p = 1; p <= count && r.in.Ok(); ++p) {
    TEntBlockDef_& d = defs.emplace_back();
    const What what{"block definition", p};
    const ClassTag tag = r.in.Tag(r.nameLimit, what);  // any class: a definition follows
    if (tag.IsNew) ++r.classIndex;
    d.Attr = ReadEntAttr(r.in, r.version);
    d.Number = r.in.I32(what);
    d.Referenced = r.in.I32(what);
    d.Time = r.in.I32(what);
    if (d.Time < 0) {  // 8-byte time: replaced by the definition's position
      r.in.Skip(8, what);
      d.Time = static_cast<int32_t>(p);
    }
    d.Name = r.in.JwwString(what);
    d.EntityCount = r.in.Count(kMinTaggedEntity, {"the entity count of block definition", p});
    if (!r.in.Ok()) return false;
    ++r.classIndex;
    if (!ReadEntityList(r, d.EntityCount, ListsOf(d), p)) return false;
  }
  return r.in.Ok();
}

struct ListWriter {
  ByteSink& out;
  EntityWriter ar;
  uint32_t classes[9] = {};
  uint32_t classIndex = 1;

  void Tag(int32_t kind) {
    if (classes[kind] == 0) {
      out.NewClass(static_cast<uint16_t>(ar.version), kClassNames[kind]);
      classes[kind] = classIndex++;
    } else {
      out.ClassRef(classes[kind]);
    }
  }

  void Entities(const EntityLists& lists) {
    for (const TEntRef& ref : *lists.Order) {
      if (ref.Kind < kKindSen || ref.Kind > kKindBlock) continue;  // an entry without an entity writes nothing
      Tag(ref.Kind);
      if (!WriteEntity(ar, ref, lists)) {
        out.Fail("an order entry names no stored entity");
        return;
      }
      ++classIndex;
    }
  }
};

// Line types of kinds 1 and 2 and colours of kinds 1 to 6 in files older than 420.
uint8_t MapExtLineType(uint8_t style) {
  static constexpr uint8_t kMap[15] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};  // 31..45
  if (style >= 31 && style <= 45) return kMap[style - 31];
  if (style >= 46 && style <= 62) return 1;
  return style;
}

uint16_t MapExtColor(uint16_t color) {
  static constexpr uint8_t kMap[16] = {2, 8, 3, 6, 4, 5, 1, 2, 5, 8, 4, 3, 6, 5, 2, 2};  // 101..116
  if (color >= 101 && color <= 116) return kMap[color - 101];
  if (color >= 117 && color <= 356) return 2;
  return color;
}

bool In(unsigned v, unsigned lo, unsigned hi) { return v >= lo && v <= hi; }

}  // namespace

TEntAttr ReadEntAttr(ByteCursor& in, int32_t version) {
  const What what{"an attribute block"};
  TEntAttr a;
  a.GroupNo = in.U32(what);
  a.PenStyle = in.U8(what);
  a.PenColor = in.U16(what);
  if (version >= kVerPenWidth) a.PenWidth = in.U16(what);
  a.Layer = in.U16(what);
  a.LayerGroup = in.U16(what);
  a.Flags = in.U16(what);
  return a;
}

TEntAttr CheckEntAttr(int32_t version, int32_t kind, TEntAttr a) {
  if (version < kVerExtTypes) {
    if (kind == kKindSen || kind == kKindEnko) a.PenStyle = MapExtLineType(a.PenStyle);
    if (kind >= kKindSen && kind <= kKindSolid) a.PenColor = MapExtColor(a.PenColor);
  }
  const unsigned style = a.PenStyle;
  switch (kind) {
    case kKindSen:
    case kKindEnko:
      if (!(In(style, 1, 9) || In(style, 11, 19) || In(style, 31, 62))) a.PenStyle = 1;
      break;
    case kKindTen:
      if (style != 1 && style != kPenStyleCodedPoint) a.PenStyle = 1;
      break;
    case kKindMoji:
      if (!In(style, 1, 9)) a.PenStyle = 1;
      break;
    default: break;
  }
  const unsigned color = a.PenColor;
  if (kind >= kKindSen && kind <= kKindSunpo) {
    if (!(In(color, 1, 9) || In(color, 101, 356))) a.PenColor = 2;
  } else if (kind == kKindSolid) {
    if (!(In(color, 1, 10) || In(color, 101, 356))) a.PenColor = 2;
  }
  if (a.Layer > 15) a.Layer = 0;
  if (a.LayerGroup > 15) a.LayerGroup = 0;
  if (a.PenWidth > 30000) a.PenWidth = 0;
  return a;
}

void WriteEntAttr(ByteSink& out, int32_t version, int32_t kind, const TEntAttr& attr) {
  const TEntAttr a = CheckEntAttr(version, kind, attr);
  out.U32(a.GroupNo);
  out.U8(a.PenStyle);
  out.U16(a.PenColor);
  if (version >= kVerPenWidth) out.U16(a.PenWidth);
  out.U16(a.Layer);
  out.U16(a.LayerGroup);
  out.U16(a.Flags);
}

bool ReadBody(ByteCursor& in, int32_t version, const BodyFormat& format, uint32_t& entityCount, EntityLists main,
              std::vector<TEntBlockDef_>& blockDefs) {
  ListReader r{in, version, format.ClassNameLimit};
  entityCount = in.Count(kMinTaggedEntity, {"the entity count"});
  if (!in.Ok()) return false;
  if (!ReadEntityList(r, entityCount, main, -1)) return false;
  return ReadBlockDefList(r, blockDefs);
}

void WriteBodyLists(ByteSink& out, int32_t version, const BodyFormat& format, uint32_t entityCount,
                    EntityLists main, const std::vector<TEntBlockDef_>& blockDefs) {
  ListWriter w{out, EntityWriter{out, version, format.RewriteImagePrefixInTexts}};
  out.Count(entityCount);
  w.Entities(main);
  if (blockDefs.size() > UINT32_MAX) {
    out.Fail("too many block definitions");
    return;
  }
  out.Count(static_cast<uint32_t>(blockDefs.size()));
  for (const TEntBlockDef_& d : blockDefs) {
    if (!out.Ok()) return;
    w.Tag(kKindBlockDef);
    WriteEntAttr(out, version, kKindBlockDef, d.Attr);
    out.I32(d.Number);
    out.I32(d.Referenced);
    out.I32(d.Time);
    out.JwwString(CleanString(d.Name));
    out.Count(d.EntityCount);
    ++w.classIndex;
    w.Entities(ListsOf(d));
  }
}

// ---------------------------------------------------------------------------
// Bound images

bool IsSafeImageName(const std::string& name) {
  if (name == "." || name == "..") return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b == 0) return false;
    if (IsCp932LeadByte(b) && i + 1 < name.size()) {
      if (name[i + 1] == '\0') return false;
      ++i;  // a trail byte such as 0x5C is part of the character, not a separator
      continue;
    }
    if (b == '/' || b == '\\' || b == ':') return false;
  }
  return true;
}

std::string ImageReferenceOf(const std::string& text) {
  if (text.size() < kImagePrefixLength + 1 || text.compare(0, kImagePrefixLength, kImagePrefix) != 0) return {};
  const size_t comma = text.find(',', kImagePrefixLength);
  if (comma == std::string::npos) return {};
  return AnsiUpper(std::string_view(text).substr(kImagePrefixLength, comma - kImagePrefixLength));
}

void ClearTempImageFiles(TempImages& images) { images.TempImageFiles.clear(); }

void DeleteTempImageFiles(const TempImages& images) {
  for (const TBindImageType& image : images.TempImageFiles) {
    if (image.Name.empty()) continue;
    const std::filesystem::path file = images.TempFolder / image.Name;
    if (IsExistingFile(file)) DeleteFileQuietly(file);
  }
}

bool ReadImageSection(ByteCursor& in, TempImages& images) {
  ClearTempImageFiles(images);
  const uint64_t at = in.Offset();
  const int32_t count = in.I32({"the image count"});
  if (!in.Ok()) return false;
  if (count <= 0) return true;
  if (static_cast<uint64_t>(count) > in.Remaining() / kMinImage) {
    in.FailAt(at, "has an image count of " + std::to_string(count) + " at byte " + std::to_string(at) +
                      " that the bytes left cannot hold");
    return false;
  }
  images.TempImageFiles.reserve(std::min<size_t>(static_cast<size_t>(count), 1024));
  for (int32_t i = 0; i < count; ++i) {
    TBindImageType& image = images.TempImageFiles.emplace_back();
    const What what{"bound image", i + 1};
    const uint64_t nameAt = in.Offset();
    image.Name = in.JwwString(what);
    image.Size = in.I32(what);
    image.Used = false;
    if (!in.Ok()) return false;
    if (image.Name.empty() || image.Size == 0) continue;
    if (!IsSafeImageName(image.Name)) {
      in.FailAt(nameAt, "has a bound image whose name is not a plain file name at byte " + std::to_string(nameAt));
      return false;
    }
    const uint64_t size = image.Size > 0 ? static_cast<uint64_t>(image.Size) : 0;
    if (size > in.Remaining()) {
      in.FailAt(in.Offset(), "has a bound image of " + std::to_string(size) + " bytes at byte " +
                                 std::to_string(in.Offset()) + " but only " + std::to_string(in.Remaining()) +
                                 " bytes left");
      return false;
    }
    const std::filesystem::path file = images.TempFolder / image.Name;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
      in.Fail("cannot extract bound image " + std::to_string(i + 1) + " into " + images.TempFolder.string() + ": " +
              ErrnoText(errno));
      return false;
    }
    bool written = true;
    in.CopyTo(
        [&](const uint8_t* data, size_t n) {
          while (written && n > 0) {
            const ssize_t got = ::write(fd, data, n);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) written = false;
            else { data += got; n -= static_cast<size_t>(got); }
          }
        },
        size, what);
    if (::close(fd) != 0) written = false;
    // A file that could not be written whole is removed; its data has been read past,
    // so the next image is read in step.
    if (!written || !in.Ok()) DeleteFileQuietly(file);
    if (!in.Ok()) return false;
  }
  return true;
}

namespace {

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& data) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  data.clear();
  uint8_t piece[2048];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) { ok = false; break; }
    if (got == 0) break;
    data.insert(data.end(), piece, piece + got);
    if (data.size() > static_cast<size_t>(INT32_MAX)) { ok = false; break; }
  }
  ::close(fd);
  return ok;
}

void MarkUsed(const std::vector<TEntMoji>& texts, std::vector<TBindImageType>& files) {
  for (const TEntMoji& m : texts) {
    const std::string ref = ImageReferenceOf(m.Text);
    if (ref.empty()) continue;
    for (TBindImageType& image : files) {
      if (AnsiUpper(image.Name).starts_with(ref)) {
        image.Used = true;
        break;
      }
    }
  }
}

}  // namespace

void WriteImageSection(ByteSink& out, const std::vector<TEntMoji>& texts, const std::vector<TEntBlockDef_>& blockDefs,
                       TempImages& images) {
  auto& files = images.TempImageFiles;
  for (TBindImageType& image : files) image.Used = false;
  MarkUsed(texts, files);
  for (const TEntBlockDef_& d : blockDefs) MarkUsed(d.Texts, files);
  // Each image is read whole before the count is written, so the count always
  // matches the images that follow.
  std::vector<std::vector<uint8_t>> data;
  for (TBindImageType& image : files) {
    if (!image.Used) continue;
    const std::filesystem::path file = images.TempFolder / image.Name;
    if (image.Name.empty() || !IsExistingFile(file)) {
      image.Used = false;
      continue;
    }
    data.emplace_back();
    if (!ReadWholeFile(file, data.back())) {
      out.Fail("cannot read the extracted image " + file.string());
      return;
    }
  }
  out.I32(static_cast<int32_t>(data.size()));
  size_t next = 0;
  for (const TBindImageType& image : files) {
    if (!image.Used) continue;
    const std::vector<uint8_t>& bytes = data[next++];
    out.JwwString(image.Name);
    out.I32(static_cast<int32_t>(bytes.size()));
    for (size_t done = 0; done < bytes.size(); done += 2048)
      out.Raw(bytes.data() + done, std::min<size_t>(2048, bytes.size() - done));
  }
}

}  // namespace plm
