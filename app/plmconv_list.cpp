#include <memory>
#include <optional>
#include <ostream>

#include "app/plmconv_commands.h"
#include "platform/fsutil.h"
#include "shell/filelist.h"
#include "shell/shellstate.h"

namespace plm {

// The rows the window's file list shows for a folder and type filter, tab-separated,
// the memo decoded to UTF-8; the closing status sentence goes to standard error.
int RunList(const ParsedArgs& parsed, const CommandIo& io) {
  std::ostream& out = io.out;
  std::ostream& err = io.err;
  int filterIndex = 0;
  bool verbose = false;
  for (const ParsedOption& o : parsed.Options) {
    if (o.Id == kVerboseOption) verbose = true;
    else filterIndex = o.Value[0] - '0';  // one of the option's choices
  }
  if (parsed.Operands.size() > 1) return io.Usage("list takes one folder");
  const std::optional<std::string> folder =
      parsed.Operands.empty() ? std::nullopt : std::optional<std::string>(parsed.Operands[0]);
  if (!folder) return io.Usage("no folder given");
  if (folder->empty() || !IsExistingFolder(PathFromUtf8(*folder)))
    return io.Usage("the folder " + Shown(*folder) + " does not exist");
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
