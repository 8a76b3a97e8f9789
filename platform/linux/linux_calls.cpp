#include "platform/linux/linux_calls.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace plm {

int OpenUnnamedIn(int dirFd, unsigned mode) { return ::openat(dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode); }

bool CanNameUnnamed() {
  static const bool canLink = ::access("/proc/self/fd", X_OK) == 0;
  return canLink;
}

// Straight from the descriptor where the process may (it needs the capability to
// search any folder), else through /proc.
int LinkUnnamed(int fd, int dirFd, const std::string& name) {
  static std::atomic<bool> direct{true};
  if (direct.load(std::memory_order_relaxed)) {
    if (::linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT && errno != EPERM) return -1;
    direct.store(false, std::memory_order_relaxed);  // or the folder is gone: /proc then says so too
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW);
}

int RenameWhereFree(int dirFd, const char* from, const char* to) {
  return ::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE);
}

void StartWriteback(int fd, uint64_t offset, uint64_t length) {
  ::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length), SYNC_FILE_RANGE_WRITE);
}

ssize_t CopyRange(int src, int dst, size_t n) { return ::copy_file_range(src, nullptr, dst, nullptr, n, 0); }

int SyncVolumeOf(int fd) { return ::syncfs(fd); }

}  // namespace plm
