#include "app/plmconv.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>

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
    "                       [--all] [--dry-run] [-v] -o SAVE_FOLDER FILE...\n"
    "       plmconv list [--type 0|1|2|3] [-v] FOLDER\n"
    "       plmconv info FILE...\n"
    "       plmconv --help\n"
    "\n"
    "convert  Sets negative character spacing to zero and writes each corrected drawing under\n"
    "         its own name into SAVE_FOLDER, in the version it was read in. Files whose\n"
    "         upper-cased extension is .JWW or .JWS are converted when they carry that\n"
    "         format's signature; every other file is skipped. One line per file:\n"
    "         converted, skipped (with why) or failed (with why).\n"
    "  --type-spacing      texts that use one of the drawing's ten text types, and the\n"
    "                      text-type table itself\n"
    "  --free-spacing      free-size texts\n"
    "  --dimension-values  with --free-spacing: also free-size dimension value texts\n"
    "  --block-texts       with --free-spacing: also free-size texts in block definitions\n"
    "  --all               all four of the above\n"
    "  --dry-run           load and apply the switches, write nothing, and report how many\n"
    "                      spacing values would change; no backup is made\n"
    "  -o, --output DIR    the save folder; it must exist and must not be the folder of an\n"
    "                      input file. An output that is already there is kept as\n"
    "                      the one backup: its extension becomes .BAK, replacing an\n"
    "                      older .BAK of the same name\n"
    "  -v, --verbose       print each progress sentence to standard error\n"
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
    "Exit status: 0 when no file failed, 1 when a file failed (or the folder could not\n"
    "be read), 2 for a usage error.\n";

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
  std::optional<fs::path> saveFolder;
  std::vector<fs::path> files;
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

// Decides as the batch command does: the upper-cased extension picks the format, the
// format's probe must pass, and the per-file driver converts. Prints the file's line;
// false when the file failed.
bool ConvertOne(const fs::path& file, const ConvertArgs& a, ShellState& state, std::ostream& out) {
  out << file.string() << ": ";
  const std::string ext = UpperExtension(file);
  if (ext != ".JWW" && ext != ".JWS") {
    out << "skipped (not a drawing extension)\n";
    return true;
  }
  if (auto problem = OpenProblem(file)) {
    out << "failed (" << *problem << ")\n";
    return false;
  }
  const std::string input = file.string();
  const std::string output = (*a.saveFolder / file.filename()).string();
  const ConvertMode mode = a.dryRun ? ConvertMode::DryRun : ConvertMode::Write;
  ConvertResult r;
  if (ext == ".JWW") {
    if (!IsJwwFile(file)) {
      out << "skipped (not a JWW drawing: the signature does not match)\n";
      return true;
    }
    r = ConvertJwwFile(state, input, output, mode);
  } else {
    if (!IsJwsFile(file)) {
      out << "skipped (not a JWS figure: the signature does not match)\n";
      return true;
    }
    r = ConvertJwsFile(state, input, output, mode);
  }
  PrintResult(out, r);
  return r.Ok();
}

// Status texts as the drivers set them, one line each, when asked for.
std::function<void(const std::string&)> StatusPrinter(bool verbose, std::ostream& err) {
  if (!verbose) return {};
  return [&err](const std::string& text) { err << text << "\n" << std::flush; };
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
    } else if (!optionsDone && (arg == "-v" || arg == "--verbose")) {
      a.verbose = true;
    } else if (!optionsDone && (arg == "-o" || arg == "--output")) {
      if (i + 1 >= args.size()) return Usage(err, "option " + arg + " needs a folder");
      a.saveFolder = args[++i];
    } else if (!optionsDone && arg.starts_with("--output=")) {
      a.saveFolder = arg.substr(9);
    } else if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
      return Usage(err, "unknown option " + arg);
    } else {
      a.files.emplace_back(arg);
    }
  }
  if (!a.saveFolder) return Usage(err, "no save folder given (-o SAVE_FOLDER)");
  if (a.saveFolder->empty() || !IsExistingFolder(*a.saveFolder))
    return Usage(err, "the save folder " + a.saveFolder->string() + " does not exist");
  if (a.files.empty()) return Usage(err, "no files given");
  for (const fs::path& file : a.files) {
    if (IsSameFolder(*a.saveFolder, FolderOf(file)))
      return Usage(err, "the save folder is the folder of " + file.string() +
                            "; converting there would replace the original");
  }
  ScopedTempFolder imageFolder("plmconv-images-");
  if (!imageFolder.Ok()) {
    err << "plmconv: cannot create a temporary folder for bound images\n";
    return kExitFailed;
  }
  auto state = std::make_unique<ShellState>();
  state->Images.TempFolder = imageFolder.Path();
  state->Options = a.options;
  state->Status = StatusPrinter(a.verbose, err);
  bool anyFailed = false;
  for (const fs::path& file : a.files) anyFailed |= !ConvertOne(file, a, *state, out);
  out.flush();
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

void PrintJwwInfo(const fs::path& file, TempImages& images, std::ostream& out, bool& anyFailed) {
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

void PrintJwsInfo(const fs::path& file, std::ostream& out, bool& anyFailed) {
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
      PrintJwwInfo(file, images, out, anyFailed);
    } else if (IsJwsFile(file)) {
      PrintJwsInfo(file, out, anyFailed);
    } else {
      out << "  format: unknown\n";
    }
  }
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace

int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return kExitOk;
  }
  if (command == "convert") return Convert(rest, out, err);
  if (command == "info") return Info(rest, out, err);
  if (command == "list") return List(rest, out, err);
  return Usage(err, "unknown command " + command);
}

}  // namespace plm
