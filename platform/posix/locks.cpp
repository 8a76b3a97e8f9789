#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/folders.h"
#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"

namespace plm {
namespace {

// Removes everything below the open folder `fd`, links included but never followed.
// Bounded in depth: the run folders it serves are two levels deep.
void RemoveContentsAt(int fd, int depth) {
  const int listed = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listed < 0) return;
  DIR* dir = ::fdopendir(listed);
  if (!dir) {
    ::close(listed);
    return;
  }
  std::vector<std::string> files, folders;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    (S_ISDIR(st.st_mode) ? folders : files).emplace_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : files) ::unlinkat(fd, name.c_str(), 0);
  if (depth <= 0) return;
  for (const std::string& name : folders) {
    const int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) continue;
    RemoveContentsAt(sub, depth - 1);
    ::close(sub);
    ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
  }
}

constexpr int kRunFolderDepth = 8;

}  // namespace

LockOutcome FolderLock::Take(const Folder& folder, const std::function<bool()>& keepWaiting,
                             const std::function<void()>& onBusy, std::string* why) {
  Release();
  // Descriptors of their own: a lock belongs to one open of a folder, so two locks
  // taken in one process exclude each other as two processes' do.
  const int target = ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (target < 0) {
    Say(why, "cannot be opened: " + ErrnoText(errno));
    return errno == EACCES ? LockOutcome::Unsupported : LockOutcome::Failed;
  }
  // The folders above, up to the top of the volume, top first.
  std::vector<int> chain{target};
  struct stat below {};
  ::fstat(target, &below);
  int climb = ::openat(target, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
  while (climb >= 0) {
    struct stat st {};
    if (::fstat(climb, &st) != 0 || st.st_dev != below.st_dev || st.st_ino == below.st_ino) break;
    const int lockable = ::openat(climb, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockable >= 0) chain.insert(chain.begin(), lockable);
    below = st;
    const int up = ::openat(climb, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
    ::close(climb);
    climb = up;
  }
  if (climb >= 0) ::close(climb);

  bool told = false;
  for (;;) {
    std::vector<int> locked;
    bool busy = false, unsupported = false;
    int error = 0;
    for (size_t k = 0; k < chain.size(); ++k) {
      const bool isTarget = k + 1 == chain.size();
      if (::flock(chain[k], (isTarget ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
        locked.push_back(chain[k]);
        continue;
      }
      if (errno == EWOULDBLOCK) {
        busy = true;
        break;
      }
      if (isTarget) {  // above the target a folder that cannot be locked is passed by
        unsupported = errno == ENOLCK || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF;
        error = errno;
        break;
      }
    }
    if (!busy && !unsupported && error == 0) {
      for (int fd : chain) held_.push_back(HandleOf(fd));
      return LockOutcome::Locked;
    }
    for (int fd : locked) ::flock(fd, LOCK_UN);
    if (!busy) {
      for (int fd : chain) ::close(fd);
      Say(why, "cannot be locked: " + ErrnoText(error));
      return unsupported ? LockOutcome::Unsupported : LockOutcome::Failed;
    }
    if (!told && onBusy) onBusy();
    told = true;
    if (!keepWaiting || !keepWaiting()) {
      for (int fd : chain) ::close(fd);
      return LockOutcome::Busy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void FolderLock::Release() {
  for (const NativeHandle& h : held_) ::close(Fd(h));  // closing the last descriptor of an open drops its lock
  held_.clear();
}

// ---------------------------------------------------------------------------

std::filesystem::path TemporaryBase() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  return ec || base.empty() ? std::filesystem::path("/tmp") : base;
}

RunFolder::RunFolder(const std::string& prefix, const std::filesystem::path& base) {
  const std::filesystem::path where = base.empty() ? TemporaryBase() : base;
  Sweep(prefix, where);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string pattern = (where / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) return;
    const int fd = ::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;  // a sweep took it between its making and its opening
    // Held shared: a save folder below it may be locked too (its runs hold the
    // folders above shared), while a sweep, asking for it exclusively, sees it taken.
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    if (!locked && errno == EWOULDBLOCK) {  // a sweep holds it and is removing it
      ::close(fd);
      continue;
    }
    // Once locked it is ours for good, unless a sweep removed it before that.
    struct stat held {}, named {};
    if (::fstat(fd, &held) != 0 || held.st_nlink == 0 || ::lstat(pattern.c_str(), &named) != 0 ||
        held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
      ::close(fd);
      continue;
    }
    handle_ = HandleOf(fd);
    path_ = pattern;
    return;
  }
}

RunFolder::~RunFolder() {
  if (!handle_.Valid()) return;
  RemoveContentsAt(Fd(handle_), kRunFolderDepth);
  ::rmdir(path_.c_str());
  ::close(Fd(handle_));
}

void RunFolder::Sweep(const std::string& prefix, const std::filesystem::path& base) {
  const std::filesystem::path where = base.empty() ? TemporaryBase() : base;
  const int baseFd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (baseFd < 0) return;
  const int listed = ::dup(baseFd);
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!dir) {
    if (listed >= 0) ::close(listed);
    ::close(baseFd);
    return;
  }
  std::vector<std::string> candidates;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) candidates.emplace_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : candidates) {
    const int fd = ::openat(baseFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {}, named {};
    // Only a folder of this user's whose run is gone: its lock is free.
    if (::fstat(fd, &held) == 0 && held.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(baseFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
        named.st_dev == held.st_dev) {
      RemoveContentsAt(fd, kRunFolderDepth);
      ::unlinkat(baseFd, name.c_str(), AT_REMOVEDIR);
    }
    ::close(fd);
  }
  ::close(baseFd);
}

}  // namespace plm
