#pragma once
// The file list without a window: the six texts of a row, the memo of a drawing, the
// listing of one folder, the re-padding of the size column and the header-click sort.
// The window only displays these rows and keeps the selection on row numbers.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/filesearch.h"
#include "shell/shellstate.h"

namespace plm {

constexpr int kFileListColumns = 6;
constexpr int kColName = 0;  // bare file name, the bytes the file system returns
constexpr int kColSize = 1;  // size in bytes, right-aligned
constexpr int kColType = 2;  // upper-cased extension with its dot
constexpr int kColMemo = 3;  // memo, code page 932 bytes (see CellDisplayText)
constexpr int kColTime = 4;  // "yyyy/mm/dd hh:mm:ss", local time
constexpr int kColAttr = 5;  // "A " and "R " letters

// Cells of one row. Every cell is UTF-8 text except the memo, which stays in code
// page 932 so that sorting by it orders the bytes the drawing holds, and the name and
// its extension, which are the file system's bytes (UTF-8 or code page 932), so that
// the name always opens the file.
using FileRow = std::array<std::string, kFileListColumns>;

// The header row, UTF-8.
const std::array<std::string_view, kFileListColumns>& FileListHeader();

constexpr int kDefaultColumnWidth = 64;
// A listing pads sizes for 8 pixels per character; a later re-pad uses the font's digit.
constexpr int kListingPixelsPerChar = 8;
constexpr int kMinSizeField = 3;

// The search pattern of a type-filter index; any index outside 0..3 lists all files.
std::string_view FilterPattern(int filterIndex);

// Characters of the size field: column width / character width, at least 3.
int SizeFieldWidth(int columnWidthPx, int pixelsPerChar);
// Decimal size right-aligned with spaces; a longer number is not cut. Sizes of 2 GiB
// and more are shown in full.
std::string PadSize(uint64_t size, int fieldWidth);
// Decimal text with optional leading spaces; 0 for anything else.
uint64_t ParseSizeText(std::string_view text);

// Upper-casing of UTF-8 names and list texts: only the letters a..z change.
std::string UpperLetters(std::string_view text);
// The extension of a bare name from its last dot on, dot included, upper-cased (a
// name that is not UTF-8 as code page 932, pairs kept whole); empty without a dot.
std::string UpperExtensionOf(std::string_view fileName);
std::string LastWriteText(const LocalDateTime& t);
std::string AttributeText(bool archive, bool readOnly);

// The memo column of a file, chosen by the upper-cased extension of its name; empty
// when the format has no memo or its reader fails. Code page 932 bytes.
std::string ReadFileMemo(const std::string& filePath);

// The six cells of a listed file; folderPath ends in a separator.
FileRow MakeFileRow(const std::string& folderPath, const FoundFile& file, int sizeField);

// A cell as UTF-8 for display: the memo decoded from code page 932, the name and
// extension as ShownName shows them (decoded, and quoted when they hold a control
// character, so a row stays one line), invalid bytes as U+FFFD. The row keeps its bytes.
std::string CellDisplayText(const FileRow& row, int column);

struct ListFilesResult {
  std::vector<FileRow> Rows;
  bool Aborted = false;        // the abort predicate answered true
  bool FileListShown = false;  // at least one row was listed
  std::string Error;           // why the folder could not be read; empty otherwise
};

// Lists the files of folderPath (ending in a separator) that match the filter, in name
// order (the order a click on the name header gives), and reports through state.Status. abortRequested
// is asked before each file (the window passes "ESC held"); it may be empty.
ListFilesResult ListFiles(ShellState& state, const std::string& folderPath, int filterIndex, int sizeColumnWidthPx,
                          const std::function<bool()>& abortRequested = {});

// Rewrites every non-empty size cell right-aligned for the column's current width.
void RepadSizeColumn(std::vector<FileRow>& rows, int columnWidthPx, int digitWidthPx);

// The text a column sorts by: the cell upper-cased; the name and the memo as code
// page 932 bytes, pairs kept whole.
std::string SortKey(const FileRow& row, int column);
// Reorders the data rows by one column: for each row from the top, the first of the
// later rows whose key sorts strictly before (ascending) or after (descending) all
// others is swapped in. Keys compare byte by byte as unsigned values, a prefix first.
// Rows with equal keys end up where this selection leaves them, not in stable order.
void SortFileRows(std::vector<FileRow>& rows, int column, bool descending);

enum class HeaderClickAction { None, Relist, Sorted };
// A click on the header of `column`: columns 0 to 4 sort and flip sortDescending;
// column 5 asks the caller to list the folder again (in name order).
HeaderClickAction HeaderClickSort(std::vector<FileRow>& rows, int column, bool fileListShown, bool& sortDescending);

}  // namespace plm
