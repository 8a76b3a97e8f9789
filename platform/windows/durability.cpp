#include "platform/files.h"
#include "platform/windows/handles.h"

namespace plm {

// The temporary's own open handle is flushed: a temporary marked for deletion
// cannot be opened again by its name.
bool FinishedTemporary::Flush(std::string* why) {
  if (!Pending() || !unnamed_.Valid()) {
    Say(why, "cannot be flushed to disk: the file is not finished");
    return false;
  }
  if (FlushFileBuffers(Win(unnamed_))) return true;
  Say(why, "cannot be flushed to disk: " + LastErrorText());
  return false;
}

// The rename is recorded in the volume's journal, which a flush of any file on it
// writes out; the published file's is flushed for that. When the file cannot be
// opened (another program holds it), nothing more can be done without
// administrator rights, and the rename is journalled all the same.
bool FinishedTemporary::FlushName(std::string* why) {
  if (!published_ || !folder_) return true;
  const HANDLE h = CreateFileW(SystemPathIn(*folder_, target_).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  const bool ok = FlushFileBuffers(h) != 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + LastErrorText());
  CloseHandle(h);
  return ok;
}

FileSystemFlush::~FileSystemFlush() { CloseNative(folder_); }

namespace {

HANDLE OpenFolderHandle(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

bool FileSystemFlush::Open(const std::filesystem::path& folder, std::string* why) {
  CloseNative(folder_);
  const HANDLE h = OpenFolderHandle(SystemPath(folder));
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, "cannot be opened: " + LastErrorText());
    return false;
  }
  folder_ = HandleOf(h);
  FileIdentity id;
  if (!IdentityOfHandle(h, id)) {
    Say(why, "cannot be examined: " + LastErrorText());
    CloseNative(folder_);
    return false;
  }
  volume_ = NativeHandleAccess::VolumeOf(id);
  return true;
}

bool FileSystemFlush::Open(const Folder& folder, std::string* why) {
  CloseNative(folder_);
  HANDLE h = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), Win(folder), GetCurrentProcess(), &h, 0, FALSE, DUPLICATE_SAME_ACCESS))
    h = OpenFolderHandle(SystemPath(folder.Path()));
  if (h == INVALID_HANDLE_VALUE || h == nullptr) {
    Say(why, "cannot be opened: " + LastErrorText());
    return false;
  }
  folder_ = HandleOf(h);
  volume_ = NativeHandleAccess::VolumeOf(folder.Identity());
  return true;
}

// A whole volume is flushed through a handle on the volume itself, which only an
// administrator may open for writing. Without one Sync fails, so the caller flushes
// its files one by one (FinishedTemporary::Flush), which any user may: a Sync that
// did nothing and succeeded would leave them all unflushed. Folder capabilities say
// the same: no whole-volume flush on Windows.
bool FileSystemFlush::Sync(std::string* why) {
  if (!folder_.Valid()) {
    Say(why, "cannot be flushed to disk: its file system is not open");
    return false;
  }
  wchar_t name[MAX_PATH + 1] = {};
  const DWORD n = GetFinalPathNameByHandleW(Win(folder_), name, MAX_PATH, VOLUME_NAME_GUID);
  // "\\?\Volume{guid}\folder": the volume is what comes before the fourth '\'.
  std::wstring volume(name, n > 0 && n <= MAX_PATH ? n : 0);
  const size_t end = volume.size() > 4 ? volume.find(L'\\', 4) : std::wstring::npos;
  if (end == std::wstring::npos) {
    Say(why, "cannot be flushed to disk as a whole: its volume is not known");
    return false;
  }
  volume.resize(end);
  const HANDLE h = CreateFileW(volume.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, "cannot be flushed to disk as a whole: " + LastErrorText());
    return false;
  }
  const bool ok = FlushFileBuffers(h) != 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + LastErrorText());
  CloseHandle(h);
  return ok;
}

bool FlushFile(const std::filesystem::path& file, std::string* why) {
  const std::wstring name = SystemPath(file);
  const HANDLE h = OpenRetryingWhileHeld([&] {
    return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, "cannot be flushed to disk: " + LastErrorText());
    return false;
  }
  const bool ok = FlushFileBuffers(h) != 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + LastErrorText());
  CloseHandle(h);
  return ok;
}

}  // namespace plm
