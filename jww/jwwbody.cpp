#include "jww/jwwbody.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "jww/jwwentities.h"
#include "platform/memory.h"
#include "platform/workerpool.h"

namespace plm {
namespace {

// Class names by kind; index 8 is the block definition class.
constexpr std::string_view kClassNames[9] = {"",           "CDataSen",   "CDataEnko",  "CDataTen", "CDataMoji",
                                             "CDataSunpou", "CDataSolid", "CDataBlock", "CDataList"};

constexpr uint64_t kMinTaggedEntity = 2 + 33;  // tag and the smallest body (a point before 351)
constexpr uint64_t kMinBlockDef = 2 + 13 + 12 + 1 + 2;
// The class numbering of ListWriter as it stands when it reaches each entity: the
// reading side of a streamed body keeps it, seeing the entities and definition heads
// in the order they are written.
struct WriterNumbering {
  uint32_t classes[9] = {};
  uint32_t classIndex = 1;
  // As ListWriter::Tag and the object after it.
  void Object(int32_t kind) {
    if (classes[kind] == 0) classes[kind] = classIndex++;
    ++classIndex;
  }
};

// Records a streamed piece carries as their bytes: each run of them is written with
// as few copies as it allows. Order entry `First` of a run names it (kind
// kKindVerbatimRun, the run's index); the entries of the run's other entities name
// nothing. The records of the fixed-length kinds are taken on their length alone and
// checked by the writing side, which rewrites the few the attribute check would
// change; texts and dimensions are checked before they are taken.
constexpr int32_t kKindVerbatimRun = -1;
struct VerbatimRecord {
  size_t End;  // in Bytes, where its tag and body end
  int32_t Kind;
  bool Checked;
};
struct VerbatimRun {
  size_t Begin, End;  // in Bytes
  uint32_t First, Entities;
  size_t FirstRecord;  // in Records
};
struct VerbatimRecords {
  static constexpr size_t kCapacity = kStreamPiece * (2 + kMaxVerbatimFixed);
  std::unique_ptr<uint8_t[]> Bytes;  // kCapacity, and room to look at a fixed-length record's longest form
  size_t Used = 0;
  std::vector<VerbatimRecord> Records;
  std::vector<VerbatimRun> Runs;
  void Clear() {
    if (!Bytes) Bytes = std::make_unique_for_overwrite<uint8_t[]>(kCapacity + kMaxVerbatimFixed);
    Used = 0;
    Records.clear();
    Runs.clear();
  }
};

// A piece of a streamed body: its decoded records and those kept as their bytes.
struct StreamPiece {
  EntityLists Lists;
  VerbatimRecords Verbatim;
};

struct ListReader {
  ByteCursor& in;
  int32_t version;
  size_t nameLimit;
  uint32_t classes[8] = {};  // remembered ClassIndex per entity kind, 0 = not seen
  uint32_t classIndex = 1;
  uint32_t lastIndex = 0;  // the class index last resolved, and its kind
  int32_t lastKind = kKindNone;
  WriterNumbering* writer = nullptr;  // when streaming: the writer's numbering
};

// A record whose tag and body the writer would give back byte for byte is kept as
// its bytes: its tag is the 16-bit reference the writer uses for its kind, and, for
// a text or a dimension, neither the writer nor the spacing rule would change
// anything in it (see VerbatimRecordLength); a record of a fixed-length kind is
// checked by the writing side. Nothing the rule counts or the image section needs
// is in such a record, so nothing is lost by not decoding it. A record that is not
// all in the buffer is decoded, so a cut file fails exactly where a load fails.
bool TakeVerbatim(ListReader& r, VerbatimRecords& v, uint32_t entity, int32_t kind, uint32_t ref) {
  if (r.writer->classes[kind] != ref || ref == 0) return false;
  const std::span<const uint8_t> buffered = r.in.Buffered();
  const uint8_t* body = buffered.data();
  const bool text = kind == kKindText || kind == kKindDimension;
  const size_t length = text ? VerbatimRecordLength(body, buffered.size(), r.version, kind)
                             : FixedRecordLength(body, buffered.size(), r.version, kind);
  // Room for the record, and for the fixed-size copy of a short one.
  if (length == 0 || VerbatimRecords::kCapacity - v.Used < 2 + std::max(length, kMaxVerbatimFixed)) return false;
  uint8_t* to = v.Bytes.get() + v.Used;
  const uint16_t tag = static_cast<uint16_t>(0x8000u + ref);
  to[0] = static_cast<uint8_t>(tag);
  to[1] = static_cast<uint8_t>(tag >> 8);
  // Most records are short: one fixed-size copy, whose bytes past the record are
  // written over by the next one.
  if (length <= kMaxVerbatimFixed && buffered.size() >= kMaxVerbatimFixed) {
    std::memcpy(to + 2, body, kMaxVerbatimFixed);
  } else {
    std::memcpy(to + 2, body, length);
  }
  r.in.Advance(length);
  v.Used += 2 + length;
  if (!v.Runs.empty() && v.Runs.back().First + v.Runs.back().Entities == entity) {
    v.Runs.back().End = v.Used;
    ++v.Runs.back().Entities;
  } else {
    v.Runs.push_back({v.Used - 2 - length, v.Used, entity, 1, v.Records.size()});
  }
  v.Records.push_back({v.Used, kind, text});
  return true;
}

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

// count * sizeof(EntityRef) is bounded by the bytes left (the count was checked against
// them), so this never reserves for a hostile count.
void SizeOrderList(std::vector<EntityRef>& order, uint32_t count) {
  if (order.capacity() < count) {
    std::vector<EntityRef>().swap(order);
    order.reserve(count);
    AdviseLargePages(order.data(), order.capacity() * sizeof(EntityRef));
  }
  order.assign(count, EntityRef{});
}

void ReserveByMix(EntityLists& l, uint32_t seen, uint32_t count, uint64_t bytesLeft) {
  ReserveShare(l.LineList, seen, count, bytesLeft);
  ReserveShare(l.ArcList, seen, count, bytesLeft);
  ReserveShare(l.PointList, seen, count, bytesLeft);
  ReserveShare(l.TextList, seen, count, bytesLeft);
  ReserveShare(l.DimensionList, seen, count, bytesLeft);
  ReserveShare(l.SolidList, seen, count, bytesLeft);
  ReserveShare(l.BlockInsertList, seen, count, bytesLeft);
}

// The kind of the declared class with index n; kKindNone when n names none.
int32_t KindOfIndex(ListReader& r, uint32_t n) {
  if (n != 0 && n == r.lastIndex) return r.lastKind;
  int32_t kind = kKindNone;
  for (int32_t k = kKindLine; k <= kKindBlockInsert; ++k)
    if (n != 0 && r.classes[k] == n) kind = k;
  if (kind != kKindNone) r.lastIndex = n, r.lastKind = kind;
  return kind;
}

// Entities first .. first + n - 1 of a list of `count` into `lists`, whose
// EntityOrder already holds n entries for them. `reserveForRest` lets the kind lists
// reserve room for the rest of a long list once its mix is known.
bool ReadEntities(ListReader& r, uint32_t first, uint32_t n, uint32_t count, EntityLists& lists, int64_t blockDef,
                  bool reserveForRest, VerbatimRecords* verbatim = nullptr) {
  What what;
  for (uint32_t i = 0; i < n && r.in.Ok(); ++i) {
    const uint32_t number = first + i;
    what = blockDef < 0 ? What{"entity", number} : What{"an entity of block definition", blockDef};
    const uint64_t at = r.in.Offset();
    int32_t kind = kKindNone;
    uint32_t ref = 0;
    ClassTag tag;
    if (r.in.ShortClassRef(ref)) {  // most entities: a 16-bit reference
      tag.Index = ref;
      kind = KindOfIndex(r, ref);
      if (verbatim && kind != kKindNone && TakeVerbatim(r, *verbatim, i, kind, ref)) {
        if (verbatim->Runs.back().Entities == 1)
          lists.EntityOrder[i] = EntityRef{kKindVerbatimRun, static_cast<int32_t>(verbatim->Runs.size() - 1)};
        r.writer->Object(kind);
        ++r.classIndex;
        continue;
      }
    } else {
      tag = r.in.Tag(r.nameLimit, what);
      if (!r.in.Ok()) return false;
      if (tag.IsNew) {
        for (int32_t k = kKindLine; k <= kKindBlockInsert; ++k)
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
    lists.EntityOrder[i] = EntityRef{kind, index};
    if (r.writer) r.writer->Object(kind);
    ++r.classIndex;
    if (reserveForRest && number + 1 == kMixSample && count >= 2 * kMixSample)
      ReserveByMix(lists, number + 1, count, r.in.Remaining());
  }
  return r.in.Ok();
}

bool ReadEntityList(ListReader& r, uint32_t count, EntityLists& lists, int64_t blockDef) {
  SizeOrderList(lists.EntityOrder, count);
  return ReadEntities(r, 0, count, count, lists, blockDef, true);
}

// A block definition up to its entity list; the definition's lists stay as they are.
bool ReadBlockDefHead(ListReader& r, uint32_t p, BlockDefinition& d) {
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
  return true;
}

bool ReadBlockDefList(ListReader& r, std::vector<BlockDefinition>& defs) {
  const uint32_t count = r.in.Count(kMinBlockDef, {"the block definition count"});
  defs.clear();
  if (!r.in.Ok()) return false;
  // Grown as definitions are read, so memory follows the bytes actually present.
  defs.reserve(std::min<uint32_t>(count, 1024));
  for (uint32_t p = 1; p <= count && r.in.Ok(); ++p) {
    BlockDefinition& d = defs.emplace_back();
    if (!ReadBlockDefHead(r, p, d)) return false;
    if (!ReadEntityList(r, d.EntityCount, d, p)) return false;
  }
  return r.in.Ok();
}

// Empties the kind lists, keeping their room.
void ClearLists(EntityLists& l) {
  l.LineList.clear();
  l.ArcList.clear();
  l.PointList.clear();
  l.TextList.clear();
  l.DimensionList.clear();
  l.SolidList.clear();
  l.BlockInsertList.clear();
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

  // A block definition up to its entity list.
  void BlockDefHead(const BlockDefinition& d) {
    Tag(kKindBlockDefinition);
    WriteEntAttr(out, version, kKindBlockDefinition, d.Attr);
    out.I32(d.Number);
    out.I32(d.Referenced);
    out.I32(d.Time);
    WriteCleanString(out, d.Name);
    out.Count(d.EntityCount);
    ++classIndex;
  }

  // One order entry; false when it names no stored entity.
  bool Entity(const EntityRef& ref, const EntityLists& lists) {
    if (ref.Kind < kKindLine || ref.Kind > kKindBlockInsert) return true;  // an entry without an entity writes nothing
    Tag(ref.Kind);
    if (!WriteEntityRecord(out, version, rewriteImagePrefix, ref, lists)) return false;
    ++classIndex;
    return true;
  }

  void Entities(const EntityLists& lists) {
    for (const EntityRef& ref : lists.EntityOrder) {
      if (!Entity(ref, lists)) {
        out.Fail("an order entry names no stored entity");
        return;
      }
    }
  }

  // The entities of a streamed piece. A run of records kept as their bytes is
  // written as it is, its tags being the ones Tag gives, but for the records the
  // attribute check changes: those are read back and written as any other.
  void Piece(const StreamPiece& piece) {
    const VerbatimRecords& v = piece.Verbatim;
    for (const EntityRef& ref : piece.Lists.EntityOrder) {
      if (ref.Kind != kKindVerbatimRun) {
        if (!Entity(ref, piece.Lists)) {
          out.Fail("an order entry names no stored entity");
          return;
        }
        continue;
      }
      const VerbatimRun& run = v.Runs[static_cast<size_t>(ref.Index)];
      size_t from = run.Begin, at = run.Begin;
      for (size_t k = run.FirstRecord; k < run.FirstRecord + run.Entities; ++k) {
        const VerbatimRecord& record = v.Records[k];
        const uint8_t* body = v.Bytes.get() + at + 2;
        const size_t length = record.End - at - 2;
        if (!record.Checked && VerbatimRecordLength(body, kMaxVerbatimFixed, version, record.Kind) != length) {
          out.Raw(v.Bytes.get() + from, at - from);
          if (!Rewrite(body, length, record.Kind)) return;
          from = record.End;
        }
        at = record.End;
      }
      out.Raw(v.Bytes.get() + from, run.End - from);
      classIndex += run.Entities;
    }
  }

  EntityLists scratch{};  // the record Rewrite reads back

  // A record kept as its bytes, read back and written with the attribute check.
  bool Rewrite(const uint8_t* body, size_t length, int32_t kind) {
    ByteCursor in;
    in.OpenMemory(std::span<const uint8_t>(body, length));
    ClearLists(scratch);
    const int32_t index = ReadEntityRecord(in, version, What{"a copied entity"}, kind, scratch);
    if (index < 0 || !in.Ok() || in.Remaining() != 0) {
      out.Fail("a copied entity could not be read back");
      return false;
    }
    Tag(kind);
    return WriteEntityRecord(out, version, rewriteImagePrefix, EntityRef{kind, index}, scratch);
  }
};

// Empties a piece, keeping its room for the next piece.
void ClearPiece(StreamPiece& piece, uint32_t n) {
  ClearLists(piece.Lists);
  piece.Lists.EntityOrder.assign(n, EntityRef{});
  piece.Verbatim.Clear();
}

// The writing half of a streamed body. Its steps are taken in the order they are
// handed over, either at once on the calling thread or, for a large body, by a
// worker of its own while the caller reads on; the pieces go round a few buffers,
// so memory stays a few pieces however large the body is. Only the writing side
// touches the sink, the writer's class state and `fix`'s results until Close.
class BodyWriterLine {
 public:
  BodyWriterLine(ListWriter& w, const PieceFix& fix, bool threaded) : w_(w), fix_(fix) {
    if (threaded) writer_.emplace(1);
  }
  BodyWriterLine(const BodyWriterLine&) = delete;
  BodyWriterLine& operator=(const BodyWriterLine&) = delete;

  // A piece to read into, emptied and with n order entries; waits until the writing
  // side is done with it.
  StreamPiece& FreePiece(uint32_t n) {
    const size_t slot = nextSlot_;
    nextSlot_ = (nextSlot_ + 1) % kPieces;
    if (written_[slot].valid()) written_[slot].get();
    ClearPiece(pieces_[slot], n);
    return pieces_[slot];
  }
  void Count(uint32_t n) { Hand(Step(Step::Count, n)); }
  void DefHead(const BlockDefinition& d) {
    Step step(Step::DefHead);
    step.head.Attr = d.Attr;
    step.head.Number = d.Number;
    step.head.Referenced = d.Referenced;
    step.head.Time = d.Time;
    step.head.Name = d.Name;
    step.head.EntityCount = d.EntityCount;
    Hand(std::move(step));
  }
  // Hands over the piece FreePiece gave last, read in full.
  void Piece(const StreamPiece& piece, bool inBlockDef) {
    Step step(Step::Piece);
    step.slot = static_cast<size_t>(&piece - pieces_);
    step.inBlockDef = inBlockDef;
    const size_t slot = step.slot;
    written_[slot] = Hand(std::move(step));
  }
  // Returns once every step handed over has been taken; throws what a step threw.
  void Close() {
    if (!writer_) return;
    writer_->Wait();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  static constexpr size_t kPieces = 6;
  struct Step {
    enum Kind { Count, DefHead, Piece };
    explicit Step(Kind k, uint32_t n = 0) : kind(k), count(n) {}
    Kind kind;
    uint32_t count;
    BlockDefinition head;  // its head fields only
    size_t slot = 0;
    bool inBlockDef = false;
  };

  // Taken at once without a worker; otherwise the future is settled once it is taken.
  std::future<void> Hand(Step step) {
    if (!writer_) {
      Take(step);
      return {};
    }
    return writer_->Submit([this, step = std::move(step)](int) {
      if (failure_) return;  // the steps after a failed one are not taken
      try {
        Take(step);
      } catch (...) {
        failure_ = std::current_exception();
      }
    });
  }

  void Take(const Step& step) {
    switch (step.kind) {
      case Step::Count:
        w_.out.Count(step.count);
        break;
      case Step::DefHead:
        if (w_.out.Ok()) w_.BlockDefHead(step.head);
        break;
      case Step::Piece:
        fix_(pieces_[step.slot].Lists, step.inBlockDef);
        if (w_.out.Ok()) w_.Piece(pieces_[step.slot]);
        break;
    }
  }

  ListWriter& w_;
  const PieceFix& fix_;
  StreamPiece pieces_[kPieces];
  std::future<void> written_[kPieces];  // of each piece's last hand-over
  size_t nextSlot_ = 0;
  std::exception_ptr failure_;  // the first a step threw; touched by the writing side until Close
  // Declared last: it goes first, so its running step never outlives what it uses.
  std::optional<WorkerPool> writer_;
};

// A list of `count` entities, read a piece at a time and handed to the writing side.
bool StreamEntities(ListReader& r, BodyWriterLine& line, uint32_t count, int64_t blockDef) {
  for (uint32_t first = 0; first < count; first += kStreamPiece) {
    const uint32_t n = std::min(kStreamPiece, count - first);
    StreamPiece& piece = line.FreePiece(n);
    if (!ReadEntities(r, first, n, count, piece.Lists, blockDef, false, &piece.Verbatim)) return false;
    line.Piece(piece, blockDef >= 0);
  }
  return r.in.Ok();
}

// Bodies from this size on are written on a thread of their own while they are read.
constexpr uint64_t kThreadedBodyBytes = uint64_t{4} << 20;

bool StreamBodyLists(ListReader& r, BodyWriterLine& line) {
  ByteCursor& in = r.in;
  const uint32_t count = in.Count(kMinTaggedEntity, {"the entity count"});
  if (!in.Ok()) return false;
  line.Count(count);
  if (!StreamEntities(r, line, count, -1)) return false;
  const uint32_t defs = in.Count(kMinBlockDef, {"the block definition count"});
  if (!in.Ok()) return false;
  line.Count(defs);
  BlockDefinition d;
  for (uint32_t p = 1; p <= defs; ++p) {
    if (!ReadBlockDefHead(r, p, d)) return false;
    r.writer->Object(kKindBlockDefinition);
    line.DefHead(d);
    if (!StreamEntities(r, line, d.EntityCount, p)) return false;
  }
  return in.Ok();
}

}  // namespace

bool ReadBody(ByteCursor& in, int32_t version, const BodyFormat& format, DrawingBody& body) {
  ListReader r{in, version, format.ClassNameLimit};
  body.EntityCount = in.Count(kMinTaggedEntity, {"the entity count"});
  if (!in.Ok()) return false;
  if (!ReadEntityList(r, body.EntityCount, body, -1)) return false;
  return ReadBlockDefList(r, body.BlockDefinitionList);
}

void WriteBodyLists(ByteSink& out, int32_t version, const BodyFormat& format, const DrawingBody& body) {
  const std::vector<BlockDefinition>& blockDefs = body.BlockDefinitionList;
  ListWriter w{out, version, format.RewriteImagePrefixInTexts};
  out.Count(body.EntityCount);
  w.Entities(body);
  if (blockDefs.size() > UINT32_MAX) {
    out.Fail("too many block definitions");
    return;
  }
  out.Count(static_cast<uint32_t>(blockDefs.size()));
  for (const BlockDefinition& d : blockDefs) {
    if (!out.Ok()) return;
    w.BlockDefHead(d);
    w.Entities(d);
  }
}

}  // namespace plm

namespace plm {

bool StreamBody(ByteCursor& in, ByteSink& out, int32_t version, const BodyFormat& format, const PieceFix& fix,
                const std::function<bool()>& afterRead) {
  ListReader r{in, version, format.ClassNameLimit};
  WriterNumbering numbering;
  r.writer = &numbering;
  ListWriter w{out, version, format.RewriteImagePrefixInTexts};
  BodyWriterLine line(w, fix, in.Remaining() >= kThreadedBodyBytes);
  const bool ok = StreamBodyLists(r, line) && (!afterRead || afterRead());
  line.Close();
  return ok;
}

}  // namespace plm
