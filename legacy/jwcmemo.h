#pragma once
// JWC drawings: signature probe and memo reader (the format is only listed, never converted).
#include <filesystem>
#include <string>

namespace plm {
namespace jwc {

struct THeader {
  std::string Signature;  // at most 40 bytes, as read
  std::string MemoPart1;  // 32 bytes as read
  std::string MemoPart2;  // 32 bytes as read
};

}  // namespace jwc

// True when the file's first 20 bytes are "jw_cad(c)data.......".
bool IsJwcFile(const std::filesystem::path& path);
// Reads the 800-byte text header; true when all of it was there.
bool ReadJwcMemo(jwc::THeader& header, const std::filesystem::path& path);
void ClearJwcData(jwc::THeader& header);

}  // namespace plm
