#include "app/plmconv.h"

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>

#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "platform/ansi.h"
#include "platform/cp932.h"
#include "platform/fsutil.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: plmconv convert [--type-spacing] [--free-spacing] [--dimension-values] [--block-texts]\n"
    "                       [--all] [--dry-run] -o SAVE_FOLDER FILE...\n"
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
    "                      spacing values would change\n"
    "  -o, --output DIR    the save folder; it must exist and must not be the folder of an\n"
    "                      input file\n"
    "info     Prints each file's format, version, memo, entity counts, block definitions,\n"
    "         bound images and the texts with negative spacing.\n"
    "\n"
    "Exit status: 0 when no file failed, 1 when a file failed, 2 for a usage error.\n";

int Usage(std::ostream& err, const std::string& message) {
  err << "plmconv: " << message << "\n" << kUsage;
  return kExitUsage;
}

// Upper-cased extension of a file name, from its last dot on ("" without a dot).
std::string UpperExtension(const fs::path& file) {
  const std::string name = file.filename().string();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : AnsiUpper(name.substr(dot));
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
  std::optional<fs::path> saveFolder;
  std::vector<fs::path> files;
};

void PrintChanges(std::ostream& out, const SpacingChanges& c) {
  out << "would change " << c.Total() << " spacing values (text-type table " << c.TypeTable << ", texts "
      << c.Texts << ", dimension texts " << c.DimTexts << ", block texts " << c.BlockTexts
      << ", block dimension texts " << c.BlockDimTexts << ")";
}

// Loads, corrects and saves (or, for a dry run, only counts) one JWW drawing.
bool ConvertJww(const fs::path& file, const ConvertArgs& a, TempImages& images, std::ostream& out) {
  JwwDocument doc;
  ReadFailure failure;
  bool ok = LoadJwwFile(doc, images, file, &failure);
  if (!ok) {
    out << "failed (" << failure.Reason << ")\n";
  } else {
    const SpacingChanges changes = ApplyJwwSpacingRule(doc, a.options);
    if (a.dryRun) {
      PrintChanges(out, changes);
      out << "\n";
    } else {
      std::string why;
      ok = SaveJwwFile(doc, images, *a.saveFolder / file.filename(), doc.Header.Version, &why);
      if (ok) out << "converted\n";
      else out << "failed (the output " << why << ")\n";
    }
  }
  if (doc.Header.Version >= kVerImages) DeleteTempImageFiles(images);
  ClearJwwData(doc);
  return ok;
}

bool ConvertJws(const fs::path& file, const ConvertArgs& a, std::ostream& out) {
  JwsDocument doc;
  ReadFailure failure;
  bool ok = LoadJwsFile(doc, file, &failure);
  if (!ok) {
    out << "failed (" << failure.Reason << ")\n";
  } else {
    const SpacingChanges changes = ApplyJwsSpacingRule(doc, a.options);
    if (a.dryRun) {
      PrintChanges(out, changes);
      out << "\n";
    } else {
      std::string why;
      ok = SaveJwsFile(doc, *a.saveFolder / file.filename(), doc.Version, &why);
      if (ok) out << "converted\n";
      else out << "failed (the output " << why << ")\n";
    }
  }
  ClearJwsData(doc);
  return ok;
}

// Decides as the batch command does: the upper-cased extension picks the format, the
// format's probe must pass. Prints the file's line; false when the file failed.
bool ConvertOne(const fs::path& file, const ConvertArgs& a, TempImages& images, std::ostream& out) {
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
  if (ext == ".JWW") {
    if (IsJwwFile(file)) return ConvertJww(file, a, images, out);
    out << "skipped (not a JWW drawing: the signature does not match)\n";
  } else {
    if (IsJwsFile(file)) return ConvertJws(file, a, out);
    out << "skipped (not a JWS figure: the signature does not match)\n";
  }
  return true;
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
  TempImages images;
  images.TempFolder = imageFolder.Path();
  bool anyFailed = false;
  for (const fs::path& file : a.files) anyFailed |= !ConvertOne(file, a, images, out);
  out.flush();
  return anyFailed ? kExitFailed : kExitOk;
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
  return Usage(err, "unknown command " + command);
}

}  // namespace plm
