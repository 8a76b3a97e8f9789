#include "legacy/jwkunit.h"

#include <string_view>

#include "jww/jwwio.h"

namespace plm {
namespace {

constexpr size_t kLineLength = 200;
constexpr size_t kJwkHeaderLines = 2;

}  // namespace

bool ReadJwkMemo(jwk::THeader& header, const std::filesystem::path& path) {
  ClearJwkData(header);
  ByteCursor in;
  if (!in.OpenFile(path)) return false;
  char lines[kJwkHeaderLines][kLineLength];
  for (size_t i = 0; i < kJwkHeaderLines; ++i) {
    if (!in.Read(lines[i], kLineLength, {"a JWK header line"})) return false;
  }
  in.Close();
  // Line 1 has the JWC layout; there is no signature test.
  const std::string_view line1(lines[0], kLineLength);
  header.Signature.assign(line1.substr(0, 40));
  header.MemoPart1.assign(line1.substr(40, 32));
  header.MemoPart2.assign(line1.substr(72, 32));
  return true;
}

void ClearJwkData(jwk::THeader& header) { header = jwk::THeader{}; }

}  // namespace plm
