#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>

#include "app/plmconv_commands.h"
#include "jww/spacingrule.h"
#include "text/cp932.h"
#include "platform/fsutil.h"
#include "shell/formats.h"

namespace plm {
namespace {

// Counts and negative spacings of a loaded drawing.
void PrintBodyInfo(const SpacingView& drawing, std::ostream& out) {
  const DrawingBody& body = drawing.Body;
  out << "  entities: " << body.EntityCount << " (lines " << body.LineList.size() << ", arcs " << body.ArcList.size()
      << ", points " << body.PointList.size() << ", texts " << body.TextList.size() << ", dimensions "
      << body.DimensionList.size() << ", solids " << body.SolidList.size() << ", block insertions "
      << body.BlockInsertList.size() << ")\n";
  out << "  block definitions: " << body.BlockDefinitionList.size() << "\n";
  struct Negatives { uint64_t freeSize = 0, typed = 0; } texts, dims;
  uint64_t table = 0;
  ForEachSpacing(drawing, [&](const SpacingSite& site, double spacing) {
    if (!IsNegativeSpacing(spacing)) return;
    if (site.Place == SpacingPlace::TextTypeTable) {
      ++table;
      return;
    }
    const bool dimension =
        site.Place == SpacingPlace::DimensionText || site.Place == SpacingPlace::BlockDimensionText;
    Negatives& n = dimension ? dims : texts;
    ++(site.TextTypeClass == 0 ? n.freeSize : n.typed);
  });
  out << "  negative spacing: texts " << texts.freeSize << " free-size and " << texts.typed
      << " text-type, dimension texts " << dims.freeSize << " free-size and " << dims.typed << " text-type\n";
  if (!drawing.TextTypes.empty()) out << "  negative spacing in the text-type table: " << table << "\n";
}

// The memo on one line per memo line, indented under its label.
std::string MemoForDisplay(const std::string& memo) {
  std::string text = Cp932ToUtf8(memo);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\r' || text[i] == '\n') out += "\n        ";
    else out += text[i];
  }
  return out;
}

void PrintVersionAndMemo(const StoredHeader& header, std::ostream& out) {
  out << "  version: " << header.Version << "\n";
  if (header.Memo) out << "  memo: " << MemoForDisplay(*header.Memo) << "\n";
}

// False when the file does not load in full.
bool PrintDocumentInfo(const DrawingFormat& format, const std::filesystem::path& file,
                       const std::filesystem::path& imageFolder, std::ostream& out) {
  const FormatHandler& handler = *format.Handler;
  out << "  format: " << format.Name << "\n";
  const LoadResult loaded = handler.Load(LoadRequest{file, std::nullopt, imageFolder});
  if (loaded.Ok()) {
    const LoadedDrawing& drawing = *loaded.Drawing;
    PrintVersionAndMemo(drawing.Header(), out);
    PrintBodyInfo(drawing.View(), out);
    if (drawing.CarriesImages()) {
      out << "  bound images: " << drawing.Images().TempImageFiles.size() << "\n";
      for (const BoundImageFile& image : drawing.Images().TempImageFiles)
        out << "    " << Shown(Cp932ToUtf8(image.Name)) << " (" << image.Size << " bytes)\n";
    }
  } else {
    // A drawing that does not load in full may still show its memo.
    if (const std::optional<StoredHeader> header = handler.ReadHeader(file)) PrintVersionAndMemo(*header, out);
    out << "  failed (" << Shown(loaded.Failure.Reason) << ")\n";
    // Extracted images go even after a failed load: info keeps nothing.
    DeleteTempImageFiles(loaded.LeftBehind);
  }
  return loaded.Ok();
}

}  // namespace

int RunInfo(const ParsedArgs& parsed, const CommandIo& io) {
  const std::vector<std::string>& args = parsed.Operands;
  std::ostream& out = io.out;
  if (args.empty()) return io.Usage("no files given");
  ScopedTempFolder imageFolder("plmconv-images-");
  bool anyFailed = false;
  for (const std::string& arg : args) {
    const std::filesystem::path file = PathFromUtf8(arg);
    out << Shown(file) << "\n";
    if (auto problem = OpenProblem(arg)) {
      out << "  failed (" << Shown(*problem) << ")\n";
      anyFailed = true;
    } else if (const DrawingFormat* format = FormatBySignature(file)) {
      anyFailed |= !PrintDocumentInfo(*format, file, imageFolder.Path(), out);
    } else {
      out << "  format: unknown\n";
    }
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace plm
