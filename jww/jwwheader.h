#pragma once
// Reading steps of the JWW header, shared by the loader and the memo reader.
#include "jww/jwwunit.h"

namespace plm {

void ReadJwwSignatureAndVersion(ByteCursor& in, THeader& h);
// Blocks 1 to 19 (1 to 16 when `throughSwitches`) for doc.Header.Version.
void ReadJwwHeaderBlocks(ByteCursor& in, JwwDocument& doc, bool throughSwitches);

}  // namespace plm
