#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/plmconv_commands.h"
#include "jww/spacingrule.h"
#include "platform/cp932.h"
#include "platform/fsutil.h"
#include "shell/formats.h"
#include "shell/shellstate.h"

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

void PrintVersionAndMemo(const DocumentHandler& doc, const ShellState& state, std::ostream& out) {
  out << "  version: " << doc.Version(state) << "\n";
  if (const std::string* memo = doc.StoredMemo ? doc.StoredMemo(state) : nullptr)
    out << "  memo: " << MemoForDisplay(*memo) << "\n";
}

// False when the file does not load in full.
bool PrintDocumentInfo(const DrawingFormat& format, const std::filesystem::path& file, ShellState& state,
                       std::ostream& out) {
  const DocumentHandler& doc = *format.Document;
  out << "  format: " << format.Name << "\n";
  ReadFailure failure;
  const bool loaded = doc.Load(state, file, &failure);
  const bool hadImages = doc.CarriesImages(state);
  if (loaded) {
    PrintVersionAndMemo(doc, state, out);
    PrintBodyInfo(doc.Subject(state), out);
    if (doc.CarriesImages(state)) {
      out << "  bound images: " << state.Images.TempImageFiles.size() << "\n";
      for (const BoundImageFile& image : state.Images.TempImageFiles)
        out << "    " << Shown(Cp932ToUtf8(image.Name)) << " (" << image.Size << " bytes)\n";
    }
  } else {
    // A drawing that does not load in full may still show its memo.
    doc.Release(state, false);
    if (doc.LoadHeader && doc.LoadHeader(state, file)) PrintVersionAndMemo(doc, state, out);
    out << "  failed (" << Shown(failure.Reason) << ")\n";
  }
  // Extracted images go even after a failed load: info keeps nothing.
  if (hadImages) DeleteTempImageFiles(state.Images);
  doc.Release(state, true);
  return loaded;
}

}  // namespace

int RunInfo(const ParsedArgs& parsed, const CommandIo& io) {
  const std::vector<std::string>& args = parsed.Operands;
  std::ostream& out = io.out;
  if (args.empty()) return io.Usage("no files given");
  ScopedTempFolder imageFolder("plmconv-images-");
  auto state = std::make_unique<ShellState>();
  state->Images.TempFolder = imageFolder.Path();
  bool anyFailed = false;
  for (const std::string& arg : args) {
    const std::filesystem::path file(arg);
    out << Shown(file) << "\n";
    if (auto problem = OpenProblem(arg)) {
      out << "  failed (" << Shown(*problem) << ")\n";
      anyFailed = true;
    } else if (const DrawingFormat* format = FormatBySignature(file)) {
      anyFailed |= !PrintDocumentInfo(*format, file, *state, out);
    } else {
      out << "  format: unknown\n";
    }
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace plm
