#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/linux/linux_calls.h"
#include "platform/posix/descriptors.h"
#include "platform/hidden_names.h"

namespace plm {
namespace {

FileIdentity IdentityOfStat(const struct stat& st) {
  return NativeHandleAccess::Identity(st.st_dev, st.st_ino);
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOfStat(st);
}

// ---------------------------------------------------------------------------

Folder::Folder(NativeHandle handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {
  const int fd = Fd(handle_);
  struct stat st {};
  if (::fstat(fd, &st) == 0) id_ = IdentityOfStat(st);
  const long limit = ::fpathconf(fd, _PC_NAME_MAX);
  if (limit > 0) nameLimit_ = static_cast<size_t>(limit);
}

Folder::~Folder() {
  if (handle_.Valid()) ::close(Fd(handle_));
}

std::shared_ptr<Folder> Folder::Open(const std::filesystem::path& path, std::string* why) {
  const std::filesystem::path named = path.empty() ? std::filesystem::path(".") : path;
  int fd = ::open(named.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that may be written but not listed can still be written through a path
  // handle (it cannot be flushed or locked, which then report so).
  if (fd < 0 && errno == EACCES) fd = ::open(named.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Say(why, errno == ENOTDIR ? "is not a folder" : "cannot be opened: " + ErrnoText(errno));
    return nullptr;
  }
  return std::shared_ptr<Folder>(new Folder(HandleOf(fd), named));
}

std::shared_ptr<Folder> Folder::Sub(const std::string& name, bool create, std::string* why) const {
  if (!IsPlainName(name)) {
    Say(why, "\"" + name + "\" is not a folder name");
    return nullptr;
  }
  if (create && ::mkdirat(Fd(*this), name.c_str(), 0777) != 0 && errno != EEXIST) {
    Say(why, "cannot be created: " + ErrnoText(errno));
    return nullptr;
  }
  int fd = ::openat(Fd(*this), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::openat(Fd(*this), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    struct stat st {};
    const bool isLink = ::fstatat(Fd(*this), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    if (isLink)
      Say(why, "is a link; nothing is written through a link");
    else
      Say(why, err == ENOTDIR ? "is not a folder" : "cannot be opened: " + ErrnoText(err));
    return nullptr;
  }
  return std::shared_ptr<Folder>(new Folder(HandleOf(fd), path_ / name));
}

std::optional<FileIdentity> Folder::IdentityOf(std::string_view name) const {
  struct stat st {};
  if (::fstatat(Fd(*this), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return IdentityOfStat(st);
}

bool Folder::HoldsFolder(std::string_view name) const {
  struct stat st {};
  return ::fstatat(Fd(*this), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool Folder::Flush(std::string* why) const {
  if (::fsync(Fd(*this)) == 0) return true;
  // A file system that keeps no folder flush (EINVAL) makes its names durable
  // without one; a path handle cannot be flushed, its names go with the files.
  if (errno == EINVAL || errno == EBADF) return true;
  Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
  return false;
}

void Folder::ProbeLinks() const {
  static std::mutex m;
  std::lock_guard lock(m);
  if (links_ >= 0) return;
  links_ = 0;
  const std::string a = NewHiddenName(), b = NewHiddenName();
  const int fd = ::openat(Fd(*this), a.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return;  // nothing can be made here at all; writes will say so
  ::close(fd);
  if (::linkat(Fd(*this), a.c_str(), Fd(*this), b.c_str(), 0) == 0) {
    links_ = 1;
    ::unlinkat(Fd(*this), b.c_str(), 0);
  }
  ::unlinkat(Fd(*this), a.c_str(), 0);
}

// An unnamed file is named by a link, so a folder without links gets none, nor a
// system that can name one neither by its descriptor nor through /proc.
FolderCapabilities Folder::Capabilities() const {
  FolderCapabilities can;
  can.Links = AllowsLinks();
  can.UnnamedTemporaries = can.Links && CanNameUnnamed();
  can.WholeVolumeFlush = true;  // syncfs
  return can;
}

// ---------------------------------------------------------------------------

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string* why) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  Say(why, ErrnoText(errno));
  return false;
}

bool RemoveFile(const std::filesystem::path& path, std::string* why) {
  if (::unlink(path.c_str()) == 0) return true;
  Say(why, ErrnoText(errno));
  return false;
}

bool CreateFolders(const std::filesystem::path& path, std::string* why) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  Say(why, ec ? ec.message() : std::string("not a folder"));
  return false;
}

void CreateFolderQuietly(const std::filesystem::path& path) { ::mkdir(path.c_str(), 0777); }

void RemoveEmptyFolderQuietly(const std::filesystem::path& path) { ::rmdir(path.c_str()); }

bool IsOwnedWritableFolder(const std::filesystem::path& path) {
  struct stat st {};
  return ::access(path.c_str(), W_OK | X_OK) == 0 && ::stat(path.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

bool ForEachFolderEntryImpl(const std::filesystem::path& folder, bool (*visit)(void*, const FolderEntry&),
                            void* context, std::string* why) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    Say(why, ErrnoText(errno));
    return false;
  }
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        Say(why, ErrnoText(errno));
        ok = false;
      }
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry e;
    e.Name = entry->d_name;
    e.Hidden = name.starts_with('.');
    if (entry->d_type == DT_DIR) {
      e.IsFolder = true;
    } else if (entry->d_type == DT_LNK) {
      e.IsLink = true;
    } else if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::lstat((folder / e.Name).c_str(), &st) == 0) {
        e.IsFolder = S_ISDIR(st.st_mode);
        e.IsLink = S_ISLNK(st.st_mode);
      }
    }
    if (!visit(context, e)) break;
  }
  ::closedir(dir);
  return ok;
}

bool IsSameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (!S_ISDIR(sa.st_mode) || !S_ISDIR(sb.st_mode)) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool IsExistingFolder(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExistingFile(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void DeleteFileQuietly(const std::filesystem::path& p) { ::unlink(p.c_str()); }

}  // namespace plm
