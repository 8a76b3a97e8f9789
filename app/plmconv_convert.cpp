#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <ostream>

#include "app/plmconv_commands.h"
#include "app/plmconv_options.h"
#include "app/plmconv_progress.h"
#include "app/plmconv_report.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "shell/conversion.h"
#include "shell/filelist.h"
#include "shell/formats.h"
#include "shell/shellstate.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

fs::path FolderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

// The converted format a name's extension stands for, or null.
const DrawingFormat* ConvertedFormatOf(const fs::path& file) {
  const DrawingFormat* format = FormatForName(file.filename().string());
  return format && format->Document ? format : nullptr;
}

struct ConvertArgs {
  ConvertOptions options;
  bool dryRun = false;
  bool verbose = false;
  bool verify = false;
  bool recursive = false;
  std::optional<fs::path> saveFolder;
  std::optional<fs::path> report;
  std::vector<fs::path> inputs;  // files and folders as given
};

void PrintChanges(std::ostream& out, const SpacingChanges& c) {
  out << "would change " << c.Total() << " spacing values (text-type table " << c.TypeTable << ", texts "
      << c.Texts << ", dimension texts " << c.DimTexts << ", block texts " << c.BlockTexts
      << ", block dimension texts " << c.BlockDimTexts << ")";
}

void PrintResult(std::ostream& out, const ConvertResult& r) {
  switch (r.Outcome) {
    case ConvertOutcome::Converted: out << "converted\n"; break;
    case ConvertOutcome::Checked: PrintChanges(out, r.Changes); out << "\n"; break;
    default: out << "failed (" << Shown(r.Reason) << ")\n"; break;
  }
}

// One file to convert and the folder its output goes to.
struct BatchInput {
  fs::path Path;
  fs::path OutputFolder;
  bool FromFolder = false;  // found in a folder argument
};

bool IsDrawingExtension(const fs::path& file) { return ConvertedFormatOf(file) != nullptr; }

// An argument that names a drawing by its extension is always taken as one file (and
// fails when it is a folder); any other existing folder stands for its drawings.
bool IsFolderArgument(const fs::path& input) { return !IsDrawingExtension(input) && IsExistingFolder(input); }

// The drawings of a folder in name order, then (recursively) its sub-folders in name
// order, each sub-folder's outputs in the same-named sub-folder of outputFolder. The
// save folder and links to folders are never entered. False, after a failed line,
// when a folder cannot be read.
bool CollectFolder(const fs::path& folder, const fs::path& outputFolder, const ConvertArgs& a,
                   std::vector<BatchInput>& files, std::ostream& out) {
  std::vector<FolderEntry> entries;
  std::string why;
  if (!ForEachFolderEntry(folder, [&](const FolderEntry& e) {
        entries.push_back(e);
        return true;
      }, &why)) {
    out << Shown(folder) << ": failed (the folder cannot be read: " << why << ")\n";
    return false;
  }
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& x, const FolderEntry& y) { return x.Name < y.Name; });
  std::vector<fs::path> subFolders;
  for (const FolderEntry& e : entries) {
    if (e.Name.starts_with(".")) continue;
    const fs::path path = folder / e.Name;
    if (e.IsFolder) {
      if (a.recursive && !IsSameFolder(path, *a.saveFolder)) subFolders.push_back(path);
    } else if (e.IsLink && IsExistingFolder(path)) {
      continue;  // links to folders are never entered
    } else if (IsDrawingExtension(path)) {
      files.push_back({path, outputFolder, true});
    }
  }
  bool ok = true;
  for (const fs::path& sub : subFolders) ok &= CollectFolder(sub, outputFolder / sub.filename(), a, files, out);
  return ok;
}

// Everything a batch shares between its files.
struct Batch {
  const ConvertArgs& args;
  ShellState& state;
  std::ostream& out;
  ProgressLine& progress;
  SpacingReportObserver* report = nullptr;  // set with --report
  SpacingReportWriter* reportWriter = nullptr;
  std::set<std::string> cleanedFolders;  // output folders swept of stale temporaries
};

// Decides as the batch command does: the upper-cased extension picks the format, the
// format's probe must pass, and the per-file driver converts. Prints the file's line;
// false when the file failed.
bool ConvertOne(const BatchInput& input, Batch& batch) {
  const fs::path& file = input.Path;
  std::ostream& out = batch.out;
  auto line = [&]() -> std::ostream& {
    batch.progress.Erase();
    return out << Shown(file) << ": ";
  };
  const DrawingFormat* format = ConvertedFormatOf(file);
  if (!format) {
    line() << "skipped (not a drawing extension)\n";
    return true;
  }
  if (auto problem = OpenProblem(file.string())) {
    line() << "failed (" << *problem << ")\n";
    return false;
  }
  if (!format->Probe(file)) {
    line() << "skipped (" << format->NotThisFormat << ")\n";
    return true;
  }
  // A sub-folder whose output folder is itself (reached through a link, say) would
  // have its originals replaced.
  if (input.FromFolder && IsSameFolder(input.OutputFolder, FolderOf(file))) {
    line() << "failed (the output folder is the file's own folder)\n";
    return false;
  }
  if (!batch.args.dryRun && !IsExistingFolder(input.OutputFolder)) {
    // Only sub-folders below the save folder are made; a save folder that went away
    // during the batch (a network folder that dropped) is never made again.
    if (!IsExistingFolder(*batch.args.saveFolder)) {
      line() << "failed (the save folder " << Shown(*batch.args.saveFolder) << " no longer exists)\n";
      return false;
    }
    std::string why;
    if (!CreateFolders(input.OutputFolder, &why)) {
      line() << "failed (the output folder " << Shown(input.OutputFolder) << " cannot be created: " << why
             << ")\n";
      return false;
    }
  }
  if (!batch.args.dryRun && batch.cleanedFolders.insert(input.OutputFolder.string()).second)
    RemoveStaleTemporaries(input.OutputFolder);
  const std::optional<uint64_t> size = FileSizeOf(file);
  batch.progress.Show(Shown(file));
  const std::string inputPath = file.string();
  const std::string outputPath = (input.OutputFolder / file.filename()).string();
  const ConvertMode mode = batch.args.dryRun ? ConvertMode::DryRun : ConvertMode::Write;
  ConvertHooks hooks;
  hooks.Verify = batch.args.verify;
  hooks.Observer = batch.report;
  if (batch.report) batch.report->StartFile(inputPath);
  const ConvertResult r = ConvertFile(batch.state, *format, inputPath, outputPath, mode, hooks);
  batch.progress.AddBytes(size.value_or(0));
  PrintResult(line(), r);
  out.flush();
  // Only what reached an output (or would, in a dry run) is reported.
  if (batch.reportWriter && r.Ok()) batch.reportWriter->Add(batch.report->Rows());
  return r.Ok();
}

