#include "shell/filelist.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/ansi.h"
#include "text/cp932.h"
#include "platform/paths.h"
#include "shell/formats.h"
#include "shell/sortorder.h"
#include "shell/texts.h"

namespace plm {
namespace {

void SetStatus(const ShellState& state, const std::string& text) {
  if (state.Status) state.Status(text);
}

}  // namespace

const std::array<std::string_view, kFileListColumns>& FileListHeader() { return texts::kFileListHeader; }

std::string_view FilterPattern(int filterIndex) {
  switch (filterIndex) {
    case 1: return "*.jw?";
    case 2: return "*.jww";
    case 3: return "*.jws";
    default: return "*.*";
  }
}

int SizeFieldWidth(int columnWidthPx, int pixelsPerChar) {
  if (pixelsPerChar <= 0) pixelsPerChar = 1;
  return std::max(columnWidthPx / pixelsPerChar, kMinSizeField);
}

std::string PadSize(uint64_t size, int fieldWidth) {
  std::string digits = std::to_string(size);
  if (fieldWidth > 0 && digits.size() < static_cast<size_t>(fieldWidth))
    digits.insert(0, static_cast<size_t>(fieldWidth) - digits.size(), ' ');
  return digits;
}

uint64_t ParseSizeText(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return 0;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return 0;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

std::string UpperLetters(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string UpperExtensionOf(std::string_view fileName) {
  // '.' is never the second byte of a code page 932 pair, so the last dot is a dot in
  // either encoding; a code page 932 name upper-cases with its pairs kept whole.
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return std::string();
  const std::string_view extension = fileName.substr(dot);
  return IsWellFormedUtf8(fileName) ? UpperLetters(extension) : AnsiUpper(extension);
}

std::string LastWriteText(const LocalDateTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second);
  return text;
}

std::string AttributeText(bool archive, bool readOnly) {
  std::string text;
  if (archive) text += "A ";
  if (readOnly) text += "R ";
  return text;
}

std::string ReadFileMemo(const std::string& filePath) {
  const size_t slash = filePath.rfind('/');
  const DrawingFormat* format =
      FormatForName(slash == std::string::npos ? std::string_view(filePath) : std::string_view(filePath).substr(slash + 1));
  return format && format->Handler->HasMemo() ? format->Handler->Memo(PathFromUtf8(filePath)) : std::string();
}

FileRow MakeFileRow(const std::string& folderPath, const FoundFile& file, int sizeField) {
  FileRow row;
  row[kColName] = file.Name;
  row[kColSize] = PadSize(file.Size, sizeField);
  row[kColType] = UpperExtensionOf(file.Name);
  row[kColMemo] = ReadFileMemo(folderPath + file.Name);
  row[kColTime] = LastWriteText(file.LastWrite);
  row[kColAttr] = AttributeText(file.Archive, file.ReadOnly);
  return row;
}

std::string CellDisplayText(const FileRow& row, int column) {
  if (column < 0 || column >= kFileListColumns) return {};
  if (column == kColMemo) return Cp932ToUtf8(row[kColMemo]);
  if (column == kColName || column == kColType) return ShownName(row[static_cast<size_t>(column)]);
  return row[static_cast<size_t>(column)];
}

namespace {

// Rows in name order: code page 932 bytes upper-cased, as a click on the name header
// sorts them, so a listing reads the same on every file system.
void SortByName(std::vector<FileRow>& rows) {
  std::vector<std::pair<std::string, size_t>> keys;
  keys.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) keys.emplace_back(SortKey(rows[i], kColName), i);
  // Names equal but for letter case keep a fixed order: their own bytes decide.
  std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;  // unsigned bytes, a prefix first
    return rows[a.second][kColName] < rows[b.second][kColName];
  });
  std::vector<FileRow> sorted;
  sorted.reserve(rows.size());
  for (const auto& key : keys) sorted.push_back(std::move(rows[key.second]));
  rows = std::move(sorted);
}

}  // namespace

ListFilesResult ListFiles(ShellState& state, const std::string& folderPath, int filterIndex, int sizeColumnWidthPx,
                          const std::function<bool()>& abortRequested) {
  ListFilesResult result;
  SetStatus(state, texts::kListingBefore + ShownName(folderPath) + texts::kListingAfter);
  const int sizeField = SizeFieldWidth(sizeColumnWidthPx, kListingPixelsPerChar);
  FileSearch search;
  if (search.Open(folderPath, std::string(FilterPattern(filterIndex)))) {
    FoundFile file;
    while (search.Next(file)) {
      if (abortRequested && abortRequested()) {
        result.Aborted = true;
        break;
      }
      result.Rows.push_back(MakeFileRow(folderPath, file, sizeField));
    }
  }
  result.Error = search.Error();
  search.Close();
  SortByName(result.Rows);
  SetStatus(state, result.Aborted ? std::string(texts::kListingAborted)
                                  : std::to_string(result.Rows.size()) + texts::kListedFiles +
                                        ShownName(folderPath) + texts::kListedEnd);
  result.FileListShown = !result.Rows.empty();
  return result;
}

void RepadSizeColumn(std::vector<FileRow>& rows, int columnWidthPx, int digitWidthPx) {
  const int field = SizeFieldWidth(columnWidthPx, std::max(digitWidthPx, kMinSizeField));
  for (FileRow& row : rows) {
    if (!row[kColSize].empty()) row[kColSize] = PadSize(ParseSizeText(row[kColSize]), field);
  }
}

std::string SortKey(const FileRow& row, int column) {
  const std::string& cell = row[static_cast<size_t>(column)];
  // Names order by their code page 932 bytes, which a name that is not UTF-8 already is.
  if (column == kColName) return AnsiUpper(IsWellFormedUtf8(cell) ? Utf8ToCp932(cell) : cell);
  return column == kColMemo ? AnsiUpper(cell) : UpperLetters(cell);
}

void SortFileRows(std::vector<FileRow>& rows, int column, bool descending) {
  if (column < 0 || column >= kFileListColumns || rows.size() < 2) return;
  std::vector<std::string> keys;
  keys.reserve(rows.size());
  for (const FileRow& row : rows) keys.push_back(SortKey(row, column));
  const std::vector<size_t> order = HeaderSortOrderOfKeys(keys, descending);
  std::vector<FileRow> sorted;
  sorted.reserve(rows.size());
  for (size_t from : order) sorted.push_back(std::move(rows[from]));
  rows = std::move(sorted);
}

HeaderClickAction HeaderClickSort(std::vector<FileRow>& rows, int column, bool fileListShown, bool& sortDescending) {
  if (!fileListShown || column < 0 || column >= kFileListColumns) return HeaderClickAction::None;
  if (column == kColAttr) return HeaderClickAction::Relist;
  SortFileRows(rows, column, sortDescending);
  sortDescending = !sortDescending;
  return HeaderClickAction::Sorted;
}

}  // namespace plm
