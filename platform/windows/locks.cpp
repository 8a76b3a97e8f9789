#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"

namespace plm {
namespace {

// Windows locks no folder, so each folder's lock is a byte of a file standing for it:
// "<volume serial>-<file index>.lock" in one folder under the user's temporary
// folder. The system drops a handle's locks when its process ends. Every user has
// a temporary folder of their own, so two users of one machine do not see each
// other's locks: the lock keeps one user's runs apart, as a user runs the program.
// The files stay (they are empty): removing one could let two runs hold two files
// for one folder.
constexpr wchar_t kLockFolder[] = L"pallimo-locks";

// A folder's identity as the system gives it.
struct RawIdentity {
  uint64_t volume = 0, index = 0;
  bool operator==(const RawIdentity&) const = default;
};

bool RawIdentityOf(HANDLE h, RawIdentity& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  id = {info.dwVolumeSerialNumber, (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return true;
}

std::wstring LockFileFor(const std::wstring& lockFolder, const RawIdentity& id) {
  char name[64];
  std::snprintf(name, sizeof name, "%08llx-%016llx.lock", static_cast<unsigned long long>(id.volume),
                static_cast<unsigned long long>(id.index));
  return lockFolder + L"\\" + WideFromUtf8(name);
}

// The identities of `folder` and of the folders above it on its volume, top first.
// Empty when the folder's own cannot be read.
std::vector<RawIdentity> ChainOf(const Folder& folder) {
  RawIdentity below;
  if (!RawIdentityOf(Win(folder), below)) return {};
  std::vector<RawIdentity> chain{below};
  // The folder's path as the system resolves it (links and letter case settled),
  // climbed by name up to the volume's root.
  std::wstring path(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(Win(folder), path.data(), static_cast<DWORD>(path.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  path = n > 0 && n < path.size() ? path.substr(0, n) : SystemPath(folder.Path());
  for (;;) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    const size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut < 6) break;  // at "\\?\C:"
    path.resize(cut);
    // A root is opened as "\\?\C:\"; "\\?\C:" would be the volume itself.
    const HANDLE h = OpenForFacts(path.ends_with(L':') ? path + L"\\" : path, true);
    if (h == INVALID_HANDLE_VALUE) break;
    RawIdentity id;
    const bool ok = RawIdentityOf(h, id);
    CloseHandle(h);
    if (!ok || id.volume != below.volume || id == below) break;
    chain.insert(chain.begin(), id);
    below = id;
  }
  return chain;
}

bool LockByte(HANDLE h, bool exclusive) {
  OVERLAPPED at{};
  return LockFileEx(h, (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

void UnlockByte(HANDLE h) {
  OVERLAPPED at{};
  UnlockFileEx(h, 0, 1, 0, &at);
}

}  // namespace

LockOutcome FolderLock::Take(const Folder& folder, const std::function<bool()>& keepWaiting,
                             const std::function<void()>& onBusy, std::string* why) {
  Release();
  const std::vector<RawIdentity> ids = ChainOf(folder);
  if (ids.empty() || ids.back().index == 0) {
    Say(why, "cannot be locked: its file system gives it no identity");
    return LockOutcome::Unsupported;
  }
  const std::wstring lockFolder = SystemPath(TemporaryBase() / kLockFolder);
  CreateDirectoryW(lockFolder.c_str(), nullptr);
  // Handles of their own: a lock belongs to one handle, so two locks taken in one
  // process exclude each other as two processes' do.
  std::vector<HANDLE> chain;
  for (const RawIdentity& id : ids) {
    // No delete sharing: a cleaner of the temporary folder cannot take a held file.
    const HANDLE h = OpenRetryingWhileHeld([&] {
      return CreateFileW(LockFileFor(lockFolder, id).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
    });
    if (h == INVALID_HANDLE_VALUE) {
      const std::string text = LastErrorText();
      for (HANDLE held : chain) CloseHandle(held);
      Say(why, "cannot be locked: " + text);
      return LockOutcome::Failed;
    }
    chain.push_back(h);
  }

  bool told = false;
  for (;;) {
    std::vector<HANDLE> locked;
    bool busy = false;
    DWORD error = 0;
    for (size_t k = 0; k < chain.size(); ++k) {
      const bool isTarget = k + 1 == chain.size();
      if (LockByte(chain[k], isTarget)) {
        locked.push_back(chain[k]);
        continue;
      }
      error = GetLastError();
      busy = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
      break;
    }
    if (!busy && error == 0) {
      for (HANDLE h : chain) held_.push_back(HandleOf(h));
      return LockOutcome::Locked;
    }
    for (HANDLE h : locked) UnlockByte(h);
    if (!busy) {
      for (HANDLE h : chain) CloseHandle(h);
      Say(why, "cannot be locked: " + SystemErrorText(error));
      return LockOutcome::Failed;
    }
    if (!told && onBusy) onBusy();
    told = true;
    if (!keepWaiting || !keepWaiting()) {
      for (HANDLE h : chain) CloseHandle(h);
      return LockOutcome::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void FolderLock::Release() {
  for (NativeHandle& h : held_) {
    UnlockByte(Win(h));  // unlocked before the close: a closed handle's locks go only eventually
    CloseNative(h);
  }
  held_.clear();
}

// ---------------------------------------------------------------------------

namespace {

// The file inside a run folder whose open handle says the run is alive: opened
// without delete sharing by the run, or alone (no sharing) by a sweep, it can be
// held by only one of them, and while it is held the folder cannot be removed.
constexpr wchar_t kRunMark[] = L"\\.plm-run.lock";

// Removes everything below the folder `path` (a SystemPath), links included but
// never followed, apart from the name `keep`. Bounded in depth: the run folders it
// serves are two levels deep.
void RemoveContents(const std::wstring& path, int depth, std::wstring_view keep = {}) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> files, folders;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L".." || name == keep) continue;
    const bool realFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                            !IsLinkAttribute(data.dwFileAttributes, data.dwReserved0);
    if (realFolder) {
      folders.push_back(path + L"\\" + std::wstring(name));
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryW((path + L"\\" + std::wstring(name)).c_str());  // a link to a folder: only the link goes
    } else {
      files.push_back(path + L"\\" + std::wstring(name));
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  for (const std::wstring& file : files) {
    if (!DeleteFileW(file.c_str()) && GetLastError() == ERROR_ACCESS_DENIED) {
      SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only image of the run's own
      DeleteFileW(file.c_str());
    }
  }
  if (depth <= 0) return;
  for (const std::wstring& folder : folders) {
    RemoveContents(folder, depth - 1);
    RemoveDirectoryW(folder.c_str());
  }
}

constexpr int kRunFolderDepth = 8;

std::string RandomSuffix() {
  thread_local std::mt19937_64 rng{std::random_device{}()};
  constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s(6, ' ');
  for (char& c : s) c = kChars[rng() % (sizeof kChars - 1)];
  return s;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 7 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

std::filesystem::path TemporaryBase() {
  // GetTempPath2W (Windows 11) gives a system process a folder of its own; where it
  // is missing GetTempPathW gives the same folder to a user's process.
  using GetTempPath2 = DWORD(WINAPI*)(DWORD, LPWSTR);
  static const auto get2 = reinterpret_cast<GetTempPath2>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD n = get2 ? get2(MAX_PATH + 1, buffer) : GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring base = n > 0 && n <= MAX_PATH + 1 ? std::wstring(buffer, n) : std::wstring(L"C:\\Windows\\Temp");
  while (base.size() > 3 && base.back() == L'\\') base.pop_back();
  return std::filesystem::path(base);
}

RunFolder::RunFolder(const std::string& prefix, const std::filesystem::path& base) {
  const std::filesystem::path where = base.empty() ? TemporaryBase() : base;
  Sweep(prefix, where);
  const std::wstring whereW = WithoutTrailingSeparator(SystemPath(where));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = prefix + RandomSuffix();
    const std::wstring folder = whereW + L"\\" + WideFromUtf8(name);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return;
    }
    // A sweep that came between the folder and its mark holds the mark (or has
    // removed the folder): the folder is left to it.
    const HANDLE mark = CreateFileW((folder + kRunMark).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
    if (mark == INVALID_HANDLE_VALUE) continue;
    handle_ = HandleOf(mark);
    path_ = where / PathFromUtf8(name);
    return;
  }
}

RunFolder::~RunFolder() {
  if (!handle_.Valid()) return;
  const std::wstring folder = WithoutTrailingSeparator(SystemPath(path_));
  RemoveContents(folder, kRunFolderDepth, kRunMark + 1);
  MarkForDeletion(Win(handle_), true);
  CloseNative(handle_);
  RemoveDirectoryW(folder.c_str());
}

// Every user has a temporary folder of their own, so a folder there is the user's;
// in a shared `base` a folder another user's live run holds is kept by its mark
// like any live one.
void RunFolder::Sweep(const std::string& prefix, const std::filesystem::path& base) {
  const std::filesystem::path where = base.empty() ? TemporaryBase() : base;
  const std::wstring whereW = WithoutTrailingSeparator(SystemPath(where));
  std::vector<std::wstring> candidates;
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileExW((whereW + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                       nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = Utf8FromWide(data.cFileName);
    const bool realFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (realFolder && name.size() == prefix.size() + 6 && name.starts_with(prefix))
      candidates.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  for (const std::wstring& name : candidates) {
    const std::wstring folder = whereW + L"\\" + name;
    // Held without delete sharing while it is emptied, so no link can take its
    // name meanwhile and lead the removal elsewhere.
    const HANDLE held = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE) continue;
    FileFacts facts;
    if (!FactsOfHandle(held, facts) || !facts.IsFolder || facts.IsLink) {
      CloseHandle(held);
      continue;
    }
    // Made when missing (a run killed before it marked its folder), and held alone:
    // a live run holds its mark, so this open fails; once it succeeds no run can
    // take the folder.
    const HANDLE mark = CreateFileW((folder + kRunMark).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (mark == INVALID_HANDLE_VALUE || !FactsOfHandle(mark, facts) || facts.IsFolder || facts.IsLink) {
      if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
      CloseHandle(held);
      continue;
    }
    RemoveContents(folder, kRunFolderDepth, kRunMark + 1);
    MarkForDeletion(mark, true);
    CloseHandle(mark);
    CloseHandle(held);
    RemoveDirectoryW(folder.c_str());
  }
}

}  // namespace plm
