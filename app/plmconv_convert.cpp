#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/plmconv_commands.h"
#include "app/plmconv_options.h"
#include "app/plmconv_progress.h"
#include "app/plmconv_report.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "shell/batchrun.h"
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
  std::optional<int> jobs;  // drawings converted at once; none: one per core
  std::optional<fs::path> saveFolder;
  std::optional<fs::path> report;
  std::vector<fs::path> inputs;  // files and folders as given
};

constexpr int kMaxJobs = 256;

// The value of -j: decimal digits only, 1 to kMaxJobs.
std::optional<int> JobCount(const std::string& text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxJobs) return std::nullopt;
  return n;
}

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
  const std::vector<BatchInput>& files;
  // Output folders checked (made, and swept of stale temporaries) once each, and
  // the folders of inputs found to be their output folder; shared by the workers.
  std::mutex folderLock;
  std::map<std::string, std::string> outputFolders;  // folder -> "" when usable, else the failure
  std::map<std::string, bool> ownFolders;           // input folder -> it is its output folder
};

// What became of one file before its result: set by a worker, read in file order.
struct FileNote {
  std::string Line;  // a result that comes before any conversion; empty when converted
  bool Failed = false;
  uint64_t Size = 0;
  std::vector<SpacingReportRow> Report;
};

// "" when outputs may go to the folder, else why not. Made once per folder: a
// sub-folder below the save folder is created when missing, a save folder that went
// away during the batch (a network folder that dropped) is never made again, and
// what a killed batch left there is swept before anything is written.
std::string PrepareOutputFolder(const BatchInput& input, Batch& batch) {
  std::lock_guard lock(batch.folderLock);
  const std::string key = input.OutputFolder.string();
  const auto known = batch.outputFolders.find(key);
  if (known != batch.outputFolders.end()) return known->second;
  std::string problem;
  if (!IsExistingFolder(input.OutputFolder)) {
    std::string why;
    if (!IsExistingFolder(*batch.args.saveFolder))
      problem = "the save folder " + batch.args.saveFolder->string() + " no longer exists";
    else if (!CreateFolders(input.OutputFolder, &why))
      problem = "the output folder " + input.OutputFolder.string() + " cannot be created: " + why;
  }
  if (problem.empty()) RemoveStaleTemporaries(input.OutputFolder);
  batch.outputFolders.emplace(key, problem);
  return problem;
}

// A sub-folder whose output folder is itself (reached through a link, say) would
// have its originals replaced.
bool IsOwnOutputFolder(const BatchInput& input, Batch& batch) {
  if (!input.FromFolder) return false;
  std::lock_guard lock(batch.folderLock);
  const std::string key = FolderOf(input.Path).string();
  const auto known = batch.ownFolders.find(key);
  if (known != batch.ownFolders.end()) return known->second;
  const bool same = IsSameFolder(input.OutputFolder, FolderOf(input.Path));
  batch.ownFolders.emplace(key, same);
  return same;
}

