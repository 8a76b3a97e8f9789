#pragma once
// The commands of plmconv, one file each, and what they share.
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/plmconv.h"
#include "app/plmconv_options.h"

namespace plm {

// The ids of the options of all commands; the four switches first, in the order of
// kSwitchOrder.
enum CommandOption : int {
  kTypeSpacingOption = 1,
  kFreeSpacingOption,
  kDimensionValuesOption,
  kBlockTextsOption,
  kAllOption,
  kDryRunOption,
  kVerifyOption,
  kRecursiveOption,
  kVerboseOption,
  kOutputOption,
  kReportOption,
  kJobsOption,
  kNoWaitOption,
  kTypeOption,
  kViewOption,
  kNoCellsOption,
};

// The index into kSwitchOrder of a switch option, or nothing for another option.
std::optional<std::size_t> SwitchIndexOf(int id);

// What a command runs with: its streams, the terminal, and the usage text printed
// after its usage errors.
struct CommandIo {
  std::ostream& out;
  std::ostream& err;
  const PlmconvTerminal& terminal;
  std::string_view usage;
  // Prints "plmconv: message" and the usage to `err`; returns kExitUsage.
  int Usage(const std::string& message) const;
};

using CommandRun = int (*)(const ParsedArgs& args, const CommandIo& io);

struct Command {
  std::string_view Name;
  std::span<const KnownOption> Options;
  OptionStyle Style;
  std::string_view Synopsis;  // its lines in the usage of plmconv, after "usage: "
  std::string_view Summary;   // its paragraphs in the usage of plmconv; may be empty
  // Printed for its help option and after its usage errors; empty for the usage of
  // plmconv.
  std::string_view Help;
  CommandRun Run;
};

// Every command, in the order the usage of plmconv lists them.
std::span<const Command> Commands();

// The usage of plmconv, printed for "plmconv --help" and after usage errors that
// are not a command's own.
const std::string& PlmconvUsage();

// A path, or a reason that may quote one, as printed (ShownName): names that are not
// UTF-8 (code page 932 names from Japanese archives) decoded, and a text holding a
// control character shell-quoted, so every line stays one line of readable UTF-8.
// The file keeps its bytes.
std::string Shown(const std::filesystem::path& path);
std::string Shown(const std::string& text);

// Why a file cannot be opened for reading, or nothing when it can.
std::optional<std::string> OpenProblem(const std::string& file);

int RunConvert(const ParsedArgs& args, const CommandIo& io);
int RunList(const ParsedArgs& args, const CommandIo& io);
int RunInfo(const ParsedArgs& args, const CommandIo& io);
int RunRender(const ParsedArgs& args, const CommandIo& io);

}  // namespace plm
