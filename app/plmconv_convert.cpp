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
#include <unordered_map>
#include <vector>

#include "app/plmconv_commands.h"
#include "app/plmconv_options.h"
#include "app/plmconv_progress.h"
#include "app/plmconv_report.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "shell/batchrun.h"
#include "shell/conversion.h"
#include "shell/filelist.h"
#include "shell/formats.h"
#include "shell/savefolder.h"
#include "shell/shellstate.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

// The converted format a name's extension stands for, or null.
const DrawingFormat* ConvertedFormatOf(const fs::path& file) {
  const DrawingFormat* format = FormatForName(file.filename().string());
  return format && format->Converted() ? format : nullptr;
}

struct ConvertArgs {
  ConversionSwitches options;
  bool dryRun = false;
  bool verbose = false;
  bool verify = false;
  bool recursive = false;
  bool noWait = false;
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

// The folders below the save folder that outputs go to, as a tree: node 0 is the
// save folder, every other node one sub-folder name under its parent. Each name is
// held once, so a deep tree costs memory in proportion to its folders.
struct OutputNode {
  size_t Parent = 0;
  std::string Name;
};

// One file to convert and the folder its output goes to.
struct BatchInput {
  fs::path Path;
  size_t Node = 0;          // of the output folders
  bool FromFolder = false;  // found in a folder argument
  std::optional<size_t> SameAs;     // an earlier input that is the same file
  std::optional<size_t> NameTaken;  // an earlier input with the same output name
};

bool IsDrawingExtension(const fs::path& file) { return ConvertedFormatOf(file) != nullptr; }

// An argument that names a drawing by its extension is always taken as one file (and
// fails when it is a folder); any other existing folder stands for its drawings.
bool IsFolderArgument(const fs::path& input) { return !IsDrawingExtension(input) && IsExistingFolder(input); }

// The names from the save folder down to `node`.
std::vector<std::string> NamesBelow(const std::vector<OutputNode>& nodes, size_t node) {
  std::vector<std::string> names;
  for (; node != 0; node = nodes[node].Parent) names.push_back(nodes[node].Name);
  std::reverse(names.begin(), names.end());
  return names;
}

// The drawings of a folder in name order, then (recursively) its sub-folders in name
// order, each sub-folder's outputs in the same-named sub-folder of the folder's
// outputs. The save folder and links to folders are never entered. False, after a
// failed line, when a folder cannot be read. Walked with a list of its own, not the
// call stack, so a tree of any depth is walked in memory its breadth needs.
bool CollectFolder(const fs::path& top, size_t topNode, const ConvertArgs& a, const FileIdentity& save,
                   std::vector<OutputNode>& nodes, std::vector<BatchInput>& files, std::ostream& out) {
  struct Pending {
    fs::path Path;
    size_t Node;
  };
  std::vector<Pending> pending{{top, topNode}};
  bool ok = true;
  while (!pending.empty()) {
    const Pending folder = std::move(pending.back());
    pending.pop_back();
    std::vector<FolderEntry> entries;
    std::string why;
    if (!ForEachFolderEntry(folder.Path, [&](const FolderEntry& e) {
          if (!e.Hidden) entries.push_back(e);
          return true;
        }, &why)) {
      out << Shown(folder.Path) << ": failed (the folder cannot be read: " << why << ")\n";
      ok = false;
      continue;
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& x, const FolderEntry& y) { return x.Name < y.Name; });
    std::vector<Pending> subFolders;
    for (const FolderEntry& e : entries) {
      const fs::path path = folder.Path / PathFromUtf8(e.Name);
      if (e.IsFolder) {
        if (a.recursive && IdentityOf(path) != std::optional(save)) {
          nodes.push_back({folder.Node, e.Name});
          subFolders.push_back({path, nodes.size() - 1});
        }
      } else if (e.IsLink && IsExistingFolder(path)) {
        continue;  // links to folders are never entered
      } else if (IsDrawingExtension(path)) {
        files.push_back({path, folder.Node, true, {}, {}});
      }
    }
    for (auto it = subFolders.rbegin(); it != subFolders.rend(); ++it) pending.push_back(std::move(*it));
  }
  return ok;
}

// Marks each input that is the same file as an earlier one (named twice, or through
// a link), and each whose output name an earlier input already has.
void MarkRepeats(std::vector<BatchInput>& files, SaveFolderSession* session) {
  std::unordered_map<FileIdentity, size_t> byIdentity;
  std::map<std::pair<size_t, std::string>, size_t> byOutput;
  for (size_t i = 0; i < files.size(); ++i) {
    BatchInput& f = files[i];
    if (const std::optional<FileIdentity> id = IdentityOf(f.Path)) {
      const auto [at, fresh] = byIdentity.emplace(*id, i);
      if (!fresh) {
        f.SameAs = at->second;
        continue;
      }
      if (session) session->AddInput(*id);
    }
    const auto [at, fresh] = byOutput.emplace(std::pair(f.Node, f.Path.filename().string()), i);
    if (!fresh) f.NameTaken = at->second;
  }
}

