#include "app/plmconv.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

#include "app/plmconv_render.h"
#include "app/plmconv_report.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "platform/cp932.h"
#include "platform/fsutil.h"
#include "shell/conversion.h"
#include "shell/filelist.h"
#include "shell/shellstate.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: plmconv convert [--type-spacing] [--free-spacing] [--dimension-values] [--block-texts]\n"
    "                       [--all] [--dry-run] [--report FILE] [--verify] [--recursive] [-v]\n"
    "                       -o SAVE_FOLDER FILE_OR_FOLDER...\n"
    "       plmconv list [--type 0|1|2|3] [-v] FOLDER\n"
    "       plmconv info FILE...\n"
    "       plmconv render [switches as for convert] [--view current|written|both] FILE -o OUT.svg\n"
    "       plmconv --help\n"
    "\n"
    "convert  Sets negative character spacing to zero and writes each corrected drawing under\n"
    "         its own name into SAVE_FOLDER, in the version it was read in. Files whose\n"
    "         upper-cased extension is .JWW or .JWS are converted when they carry that\n"
    "         format's signature; every other file named on the command line is skipped.\n"
    "         A folder (whose own name does not end in .JWW or .JWS) stands for its\n"
    "         files in name order; files of a folder whose extension is not .JWW or\n"
    "         .JWS, and names starting with a dot, are passed over without a line. One\n"
    "         line per file: converted, skipped (with why) or failed (with why). Input\n"
    "         files are never changed.\n"
    "  --type-spacing      texts that use one of the drawing's ten text types, and the\n"
    "                      text-type table itself\n"
    "  --free-spacing      free-size texts\n"
    "  --dimension-values  with --free-spacing: also free-size dimension value texts\n"
    "  --block-texts       with --free-spacing: also free-size texts in block definitions\n"
    "  --all               all four of the above\n"
    "  --dry-run           load and apply the switches, write nothing, and report how many\n"
    "                      spacing values would change; no backup is made\n"
    "  --report FILE       write one row per spacing value the switches change (with\n"
    "                      --dry-run: would change): file, where it stands (text-type\n"
    "                      table, main list, dimension, block definition, block definition\n"
    "                      dimension), block definition name, layer group, layer, the text\n"
    "                      in UTF-8, its text-type class (code modulo 1000, 0 = free size;\n"
    "                      for a table entry its number) and the old spacing. FILE ending\n"
    "                      in .csv: UTF-8 with a byte-order mark and a header row; ending in\n"
    "                      .json: an array of objects. Files that fail add no rows\n"
    "  --verify            read every output back after writing it: it must hold exactly\n"
    "                      the bytes of the drawing that was written and load in full.\n"
    "                      Otherwise the output is removed, an earlier output moved to\n"
    "                      .BAK by this run is moved back, and the file is failed\n"
    "  -r, --recursive     folders also stand for their sub-folders, whose structure is\n"
    "                      repeated under SAVE_FOLDER (created as needed); the save folder\n"
    "                      itself is never entered, nor are links to folders\n"
    "  -o, --output DIR    the save folder; it must exist and must not be the folder of an\n"
    "                      input file or a folder argument. An output that is already there\n"
    "                      is kept as the one backup: its extension becomes .BAK, replacing\n"
    "                      an older .BAK of the same name\n"
    "  -v, --verbose       print each progress sentence to standard error\n"
    "         When standard error is a terminal, a progress line (files done, current\n"
    "         file, MB/s) is shown there and erased at the end.\n"
    "list     Prints the file list of FOLDER as the window shows it: a header row, then\n"
    "         one row per file in the order the file system returns them, six\n"
    "         tab-separated cells (name, size, extension, memo, last-write time,\n"
    "         attributes). Folders and names starting with a dot are not listed; the\n"
    "         attribute R marks a file its owner may not write (A is never shown). The\n"
    "         closing status sentence goes to standard error.\n"
    "  --type N            0 all files (*.*), 1 *.jw?, 2 *.jww, 3 *.jws; letter case\n"
    "                      does not matter\n"
    "  -v, --verbose       also print the status sentence set when the listing starts\n"
    "info     Prints each file's format, version, memo, entity counts, block definitions,\n"
    "         bound images and the texts with negative spacing.\n"
    "\n"
    "Exit status: 0 when no file failed, 1 when a file failed (a failed verification\n"
    "included), a folder could not be read or the report could not be written, 2 for a\n"
    "usage error (unknown option, missing or unsuitable save folder, report file that\n"
    "cannot be created or has neither .csv nor .json as extension).\n";

