#include <vector>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/hidden_names.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"

namespace plm {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The attributes a copy takes from its file, as a second name would share them.
constexpr DWORD kCopied = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Copies `src` whole into `dst`; false with `why` on a read or write error.
bool CopyContent(HANDLE src, HANDLE dst, std::string* why) {
  std::vector<uint8_t> buffer(size_t{1} << 20);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(src, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      Say(why, "cannot be copied: " + LastErrorText());
      return false;
    }
    if (got == 0) return true;
    if (!WriteAll(dst, buffer.data(), got, why)) return false;
  }
}

// The second name by a complete copy, for a volume without links: the copy is
// written under a hidden name marked for deletion (a run that dies leaves nothing),
// made durable, given the file's attributes and modification time, and only then
// renamed over `keepAs` by its handle.
KeepOutcome KeepByCopy(const Folder& folder, const std::string& name, const std::string& keepAs, std::string* why,
                       std::optional<FileIdentity>* kept) {
  const std::wstring from = SystemPathIn(folder, name);
  const HANDLE src = OpenRetryingWhileHeld([&] {
    return CreateFileW(from.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  });
  if (src == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return KeepOutcome::NothingThere;
    Say(why, SystemErrorText(error));
    return KeepOutcome::Failed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(src, &info)) {
    Say(why, LastErrorText());
    CloseHandle(src);
    return KeepOutcome::Failed;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    Say(why, "is a link, and this volume cannot give it a second name");
    CloseHandle(src);
    return KeepOutcome::Failed;
  }
  std::string hidden;
  const HANDLE dst = CreateHiddenIn(folder, true, hidden);
  if (dst == INVALID_HANDLE_VALUE) {
    Say(why, "cannot create a copy: " + LastErrorText());
    CloseHandle(src);
    return KeepOutcome::Failed;
  }
  bool ok = CopyContent(src, dst, why);
  CloseHandle(src);
  if (ok && !FlushFileBuffers(dst)) {
    Say(why, "the copy cannot be flushed to disk: " + LastErrorText());
    ok = false;
  }
  // The delete mark goes before the read-only attribute comes, which the system
  // refuses on a file marked for deletion.
  if (ok && !(MarkForDeletion(dst, false) &&
              SetAttributesOfHandle(dst, info.dwFileAttributes & kCopied, &info.ftLastWriteTime))) {
    Say(why, "the copy cannot take the file's attributes: " + LastErrorText());
    ok = false;
  }
  if (ok && !RetryWhileHeld([&] { return RenameOpenFile(dst, folder, keepAs, true); }, true)) {
    Say(why, LastErrorText());
    ok = false;
  }
  if (ok && kept) {
    FileIdentity id;
    if (IdentityOfHandle(dst, id)) *kept = id;
  }
  if (!ok) {
    // Back to a writable file marked for deletion, so closing it removes it.
    SetAttributesOfHandle(dst, FILE_ATTRIBUTE_HIDDEN);
    if (!MarkForDeletion(dst, true)) {
      CloseHandle(dst);
      DeleteFileW(SystemPathIn(folder, hidden).c_str());
      return KeepOutcome::Failed;
    }
  }
  CloseHandle(dst);
  return ok ? KeepOutcome::Kept : KeepOutcome::Failed;
}

}  // namespace

KeepOutcome KeepExistingAs(const Folder& folder, const std::string& name, const std::string& keepAs,
                           std::string* why, std::optional<FileIdentity>* kept) {
  const std::wstring file = SystemPathIn(folder, name);
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return KeepOutcome::NothingThere;
    Say(why, SystemErrorText(error));
    return KeepOutcome::Failed;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return KeepOutcome::NothingThere;  // a folder is no earlier output
  if (!folder.AllowsLinks()) return KeepByCopy(folder, name, keepAs, why, kept);

  // The second name is made under a hidden name first, so a run killed before the
  // rename below leaves only what the sweep of stale temporaries removes. (Attributes
  // belong to the file, not to a name, so this name is hidden by its form alone.)
  std::string hidden;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 100; ++attempt) {
    hidden = NewHiddenName();
    if (CreateHardLinkW(SystemPathIn(folder, hidden).c_str(), file.c_str(), nullptr)) break;
    error = GetLastError();
    hidden.clear();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  if (hidden.empty()) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return KeepOutcome::NothingThere;
    Say(why, SystemErrorText(error));
    return KeepOutcome::Failed;
  }
  const std::wstring link = SystemPathIn(folder, hidden), to = SystemPathIn(folder, keepAs);
  if (kept) *kept = folder.IdentityOf(hidden);
  const DWORD there = GetFileAttributesW(to.c_str());
  const bool mayBeHeld = there == INVALID_FILE_ATTRIBUTES || !(there & FILE_ATTRIBUTE_DIRECTORY);
  if (RetryWhileHeld([&] { return MoveFileExW(link.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; },
                     mayBeHeld)) {
    // When keepAs already was a name of the same file, the hidden name may stay.
    DeleteFileW(link.c_str());
    return KeepOutcome::Kept;
  }
  error = GetLastError();
  DeleteFileW(link.c_str());
  Say(why, SystemErrorText(error));
  return KeepOutcome::Failed;
}

}  // namespace plm
