#include <memory>
#include <optional>
#include <ostream>

#include "app/plmconv_commands.h"
#include "app/plmconv_options.h"
#include "platform/fsutil.h"
#include "shell/filelist.h"
#include "shell/shellstate.h"

namespace plm {

// The rows the window's file list shows for a folder and type filter, tab-separated,
// the memo decoded to UTF-8; the closing status sentence goes to standard error.
int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  enum { kType = 1, kVerbose };
  static constexpr KnownOption kOptions[] = {{kType, "type", 0, "0, 1, 2 or 3"}, {kVerbose, "verbose", 'v'}};
  const ParsedArgs parsed = ParseOptions(args, kOptions);
  if (!parsed.Ok()) return Usage(err, parsed.Error);
  int filterIndex = 0;
  bool verbose = false;
  for (const ParsedOption& o : parsed.Options) {
    if (o.Id == kVerbose) {
      verbose = true;
    } else {
      const std::string& value = o.Value;
      if (value.size() != 1 || value[0] < '0' || value[0] > '3')
        return Usage(err, "option --type needs 0, 1, 2 or 3, not " + value);
      filterIndex = value[0] - '0';
    }
  }
  if (parsed.Operands.size() > 1) return Usage(err, "list takes one folder");
  const std::optional<std::string> folder =
      parsed.Operands.empty() ? std::nullopt : std::optional<std::string>(parsed.Operands[0]);
  if (!folder) return Usage(err, "no folder given");
  if (folder->empty() || !IsExistingFolder(*folder))
    return Usage(err, "the folder " + Shown(*folder) + " does not exist");
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
    err << "plmconv: cannot list " << Shown(folderPath) << ": " << listing.Error << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace plm