int Usage(std::ostream& err, const std::string& message) {
  err << "plmconv: " << message << "\n" << kUsage;
  return kExitUsage;
}

// Upper-cased extension of a file name, from its last dot on ("" without a dot).
std::string UpperExtension(const fs::path& file) {
  return UpperExtensionOf(file.filename().string());
}

fs::path FolderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

// Why a file cannot be opened for reading, or nothing when it can.
std::optional<std::string> OpenProblem(const fs::path& file) {
  ByteCursor in;
  if (in.OpenFile(file)) return std::nullopt;
  return in.Failure().Reason;
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
    default: out << "failed (" << r.Reason << ")\n"; break;
  }
}

// Display columns of UTF-8 text on a terminal: characters from U+1000 on (CJK among
// them) are taken as two columns wide.
size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) != 0x80) width += b >= 0xE1 ? 2 : 1;
  }
  return width;
}

// The one-line progress of a batch on a terminal: files done, the current file and the
// input read per second. Erased before any other line goes to the terminal and at the
// end, so none of it stays. Off (and silent) without a terminal.
class ProgressLine {
 public:
  ProgressLine(std::ostream* terminal, int width, size_t total)
      : terminal_(terminal), width_(std::max(width, 20)), total_(total), start_(Clock::now()) {}
  ~ProgressLine() { Erase(); }

