#include <algorithm>

#include "platform/files.h"
#include "platform/windows/handles.h"

namespace plm {

bool InputFile::Open(const std::filesystem::path& path, std::string* why) {
  Close();
  // Every sharing mode is granted, so a drawing the CAD program holds open (even for
  // writing) can still be read. Backup semantics let a folder open too, so it is
  // told apart from a file that cannot be opened.
  const std::wstring name = SystemPath(path);
  const HANDLE h = OpenRetryingWhileHeld([&] {
    return CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, "cannot be opened: " + LastErrorText());
    return false;
  }
  file_ = HandleOf(h);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) == FILE_TYPE_DISK && !GetFileInformationByHandle(h, &info)) {
    Say(why, "cannot be examined: " + LastErrorText());
    Close();
    return false;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    Say(why, "is a folder, not a file");
    Close();
    return false;
  }
  if (GetFileType(h) != FILE_TYPE_DISK) {
    Say(why, "is not a regular file");
    Close();
    return false;
  }
  size_ = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

int64_t InputFile::Read(void* dst, size_t n, std::string* why) {
  DWORD got = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, size_t{1} << 30));
  if (ReadFile(Win(file_), dst, chunk, &got, nullptr)) return got;
  if (GetLastError() == ERROR_HANDLE_EOF) return 0;
  Say(why, LastErrorText());
  return -1;
}

void InputFile::Close() {
  CloseNative(file_);
  size_ = 0;
}

std::optional<uint64_t> FileSizeOf(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  // A link: the size of the file it names, as on the other systems.
  const HANDLE h = CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  const bool ok = GetFileSizeEx(h, &size) != 0;
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace plm
