#pragma once
// The seven entity records, read and written field by field in file order.
#include <cstddef>
#include <cstdint>

#include "jww/jwtype.h"
#include "jww/jwwio.h"

namespace plm {

// Reads the body of one record of `kind` (1..7) after its class tag, appends it to
// its kind list and returns its position there; -1 for any other kind.
int32_t ReadEntityRecord(ByteCursor& in, int32_t version, What what, int32_t kind, EntityLists& lists);

// Writes the record an order entry names, with the attribute check and the string
// filter applied on copies. False when the entry names no stored record.
bool WriteEntityRecord(ByteSink& out, int32_t version, bool rewriteImagePrefix, const TEntRef& ref,
                       const EntityLists& lists);

// For the fixed records (lines, arcs, points, solids, block insertions): the length
// of the record body at `p`, of which at least `available` bytes are there, when
// writing it back would give exactly these bytes, because the attribute check
// changes nothing in it; 0 for any other kind, a record that would change, or
// fewer bytes than the kind's longest record. No field but the attribute is looked at.
size_t VerbatimRecordLength(const uint8_t* p, size_t available, int32_t version, int32_t kind);
// The most VerbatimRecordLength ever gives.
constexpr size_t kMaxVerbatimRecord = 15 + 8 * 8 + 4;

}  // namespace plm
