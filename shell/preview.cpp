#include "shell/preview.h"

#include <filesystem>

#include "jws/jwsdocument.h"
#include "jww/bytesink.h"
#include "jww/jwwdocument.h"
#include "platform/cp932.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "render/source.h"
#include "render/svg.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxReasonBytes = 160;

// A reader's reason as one short line of valid UTF-8 (it may quote file bytes).
std::string Brief(std::string reason) {
  if (!IsWellFormedUtf8(reason)) reason = Cp932ToUtf8(reason);
  for (char& c : reason)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  if (reason.size() > kMaxReasonBytes) {
    size_t n = kMaxReasonBytes;
    while (n > 0 && (static_cast<unsigned char>(reason[n]) & 0xC0) == 0x80) --n;
    reason = reason.substr(0, n) + "…";
  }
  return reason;
}

// The batch converts only names ending in .JWW or .JWS (ASCII letters upper-cased).
bool ConvertedByName(const std::string& path) {
  const std::string name = Utf8FromPath(PathFromUtf8(path).filename());
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext == ".JWW" || ext == ".JWS";
}

template <class Written>
PreviewResult Build(const RenderSource& before, const Written& written, const std::string& path,
                    const std::function<bool()>& cancelled) {
  PreviewResult r;
  auto stop = [&] {
    if (!cancelled || !cancelled()) return false;
    r = PreviewResult{};
    r.Reason = previewtexts::kCancelled;
    return true;
  };
  if (stop()) return r;
  r.Current = BuildDisplayList(before, &written.Marks);
  if (stop()) return r;
  r.Written = BuildDisplayList(SourceOf(written.Doc), &written.Marks);
  r.Marks = written.Marks;
  r.Lines = LegendLines(r.Marks, r.Current);
  if (!ConvertedByName(path) && !r.Lines.empty()) r.Lines[0] += previewtexts::kNotConverted;
  const RenderStats& s = r.Current.Stats;
  const bool notDrawn =
      s.Skipped || s.MissingBlocks || s.CycleSkips || s.DepthSkips || s.TruncatedTexts || s.LimitReached;
  if (!r.Lines.empty()) r.Summary = r.Lines.front();
  if (notDrawn && r.Lines.size() > 1) r.Summary += "　" + r.Lines.back();  // the legend ends with that line
  for (const Box* b : {&r.Current.Bounds, &r.Written.Bounds}) {
    if (b->Empty) continue;
    r.Bounds.Add({b->MinX, b->MinY});
    r.Bounds.Add({b->MaxX, b->MaxY});
  }
  r.Ok = true;
  return r;
}

}  // namespace

bool LoadPreviewDocument(const std::string& path, PreviewDocument& doc, std::string& reason) {
  doc = PreviewDocument{};
  doc.Path = path;
  const std::filesystem::path file = PathFromUtf8(path);
  ReadFailure failure;
  if (IsJwwFile(file)) {
    // Bound images go to a private folder that is removed with everything in it.
    ScopedTempFolder imageFolder("plmtool-preview-");
    if (!imageFolder.Ok()) {
      reason = std::string(previewtexts::kCannotRead) + "no temporary folder";
      return false;
    }
    TempImages images;
    images.TempFolder = imageFolder.Path();
    auto jww = std::make_shared<JwwDocument>();
    if (!LoadJwwFile(*jww, images, file, &failure)) {
      reason = previewtexts::kCannotRead + Brief(failure.Reason);
      return false;
    }
    doc.Jww = std::move(jww);
    return true;
  }
  if (IsJwsFile(file)) {
    auto jws = std::make_shared<JwsDocument>();
    if (!LoadJwsFile(*jws, file, &failure)) {
      reason = previewtexts::kCannotRead + Brief(failure.Reason);
      return false;
    }
    doc.Jws = std::move(jws);
    return true;
  }
  ByteCursor probe;
  reason = probe.OpenFile(file) ? std::string(previewtexts::kNotADrawing)
                                : previewtexts::kCannotRead + Brief(probe.Failure().Reason);
  return false;
}

PreviewResult BuildPreview(const PreviewDocument& doc, const ConversionSwitches& options,
                           const std::function<bool()>& cancelled) {
  if (doc.Jww) {
    const WrittenJww written = WrittenCopyOf(*doc.Jww, options);
    return Build(SourceOf(*doc.Jww), written, doc.Path, cancelled);
  }
  if (doc.Jws) {
    const WrittenJws written = WrittenCopyOf(*doc.Jws, options);
    return Build(SourceOf(*doc.Jws), written, doc.Path, cancelled);
  }
  PreviewResult r;
  r.Reason = previewtexts::kNotADrawing;
  return r;
}

PreviewResult PreviewFile(const std::string& path, const ConversionSwitches& options) {
  PreviewDocument doc;
  PreviewResult r;
  if (!LoadPreviewDocument(path, doc, r.Reason)) return r;
  return BuildPreview(doc, options);
}

}  // namespace plm
