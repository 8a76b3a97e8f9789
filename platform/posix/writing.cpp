#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/linux_calls.h"
#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"

namespace plm {
namespace {

// Unnamed temporaries are held open until they are published, so their number is
// kept to a share of the descriptors the process may have; past it, hidden names
// are used, which are closed once written.
std::atomic<int> gUnnamedHeld{0};

// The soft limit is first raised towards the hard one (the program never uses
// select(), which a descriptor number past 1024 would break).
int UnnamedBudget() {
  static const int budget = [] {
    constexpr rlim_t kWanted = 8192;
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < kWanted) {
      rlimit raised = limit;
      raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? kWanted : std::min(kWanted, limit.rlim_max);
      if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return static_cast<int>(std::min<rlim_t>(2048, limit.rlim_cur == RLIM_INFINITY ? kWanted : limit.rlim_cur / 4));
  }();
  return budget;
}

}  // namespace

int CreateUnnamedIn(const Folder& folder, unsigned mode) {
  if (!folder.Capabilities().UnnamedTemporaries) return -1;
  if (gUnnamedHeld.fetch_add(1) >= UnnamedBudget()) {
    gUnnamedHeld.fetch_sub(1);
    return -1;
  }
  const int fd = OpenUnnamedIn(Fd(folder), mode);
  if (fd < 0) gUnnamedHeld.fetch_sub(1);
  return fd;
}

void CloseUnnamed(int fd) {
  ::close(fd);
  gUnnamedHeld.fetch_sub(1);
}

bool AtomicFileWriter::Create(const std::filesystem::path& target, std::string* why,
                              NewFilePermissions permissions, TemporaryKind kind) {
  Abort();
  std::shared_ptr<Folder> folder = Folder::Open(FolderOf(target));
  if (!folder) {
    Say(why, "cannot create a file in " + FolderOf(target).string() + ": " + ErrnoText(errno));
    return false;
  }
  return Create(std::move(folder), target.filename().string(), why, permissions, kind);
}

bool AtomicFileWriter::Create(std::shared_ptr<Folder> folder, const std::string& name, std::string* why,
                              NewFilePermissions permissions, TemporaryKind kind) {
  Abort();
  folder_ = std::move(folder);
  name_ = name;
  written_ = writebackStart_ = 0;
  struct stat st {};
  const bool exact = permissions == NewFilePermissions::OfTarget;
  const unsigned mode = exact ? 0644 : 0666;
  const unsigned want =
      exact && ::fstatat(Fd(*folder_), name.c_str(), &st, 0) == 0 ? (st.st_mode & 07777) : mode;
  const unsigned createMode = exact ? 0600 : mode;
  int fd = kind == TemporaryKind::Unnamed ? CreateUnnamedIn(*folder_, createMode) : -1;
  unnamed_ = fd >= 0;
  if (!unnamed_) fd = CreateHiddenIn(*folder_, createMode, hidden_);
  if (fd < 0) {
    Say(why, "cannot create a file in " + folder_->Path().string() + ": " + ErrnoText(errno));
    hidden_.clear();
    return false;
  }
  file_ = HandleOf(fd);
  if (exact && ::fchmod(fd, want) != 0) {
    Say(why, "cannot take the permissions of " + Target().string() + ": " + ErrnoText(errno));
    Abort();
    return false;
  }
  return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (!file_.Valid()) {
    Say(why, "cannot be written: no file is open");
    return false;
  }
  if (!WriteAll(Fd(file_), data, n, why)) return false;
  written_ += n;
  // Start writing back what is complete so far, without waiting, so the flush
  // before the rename has little left to wait for.
  constexpr uint64_t kWritebackStep = uint64_t{2} << 20;
  if (written_ - writebackStart_ >= kWritebackStep) {
    StartWriteback(Fd(file_), writebackStart_, written_ - writebackStart_);
    writebackStart_ = written_;
  }
  return true;
}

bool AtomicFileWriter::Finish(std::string* why) {
  if (!file_.Valid()) {
    Say(why, "cannot be written: no file is open");
    Abort();
    return false;
  }
  const int fd = Fd(file_);
  FinishedTemporaries* log = FinishedTemporaries::Current();
  bool ok = true;
  if (!(log && log->DefersFlush()) && ::fsync(fd) != 0) {
    Say(why, "cannot be flushed to disk: " + ErrnoText(errno));
    ok = false;
  }
  // An unnamed temporary stays open: its descriptor is all that holds it.
  if (!unnamed_ && ::close(fd) != 0 && ok) {
    Say(why, "cannot be closed: " + ErrnoText(errno));
    ok = false;
  }
  if (!unnamed_) file_ = {};
  if (!ok) {
    Abort();
    return false;
  }
  FinishedTemporary done(folder_, name_, unnamed_ ? std::string() : std::move(hidden_),
                         unnamed_ ? file_ : NativeHandle(), written_);
  file_ = {};
  hidden_.clear();
  if (log) {
    log->Add(std::move(done));  // the log owns it now
  } else {
    done_ = std::move(done);
  }
  return true;
}

void AtomicFileWriter::Abort() {
  if (file_.Valid() && unnamed_) {
    CloseUnnamed(Fd(file_));
  } else if (file_.Valid()) {
    ::close(Fd(file_));
  }
  file_ = {};
  if (!hidden_.empty() && folder_) ::unlinkat(Fd(*folder_), hidden_.c_str(), 0);
  hidden_.clear();
  done_.Discard();
}

bool ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, std::string* why) {
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    if (!ec) target = resolved;
  }
  AtomicFileWriter w;
  return w.Create(target, why, NewFilePermissions::OfTarget) && w.Write(bytes.data(), bytes.size(), why) &&
         w.Commit(why);
}

bool PlainFileWriter::Create(const std::filesystem::path& path, std::string* why) {
  Close();
  failed_ = false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    Say(why, ErrnoText(errno));
    return false;
  }
  file_ = HandleOf(fd);
  return true;
}

bool PlainFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (!file_.Valid() || failed_) return false;
  if (!WriteAll(Fd(file_), data, n, why)) failed_ = true;
  return !failed_;
}

bool PlainFileWriter::Close(std::string* why) {
  if (!file_.Valid()) return !failed_;
  if (::close(Fd(file_)) != 0 && !failed_) {
    Say(why, "cannot be closed: " + ErrnoText(errno));
    failed_ = true;
  }
  file_ = {};
  return !failed_;
}

bool WriteNewFile(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string* why) {
  PlainFileWriter w;
  return w.Create(path, why) && w.Write(bytes.data(), bytes.size(), why) && w.Close(why);
}

}  // namespace plm
