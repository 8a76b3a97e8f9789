#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "app/plmconv.h"
#include "app/plmconv_commands.h"
#include "text/cp932.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "render/displaylist.h"
#include "render/marks.h"
#include "render/svg.h"
#include "shell/formats.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

enum class View { Current, Written, Both };

std::string SwitchText(const ConversionSwitches& o) {
  std::string s;
  static const char* names[] = {"--type-spacing", "--free-spacing", "--dimension-values", "--block-texts"};
  for (std::size_t i = 0; i < kSwitchOrder.size(); ++i)
    if (o.*kSwitchOrder[i]) s += std::string(s.empty() ? "" : " ") + names[i];
  return s.empty() ? "（なし）" : s;
}

// The file's name as the command's lines show it: code page 932 names (from archives
// made on Japanese Windows) decoded and control characters quoted, so the picture's
// UTF-8 XML stays well-formed.
std::string DisplayName(const fs::path& p) { return ShownName(p.filename().string()); }

bool EndsWithSvg(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".svg";
}

// The picture goes to a temporary file beside the output first, so a failed write
// leaves neither a partial picture nor a damaged earlier one.
bool WritePicture(const fs::path& output, const std::vector<SvgPanel>& panels, const std::vector<std::string>& legend,
                  const SvgOptions& options, std::string& why) {
  std::ostringstream svg;
  WriteSvg(svg, panels, legend, options);
  std::string error;
  if (ReplaceFileContents(output, svg.str(), &error)) return true;
  why = ShownName(ShownPath(output)) + " " + error;
  return false;
}

int RenderDrawing(const LoadedDrawing& drawing, const ConversionSwitches& options, View view, bool cells,
                  const fs::path& input, const fs::path& output, std::ostream& out, std::ostream& err) {
  const WrittenCopy written = drawing.CopyAsWritten(options);
  const RenderSource before = drawing.Source(), after = written.Drawing->Source();
  std::optional<DisplayList> current, converted;
  std::vector<SvgPanel> panels;
  if (view != View::Written) {
    current = BuildDisplayList(before, &written.Marks);
    panels.push_back({&*current, "現在の図面"});
  }
  if (view != View::Current) {
    converted = BuildDisplayList(after, &written.Marks);
    panels.push_back({&*converted, "変換後（書き込まれる内容）"});
  }
  std::vector<std::string> legend;
  legend.push_back(DisplayName(input) + "　切り替え: " + SwitchText(options));
  for (const std::string& line : LegendLines(written.Marks, current ? *current : *converted)) legend.push_back(line);
  SvgOptions svg;
  svg.CharCells = cells;
  std::string why;
  if (!WritePicture(output, panels, legend, svg, why)) {
    err << "plmconv: " << ShownName(ShownPath(output)) << ": failed (" << why << ")\n";
    return kExitFailed;
  }
  out << ShownName(ShownPath(input)) << " -> " << ShownName(ShownPath(output)) << ": " << written.Marks.Counts.Total()
      << " spacing values would change\n";
  return kExitOk;
}

}  // namespace

int RunRender(const ParsedArgs& parsed, const CommandIo& io) {
  std::ostream& out = io.out;
  std::ostream& err = io.err;
  ConversionSwitches options;
  View view = View::Current;
  bool cells = true;
  std::optional<fs::path> output;
  for (const ParsedOption& o : parsed.Options) {
    if (const std::optional<std::size_t> index = SwitchIndexOf(o.Id)) options.*kSwitchOrder[*index] = true;
    else if (o.Id == kAllOption) options = ConversionSwitches::All();
    else if (o.Id == kViewOption)
      view = o.Value == "current" ? View::Current : o.Value == "written" ? View::Written : View::Both;
    else if (o.Id == kNoCellsOption) cells = false;
    else if (o.Id == kOutputOption) output = PathFromUtf8(o.Value);
  }
  std::vector<fs::path> inputs;
  for (const std::string& operand : parsed.Operands) inputs.push_back(PathFromUtf8(operand));
  if (inputs.size() != 1) return io.Usage(inputs.empty() ? "no file given" : "render takes one file");
  if (!output || output->empty()) return io.Usage("no picture given (-o OUT.svg)");
  if (!EndsWithSvg(*output))
    return io.Usage("the picture " + ShownName(output->string()) + " must end in .svg");
  const fs::path& input = inputs[0];
  std::error_code ec;
  if (fs::equivalent(input, *output, ec))
    return io.Usage("the picture " + ShownName(output->string()) + " is the drawing itself");

  const DrawingFormat* format = FormatBySignature(input);
  if (format && format->Handler->CanRender()) {
    const FormatHandler& handler = *format->Handler;
    std::optional<ScopedTempFolder> imageFolder;
    if (handler.ExtractsImages()) imageFolder.emplace("plmconv-render-");
    if (imageFolder && !imageFolder->Ok()) {
      err << "plmconv: " << ShownName(ShownPath(input)) << ": failed (no temporary folder)\n";
      return kExitFailed;
    }
    const LoadResult loaded =
        handler.Load(LoadRequest{input, std::nullopt, imageFolder ? imageFolder->Path() : fs::path(), true});
    if (!loaded.Ok()) {
      err << "plmconv: " << ShownName(ShownPath(input)) << ": failed (" << ShownName(loaded.Failure.Reason) << ")\n";
      return kExitFailed;
    }
    return RenderDrawing(*loaded.Drawing, options, view, cells, input, *output, out, err);
  }
  ByteCursor probe;
  err << "plmconv: " << ShownName(ShownPath(input)) << ": failed ("
      << (probe.OpenFile(input) ? std::string("neither a JWW drawing nor a JWS figure")
                                : ShownName(probe.Failure().Reason))
      << ")\n";
  return kExitFailed;
}

}  // namespace plm
