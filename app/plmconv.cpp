#include "app/plmconv.h"

#include <algorithm>
#include <ostream>

#include "app/plmconv_commands.h"
#include "jww/bytesink.h"
#include "text/cp932.h"

namespace plm {
namespace {

constexpr char kConvertSynopsis[] =
    "plmconv convert [--type-spacing] [--free-spacing] [--dimension-values] [--block-texts]\n"
    "                       [--all] [--dry-run] [--report FILE] [--verify] [--recursive] [-v]\n"
    "                       [-j N] [--no-wait]\n"
    "                       -o SAVE_FOLDER FILE_OR_FOLDER...\n";

constexpr char kListSynopsis[] =
    "plmconv list [--type 0|1|2|3] [-v] FOLDER\n";

constexpr char kInfoSynopsis[] =
    "plmconv info FILE...\n";

constexpr char kRenderSynopsis[] =
    "plmconv render [switches as for convert] [--view current|written|both] FILE -o OUT.svg\n";

constexpr char kConvertSummary[] =
    "convert  Sets negative character spacing to zero and writes each corrected drawing under\n"
    "         its own name into SAVE_FOLDER, in the version it was read in. Files whose\n"
    "         upper-cased extension is .JWW or .JWS are converted when they carry that\n"
    "         format's signature; every other file named on the command line is skipped.\n"
    "         A folder (whose own name does not end in .JWW or .JWS) stands for its\n"
    "         files in name order; files of a folder whose extension is not .JWW or\n"
    "         .JWS, and names starting with a dot, are passed over without a line. One\n"
    "         line per file: converted, skipped (with why) or failed (with why). Input\n"
    "         files are never changed. Names that are not UTF-8 keep their bytes and\n"
    "         are printed decoded from code page 932; a name holding a control\n"
    "         character is printed quoted as ls --quoting-style=shell-escape does,\n"
    "         so one file is one line.\n"
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
    "  --verify            read every output back after writing it, before it takes its\n"
    "                      name: it must hold exactly the bytes of the drawing that was\n"
    "                      written and load in full. Otherwise it is removed, an earlier\n"
    "                      output and its .BAK stay as they were, and the file is failed\n"
    "  -r, --recursive     folders also stand for their sub-folders, whose structure is\n"
    "                      repeated under SAVE_FOLDER (created as needed); the save folder\n"
    "                      itself is never entered, nor are links to folders, and it must\n"
    "                      not hold a folder argument\n"
    "  -o, --output DIR    the save folder; it must exist and must not be the folder of an\n"
    "                      input file or a folder argument. An output that is already there\n"
    "                      is kept as the one backup: its extension becomes .BAK (.JSB for\n"
    "                      a .JWS figure), replacing an older backup of the same name.\n"
    "                      Nothing is written through a link below DIR. A file named twice\n"
    "                      (or reached twice) is converted once; a second file with the\n"
    "                      same output name fails\n"
    "  --no-wait           while another conversion writes into DIR (or a folder above or\n"
    "                      below it), fail at once with status 2 instead of waiting\n"
    "  -v, --verbose       print each progress sentence to standard error\n"
    "  -j, --jobs N        convert up to N drawings at once (1 to 256; default: one per\n"
    "                      core). Lines, report rows, progress sentences and the\n"
    "                      renames into SAVE_FOLDER stay in input order whatever N is,\n"
    "                      and the outputs are the same; -j 1 converts one file after\n"
    "                      the other. Outputs are flushed to disk a group at a time\n"
    "                      before they take their names; a file's line is printed once\n"
    "                      its output is safely in place\n"
    "         When standard error is a terminal, a progress line (files done, current\n"
    "         file, MB/s) is shown there and erased at the end.\n";

constexpr char kListSummary[] =
    "list     Prints the file list of FOLDER as the window shows it: a header row, then\n"
    "         one row per file in name order (as code page 932 bytes), six\n"
    "         tab-separated cells (name, size, extension, memo, last-write time,\n"
    "         attributes). Folders and names starting with a dot are not listed; the\n"
    "         attribute R marks a file its owner may not write (A is never shown). The\n"
    "         closing status sentence goes to standard error.\n"
    "  --type N            0 all files (*.*), 1 *.jw?, 2 *.jww, 3 *.jws; letter case\n"
    "                      does not matter\n"
    "  -v, --verbose       also print the status sentence set when the listing starts\n";

constexpr char kInfoSummary[] =
    "info     Prints each file's format, version, memo, entity counts, block definitions,\n"
    "         bound images and the texts with negative spacing.\n";

constexpr char kExitStatus[] =
    "\n"
    "Exit status: 0 when no file failed, 1 when a file failed (a failed verification\n"
    "included), a folder could not be read or the report could not be written, 2 for a\n"
    "usage error (unknown option, missing or unsuitable save folder, report file that\n"
    "cannot be created or has neither .csv nor .json as extension, or with --no-wait\n"
    "a save folder another conversion is writing into).\n";

constexpr char kRenderHelp[] =
    "usage: plmconv render [--type-spacing] [--free-spacing] [--dimension-values] [--block-texts]\n"
    "                      [--all] [--view current|written|both] [--no-cells] FILE -o OUT.svg\n"
    "\n"
    "render   Writes a picture of the JWW drawing or JWS figure FILE as SVG: lines, arcs,\n"
    "         points, solids, texts, bound images, dimensions and block insertions.\n"
    "         Texts whose negative spacing the switches (as for convert) would set to\n"
    "         zero are highlighted with their character cells, and a legend gives\n"
    "         their counts.\n"
    "  --view current      the drawing as it is (the default)\n"
    "  --view written      the drawing as convert would write it\n"
    "  --view both         both, side by side\n"
    "  --no-cells          do not highlight the character cells\n"
    "  -o, --output FILE   the picture; its name must end in .svg\n";

constexpr KnownOption kConvertOptions[] = {
    {kTypeSpacingOption, "type-spacing"},
    {kFreeSpacingOption, "free-spacing"},
    {kDimensionValuesOption, "dimension-values"},
    {kBlockTextsOption, "block-texts"},
    {kAllOption, "all"},
    {kDryRunOption, "dry-run"},
    {kVerifyOption, "verify"},
    {kRecursiveOption, "recursive", 'r'},
    {kVerboseOption, "verbose", 'v'},
    {kOutputOption, "output", 'o', "a folder"},
    {kReportOption, "report", 0, "a file"},
    {kJobsOption, "jobs", 'j', "a number"},
    {kNoWaitOption, "no-wait"},
};

constexpr std::string_view kFileTypes[] = {"0", "1", "2", "3"};
constexpr KnownOption kListOptions[] = {
    {kTypeOption, "type", 0, "0, 1, 2 or 3", kFileTypes},
    {kVerboseOption, "verbose", 'v'},
};

constexpr std::string_view kViews[] = {"current", "written", "both"};
constexpr KnownOption kRenderOptions[] = {
    {kTypeSpacingOption, "type-spacing"},
    {kFreeSpacingOption, "free-spacing"},
    {kDimensionValuesOption, "dimension-values"},
    {kBlockTextsOption, "block-texts"},
    {kAllOption, "all"},
    {kViewOption, "view", 0, "current, written or both", kViews},
    {kNoCellsOption, "no-cells"},
    {kOutputOption, "output", 'o', "a file"},
    {kHelpOption, "help", 'h'},
};

constexpr Command kCommands[] = {
    {"convert", kConvertOptions, OptionStyle::Gnu, kConvertSynopsis, kConvertSummary, {}, RunConvert},
    {"list", kListOptions, OptionStyle::Gnu, kListSynopsis, kListSummary, {}, RunList},
    {"info", {}, OptionStyle::OperandsOnly, kInfoSynopsis, kInfoSummary, {}, RunInfo},
    {"render", kRenderOptions, OptionStyle::OneOptionPerArgument, kRenderSynopsis, {}, kRenderHelp, RunRender},
};

// The spellings of the command that prints the usage of plmconv; what follows them
// is ignored.
constexpr std::string_view kHelpCommands[] = {"--help", "-h", "help"};

int UsageError(std::ostream& err, std::string_view usage, const std::string& message) {
  err << "plmconv: " << message << "\n" << usage;
  return kExitUsage;
}

}  // namespace

std::optional<std::size_t> SwitchIndexOf(int id) {
  if (id < kTypeSpacingOption || id > kBlockTextsOption) return std::nullopt;
  return static_cast<std::size_t>(id - kTypeSpacingOption);
}

int CommandIo::Usage(const std::string& message) const { return UsageError(err, usage, message); }

std::span<const Command> Commands() { return kCommands; }

const std::string& PlmconvUsage() {
  static const std::string usage = [] {
    std::string text;
    for (const Command& c : kCommands) (text += text.empty() ? "usage: " : "       ") += c.Synopsis;
    text += "       plmconv --help\n\n";
    for (const Command& c : kCommands) text += c.Summary;
    return text + kExitStatus;
  }();
  return usage;
}

std::string Shown(const std::filesystem::path& path) { return ShownName(ShownPath(path)); }
std::string Shown(const std::string& text) { return ShownName(text); }

std::optional<std::string> OpenProblem(const std::string& file) {
  InputFile in;
  std::string why;
  if (in.Open(PathFromUtf8(file), &why)) return std::nullopt;
  return why;
}

int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return PlmconvMain(args, out, err, PlmconvTerminal{});
}

int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const PlmconvTerminal& terminal) {
  if (args.empty()) return UsageError(err, PlmconvUsage(), "no command given");
  const std::string& name = args[0];
  if (std::find(std::begin(kHelpCommands), std::end(kHelpCommands), name) != std::end(kHelpCommands)) {
    out << PlmconvUsage();
    return kExitOk;
  }
  const auto command =
      std::find_if(std::begin(kCommands), std::end(kCommands), [&](const Command& c) { return c.Name == name; });
  if (command == std::end(kCommands)) return UsageError(err, PlmconvUsage(), "unknown command " + name);
  const std::string_view help = command->Help.empty() ? std::string_view(PlmconvUsage()) : command->Help;
  const ParsedArgs parsed =
      ParseOptions(std::vector<std::string>(args.begin() + 1, args.end()), command->Options, command->Style);
  if (parsed.HelpAsked) {
    out << help;
    return kExitOk;
  }
  const CommandIo io{out, err, terminal, help};
  if (!parsed.Ok()) return io.Usage(parsed.Error);
  return command->Run(parsed, io);
}

}  // namespace plm
