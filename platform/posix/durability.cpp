#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/linux_calls.h"
#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"

namespace plm {

bool FinishedTemporary::Flush(std::string* why) {
  if (!Pending()) {
    Say(why, "cannot be flushed to disk: the file is not finished");
    return false;
  }
  int fd = Fd(unnamed_);
  if (fd < 0) fd = ::openat(Fd(*folder_), hidden_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
  if (fd != Fd(unnamed_)) ::close(fd);
  return ok;
}

bool FinishedTemporary::FlushName(std::string* why) {
  if (!published_ || !unnamed_.Valid()) return true;
  if (::fsync(Fd(unnamed_)) == 0) return true;
  Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
  return false;
}

FileSystemFlush::~FileSystemFlush() {
  if (folder_.Valid()) ::close(Fd(folder_));
}

bool FileSystemFlush::Open(const std::filesystem::path& folder, std::string* why) {
  if (folder_.Valid()) ::close(Fd(folder_));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  folder_ = HandleOf(fd);
  if (fd < 0) {
    Say(why, "cannot be opened: " + ErrnoText(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    Say(why, "cannot be examined: " + ErrnoText(errno));
    ::close(fd);
    folder_ = {};
    return false;
  }
  volume_ = NativeHandleAccess::Volume(st.st_dev);
  return true;
}

bool FileSystemFlush::Open(const Folder& folder, std::string* why) {
  if (folder_.Valid()) ::close(Fd(folder_));
  const int fd = ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  folder_ = HandleOf(fd);
  if (fd < 0) {
    Say(why, "cannot be opened: " + ErrnoText(errno));
    return false;
  }
  volume_ = NativeHandleAccess::VolumeOf(folder.Identity());
  return true;
}

bool FileSystemFlush::Sync(std::string* why) {
  if (!folder_.Valid()) {
    Say(why, "cannot be flushed to disk: its file system is not open");
    return false;
  }
  if (SyncVolumeOf(Fd(folder_)) == 0) return true;
  Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
  return false;
}

bool FlushFile(const std::filesystem::path& file, std::string* why) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
  ::close(fd);
  return ok;
}

}  // namespace plm