// Status texts as the drivers set them, one line each, when asked for.
std::function<void(const std::string&)> StatusPrinter(bool verbose, std::ostream& err, ProgressLine& progress) {
  if (!verbose) return {};
  return [&err, &progress](const std::string& text) {
    progress.Erase();
    err << text << "\n" << std::flush;
    progress.Redraw();
  };
}

}  // namespace

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const PlmconvTerminal& terminal) {
  enum { kAll = 5, kDryRun, kVerify, kRecursive, kVerbose, kOutput, kReport };
  static constexpr KnownOption kOptions[] = {
      {1, "type-spacing"},   {2, "free-spacing"},          {3, "dimension-values"},      {4, "block-texts"},
      {kAll, "all"},         {kDryRun, "dry-run"},         {kVerify, "verify"},          {kRecursive, "recursive", 'r'},
      {kVerbose, "verbose", 'v'}, {kOutput, "output", 'o', "a folder"}, {kReport, "report", 0, "a file"},
  };
  const ParsedArgs parsed = ParseOptions(args, kOptions);
  if (!parsed.Ok()) return Usage(err, parsed.Error);
  ConvertArgs a;
  for (const ParsedOption& o : parsed.Options) {
    switch (o.Id) {
      case 1: case 2: case 3: case 4: a.options[o.Id] = 1; break;
      case kAll: for (int n = 1; n <= 4; ++n) a.options[n] = 1; break;
      case kDryRun: a.dryRun = true; break;
      case kVerify: a.verify = true; break;
      case kRecursive: a.recursive = true; break;
      case kVerbose: a.verbose = true; break;
      case kOutput: a.saveFolder = o.Value; break;
      case kReport: a.report = o.Value; break;
    }
  }
  for (const std::string& operand : parsed.Operands) a.inputs.emplace_back(operand);
  if (!a.saveFolder) return Usage(err, "no save folder given (-o SAVE_FOLDER)");
  if (a.saveFolder->empty() || !IsExistingFolder(*a.saveFolder))
    return Usage(err, "the save folder " + Shown(*a.saveFolder) + " does not exist");
  if (a.inputs.empty()) return Usage(err, "no files given");
  for (const fs::path& input : a.inputs) {
    const bool folder = IsFolderArgument(input);
    if (IsSameFolder(*a.saveFolder, folder ? input : FolderOf(input)))
      return Usage(err, std::string("the save folder is ") + (folder ? "the folder " : "the folder of ") +
                            Shown(input) + "; converting there would replace the original");
  }
  std::optional<ReportFormat> reportFormat;
  std::ofstream reportFile;
  if (a.report) {
    reportFormat = ReportFormatOf(*a.report);
    if (!reportFormat) return Usage(err, "the report file " + a.report->string() + " must end in .csv or .json");
    reportFile.open(*a.report, std::ios::binary | std::ios::trunc);
    if (!reportFile) return Usage(err, "the report file " + a.report->string() + " cannot be created");
  }
  ScopedTempFolder imageFolder("plmconv-images-");
  if (!imageFolder.Ok()) {
    err << "plmconv: cannot create a temporary folder for bound images\n";
    return kExitFailed;
  }

  bool anyFailed = false;
  std::vector<BatchInput> files;
  for (const fs::path& input : a.inputs) {
    if (IsFolderArgument(input))
      anyFailed |= !CollectFolder(input, *a.saveFolder, a, files, out);
    else
      files.push_back({input, *a.saveFolder, false});
  }

  ProgressLine progress(terminal.ErrIsTerminal ? &err : nullptr, terminal.Width, files.size());
  auto state = std::make_unique<ShellState>();
  state->Images.TempFolder = imageFolder.Path();
  state->Options = a.options;
  state->Status = StatusPrinter(a.verbose, err, progress);
  SpacingReportObserver report;
  std::optional<SpacingReportWriter> reportWriter;
  if (reportFormat) {
    reportWriter.emplace(reportFile, *reportFormat);
    reportWriter->Begin();
  }
  Batch batch{a, *state, out, progress, reportFormat ? &report : nullptr, reportWriter ? &*reportWriter : nullptr, {}};
  for (const BatchInput& file : files) {
    anyFailed |= !ConvertOne(file, batch);
    progress.FileDone();
  }
  progress.Erase();
  out.flush();
  if (reportWriter) {
    reportWriter->End();
    reportFile.close();
    if (!reportFile) {
      err << "plmconv: the report " << a.report->string() << " could not be written completely\n";
      anyFailed = true;
    }
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace plm
