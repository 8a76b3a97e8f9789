#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"

namespace plm {

bool InputFile::Open(const std::filesystem::path& path, std::string* why) {
  Close();
  // Non-blocking, so a FIFO or device named as a file cannot stall the open;
  // anything but a regular file is refused right after.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    Say(why, "cannot be opened: " + ErrnoText(errno));
    return false;
  }
  file_ = HandleOf(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    Say(why, "cannot be examined: " + ErrnoText(errno));
    Close();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Say(why, S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
    Close();
    return false;
  }
  // Back to blocking reads; O_NONBLOCK is the only status flag the open set.
  ::fcntl(fd, F_SETFL, 0);
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

int64_t InputFile::Read(void* dst, size_t n, std::string* why) {
  for (;;) {
    const ssize_t got = ::read(Fd(file_), dst, n);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    Say(why, ErrnoText(errno));
    return -1;
  }
}

void InputFile::Close() {
  if (file_.Valid()) ::close(Fd(file_));
  file_ = {};
  size_ = 0;
}

std::optional<uint64_t> FileSizeOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

}  // namespace plm
