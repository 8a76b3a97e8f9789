#include "platform/folders.h"

#include <mutex>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/hidden_names.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"

namespace plm {
namespace {

bool IsPlainName(const std::string& name) {
  // ':' would name an alternate data stream of the folder, not a folder in it.
  return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string_view("/\\:\0", 4)) == std::string::npos;
}

// Opens a folder to hold: listed, never deleted or renamed by anyone while held.
HANDLE OpenFolderHandle(const std::wstring& path, DWORD flags) {
  HANDLE h = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  // A folder that may be written but not listed is still held by a handle that only
  // reads its attributes.
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
    h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  return h;
}

std::string WhyNotOpened(DWORD error) {
  if (error == ERROR_DIRECTORY) return "is not a folder";
  return "cannot be opened: " + SystemErrorText(error);
}

NativeHandle Checked(HANDLE h, std::string* why) {
  FileFacts facts;
  if (!FactsOfHandle(h, facts)) {
    Say(why, "cannot be examined: " + LastErrorText());
    CloseHandle(h);
    return {};
  }
  if (facts.IsLink) {
    Say(why, "is a link; nothing is written through a link");
    CloseHandle(h);
    return {};
  }
  if (!facts.IsFolder) {
    Say(why, "is not a folder");
    CloseHandle(h);
    return {};
  }
  return HandleOf(h);
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  const HANDLE h = OpenForFacts(SystemPath(path), true);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FileIdentity id;
  const bool ok = IdentityOfHandle(h, id);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return id;
}

// ---------------------------------------------------------------------------

Folder::Folder(NativeHandle handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {
  IdentityOfHandle(Win(handle_), id_);
  // The system's limit counts UTF-16 units, the interface's UTF-8 bytes. A name never
  // has more UTF-16 units than UTF-8 bytes, so a name within the limit read as bytes
  // always fits: the safe side, at the price of refusing some long Japanese names
  // that would fit.
  DWORD component = 0;
  if (GetVolumeInformationByHandleW(Win(handle_), nullptr, 0, nullptr, &component, nullptr, nullptr, 0) &&
      component > 0)
    nameLimit_ = component;
}

Folder::~Folder() { CloseNative(handle_); }

std::shared_ptr<Folder> Folder::Open(const std::filesystem::path& path, std::string* why) {
  const std::filesystem::path named = path.empty() ? std::filesystem::path(L".") : path;
  const HANDLE h = OpenFolderHandle(SystemPath(named), 0);
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, WhyNotOpened(GetLastError()));
    return nullptr;
  }
  FileFacts facts;
  if (!FactsOfHandle(h, facts) || !facts.IsFolder) {
    Say(why, "is not a folder");
    CloseHandle(h);
    return nullptr;
  }
  return std::shared_ptr<Folder>(new Folder(HandleOf(h), named));
}

// Names below are taken by path from the folder's own path; holding the folder
// without delete sharing keeps that path naming it, as Windows renames no folder
// with an open handle inside it.
std::shared_ptr<Folder> Folder::Sub(const std::string& name, bool create, std::string* why) const {
  if (!IsPlainName(name)) {
    Say(why, "\"" + name + "\" is not a folder name");
    return nullptr;
  }
  const std::wstring path = SystemPathIn(*this, name);
  if (create && !CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    Say(why, "cannot be created: " + LastErrorText());
    return nullptr;
  }
  const HANDLE h = OpenFolderHandle(path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, WhyNotOpened(GetLastError()));
    return nullptr;
  }
  const NativeHandle held = Checked(h, why);
  if (!held.Valid()) return nullptr;
  return std::shared_ptr<Folder>(new Folder(held, path_ / PathFromUtf8(name)));
}

std::optional<FileIdentity> Folder::IdentityOf(std::string_view name) const {
  const HANDLE h = OpenForFacts(SystemPathIn(*this, name), false);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FileIdentity id;
  const bool ok = IdentityOfHandle(h, id);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return id;
}

bool Folder::HoldsFolder(std::string_view name) const {
  FileFacts facts;
  return FactsOf(SystemPathIn(*this, name), false, facts) && facts.IsFolder && !facts.IsLink;
}

// Windows has no flush of a folder's entries: a name given by handle is made durable
// with the file it names, which its writer flushes.
bool Folder::Flush(std::string*) const { return true; }

