#pragma once
// The seven entity records, read and written field by field in file order.
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

}  // namespace plm
