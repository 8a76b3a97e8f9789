#include "fuzz/targets.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "jws/jwsdocument.h"
#include "jww/jwwbody.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "legacy/jwcmemo.h"
#include "legacy/jwkmemo.h"
#include "platform/fsutil.h"
#include "platform/paths.h"

namespace plmfuzz {
namespace {

namespace fs = std::filesystem;
using namespace plm;

// One private folder per process: image folders and the file the path-based readers open.
// What it held when it was made (a system's mark of a live run) is its own.
struct Work {
  ScopedTempFolder Folder{"plmfuzz-"};
  std::vector<std::string> OwnNames;
  Work() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Folder.Path(), ec))
      OwnNames.push_back(Utf8FromPath(entry.path().filename()));
  }
};
const Work& TheWork() {
  static const Work work;
  return work;
}
const fs::path& WorkFolder() { return TheWork().Folder.Path(); }

fs::path Subfolder(const char* name) {
  const fs::path p = WorkFolder() / name;
  std::error_code ec;
  fs::create_directories(p, ec);
  return p;
}

void EmptyFolder(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) fs::remove_all(entry.path(), ec);
}

fs::path AsFile(const uint8_t* data, size_t size) {
  const fs::path file = WorkFolder() / "input";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return file;
}

// Nothing may appear outside the image folder while loading.
bool OnlyImageFolderWritten() {
  const std::vector<std::string>& own = TheWork().OwnNames;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(WorkFolder(), ec)) {
    const std::string name = Utf8FromPath(entry.path().filename());
    if (name != "input" && name != "images" && name != "images2" &&
        std::find(own.begin(), own.end(), name) == own.end())
      return false;
  }
  return true;
}

std::vector<int32_t> KindsOf(const std::vector<EntityRef>& order) {
  std::vector<int32_t> kinds;
  kinds.reserve(order.size());
  for (const EntityRef& r : order) kinds.push_back(r.Kind);
  return kinds;
}

template <class Doc>
bool SameBlockDefs(const Doc& before, const Doc& after) {
  if (before.BlockDefinitionList.size() != after.BlockDefinitionList.size()) return false;
  for (size_t i = 0; i < before.BlockDefinitionList.size(); ++i) {
    const BlockDefinition& a = before.BlockDefinitionList[i];
    const BlockDefinition& b = after.BlockDefinitionList[i];
    if (CleanString(a.Name) != b.Name || a.Number != b.Number || a.EntityCount != b.EntityCount ||
        KindsOf(a.EntityOrder) != KindsOf(b.EntityOrder))
      return false;
  }
  return true;
}

ConversionSwitches AllOn() {
  ConversionSwitches o;
  o = ConversionSwitches::All();
  return o;
}

}  // namespace

bool LoadJww(const uint8_t* data, size_t size) {
  TempImages images;
  images.TempFolder = Subfolder("images");
  JwwDocument doc;
  const bool loaded = LoadJwwBytes(doc, images, std::span(data, size));
  ReadFailure failure;
  JwwDocument again;
  TempImages images2 = images;
  const bool ok = OnlyImageFolderWritten() &&
                  (loaded || (!LoadJwwBytes(again, images2, std::span(data, size), &failure) && !failure.Reason.empty()));
  EmptyFolder(images.TempFolder);
  return ok;
}

bool LoadJws(const uint8_t* data, size_t size) {
  JwsDocument doc;
  ReadFailure failure;
  const bool loaded = LoadJwsBytes(doc, std::span(data, size), &failure);
  return loaded || !failure.Reason.empty();
}

bool JwwMemo(const uint8_t* data, size_t size) {
  JwwDocument doc;
  ReadJwwMemo(doc, AsFile(data, size));
  return doc.EntityCount == 0 && doc.BlockDefinitionList.empty();
}

bool JwcMemo(const uint8_t* data, size_t size) {
  jwc::THeader header;
  const bool ok = ReadJwcMemo(header, AsFile(data, size));
  return !ok || (header.MemoPart1.size() == 32 && header.MemoPart2.size() == 32 && size >= 800);
}

bool JwkMemo(const uint8_t* data, size_t size) {
  jwk::THeader header;
  const bool ok = ReadJwkMemo(header, AsFile(data, size));
  return !ok || (header.MemoPart1.size() == 32 && header.MemoPart2.size() == 32 && size >= 400);
}

