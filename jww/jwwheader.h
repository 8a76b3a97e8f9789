#pragma once
// Reading steps of the JWW header, shared by the loader and the memo reader.
#include "jww/jwwdocument.h"

namespace plm {

void ReadJwwSignatureAndVersion(ByteCursor& in, THeader& h);
// Blocks 1 to 19 for doc.Header.Version; with `throughSwitches` (the memo reader)
// blocks 1 to 16, stepping over the names without keeping them.
void ReadJwwHeaderBlocks(ByteCursor& in, JwwDocument& doc, bool throughSwitches);

}  // namespace plm
