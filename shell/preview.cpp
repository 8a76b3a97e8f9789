#include "shell/preview.h"

#include <filesystem>
#include <optional>
#include <string_view>

#include "jww/bytesink.h"
#include "text/cp932.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "render/source.h"
#include "render/svg.h"
#include "shell/formats.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxReasonBytes = 160;
// How the count line ends for a file the batch converts.
constexpr std::string_view kZeroedNote = "（変換で 0 に）";

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

// Whether the batch converts a file of this name (by its extension).
bool ConvertedByName(const std::string& path) {
  const DrawingFormat* format = FormatForName(Utf8FromPath(PathFromUtf8(path).filename()));
  return format && format->Converted();
}

PreviewResult Build(const RenderSource& before, const WrittenCopy& written, const std::string& path,
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
  r.Written = BuildDisplayList(written.Drawing->Source(), &written.Marks);
  r.Marks = written.Marks;
  r.Lines = LegendLines(r.Marks, r.Current);
  if (!ConvertedByName(path) && !r.Lines.empty()) {
    // A file the batch never converts: its count says so instead of promising a change.
    std::string& count = r.Lines[0];
    if (count.ends_with(kZeroedNote)) count.resize(count.size() - kZeroedNote.size());
    count += previewtexts::kNotConverted;
  }
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
  const DrawingFormat* format = FormatBySignature(file);
  if (format && format->Handler->CanRender()) {
    const FormatHandler& handler = *format->Handler;
    // Bound images go to a private folder that is removed with everything in it; the
    // drawing keeps their bytes for its pictures.
    std::optional<ScopedTempFolder> imageFolder;
    if (handler.ExtractsImages()) {
      imageFolder.emplace("plmtool-preview-");
      if (!imageFolder->Ok()) {
        reason = std::string(previewtexts::kCannotRead) + "no temporary folder";
        return false;
      }
    }
    LoadResult loaded =
        handler.Load(LoadRequest{file, std::nullopt, imageFolder ? imageFolder->Path() : fs::path(), true});
    if (!loaded.Ok()) {
      reason = previewtexts::kCannotRead + Brief(loaded.Failure.Reason);
      return false;
    }
    loaded.Drawing->LeaveImages();
    doc.Drawing = std::move(loaded.Drawing);
    return true;
  }
  ByteCursor probe;
  reason = probe.OpenFile(file) ? std::string(previewtexts::kNotADrawing)
                                : previewtexts::kCannotRead + Brief(probe.Failure().Reason);
  return false;
}

PreviewResult BuildPreview(const PreviewDocument& doc, const ConversionSwitches& options,
                           const std::function<bool()>& cancelled) {
  if (doc.Drawing) return Build(doc.Drawing->Source(), doc.Drawing->CopyAsWritten(options), doc.Path, cancelled);
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