  void Show(const std::string& path) {
    if (!terminal_) return;
    // A control byte in a name would move the cursor away from the line.
    std::string file = path;
    for (char& c : file)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    std::string line = "[" + std::to_string(done_) + "/" + std::to_string(total_) + "] ";
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    if (seconds >= 0.2 && bytes_ > 0) {
      char rate[32];
      std::snprintf(rate, sizeof rate, "%.1f MB/s ", static_cast<double>(bytes_) / 1e6 / seconds);
      line += rate;
    }
    // The tail of the path when it does not fit: a wrapped line could not be erased.
    const size_t columns = static_cast<size_t>(width_ - 1);
    const size_t room = columns > line.size() ? columns - line.size() : 0;
    if (room < 8) {
      line.resize(std::min(line.size(), columns));
    } else if (DisplayWidth(file) <= room) {
      line += file;
    } else {
      std::string tail = file;
      while (!tail.empty() && DisplayWidth(tail) + 3 > room) {
        size_t cut = 1;
        while (cut < tail.size() && (static_cast<unsigned char>(tail[cut]) & 0xC0) == 0x80) ++cut;
        tail.erase(0, cut);
      }
      line += "..." + tail;
    }
    *terminal_ << "\r\x1b[K" << line << std::flush;
    current_ = path;
    shown_ = true;
  }
  // Shows the current file again after another line was written.
  void Redraw() {
    if (terminal_ && !shown_ && current_) Show(*current_);
  }
  void AddBytes(uint64_t bytes) { bytes_ += bytes; }
  void FileDone() {
    ++done_;
    current_.reset();
  }
  void Erase() {
    if (!terminal_ || !shown_) return;
    *terminal_ << "\r\x1b[K" << std::flush;
    shown_ = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream* terminal_;
  int width_;
  size_t total_;
  size_t done_ = 0;
  uint64_t bytes_ = 0;
  Clock::time_point start_;
  std::optional<std::string> current_;
  bool shown_ = false;
};

// One file to convert and the folder its output goes to.
struct InputFile {
  fs::path Path;
  fs::path OutputFolder;
  bool FromFolder = false;  // found in a folder argument
};

bool IsDrawingExtension(const fs::path& file) {
  const std::string ext = UpperExtension(file);
  return ext == ".JWW" || ext == ".JWS";
}

// An argument that names a drawing by its extension is always taken as one file (and
// fails when it is a folder); any other existing folder stands for its drawings.
bool IsFolderArgument(const fs::path& input) { return !IsDrawingExtension(input) && IsExistingFolder(input); }

// The drawings of a folder in name order, then (recursively) its sub-folders in name
// order, each sub-folder's outputs in the same-named sub-folder of outputFolder. The
// save folder and links to folders are never entered. False, after a failed line,
// when a folder cannot be read.
bool CollectFolder(const fs::path& folder, const fs::path& outputFolder, const ConvertArgs& a,
                   std::vector<InputFile>& files, std::ostream& out) {
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
  if (ec) {
    out << folder.string() << ": failed (the folder cannot be read: " << ec.message() << ")\n";
    return false;
  }
  std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& x, const fs::directory_entry& y) {
    return x.path().filename().string() < y.path().filename().string();
  });
  std::vector<fs::path> subFolders;
  for (const fs::directory_entry& e : entries) {
    const fs::path& path = e.path();
    if (path.filename().string().starts_with(".")) continue;
    std::error_code statError;
    if (e.is_directory(statError)) {
      if (a.recursive && !e.is_symlink(statError) && !IsSameFolder(path, *a.saveFolder)) subFolders.push_back(path);
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
};

// Decides as the batch command does: the upper-cased extension picks the format, the
// format's probe must pass, and the per-file driver converts. Prints the file's line;
// false when the file failed.
bool ConvertOne(const InputFile& input, Batch& batch) {
  const fs::path& file = input.Path;
  std::ostream& out = batch.out;
  auto line = [&]() -> std::ostream& {
    batch.progress.Erase();
    return out << file.string() << ": ";
  };
  const std::string ext = UpperExtension(file);
  if (ext != ".JWW" && ext != ".JWS") {
    line() << "skipped (not a drawing extension)\n";
    return true;
  }
  if (auto problem = OpenProblem(file)) {
    line() << "failed (" << *problem << ")\n";
    return false;
  }
  if (ext == ".JWW" ? !IsJwwFile(file) : !IsJwsFile(file)) {
    line() << (ext == ".JWW" ? "skipped (not a JWW drawing: the signature does not match)\n"
                             : "skipped (not a JWS figure: the signature does not match)\n");
    return true;
  }
  // A sub-folder whose output folder is itself (reached through a link, say) would
  // have its originals replaced.
  if (input.FromFolder && IsSameFolder(input.OutputFolder, FolderOf(file))) {
    line() << "failed (the output folder is the file's own folder)\n";
    return false;
  }
  if (!batch.args.dryRun && !IsExistingFolder(input.OutputFolder)) {
    std::error_code ec;
    fs::create_directories(input.OutputFolder, ec);
    if (!IsExistingFolder(input.OutputFolder)) {
      line() << "failed (the output folder " << input.OutputFolder.string() << " cannot be created: " << ec.message()
             << ")\n";
      return false;
    }
  }
  std::error_code sizeError;
  const uint64_t size = fs::file_size(file, sizeError);
  batch.progress.Show(file.string());
  const std::string inputPath = file.string();
  const std::string outputPath = (input.OutputFolder / file.filename()).string();
  const ConvertMode mode = batch.args.dryRun ? ConvertMode::DryRun : ConvertMode::Write;
  ConvertHooks hooks;
  hooks.Verify = batch.args.verify;
  hooks.Observer = batch.report;
  if (batch.report) batch.report->StartFile(inputPath);
  const ConvertResult r = ext == ".JWW" ? ConvertJwwFile(batch.state, inputPath, outputPath, mode, hooks)
                                        : ConvertJwsFile(batch.state, inputPath, outputPath, mode, hooks);
  batch.progress.AddBytes(sizeError ? 0 : size);
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

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const PlmconvTerminal& terminal) {
  ConvertArgs a;
  static const std::map<std::string, int> kSwitches = {
      {"--type-spacing", 1}, {"--free-spacing", 2}, {"--dimension-values", 3}, {"--block-texts", 4}};
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && kSwitches.count(arg)) {
      a.options[kSwitches.at(arg)] = 1;
    } else if (!optionsDone && arg == "--all") {
      for (int n = 1; n <= 4; ++n) a.options[n] = 1;
    } else if (!optionsDone && arg == "--dry-run") {
      a.dryRun = true;
    } else if (!optionsDone && arg == "--verify") {
      a.verify = true;
    } else if (!optionsDone && (arg == "-r" || arg == "--recursive")) {
      a.recursive = true;
    } else if (!optionsDone && (arg == "-v" || arg == "--verbose")) {
      a.verbose = true;
    } else if (!optionsDone && (arg == "-o" || arg == "--output")) {
      if (i + 1 >= args.size()) return Usage(err, "option " + arg + " needs a folder");
      a.saveFolder = args[++i];
    } else if (!optionsDone && arg.starts_with("--output=")) {
      a.saveFolder = arg.substr(9);
    } else if (!optionsDone && arg == "--report") {
      if (i + 1 >= args.size()) return Usage(err, "option --report needs a file");
      a.report = args[++i];
    } else if (!optionsDone && arg.starts_with("--report=")) {
      a.report = arg.substr(9);
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return Usage(err, "unknown option " + arg);
    } else {
      a.inputs.emplace_back(arg);
    }
  }
  if (!a.saveFolder) return Usage(err, "no save folder given (-o SAVE_FOLDER)");
  if (a.saveFolder->empty() || !IsExistingFolder(*a.saveFolder))
    return Usage(err, "the save folder " + a.saveFolder->string() + " does not exist");
  if (a.inputs.empty()) return Usage(err, "no files given");
  for (const fs::path& input : a.inputs) {
    const bool folder = IsFolderArgument(input);
    if (IsSameFolder(*a.saveFolder, folder ? input : FolderOf(input)))
      return Usage(err, std::string("the save folder is ") + (folder ? "the folder " : "the folder of ") +
                            input.string() + "; converting there would replace the original");
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
  std::vector<InputFile> files;
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
  Batch batch{a, *state, out, progress, reportFormat ? &report : nullptr, reportWriter ? &*reportWriter : nullptr};
  for (const InputFile& file : files) {
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

// The rows the window's file list shows for a folder and type filter, tab-separated,
// the memo decoded to UTF-8; the closing status sentence goes to standard error.
int List(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  int filterIndex = 0;
  bool verbose = false;
  std::optional<std::string> folder;
  bool optionsDone = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!optionsDone && arg == "--") {
      optionsDone = true;
    } else if (!optionsDone && (arg == "--type" || arg.starts_with("--type="))) {
      std::string value;
      if (arg == "--type") {
        if (i + 1 >= args.size()) return Usage(err, "option --type needs 0, 1, 2 or 3");
        value = args[++i];
      } else {
        value = arg.substr(7);
      }
      if (value.size() != 1 || value[0] < '0' || value[0] > '3')
        return Usage(err, "option --type needs 0, 1, 2 or 3, not " + value);
      filterIndex = value[0] - '0';
    } else if (!optionsDone && (arg == "-v" || arg == "--verbose")) {
      verbose = true;
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return Usage(err, "unknown option " + arg);
    } else if (folder) {
      return Usage(err, "list takes one folder");
    } else {
      folder = arg;
    }
  }
  if (!folder) return Usage(err, "no folder given");
  if (folder->empty() || !IsExistingFolder(*folder)) return Usage(err, "the folder " + *folder + " does not exist");
  // Folder paths of the list end in a separator; file paths are folder + name.
  std::string folderPath = *folder;
  if (folderPath.back() != '/') folderPath += '/';

  auto state = std::make_unique<ShellState>();
  std::string lastStatus;
  state->Status = [&](const std::string& text) {
    lastStatus = text;
    if (verbose) err << text << "\n" << std::flush;
  };
  const ListFilesResult listing = ListFiles(*state, folderPath, filterIndex, kDefaultColumnWidth);
  const auto& header = FileListHeader();
  for (int c = 0; c < kFileListColumns; ++c) out << (c ? "\t" : "") << header[static_cast<size_t>(c)];
  out << "\n";
  for (const FileRow& row : listing.Rows) {
    for (int c = 0; c < kFileListColumns; ++c) out << (c ? "\t" : "") << CellDisplayText(row, c);
    out << "\n";
  }
  out.flush();
  if (!verbose) err << lastStatus << "\n";
  if (!listing.Error.empty()) {
    err << "plmconv: cannot list " << folderPath << ": " << listing.Error << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

// Counts and negative spacings shared by both formats.
template <class Doc>
void PrintBodyInfo(const Doc& doc, std::ostream& out) {
  out << "  entities: " << doc.EntityCount << " (lines " << doc.SenList.size() << ", arcs " << doc.EnkoList.size()
      << ", points " << doc.TenList.size() << ", texts " << doc.MojiList.size() << ", dimensions "
      << doc.SunpoList.size() << ", solids " << doc.SolidList.size() << ", block insertions "
      << doc.BlockList.size() << ")\n";
  out << "  block definitions: " << doc.BlockDefList.size() << "\n";
  struct Negatives { uint64_t freeSize = 0, typed = 0; } texts, dims;
  auto count = [](const TEntMoji& m, Negatives& n) {
    if (!(m.Spacing >= 0.0)) ++(TextTypeClass(m.TextTypeCode) == 0 ? n.freeSize : n.typed);
  };
  for (const TEntMoji& m : doc.MojiList) count(m, texts);
  for (const TEntSunpo& s : doc.SunpoList) count(s.Text, dims);
  for (const TEntBlockDef_& d : doc.BlockDefList) {
    for (const TEntMoji& m : d.Texts) count(m, texts);
    for (const TEntSunpo& s : d.Dims) count(s.Text, dims);
  }
  out << "  negative spacing: texts " << texts.freeSize << " free-size and " << texts.typed
      << " text-type, dimension texts " << dims.freeSize << " free-size and " << dims.typed << " text-type\n";
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

void PrintDrawingInfo(const fs::path& file, TempImages& images, std::ostream& out, bool& anyFailed) {
  out << "  format: JWW\n";
  JwwDocument doc;
  ReadFailure failure;
  if (LoadJwwFile(doc, images, file, &failure)) {
    out << "  version: " << doc.Header.Version << "\n  memo: " << MemoForDisplay(doc.Header.Memo) << "\n";
    PrintBodyInfo(doc, out);
    uint64_t table = 0;
    for (const TTextTypeSetting& t : doc.TextTypeSettings) table += !(t.Spacing >= 0.0);
    out << "  negative spacing in the text-type table: " << table << "\n";
    if (doc.Header.Version >= kVerImages) {
      out << "  bound images: " << images.TempImageFiles.size() << "\n";
      for (const TBindImageType& image : images.TempImageFiles)
        out << "    " << Cp932ToUtf8(image.Name) << " (" << image.Size << " bytes)\n";
    }
  } else {
    // A drawing that does not load in full may still show its memo.
    JwwDocument memo;
    if (ReadJwwMemo(memo, file))
      out << "  version: " << memo.Header.Version << "\n  memo: " << MemoForDisplay(memo.Header.Memo) << "\n";
    out << "  failed (" << failure.Reason << ")\n";
    anyFailed = true;
  }
  if (doc.Header.Version >= kVerImages) DeleteTempImageFiles(images);
  ClearJwwData(doc);
}

void PrintFigureInfo(const fs::path& file, std::ostream& out, bool& anyFailed) {
  out << "  format: JWS\n";
  JwsDocument doc;
  ReadFailure failure;
  if (LoadJwsFile(doc, file, &failure)) {
    out << "  version: " << doc.Version << "\n";
    PrintBodyInfo(doc, out);
  } else {
    out << "  failed (" << failure.Reason << ")\n";
    anyFailed = true;
  }
  ClearJwsData(doc);
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "no files given");
  ScopedTempFolder imageFolder("plmconv-images-");
  TempImages images;
  images.TempFolder = imageFolder.Path();
  bool anyFailed = false;
  for (const std::string& arg : args) {
    const fs::path file(arg);
    out << file.string() << "\n";
    if (auto problem = OpenProblem(file)) {
      out << "  failed (" << *problem << ")\n";
      anyFailed = true;
    } else if (IsJwwFile(file)) {
      PrintDrawingInfo(file, images, out, anyFailed);
    } else if (IsJwsFile(file)) {
      PrintFigureInfo(file, out, anyFailed);
    } else {
      out << "  format: unknown\n";
    }
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace

int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return PlmconvMain(args, out, err, PlmconvTerminal{});
}

int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const PlmconvTerminal& terminal) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "convert") return Convert(rest, out, err, terminal);
  if (command == "info") return Info(rest, out, err);
  if (command == "render") return RunRender(rest, out, err);
  if (command == "list") return List(rest, out, err);
  return Usage(err, "unknown command " + command);
}

}  // namespace plm
