#pragma once
// JWK figures: memo reader (the format is only listed, never converted).
#include <filesystem>
#include <string>

namespace plm {
namespace jwk {

struct THeader {
  std::string Signature;  // at most 40 bytes, as read
  std::string MemoPart1;  // 32 bytes as read
  std::string MemoPart2;  // 32 bytes as read
};

}  // namespace jwk

// Reads the 400-byte text header; true when all of it was there.
bool ReadJwkMemo(jwk::THeader& header, const std::filesystem::path& path);
void ClearJwkData(jwk::THeader& header);

}  // namespace plm
