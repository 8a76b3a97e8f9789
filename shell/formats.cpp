#include "shell/formats.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "legacy/jwcmemo.h"
#include "legacy/jwkmemo.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "text/textfilters.h"
#include "shell/filelist.h"

namespace plm {

LoadedDrawing::LoadedDrawing(const std::filesystem::path& imageFolder) { images_.TempFolder = imageFolder; }

LoadedDrawing::~LoadedDrawing() { DeleteTempImageFiles(images_); }

bool FormatHandler::StartsWithSignature(std::span<const uint8_t> head) const {
  const std::string_view sig = Signature();
  return !sig.empty() && head.size() >= sig.size() &&
         std::equal(sig.begin(), sig.end(), head.begin(),
                    [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
}

bool FormatHandler::Probe(const std::filesystem::path&) const { return false; }

LoadResult FormatHandler::Load(const LoadRequest&) const {
  LoadResult r;
  r.Failure.Reason = "the format is not converted";
  return r;
}

bool FormatHandler::Stream(const LoadRequest&, const ConversionSwitches&, ByteSink&, SpacingChanges&,
                           ReadFailure* failure) const {
  if (failure) failure->Reason = "the format is not converted";
  return false;
}

std::optional<StoredHeader> FormatHandler::ReadHeader(const std::filesystem::path&) const { return std::nullopt; }

std::string FormatHandler::Memo(const std::filesystem::path&) const { return {}; }

namespace {

// --- JWW drawings

using ImageBytesList = std::vector<BoundImageBytes>;

// Each listed image with the bytes the writer would read back for it from the image
// folder; entries of one name share one copy, and an entry without a file has none.
// The extracted files hold no more than the drawing does.
std::shared_ptr<const ImageBytesList> ReadImageBytes(const TempImages& images) {
  auto list = std::make_shared<ImageBytesList>();
  std::map<std::string, std::shared_ptr<const std::vector<uint8_t>>> byName;
  for (const BoundImageFile& image : images.TempImageFiles) {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    if (!image.Name.empty()) {
      auto [it, added] = byName.try_emplace(image.Name);
      const std::filesystem::path file = PathOfStoredName(images.TempFolder, image.Name);
      if (added && IsExistingFile(file))
        if (auto read = ReadWholeFile(file, nullptr, static_cast<uint64_t>(INT32_MAX)))
          it->second = std::make_shared<const std::vector<uint8_t>>(std::move(*read));
      bytes = it->second;
    }
    list->push_back({image.Name, std::move(bytes)});
  }
  return list;
}

class JwwDrawing final : public LoadedDrawing {
 public:
  explicit JwwDrawing(const std::filesystem::path& imageFolder) : LoadedDrawing(imageFolder) {}
  JwwDrawing(JwwDocument&& doc, std::shared_ptr<const ImageBytesList> imageBytes)
      : LoadedDrawing(std::filesystem::path()), doc_(std::move(doc)), imageBytes_(std::move(imageBytes)) {}

  bool Load(const LoadRequest& request, ReadFailure* failure) {
    const bool ok = request.Bytes ? LoadJwwBytes(doc_, images_, *request.Bytes, failure)
                                  : LoadJwwFile(doc_, images_, request.Path, failure);
    if (ok && request.KeepImageBytes) imageBytes_ = ReadImageBytes(images_);
    return ok;
  }
  TempImages TakeImages() {
    TempImages taken = images_;
    LeaveImages();
    return taken;
  }

  StoredHeader Header() const override { return {doc_.Header.Version, doc_.Header.Memo}; }
  bool CarriesImages() const override { return doc_.Header.Version >= kVerImages; }
  SpacingSubject Subject() override { return SpacingSubjectOf(doc_); }
  SpacingView View() const override { return SpacingViewOf(doc_); }
  // Runs while the extracted images are still there, as the save does.
  void Encode(ByteSink& out, int32_t version) override {
    WriteJwwHeader(out, doc_, version);
    WriteJwwBody(out, doc_, images_, version);
  }
  bool LoadWritten(std::span<const uint8_t> bytes, int32_t version, ReadFailure& why) const override {
    // A drawing without images is written with none, so its read-back extracts
    // nothing and needs no folder.
    std::optional<ScopedTempFolder> folder;
    TempImages images;
    images.TempFolder = images_.TempFolder;
    if (version >= kVerImages && !images_.TempImageFiles.empty()) {
      folder.emplace("plmconv-verify-");
      if (!folder->Ok()) {
        why.Reason = "no temporary folder for its bound images";
        return false;
      }
      images.TempFolder = folder->Path();
    }
    auto copy = std::make_unique<JwwDocument>();
    return LoadJwwBytes(*copy, images, bytes, &why);
  }
  RenderSource Source() const override {
    RenderSource s = SourceOf(doc_);
    if (imageBytes_) s.Images = *imageBytes_;
    return s;
  }
  WrittenCopy CopyAsWritten(const ConversionSwitches& options) const override {
    WrittenJww written = WrittenCopyOf(doc_, options);
    return {std::make_unique<JwwDrawing>(std::move(written.Doc), imageBytes_), std::move(written.Marks)};
  }

 private:
  JwwDocument doc_;
  std::shared_ptr<const ImageBytesList> imageBytes_;  // null unless the load kept them
};

class JwwHandler final : public FormatHandler {
 public:
  bool CanConvert() const override { return true; }
  bool HasMemo() const override { return true; }
  bool ExtractsImages() const override { return true; }
  std::string_view Signature() const override { return "JwwData."; }
  bool Probe(const std::filesystem::path& path) const override { return IsJwwFile(path); }
  LoadResult Load(const LoadRequest& request) const override {
    LoadResult r;
    auto drawing = std::make_unique<JwwDrawing>(request.ImageFolder);
    if (drawing->Load(request, &r.Failure)) r.Drawing = std::move(drawing);
    else r.LeftBehind = drawing->TakeImages();
    return r;
  }
  bool Streams() const override { return true; }
  bool Stream(const LoadRequest& request, const ConversionSwitches& options, ByteSink& out, SpacingChanges& changes,
              ReadFailure* failure) const override {
    auto doc = std::make_unique<JwwDocument>();
    TempImages images;
    images.TempFolder = request.ImageFolder;
    const bool ok =
        ConvertJwwStream(*doc, images, JwwSource{request.Path, request.Bytes}, out, options, changes, failure);
    // Only after a complete pass: the extracted images of a failed one stay.
    if (ok) DeleteTempImageFiles(images);
    return ok;
  }
  std::optional<StoredHeader> ReadHeader(const std::filesystem::path& path) const override {
    auto doc = std::make_unique<JwwDocument>();
    if (!ReadJwwMemo(*doc, path)) return std::nullopt;
    return StoredHeader{doc->Header.Version, doc->Header.Memo};
  }
  std::string Memo(const std::filesystem::path& path) const override {
    auto doc = std::make_unique<JwwDocument>();
    if (!ReadJwwMemo(*doc, path)) return {};
    return CleanMemoText(doc->Header.Memo);
  }
};

// --- JWS figures

class JwsDrawing final : public LoadedDrawing {
 public:
  JwsDrawing() : LoadedDrawing({}) {}
  explicit JwsDrawing(JwsDocument&& doc) : LoadedDrawing({}), doc_(std::move(doc)) {}

  bool Load(const LoadRequest& request, ReadFailure* failure) {
    return request.Bytes ? LoadJwsBytes(doc_, *request.Bytes, failure) : LoadJwsFile(doc_, request.Path, failure);
  }

  StoredHeader Header() const override { return {doc_.Version, std::nullopt}; }
  SpacingSubject Subject() override { return SpacingSubjectOf(doc_); }
  SpacingView View() const override { return SpacingViewOf(doc_); }
  void Encode(ByteSink& out, int32_t version) override { WriteJwsFile(out, doc_, version); }
  bool LoadWritten(std::span<const uint8_t> bytes, int32_t, ReadFailure& why) const override {
    auto copy = std::make_unique<JwsDocument>();
    return LoadJwsBytes(*copy, bytes, &why);
  }
  RenderSource Source() const override { return SourceOf(doc_); }
  WrittenCopy CopyAsWritten(const ConversionSwitches& options) const override {
    WrittenJws written = WrittenCopyOf(doc_, options);
    return {std::make_unique<JwsDrawing>(std::move(written.Doc)), std::move(written.Marks)};
  }

 private:
  JwsDocument doc_;
};

class JwsHandler final : public FormatHandler {
 public:
  bool CanConvert() const override { return true; }
  std::string_view Signature() const override { return "JwsData"; }
  bool Probe(const std::filesystem::path& path) const override { return IsJwsFile(path); }
  LoadResult Load(const LoadRequest& request) const override {
    LoadResult r;
    auto drawing = std::make_unique<JwsDrawing>();
    if (drawing->Load(request, &r.Failure)) r.Drawing = std::move(drawing);
    return r;
  }
};

// --- formats the file list only shows a memo of

std::string JwcMemo(const std::filesystem::path& path) {
  jwc::THeader header;
  if (!ReadJwcMemo(header, path)) return {};
  return CleanMemoText(header.MemoPart1 + " " + header.MemoPart2);
}

class JwcHandler final : public FormatHandler {
 public:
  bool HasMemo() const override { return true; }
  std::string Memo(const std::filesystem::path& path) const override { return JwcMemo(path); }
};

class JwkHandler final : public FormatHandler {
 public:
  bool HasMemo() const override { return true; }
  std::string Memo(const std::filesystem::path& path) const override {
    jwk::THeader header;
    if (!ReadJwkMemo(header, path)) return {};
    return CleanMemoText(header.MemoPart1 + " " + header.MemoPart2);
  }
};

const JwwHandler kJww;
const JwsHandler kJws;
const JwcHandler kJwc;
const JwkHandler kJwk;

// The CAD's own backup of a JWW drawing: listed with its memo, never converted.
class JwwBackupHandler final : public FormatHandler {
 public:
  bool HasMemo() const override { return true; }
  std::string Memo(const std::filesystem::path& path) const override { return kJww.Memo(path); }
};

// A backup name does not tell the format: the JWC probe first, then the JWW one.
class BackupHandler final : public FormatHandler {
 public:
  bool HasMemo() const override { return true; }
  std::string Memo(const std::filesystem::path& path) const override {
    if (IsJwcFile(path)) return JwcMemo(path);
    if (IsJwwFile(path)) return kJww.Memo(path);
    return {};
  }
};

const JwwBackupHandler kJwwBackup;
const BackupHandler kBackup;

const DrawingFormat kFormats[] = {
    {".JWW", "JWW", "not a JWW drawing: the signature does not match", &kJww},
    {".JWS", "JWS", "not a JWS figure: the signature does not match", &kJws},
    {".JWC", "JWC", {}, &kJwc},
    {".JWK", "JWK", {}, &kJwk},
    {".JW$", "JWW", {}, &kJwwBackup},
    {".BAK", {}, {}, &kBackup},
    {".BK*", {}, {}, &kBackup},
};

bool Matches(std::string_view pattern, std::string_view ext) {
  if (!pattern.empty() && pattern.back() == '*') return ext.starts_with(pattern.substr(0, pattern.size() - 1));
  return ext == pattern;
}

}  // namespace

std::span<const DrawingFormat> DrawingFormats() { return kFormats; }

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
    if (f.Converted() && f.Handler->Probe(path)) return &f;
  return nullptr;
}

const DrawingFormat& JwwFormat() { return kFormats[0]; }
const DrawingFormat& JwsFormat() { return kFormats[1]; }

}  // namespace plm