void Folder::ProbeLinks() const {
  static std::mutex m;
  std::lock_guard lock(m);
  if (links_ >= 0) return;
  links_ = 0;
  std::string a;
  const HANDLE h = CreateHiddenIn(*this, false, a);
  if (h == INVALID_HANDLE_VALUE) return;  // nothing can be made here at all; writes will say so
  CloseHandle(h);
  const std::wstring first = SystemPathIn(*this, a), second = SystemPathIn(*this, NewHiddenName());
  if (CreateHardLinkW(second.c_str(), first.c_str(), nullptr)) {
    links_ = 1;
    DeleteFileW(second.c_str());
  }
  DeleteFileW(first.c_str());
}

// No file is made without a name on Windows, and no call flushes a whole volume
// for a user who is not an administrator.
FolderCapabilities Folder::Capabilities() const {
  FolderCapabilities can;
  can.Links = AllowsLinks();
  return can;
}

// ---------------------------------------------------------------------------

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string* why) {
  const std::wstring a = SystemPath(from), b = SystemPath(to);
  for (int tries = 0;; ++tries) {
    if (MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (tries >= 4 || !IsHeldByAnother(GetLastError())) break;
    Sleep(100);  // a scanner's open handle goes away in a moment
  }
  Say(why, LastErrorText());
  return false;
}

bool RemoveFile(const std::filesystem::path& path, std::string* why) {
  if (DeleteFileW(SystemPath(path).c_str())) return true;
  Say(why, LastErrorText());
  return false;
}

namespace {

// Makes the folder `path` (a SystemPath) and its missing parents.
bool MakeFolders(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
  if (GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  const size_t cut = path.find_last_of(L'\\');
  // Stops at the volume's root: "\\?\C:" or "\\?\UNC\server\share".
  if (cut == std::wstring::npos || cut <= 6) return false;
  if (!MakeFolders(path.substr(0, cut))) return false;
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

bool CreateFolders(const std::filesystem::path& path, std::string* why) {
  std::wstring p = SystemPath(path);
  while (p.size() > 7 && p.back() == L'\\') p.pop_back();
  const bool made = MakeFolders(p);
  const DWORD error = GetLastError();
  if (IsExistingFolder(path)) return true;
  Say(why, made ? std::string("not a folder") : SystemErrorText(error));
  return false;
}

void CreateFolderQuietly(const std::filesystem::path& path) { CreateDirectoryW(SystemPath(path).c_str(), nullptr); }

void RemoveEmptyFolderQuietly(const std::filesystem::path& path) {
  // RemoveDirectoryW would take away a link to a folder too; only a folder goes.
  FileFacts facts;
  const std::wstring p = SystemPath(path);
  if (FactsOf(p, false, facts) && facts.IsFolder && !facts.IsLink) RemoveDirectoryW(p.c_str());
}

// Windows has no owner to compare with the user: a folder is taken as the user's own
// when the user can make a file in it, which is asked by making one that goes away
// when closed.
bool IsOwnedWritableFolder(const std::filesystem::path& path) {
  if (!IsExistingFolder(path)) return false;
  const std::wstring probe = SystemPath(path / PathFromUtf8(NewHiddenName()));
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool ForEachFolderEntryImpl(const std::filesystem::path& folder, bool (*visit)(void*, const FolderEntry&),
                            void* context, std::string* why) {
  std::wstring pattern = SystemPath(folder);
  if (!pattern.ends_with(L'\\')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;  // an empty volume root has no "." either
    Say(why, LastErrorText());
    return false;
  }
  bool ok = true;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry e;
    e.Name = Utf8FromWide(name);
    e.IsLink = IsLinkAttribute(data.dwFileAttributes, data.dwReserved0);
    e.IsFolder = !e.IsLink && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.Hidden = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    if (!visit(context, e)) {
      FindClose(find);
      return true;
    }
  } while (FindNextFileW(find, &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) {
    Say(why, LastErrorText());
    ok = false;
  }
  FindClose(find);
  return ok;
}

bool IsSameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
  FileFacts fa, fb;
  return FactsOf(SystemPath(a), true, fa) && FactsOf(SystemPath(b), true, fb) && fa.IsFolder && fb.IsFolder &&
         fa.Identity == fb.Identity;
}

bool IsExistingFolder(const std::filesystem::path& p) {
  FileFacts facts;
  return FactsOf(SystemPath(p), true, facts) && facts.IsFolder;
}

bool IsExistingFile(const std::filesystem::path& p) {
  FileFacts facts;
  return FactsOf(SystemPath(p), true, facts) && !facts.IsFolder;
}

void DeleteFileQuietly(const std::filesystem::path& p) { DeleteFileW(SystemPath(p).c_str()); }

}  // namespace plm
