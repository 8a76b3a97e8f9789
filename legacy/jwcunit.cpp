#include "legacy/jwcunit.h"

#include <string_view>

#include "jww/jwwio.h"

namespace plm {
namespace {

constexpr std::string_view kJwcSignature = "jw_cad(c)data.......";
constexpr size_t kLineLength = 200;
constexpr size_t kJwcHeaderLines = 4;

}  // namespace

bool IsJwcFile(const std::filesystem::path& path) {
  ByteCursor in;
  char head[20];
  if (!in.OpenFile(path) || !in.Read(head, sizeof head, {"the JWC signature"})) return false;
  in.Close();
  // The signature holds no zero byte, so text cut at the first zero byte equals it
  // only when all 20 bytes do.
  std::string_view text(head, sizeof head);
  text = text.substr(0, text.find('\0'));
  return text == kJwcSignature;
}

bool ReadJwcMemo(jwc::THeader& header, const std::filesystem::path& path) {
  ClearJwcData(header);
  ByteCursor in;
  if (!in.OpenFile(path)) return false;
  char lines[kJwcHeaderLines][kLineLength];
  for (size_t i = 0; i < kJwcHeaderLines; ++i) {
    if (!in.Read(lines[i], kLineLength, {"a JWC header line"})) return false;
  }
  in.Close();
  const std::string_view line1(lines[0], kLineLength);
  header.Signature.assign(line1.substr(0, 40));
  header.MemoPart1.assign(line1.substr(40, 32));
  header.MemoPart2.assign(line1.substr(72, 32));
  return true;
}

void ClearJwcData(jwc::THeader& header) { header = jwc::THeader{}; }

}  // namespace plm
