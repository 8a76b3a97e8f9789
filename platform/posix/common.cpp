#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"
#include "platform/hidden_names.h"

namespace plm {

void Say(std::string* why, std::string text) {
  if (why) *why = std::move(text);
}

std::string ErrnoText(int err) { return std::strerror(err); }

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

bool WriteAll(int fd, const void* data, size_t n, std::string* why) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t got = ::write(fd, p, n);
    if (got < 0) {
      if (errno == EINTR) continue;
      Say(why, "cannot be written: " + ErrnoText(errno));
      return false;
    }
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

int CreateHiddenIn(const Folder& folder, unsigned mode, std::string& hidden) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    hidden = NewHiddenName();
    const int fd = ::openat(Fd(folder), hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace plm
