#include "legacy/jwcmemo.h"

#include <string_view>

#include "jww/bytesink.h"
#include "legacy/textheader.h"

namespace plm {
namespace {

constexpr std::string_view kJwcSignature = "jw_cad(c)data.......";
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
  return ReadTextHeader(header, path, kJwcHeaderLines);
}

void ClearJwcData(jwc::THeader& header) { header = jwc::THeader{}; }

}  // namespace plm
