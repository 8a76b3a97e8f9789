#pragma once
// The seven entity records, read and written field by field in file order.
#include <cstddef>
#include <cstdint>

#include "jww/drawingbody.h"
#include "jww/bytesink.h"

namespace plm {

// Reads the body of one record of `kind` (1..7) after its class tag, appends it to
// its kind list and returns its position there; -1 for any other kind.
int32_t ReadEntityRecord(ByteCursor& in, int32_t version, What what, int32_t kind, EntityLists& lists);

// Writes the record an order entry names, with the attribute check and the string
// filter applied on copies. False when the entry names no stored record.
bool WriteEntityRecord(ByteSink& out, int32_t version, bool rewriteImagePrefix, const EntityRef& ref,
                       const EntityLists& lists);

// The length of the record body at `p`, of which `available` bytes are there, when
// writing it back would give exactly these bytes: its attributes pass the check
// unchanged, its strings are clean and in the short form, and for a text or a
// dimension the spacing rule leaves it as it is (a spacing that is not negative, and
// no bound image named). 0 otherwise, and also when the record, or the longest form
// of a fixed-length kind, is not all there.
size_t VerbatimRecordLength(const uint8_t* p, size_t available, int32_t version, int32_t kind);
// The length of the record body at `p` of a fixed-length kind (lines, arcs,
// points, solids, block insertions), read from its attribute alone; 0 for any other
// kind, or when fewer bytes than the kind's longest form are there.
size_t FixedRecordLength(const uint8_t* p, size_t available, int32_t version, int32_t kind);
// The longest record of the fixed-length kinds (lines, arcs, points, solids, block
// insertions).
constexpr size_t kMaxVerbatimFixed = 15 + 8 * 8 + 4;

}  // namespace plm
