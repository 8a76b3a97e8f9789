#include "jww/jwwbody.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "jww/jwwentities.h"
#include "platform/memory.h"

namespace plm {
namespace {

// Class names by kind; index 8 is the block definition class.
constexpr std::string_view kClassNames[9] = {"",           "CDataSen",   "CDataEnko",  "CDataTen", "CDataMoji",
                                             "CDataSunpou", "CDataSolid", "CDataBlock", "CDataList"};

constexpr uint64_t kMinTaggedEntity = 2 + 33;  // tag and the smallest body (a point before 351)
constexpr uint64_t kMinBlockDef = 2 + 13 + 12 + 1 + 2;
struct ListReader {
  ByteCursor& in;
  int32_t version;
  size_t nameLimit;
  uint32_t classes[8] = {};  // remembered ClassIndex per entity kind, 0 = not seen
  uint32_t classIndex = 1;
  uint32_t lastIndex = 0;  // the class index last resolved, and its kind
  int32_t lastKind = kKindNone;
};

// After the first kMixSample entities of a long list, each kind list reserves room for
// its share of the rest, so large drawings are not copied again and again as the
// lists grow. Only a guess: a list that outgrows it grows as usual. The reservation
// stays within a small multiple of the bytes left in the file.
constexpr uint32_t kMixSample = 4096;

// The new room is advised for large pages before anything is written into it: first
// touches of fresh memory are most of what loading a large drawing costs.
template <class T>
void ReserveShare(std::vector<T>& list, uint32_t seen, uint32_t count, uint64_t bytesLeft) {
  const uint64_t share = static_cast<uint64_t>(list.size()) * (count - seen) / seen;
  const uint64_t wanted = list.size() + share + share / 16;
  if (share == 0 || wanted * sizeof(T) > 4 * bytesLeft) return;
  std::vector<T> room;
  room.reserve(static_cast<size_t>(wanted));
  AdviseLargePages(room.data(), room.capacity() * sizeof(T));
  std::move(list.begin(), list.end(), std::back_inserter(room));
  list.swap(room);
}

// count * sizeof(TEntRef) is bounded by the bytes left (the count was checked against
// them), so this never reserves for a hostile count.
void SizeOrderList(std::vector<TEntRef>& order, uint32_t count) {
  if (order.capacity() < count) {
    std::vector<TEntRef>().swap(order);
    order.reserve(count);
    AdviseLargePages(order.data(), order.capacity() * sizeof(TEntRef));
  }
  order.assign(count, TEntRef{});
}

void ReserveByMix(EntityLists& l, uint32_t seen, uint32_t count, uint64_t bytesLeft) {
  ReserveShare(l.SenList, seen, count, bytesLeft);
  ReserveShare(l.EnkoList, seen, count, bytesLeft);
  ReserveShare(l.TenList, seen, count, bytesLeft);
  ReserveShare(l.MojiList, seen, count, bytesLeft);
  ReserveShare(l.SunpoList, seen, count, bytesLeft);
  ReserveShare(l.SolidList, seen, count, bytesLeft);
  ReserveShare(l.BlockList, seen, count, bytesLeft);
}

// The kind of the declared class with index n; kKindNone when n names none.
int32_t KindOfIndex(ListReader& r, uint32_t n) {
  if (n != 0 && n == r.lastIndex) return r.lastKind;
  int32_t kind = kKindNone;
  for (int32_t k = kKindSen; k <= kKindBlock; ++k)
    if (n != 0 && r.classes[k] == n) kind = k;
  if (kind != kKindNone) r.lastIndex = n, r.lastKind = kind;
  return kind;
}

bool ReadEntityList(ListReader& r, uint32_t count, EntityLists& lists, int64_t blockDef) {
  SizeOrderList(lists.EntityOrder, count);
  What what;
  for (uint32_t n = 0; n < count && r.in.Ok(); ++n) {
    what = blockDef < 0 ? What{"entity", n} : What{"an entity of block definition", blockDef};
    const uint64_t at = r.in.Offset();
    int32_t kind = kKindNone;
    uint32_t ref = 0;
    ClassTag tag;
    if (r.in.ShortClassRef(ref)) {  // most entities: a 16-bit reference
      tag.Index = ref;
      kind = KindOfIndex(r, ref);
    } else {
      tag = r.in.Tag(r.nameLimit, what);
      if (!r.in.Ok()) return false;
      if (tag.IsNew) {
        for (int32_t k = kKindSen; k <= kKindBlock; ++k)
          if (tag.Name == kClassNames[k]) kind = k;
        if (kind != kKindNone) r.classes[kind] = r.classIndex;
        r.lastIndex = 0;  // an index may have lost its class
        ++r.classIndex;
      } else {
        kind = KindOfIndex(r, tag.Index);
      }
    }
    if (kind == kKindNone) {
      // Nothing tells the length of an unknown object: reading on would misread the rest.
      r.in.FailAt(at, "has an object of unknown class " +
                          (tag.IsNew ? "\"" + tag.Name + "\"" : "index " + std::to_string(tag.Index)) + " at byte " +
                          std::to_string(at) + " while reading " + DescribeWhat(what));
      return false;
    }
    const int32_t index = ReadEntityRecord(r.in, r.version, what, kind, lists);
    lists.EntityOrder[n] = TEntRef{kind, index};
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
    if (!ReadEntityList(r, d.EntityCount, d, p)) return false;
  }
  return r.in.Ok();
}

struct ListWriter {
  ByteSink& out;
  int32_t version;
  bool rewriteImagePrefix;
  uint32_t classes[9] = {};
  uint32_t classIndex = 1;

  void Tag(int32_t kind) {
    if (classes[kind] == 0) {
      out.NewClass(static_cast<uint16_t>(version), kClassNames[kind]);
      classes[kind] = classIndex++;
    } else {
      out.ClassRef(classes[kind]);
    }
  }

  void Entities(const EntityLists& lists) {
    for (const TEntRef& ref : lists.EntityOrder) {
      if (ref.Kind < kKindSen || ref.Kind > kKindBlock) continue;  // an entry without an entity writes nothing
      Tag(ref.Kind);
      if (!WriteEntityRecord(out, version, rewriteImagePrefix, ref, lists)) {
        out.Fail("an order entry names no stored entity");
        return;
      }
      ++classIndex;
    }
  }
};

}  // namespace

bool ReadBody(ByteCursor& in, int32_t version, const BodyFormat& format, DrawingBody& body) {
  ListReader r{in, version, format.ClassNameLimit};
  body.EntityCount = in.Count(kMinTaggedEntity, {"the entity count"});
  if (!in.Ok()) return false;
  if (!ReadEntityList(r, body.EntityCount, body, -1)) return false;
  return ReadBlockDefList(r, body.BlockDefList);
}

void WriteBodyLists(ByteSink& out, int32_t version, const BodyFormat& format, const DrawingBody& body) {
  const std::vector<TEntBlockDef_>& blockDefs = body.BlockDefList;
  ListWriter w{out, version, format.RewriteImagePrefixInTexts};
  out.Count(body.EntityCount);
  w.Entities(body);
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
    WriteCleanString(out, d.Name);
    out.Count(d.EntityCount);
    ++w.classIndex;
    w.Entities(d);
  }
}

}  // namespace plm
