#include "shell/formats.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "platform/fsutil.h"
#include "platform/paths.h"
#include "platform/textfilters.h"
#include "shell/filelist.h"

namespace plm {
namespace {

// --- JWW drawings

bool LoadJww(ShellState& s, const std::filesystem::path& path, ReadFailure* failure) {
  return LoadJwwFile(s.Jww, s.Images, path, failure);
}
bool LoadJwwFromBytes(ShellState& s, std::span<const uint8_t> bytes, ReadFailure* failure) {
  return LoadJwwBytes(s.Jww, s.Images, bytes, failure);
}
int32_t JwwVersion(const ShellState& s) { return s.Jww.Header.Version; }
SpacingView JwwSubject(const ShellState& s) { return SpacingViewOf(s.Jww); }
SpacingChanges ApplyJww(ShellState& s) { return ApplySpacingRule(SpacingSubjectOf(s.Jww), s.Options); }
// Runs while the extracted images are still there, as the save does.
void EncodeJww(ByteSink& out, ShellState& s, int32_t version) {
  WriteJwwHeader(out, s.Jww, version);
  WriteJwwBody(out, s.Jww, s.Images, version);
}
bool LoadWrittenJww(const ShellState& s, std::span<const uint8_t> bytes, int32_t version, ReadFailure& why) {
  // Bound images of the read-back drawing go to a folder of their own (removed with
  // it), so the extracted images of the conversion stay as they are. A drawing
  // without images is written with none, so its read-back extracts nothing and
  // needs no folder.
  std::optional<ScopedTempFolder> folder;
  TempImages images;
  images.TempFolder = s.Images.TempFolder;
  if (version >= kVerImages && !s.Images.TempImageFiles.empty()) {
    folder.emplace("plmconv-verify-");
    if (!folder->Ok()) {
      why.Reason = "no temporary folder for its bound images";
      return false;
    }
    images.TempFolder = folder->Path();
  }
  auto copy = std::make_unique<JwwDocument>();
  const bool ok = LoadJwwBytes(*copy, images, bytes, &why);
  ClearJwwData(*copy);
  return ok;
}
void ReleaseJww(ShellState& s, bool loaded) {
  // Only after a complete load: the extracted images of a failed load stay.
  if (loaded) DeleteTempImageFiles(s.Images);
  ClearJwwData(s.Jww);
}
const std::string* JwwStoredMemo(const ShellState& s) { return &s.Jww.Header.Memo; }
bool LoadJwwHeader(ShellState& s, const std::filesystem::path& path) { return ReadJwwMemo(s.Jww, path); }
bool JwwCarriesImages(const ShellState& s) { return s.Jww.Header.Version >= kVerImages; }

bool StreamJww(ShellState& s, const std::filesystem::path& path, std::optional<std::span<const uint8_t>> bytes,
               ByteSink& out, SpacingChanges& changes, ReadFailure* failure) {
  return ConvertJwwStream(s.Jww, s.Images, JwwSource{path, bytes}, out, s.Options, changes, failure);
}

constexpr DocumentHandler kJwwDocument{LoadJww,        LoadJwwFromBytes, JwwVersion,       JwwSubject,
                                       ApplyJww,       EncodeJww,        LoadWrittenJww,   ReleaseJww,
                                       JwwStoredMemo,  LoadJwwHeader,    JwwCarriesImages, "JwwData.",
                                       StreamJww};

// --- JWS figures

bool LoadJws(ShellState& s, const std::filesystem::path& path, ReadFailure* failure) {
  return LoadJwsFile(s.Jws, path, failure);
}
bool LoadJwsFromBytes(ShellState& s, std::span<const uint8_t> bytes, ReadFailure* failure) {
  return LoadJwsBytes(s.Jws, bytes, failure);
}
int32_t JwsVersion(const ShellState& s) { return s.Jws.Version; }
SpacingView JwsSubject(const ShellState& s) { return SpacingViewOf(s.Jws); }
SpacingChanges ApplyJws(ShellState& s) { return ApplySpacingRule(SpacingSubjectOf(s.Jws), s.Options); }
void EncodeJws(ByteSink& out, ShellState& s, int32_t version) { WriteJwsFile(out, s.Jws, version); }
bool LoadWrittenJws(const ShellState&, std::span<const uint8_t> bytes, int32_t, ReadFailure& why) {
  auto copy = std::make_unique<JwsDocument>();
  const bool ok = LoadJwsBytes(*copy, bytes, &why);
  ClearJwsData(*copy);
  return ok;
}
void ReleaseJws(ShellState& s, bool) { ClearJwsData(s.Jws); }
bool NoImages(const ShellState&) { return false; }

constexpr DocumentHandler kJwsDocument{LoadJws,    LoadJwsFromBytes, JwsVersion, JwsSubject, ApplyJws,
                                       EncodeJws,  LoadWrittenJws,   ReleaseJws, nullptr,    nullptr,
                                       NoImages,   "JwsData"};

// --- memo readers of the file list

std::string JwwMemo(ShellState& state, const std::string& path) {
  if (!ReadJwwMemo(state.Jww, PathFromUtf8(path))) return {};
  return CleanMemoText(state.Jww.Header.Memo);
}

std::string JwcMemo(ShellState& state, const std::string& path) {
  if (!ReadJwcMemo(state.Jwc, PathFromUtf8(path))) return {};
  return CleanMemoText(state.Jwc.MemoPart1 + " " + state.Jwc.MemoPart2);
}

std::string JwkMemo(ShellState& state, const std::string& path) {
  if (!ReadJwkMemo(state.Jwk, PathFromUtf8(path))) return {};
  return CleanMemoText(state.Jwk.MemoPart1 + " " + state.Jwk.MemoPart2);
}

// A backup name does not tell the format: the JWC probe first, then the JWW one.
std::string BackupMemo(ShellState& state, const std::string& path) {
  const std::filesystem::path file = PathFromUtf8(path);
  if (IsJwcFile(file)) return JwcMemo(state, path);
  if (IsJwwFile(file)) return JwwMemo(state, path);
  return {};
}

bool ProbeJww(const std::filesystem::path& p) { return IsJwwFile(p); }
bool ProbeJws(const std::filesystem::path& p) { return IsJwsFile(p); }
bool ProbeJwc(const std::filesystem::path& p) { return IsJwcFile(p); }

constexpr DrawingFormat kFormats[] = {
    {".JWW", "JWW", "not a JWW drawing: the signature does not match", ProbeJww, JwwMemo, &kJwwDocument},
    {".JWS", "JWS", "not a JWS figure: the signature does not match", ProbeJws, nullptr, &kJwsDocument},
    {".JWC", "JWC", {}, ProbeJwc, JwcMemo, nullptr},
    {".JWK", "JWK", {}, nullptr, JwkMemo, nullptr},
    {".JW$", "JWW", {}, nullptr, JwwMemo, nullptr},  // the CAD's own backup of a JWW drawing
    {".BAK", {}, {}, nullptr, BackupMemo, nullptr},
    {".BK*", {}, {}, nullptr, BackupMemo, nullptr},
};

bool Matches(std::string_view pattern, std::string_view ext) {
  if (!pattern.empty() && pattern.back() == '*') return ext.starts_with(pattern.substr(0, pattern.size() - 1));
  return ext == pattern;
}

}  // namespace

std::span<const DrawingFormat> DrawingFormats() { return kFormats; }

bool StartsWithSignature(const DocumentHandler& doc, std::span<const uint8_t> head) {
  const std::string_view sig = doc.Signature;
  return head.size() >= sig.size() && std::equal(sig.begin(), sig.end(), head.begin(),
                                                  [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
}

const DrawingFormat* FormatForExtension(std::string_view upperExtension) {
  for (const DrawingFormat& f : kFormats)
    if (Matches(f.Extension, upperExtension)) return &f;
  return nullptr;
}

const DrawingFormat* FormatForName(std::string_view fileName) {
  return FormatForExtension(UpperExtensionOf(fileName));
}

const DrawingFormat* FormatBySignature(const std::filesystem::path& path) {
  for (const DrawingFormat& f : kFormats)
    if (f.Document && f.Probe && f.Probe(path)) return &f;
  return nullptr;
}

const DrawingFormat& JwwFormat() { return kFormats[0]; }
const DrawingFormat& JwsFormat() { return kFormats[1]; }

}  // namespace plm