// Everything a batch shares between its files.
struct Batch {
  const ConvertArgs& args;
  const std::vector<BatchInput>& files;
  const std::vector<OutputNode>& nodes;
  SaveFolderSession* session;  // null for a dry run
  // The folders of inputs found to be their output folder; shared by the workers.
  std::mutex folderLock;
  std::map<std::pair<size_t, std::string>, bool> ownFolders;  // (node, input folder) -> the same
};

// What became of one file before its result: set by a worker, read in file order.
struct FileNote {
  std::string Line;  // a result that comes before any conversion; empty when converted
  bool Failed = false;
  uint64_t Size = 0;
  std::vector<SpacingReportRow> Report;
};

// A folder whose output folder is itself (reached through a mount, say) would have
// its originals replaced.
bool IsOwnOutputFolder(const BatchInput& input, const Folder& output, Batch& batch) {
  std::lock_guard lock(batch.folderLock);
  const std::pair<size_t, std::string> key(input.Node, Utf8FromPath(FolderOf(input.Path)));
  const auto known = batch.ownFolders.find(key);
  if (known != batch.ownFolders.end()) return known->second;
  const bool same = IdentityOf(FolderOf(input.Path)) == std::optional(output.Identity());
  batch.ownFolders.emplace(key, same);
  return same;
}

