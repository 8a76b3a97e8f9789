#pragma once
// The text header JWC drawings and JWK figures begin with: lines of 200 bytes, the
// first holding a 40-byte signature field and two 32-byte memo fields.
#include <filesystem>
#include <string_view>

#include "jww/bytesink.h"

namespace plm {

constexpr size_t kTextHeaderLineLength = 200;

// True when all `lineCount` lines were there; the fields are then copied byte for byte.
template <class Header>
bool ReadTextHeader(Header& header, const std::filesystem::path& path, size_t lineCount) {
  ByteCursor in;
  if (!in.OpenFile(path)) return false;
  char line1[kTextHeaderLineLength];
  if (!in.Read(line1, sizeof line1, {"the first header line"})) return false;
  if (!in.Skip((lineCount - 1) * kTextHeaderLineLength, {"the header lines"})) return false;
  const std::string_view text(line1, sizeof line1);
  header.Signature.assign(text.substr(0, 40));
  header.MemoPart1.assign(text.substr(40, 32));
  header.MemoPart2.assign(text.substr(72, 32));
  return true;
}

}  // namespace plm