bool Probes(const uint8_t* data, size_t size) {
  const fs::path file = AsFile(data, size);
  const bool jww = IsJwwFile(file);
  const bool jws = IsJwsFile(file);
  const bool jwc = IsJwcFile(file);
  // The three signatures exclude each other.
  return (jww ? 1 : 0) + (jws ? 1 : 0) + (jwc ? 1 : 0) <= 1 &&
         jww == (size >= 8 && std::memcmp(data, "JwwData.", 8) == 0) &&
         jws == (size >= 7 && std::memcmp(data, "JwsData", 7) == 0);
}

// The one-pass conversion gives what the load, the rule and the save give: the same
// bytes, or the same failure at the same offset.
bool StreamAgrees(const uint8_t* data, size_t size, bool loaded, const ReadFailure& loadFailure,
                  const ByteSink* written) {
  TempImages images;
  images.TempFolder = Subfolder("images3");
  JwwDocument doc;
  ByteSink out;
  SpacingChanges changes;
  ReadFailure failure;
  const bool streamed = ConvertJwwStream(doc, images, JwwSource{{}, std::span(data, size)}, out, AllOn(), changes,
                                         &failure);
  EmptyFolder(images.TempFolder);
  if (streamed != loaded) return false;
  if (!loaded) return failure.Offset == loadFailure.Offset && failure.Reason == loadFailure.Reason;
  return out.Ok() == written->Ok() && (!out.Ok() || out.Bytes() == written->Bytes());
}

bool RoundTripJww(const uint8_t* data, size_t size) {
  TempImages images;
  images.TempFolder = Subfolder("images");
  JwwDocument doc;
  bool ok = true;
  ReadFailure loadFailure;
  if (!LoadJwwBytes(doc, images, std::span(data, size), &loadFailure)) {
    EmptyFolder(images.TempFolder);
    return StreamAgrees(data, size, false, loadFailure, nullptr);
  }
  {
    ApplySpacingRule(SpacingSubjectOf(doc), AllOn());
    ByteSink out;
    WriteJwwHeader(out, doc, doc.Header.Version);
    WriteJwwBody(out, doc, images, doc.Header.Version);
    ok = StreamAgrees(data, size, true, loadFailure, &out);
    TempImages reloadedImages;
    reloadedImages.TempFolder = Subfolder("images2");
    JwwDocument again;
    ok = ok && out.Ok() && LoadJwwBytes(again, reloadedImages, std::span(out.Bytes().data(), out.Bytes().size())) &&
         again.Header.Version == doc.Header.Version && again.EntityCount == doc.EntityCount &&
         KindsOf(again.EntityOrder) == KindsOf(doc.EntityOrder) && SameBlockDefs(doc, again);
    if (ok && doc.Header.Version >= kVerImages) {
      // The images written are exactly the used ones, in list order, with their data.
      size_t next = 0;
      for (const BoundImageFile& image : images.TempImageFiles) {
        if (!image.Used) continue;
        if (next >= reloadedImages.TempImageFiles.size()) return false;
        const BoundImageFile& back = reloadedImages.TempImageFiles[next++];
        std::error_code ec;
        const auto length = back.Size > 0 ? fs::file_size(reloadedImages.TempFolder / back.Name, ec) : 0;
        ok = ok && back.Name == image.Name && !ec && length == static_cast<uintmax_t>(std::max(back.Size, 0));
      }
      ok = ok && next == reloadedImages.TempImageFiles.size();
    }
    EmptyFolder(reloadedImages.TempFolder);
  }
  EmptyFolder(images.TempFolder);
  return ok;
}

bool RoundTripJws(const uint8_t* data, size_t size) {
  JwsDocument doc;
  if (!LoadJwsBytes(doc, std::span(data, size))) return true;
  ApplySpacingRule(SpacingSubjectOf(doc), AllOn());
  ByteSink out;
  WriteJwsFile(out, doc, doc.Version);
  JwsDocument again;
  return out.Ok() && LoadJwsBytes(again, std::span(out.Bytes().data(), out.Bytes().size())) &&
         again.Version == JwsOutputVersion(doc.Version) && again.EntityCount == doc.EntityCount &&
         KindsOf(again.EntityOrder) == KindsOf(doc.EntityOrder) && SameBlockDefs(doc, again);
}

Target TargetNamed(const char* name) {
  static const struct {
    const char* name;
    Target target;
  } kTargets[] = {{"load_jww", LoadJww},   {"load_jws", LoadJws},         {"jww_memo", JwwMemo},
                  {"jwc_memo", JwcMemo},   {"jwk_memo", JwkMemo},         {"probes", Probes},
                  {"roundtrip_jww", RoundTripJww}, {"roundtrip_jws", RoundTripJws}};
  for (const auto& t : kTargets)
    if (std::strcmp(t.name, name) == 0) return t.target;
  return nullptr;
}

}  // namespace plmfuzz
