#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/linux_calls.h"
#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"
#include "platform/hidden_names.h"

namespace plm {
namespace {

// Makes `hidden` in `folder` a durable copy of the open regular file `src` (content,
// permissions, modification time).
bool CopyInto(const Folder& folder, int src, const struct stat& st, std::string& hidden, std::string* why) {
  const int dst = CreateHiddenIn(folder, 0600, hidden);
  if (dst < 0) {
    Say(why, "cannot create a copy: " + ErrnoText(errno));
    hidden.clear();
    return false;
  }
  bool ok = true;
  std::vector<uint8_t> buffer;
  for (;;) {
    ssize_t got = CopyRange(src, dst, size_t{1} << 30);
    if (got < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      if (buffer.empty()) buffer.resize(size_t{1} << 20);
      got = ::read(src, buffer.data(), buffer.size());
      if (got > 0 && !WriteAll(dst, buffer.data(), static_cast<size_t>(got), why)) ok = false;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Say(why, "cannot be copied: " + ErrnoText(errno));
      ok = false;
    }
    if (got <= 0 || !ok) break;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok && (::fchmod(dst, st.st_mode & 07777) != 0 || ::futimens(dst, times) != 0)) {
    Say(why, "the copy cannot take the file's permissions: " + ErrnoText(errno));
    ok = false;
  }
  if (ok && ::fsync(dst) != 0) {
    Say(why, "the copy cannot be flushed to disk: " + ErrnoText(errno));
    ok = false;
  }
  if (::close(dst) != 0 && ok) {
    Say(why, "the copy cannot be closed: " + ErrnoText(errno));
    ok = false;
  }
  if (!ok) {
    ::unlinkat(Fd(folder), hidden.c_str(), 0);
    hidden.clear();
  }
  return ok;
}

// The second name by a copy, for a folder without links.
KeepOutcome KeepByCopy(const Folder& folder, const std::string& name, std::string& hidden, std::string* why) {
  const int fd = Fd(folder);
  struct stat st {};
  if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return KeepOutcome::NothingThere;
    Say(why, ErrnoText(errno));
    return KeepOutcome::Failed;
  }
  if (S_ISDIR(st.st_mode)) return KeepOutcome::NothingThere;
  if (S_ISLNK(st.st_mode)) {  // a link is kept as the same link
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
    const ssize_t n = ::readlinkat(fd, name.c_str(), target.data(), target.size() - 1);
    if (n < 0) {
      Say(why, ErrnoText(errno));
      return KeepOutcome::Failed;
    }
    target[static_cast<size_t>(n)] = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      hidden = NewHiddenName();
      if (::symlinkat(target.data(), fd, hidden.c_str()) == 0) return KeepOutcome::Kept;
      if (errno != EEXIST) break;
    }
    Say(why, ErrnoText(errno));
    hidden.clear();
    return KeepOutcome::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    Say(why, "is not a regular file");
    return KeepOutcome::Failed;
  }
  const int src = ::openat(fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (src < 0) {
    Say(why, ErrnoText(errno));
    return errno == ENOENT ? KeepOutcome::NothingThere : KeepOutcome::Failed;
  }
  const bool copied = CopyInto(folder, src, st, hidden, why);
  ::close(src);
  return copied ? KeepOutcome::Kept : KeepOutcome::Failed;
}

}  // namespace

KeepOutcome KeepExistingAs(const Folder& folder, const std::string& name, const std::string& keepAs,
                           std::string* why, std::optional<FileIdentity>* kept) {
  const int fd = Fd(folder);
  // The second name is made under a hidden name first, so a run killed before the
  // rename below leaves only what the sweep of stale temporaries removes.
  std::string hidden;
  if (folder.AllowsLinks()) {
    int err = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      hidden = NewHiddenName();
      if (::linkat(fd, name.c_str(), fd, hidden.c_str(), 0) == 0) break;
      err = errno;
      hidden.clear();
      if (err != EEXIST) break;
    }
    if (hidden.empty()) {
      if (err == ENOENT) return KeepOutcome::NothingThere;
      if (err == EPERM) {
        struct stat st {};  // a folder cannot be linked: it is no earlier output
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
          return KeepOutcome::NothingThere;
      }
      Say(why, ErrnoText(err));
      return KeepOutcome::Failed;
    }
  } else {
    const KeepOutcome copied = KeepByCopy(folder, name, hidden, why);
    if (copied != KeepOutcome::Kept) return copied;
  }
  if (kept) *kept = folder.IdentityOf(hidden);
  if (::renameat(fd, hidden.c_str(), fd, keepAs.c_str()) == 0) {
    // When keepAs already is a name of the same file (a run killed right after
    // this step), rename succeeds without doing anything: the hidden name goes.
    ::unlinkat(fd, hidden.c_str(), 0);
    return KeepOutcome::Kept;
  }
  const int err = errno;
  ::unlinkat(fd, hidden.c_str(), 0);
  Say(why, ErrnoText(err));
  return KeepOutcome::Failed;
}

}  // namespace plm
