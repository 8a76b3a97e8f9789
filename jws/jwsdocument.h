#pragma once
// The JWS figure file: a short header of its own, then the body of a JWW drawing.
#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "jww/drawingbody.h"
#include "jww/bytesink.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"

namespace plm {

constexpr size_t kJwsSignatureLength = 7;
constexpr size_t kJwsFillerLength = 193;
constexpr size_t kJwsClassNameLimit = 200;

// One loaded JWS figure, kept apart from the JWW document.
struct JwsDocument : DrawingBody {
  std::string Signature;  // the 7 header bytes as read
  int32_t Version = 0;
  std::array<double, 2> LeadReals{};
  std::array<TLayerGroup, 16> LayerGroups{};  // only Scale is carried
  std::array<int32_t, 6> HeaderInts{};
  std::array<double, 10> HeaderReals{};
  uint32_t BlockDefCount = 0;
};

// Releases everything and sets every header field to zero.
void ClearJwsData(JwsDocument& doc);
// Reads header, entity list and block definition list. On false, `failure` (when
// given) says why; the document then holds what was read so far.
bool LoadJwsFile(JwsDocument& doc, const std::filesystem::path& path, ReadFailure* failure = nullptr);
bool LoadJwsBytes(JwsDocument& doc, std::span<const uint8_t> bytes, ReadFailure* failure = nullptr);

// The version a figure of `version` is written in: 230 and below become 230, 300
// becomes 351.
int32_t JwsOutputVersion(int32_t version);
// Writes the figure in JwsOutputVersion(version). A failed write leaves no file.
bool SaveJwsFile(const JwsDocument& doc, const std::filesystem::path& path, int32_t version,
                 std::string* why = nullptr);
void WriteJwsFile(ByteSink& out, const JwsDocument& doc, int32_t version);

// What the spacing rule sees of a figure: its body alone (it has no text-type table).
inline SpacingSubject SpacingSubjectOf(JwsDocument& doc) { return {doc, {}}; }
inline SpacingView SpacingViewOf(const JwsDocument& doc) { return {doc, {}}; }

// True when the file's first 7 bytes are "JwsData".
bool IsJwsFile(const std::filesystem::path& path);

}  // namespace plm