// Decides as the batch command does: the upper-cased extension picks the format, the
// format's probe must pass (answered from the one read of the file that also feeds
// the load), and the per-file driver converts. Runs on a worker.
BatchRowWork PrepareOne(const BatchInput& input, Batch& batch, ShellState& state, SpacingReportObserver* report,
                        FileNote& note, const std::function<void(const std::string&)>& status) {
  BatchRowWork work;
  const fs::path& file = input.Path;
  const DrawingFormat* format = ConvertedFormatOf(file);
  if (!format) {
    note.Line = "skipped (not a drawing extension)";
    return work;
  }
  bool probed = false, matches = false, headOnly = false;
  std::string why;
  const std::optional<std::vector<uint8_t>> bytes = ReadWholeFileIf(
      file,
      [&](std::span<const uint8_t> head) {
        probed = true;
        return matches = StartsWithSignature(*format->Document, head);
      },
      nullptr, &why, kLoadFromBytesUpTo, &headOnly);
  if (!probed) {  // it cannot be opened
    note.Line = "failed (" + why + ")";
    note.Failed = true;
    return work;
  }
  if (!matches) {
    note.Line = "skipped (" + std::string(format->NotThisFormat) + ")";
    return work;
  }
  if (IsOwnOutputFolder(input, batch)) {
    note.Line = "failed (the output folder is the file's own folder)";
    note.Failed = true;
    return work;
  }
  if (!batch.args.dryRun) {
    const std::string problem = PrepareOutputFolder(input, batch);
    if (!problem.empty()) {
      note.Line = "failed (" + problem + ")";
      note.Failed = true;
      return work;
    }
  }
  const std::string inputPath = file.string();
  const std::string outputPath = (input.OutputFolder / file.filename()).string();
  status(ConversionStatusText(inputPath, outputPath));
  if (!bytes) {  // the rest of the file could not be read
    work.Conversion.Result.Outcome = ConvertOutcome::LoadFailed;
    work.Conversion.Result.Reason = why;
    return work;
  }
  note.Size = headOnly ? FileSizeOf(file).value_or(0) : bytes->size();
  ConvertHooks hooks;
  hooks.Verify = batch.args.verify;
  hooks.Observer = report;
  hooks.DeferFlush = true;
  if (report) report->StartFile(inputPath);
  const ConvertMode mode = batch.args.dryRun ? ConvertMode::DryRun : ConvertMode::Write;
  work.Conversion = PrepareConversion(state, *format, inputPath, outputPath, mode, hooks,
                                      headOnly ? std::nullopt : std::optional(std::span<const uint8_t>(*bytes)));
  // Only what reached an output (or would, in a dry run) is reported; whether it did
  // is known once the output is in place.
  if (report && work.Conversion.Result.Ok()) note.Report = report->Rows();
  return work;
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
  enum { kAll = 5, kDryRun, kVerify, kRecursive, kVerbose, kOutput, kReport, kJobs };
  static constexpr KnownOption kOptions[] = {
      {1, "type-spacing"},   {2, "free-spacing"},          {3, "dimension-values"},      {4, "block-texts"},
      {kAll, "all"},         {kDryRun, "dry-run"},         {kVerify, "verify"},          {kRecursive, "recursive", 'r'},
      {kVerbose, "verbose", 'v'}, {kOutput, "output", 'o', "a folder"}, {kReport, "report", 0, "a file"},
      {kJobs, "jobs", 'j', "a number"},
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
      case kJobs: {
        const std::optional<int> n = JobCount(o.Value);
        if (!n) return Usage(err, o.Spelling + " needs a whole number from 1 to " + std::to_string(kMaxJobs) +
                                      ", not \"" + o.Value + "\"");
        a.jobs = *n;
        break;
      }
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
  const std::function<void(const std::string&)> printStatus = StatusPrinter(a.verbose, err, progress);
  size_t current = 0;  // the file whose turn it is, in file order
  state->Status = [&](const std::string& text) {
    progress.Show(Shown(files[current].Path));
    if (printStatus) printStatus(text);
  };
  std::optional<SpacingReportWriter> reportWriter;
  if (reportFormat) {
    reportWriter.emplace(reportFile, *reportFormat);
    reportWriter->Begin();
  }
  const int workers = std::max(1, a.jobs.value_or(DefaultWorkers()));
  std::vector<SpacingReportObserver> reports(static_cast<size_t>(workers));
  std::vector<FileNote> notes(files.size());
  Batch batch{a, files, {}, {}, {}};

  RowOrderedRun run;
  run.Rows = files.size();
  run.Workers = workers;
  run.Starting = [&](size_t i) {
    current = i;
    progress.SetDone(i);
  };
  run.Prepare = [&](size_t i, int worker, ShellState& ws, const std::function<void(const std::string&)>& status) {
    return PrepareOne(files[i], batch, ws, reportFormat ? &reports[static_cast<size_t>(worker)] : nullptr, notes[i],
                      status);
  };
  run.Done = [&](size_t i, BatchRowWork&, const ConvertResult& r) {
    FileNote& note = notes[i];
    progress.Erase();
    out << Shown(files[i].Path) << ": ";
    if (!note.Line.empty()) {
      out << Shown(note.Line) << "\n";
      anyFailed |= note.Failed;
    } else {
      progress.AddBytes(note.Size);
      PrintResult(out, r);
      anyFailed |= !r.Ok();
      if (reportWriter && r.Ok()) reportWriter->Add(note.Report);
    }
    // Beside a progress line each result shows at once; otherwise a row's lines go
    // out together once the rows before it are final.
    if (terminal.ErrIsTerminal) out.flush();
    note = {};
  };
  run.Reported = [&] { out.flush(); };
  RunRowOrdered(*state, run);
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
