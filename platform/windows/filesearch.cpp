#include "platform/filesearch.h"

#include "platform/paths.h"
#include "platform/windows/handles.h"

namespace plm {

struct FileSearch::Listing {
  HANDLE find = INVALID_HANDLE_VALUE;
  std::wstring folder;  // SystemPath of the folder, with a trailing '\'
  WIN32_FIND_DATAW data{};
  bool pending = false;  // `data` holds an entry not yet looked at
};

namespace {

LocalDateTime LocalOf(const FILETIME& utc) {
  // Converted for the date it stands for (its own daylight saving), as the desktop
  // shows it, not with today's offset.
  SYSTEMTIME u{}, local{};
  if (!FileTimeToSystemTime(&utc, &u) || !SystemTimeToTzSpecificLocalTime(nullptr, &u, &local)) return {};
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

}  // namespace

FileSearch::FileSearch() = default;

FileSearch::~FileSearch() { Close(); }

// The pattern is matched here, never by the system, which would also match it
// against the 8.3 short names.
bool FileSearch::Open(const std::string& folder, std::string pattern) {
  Close();
  error_.clear();
  pattern_ = std::move(pattern);
  auto listing = std::make_unique<Listing>();
  listing->folder = SystemPath(PathFromUtf8(folder.empty() ? std::string_view(".") : std::string_view(folder)));
  if (!listing->folder.ends_with(L'\\')) listing->folder += L'\\';
  listing->find = FindFirstFileExW((listing->folder + L"*").c_str(), FindExInfoBasic, &listing->data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (listing->find == INVALID_HANDLE_VALUE) {
    // An empty volume root lists nothing at all, not even ".".
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      error_ = LastErrorText();
      return false;
    }
  } else {
    listing->pending = true;
  }
  listing_ = std::move(listing);
  return true;
}

bool FileSearch::Next(FoundFile& file) {
  if (!listing_) return false;
  Listing& l = *listing_;
  for (;;) {
    if (!l.pending) {
      if (l.find == INVALID_HANDLE_VALUE) return false;
      if (!FindNextFileW(l.find, &l.data)) {
        if (GetLastError() != ERROR_NO_MORE_FILES) error_ = LastErrorText();
        FindClose(l.find);
        l.find = INVALID_HANDLE_VALUE;
        return false;
      }
    }
    l.pending = false;
    const WIN32_FIND_DATAW& d = l.data;
    // Hidden and system files are not listed, as the desktop's own listing leaves
    // them out; nor folders or devices.
    if (d.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_DEVICE))
      continue;
    const std::string name = Utf8FromWide(d.cFileName);
    if (!MatchesSearchPattern(name, pattern_)) continue;
    DWORD attributes = d.dwFileAttributes;
    uint64_t size = (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    FILETIME written = d.ftLastWriteTime;
    if (IsLinkAttribute(d.dwFileAttributes, d.dwReserved0)) {
      // A link lists the file it leads to; a dangling one, or one to a folder, none.
      const HANDLE h = OpenForFacts(l.folder + d.cFileName, true);
      if (h == INVALID_HANDLE_VALUE) continue;
      BY_HANDLE_FILE_INFORMATION info{};
      const bool ok = GetFileInformationByHandle(h, &info) != 0 && GetFileType(h) == FILE_TYPE_DISK;
      CloseHandle(h);
      if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      attributes = info.dwFileAttributes;
      size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
      written = info.ftLastWriteTime;
    }
    file.Name = name;
    file.Size = size;
    file.LastWrite = LocalOf(written);
    file.Archive = (attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
    file.ReadOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
  }
}

void FileSearch::Close() {
  if (listing_ && listing_->find != INVALID_HANDLE_VALUE) FindClose(listing_->find);
  listing_.reset();
}

}  // namespace plm
