// The window's batch without the window, for the crash-consistency check: lists the
// files of SOURCE_FOLDER as the file list does, selects every row and converts them
// into SAVE_FOLDER with all four switches on, exactly as the "変換" button does after
// its checks. Prints the number of files handed to a driver.
//   plmbatch SOURCE_FOLDER/ SAVE_FOLDER/ IMAGE_FOLDER/
#include <cstdio>
#include <filesystem>
#include <string>

#include "shell/batch.h"
#include "shell/filelist.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: plmbatch SOURCE_FOLDER/ SAVE_FOLDER/ IMAGE_FOLDER/\n");
    return 2;
  }
  plm::ShellState state;
  state.Options = plm::ConversionSwitches::All();
  state.Images.TempFolder = argv[3];
  std::error_code ec;
  std::filesystem::create_directories(state.Images.TempFolder, ec);
  const std::string source = argv[1], save = argv[2];
  if (plm::CheckBatchStart(true, true, save, source) == plm::BatchCheck::SameFolder) {
    std::fprintf(stderr, "plmbatch: the save folder is the source folder\n");
    return 2;
  }
  plm::ListFilesResult listed = plm::ListFiles(state, source, 0, 100);
  if (!listed.Error.empty()) {
    std::fprintf(stderr, "plmbatch: %s\n", listed.Error.c_str());
    return 1;
  }
  const int rows = static_cast<int>(listed.Rows.size());
  std::printf("%d\n", plm::RunBatchRows(state, listed.Rows, 0, rows - 1, source, save).Handed());
  return 0;
}