// Decides as the window's batch does, through ReadConversionInput and
// PrepareReadInput, after the checks only a command line needs (a file named twice,
// an output name taken, an output folder that is the input's own). Runs on a worker.
BatchRowWork PrepareOne(const BatchInput& input, Batch& batch, ShellState& state, SpacingReportObserver* report,
                        FileNote& note, const std::function<void(const std::string&)>& status) {
  BatchRowWork work;
  const fs::path& file = input.Path;
  const DrawingFormat* format = ConvertedFormatOf(file);
  if (!format) {
    note.Line = "skipped (not a drawing extension)";
    return work;
  }
  if (input.SameAs) {  // converted once, under its first name
    note.Line = "skipped (the same file as " + Shown(batch.files[*input.SameAs].Path) + ")";
    return work;
  }
  if (input.NameTaken) {
    note.Line = "failed (" + Shown(batch.files[*input.NameTaken].Path) +
                " has the same output name; an output name is written once in a run)";
    note.Failed = true;
    return work;
  }
  const ConversionInput read = ReadConversionInput(file.string(), file.filename().string());
  if (read.Verdict == InputVerdict::Unopened) {
    note.Line = "failed (" + read.Why + ")";
    note.Failed = true;
    return work;
  }
  if (read.Verdict == InputVerdict::NotThisFormat) {
    note.Line = "skipped (" + std::string(format->NotThisFormat) + ")";
    return work;
  }
  const std::vector<std::string> below = NamesBelow(batch.nodes, input.Node);
  fs::path outputFolder = *batch.args.saveFolder;
  for (const std::string& name : below) outputFolder /= PathFromUtf8(name);
  std::shared_ptr<Folder> folder;
  if (batch.session) {
    std::string problem;
    folder = batch.session->OutputFolder(below, &problem);
    if (!folder) {
      note.Line = "failed (" + problem + ")";
      note.Failed = true;
      return work;
    }
    if (input.FromFolder && IsOwnOutputFolder(input, *folder, batch)) {
      note.Line = "failed (the output folder is the file's own folder)";
      note.Failed = true;
      return work;
    }
  }
  const std::string inputPath = Utf8FromPath(file);
  const std::string outputPath = Utf8FromPath(outputFolder / file.filename());
  if (read.Bytes) note.Size = read.HeadOnly ? FileSizeOf(file).value_or(0) : read.Bytes->size();
  ConvertHooks hooks;
  hooks.Verify = batch.args.verify;
  hooks.Observer = report;
  hooks.DeferFlush = true;
  if (report) report->StartFile(inputPath);
  const ConvertMode mode = batch.args.dryRun ? ConvertMode::DryRun : ConvertMode::Write;
  const OutputTarget target = folder ? OutputTarget{folder, file.filename().string(), batch.session}
                                     : OutputTarget{nullptr, outputPath, nullptr};
  work.Conversion = PrepareReadInput(state, read, inputPath, outputPath, target, mode, hooks, status);
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

int RunConvert(const ParsedArgs& parsed, const CommandIo& io) {
  std::ostream& out = io.out;
  std::ostream& err = io.err;
  const PlmconvTerminal& terminal = io.terminal;
  ConvertArgs a;
  for (const ParsedOption& o : parsed.Options) {
    switch (o.Id) {
      case kTypeSpacingOption: case kFreeSpacingOption: case kDimensionValuesOption: case kBlockTextsOption:
        a.options.*kSwitchOrder[*SwitchIndexOf(o.Id)] = true;
        break;
      case kAllOption: a.options = ConversionSwitches::All(); break;
      case kDryRunOption: a.dryRun = true; break;
      case kVerifyOption: a.verify = true; break;
      case kRecursiveOption: a.recursive = true; break;
      case kNoWaitOption: a.noWait = true; break;
      case kVerboseOption: a.verbose = true; break;
      case kOutputOption: a.saveFolder = PathFromUtf8(o.Value); break;
      case kReportOption: a.report = PathFromUtf8(o.Value); break;
      case kJobsOption: {
        const std::optional<int> n = JobCount(o.Value);
        if (!n) return io.Usage(o.Spelling + " needs a whole number from 1 to " + std::to_string(kMaxJobs) +
                                    ", not \"" + o.Value + "\"");
        a.jobs = *n;
        break;
      }
    }
  }
  for (const std::string& operand : parsed.Operands) a.inputs.push_back(PathFromUtf8(operand));
  if (!a.saveFolder) return io.Usage("no save folder given (-o SAVE_FOLDER)");
  if (a.saveFolder->empty() || !IsExistingFolder(*a.saveFolder))
    return io.Usage("the save folder " + Shown(*a.saveFolder) + " does not exist");
  if (a.inputs.empty()) return io.Usage("no files given");
  const std::optional<FileIdentity> saveId = IdentityOf(*a.saveFolder);
  if (!saveId) return io.Usage("the save folder " + Shown(*a.saveFolder) + " does not exist");
  const FileIdentity save = *saveId;
  for (const fs::path& input : a.inputs) {
    const bool folder = IsFolderArgument(input);
    if (IsSameFolder(*a.saveFolder, folder ? input : FolderOf(input)))
      return io.Usage(std::string("the save folder is ") + (folder ? "the folder " : "the folder of ") +
                          Shown(input) + "; converting there would replace the original");
    // Above a folder argument, the outputs of its sub-folders would fall among them.
    if (folder && a.recursive) {
      std::error_code ec;
      for (fs::path up = fs::canonical(input, ec).parent_path(); !ec && !up.empty(); up = up.parent_path()) {
        if (IdentityOf(up) == std::optional(save))
          return io.Usage("the save folder " + Shown(*a.saveFolder) + " holds the folder " + Shown(input) +
                              "; with -r the outputs of its sub-folders would replace originals");
        if (up == up.root_path()) break;
      }
    }
  }
  std::optional<ReportFormat> reportFormat;
  std::ofstream reportFile;
  if (a.report) {
    reportFormat = ReportFormatOf(*a.report);
    if (!reportFormat) return io.Usage("the report file " + Shown(*a.report) + " must end in .csv or .json");
    reportFile.open(*a.report, std::ios::binary | std::ios::trunc);
    if (!reportFile) return io.Usage("the report file " + Shown(*a.report) + " cannot be created");
  }
  // The save folder is held for the whole run; another run writing there is waited
  // for (or, with --no-wait, not).
  std::optional<SaveFolderSession> session;
  if (!a.dryRun) {
    session.emplace();
    SaveFolderWait wait;
    wait.OnBusy = [&] {
      if (!a.noWait) err << "plmconv: another conversion is writing into this folder; waiting\n" << std::flush;
    };
    if (!a.noWait) wait.KeepWaiting = [] { return true; };
    std::string why;
    switch (session->Open(*a.saveFolder, wait, &why)) {
      case SaveFolderSession::Opened::Ready: break;
      case SaveFolderSession::Opened::Busy:
        err << "plmconv: another conversion is writing into this folder: " << Shown(*a.saveFolder)
            << " (--no-wait)\n";
        return kExitUsage;
      case SaveFolderSession::Opened::Failed:
        return io.Usage("the save folder " + Shown(*a.saveFolder) + " " + why);
    }
  }
  ScopedTempFolder imageFolder("plmconv-images-");
  if (!imageFolder.Ok()) {
    err << "plmconv: cannot create a temporary folder for bound images\n";
    return kExitFailed;
  }

  bool anyFailed = false;
  std::vector<OutputNode> nodes(1);
  std::vector<BatchInput> files;
  for (const fs::path& input : a.inputs) {
    if (IsFolderArgument(input))
      anyFailed |= !CollectFolder(input, 0, a, save, nodes, files, out);
    else
      files.push_back({input, 0, false, {}, {}});
  }
  MarkRepeats(files, session ? &*session : nullptr);

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
  Batch batch{a, files, nodes, session ? &*session : nullptr, {}, {}};

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
      err << "plmconv: the report " << Shown(*a.report) << " could not be written completely\n";
      anyFailed = true;
    }
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace plm
