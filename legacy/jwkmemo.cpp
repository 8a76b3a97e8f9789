#include "legacy/jwkmemo.h"

#include "legacy/textheader.h"

namespace plm {

// Line 1 has the JWC layout; there is no signature test.
bool ReadJwkMemo(jwk::THeader& header, const std::filesystem::path& path) {
  ClearJwkData(header);
  return ReadTextHeader(header, path, 2);
}

void ClearJwkData(jwk::THeader& header) { header = jwk::THeader{}; }

}  // namespace plm
