#include "platform/files.h"

#include "platform/folder_descriptor.h"
#include "platform/fsutil.h"
#include "platform/hidden_names.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plm {
namespace {

void Say(std::string* why, std::string text) {
  if (why) *why = std::move(text);
}

std::string ErrText(int err) { return std::strerror(err); }

int Fd(const Folder& folder) { return FolderDescriptor::Of(folder); }

// A new file under an unused hidden name in `folder`. Returns the open descriptor,
// or -1.
int CreateHiddenIn(const Folder& folder, unsigned mode, std::string& hidden) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    hidden = NewHiddenName();
    const int fd = ::openat(Fd(folder), hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

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

// An unnamed file in `folder` (O_TMPFILE), or -1 where the file system or kernel has
// none, the folder allows no links (by which it would be named), or the budget is
// spent. Without a descriptor link it is named through /proc, so without /proc none
// is made.
int CreateUnnamedIn(const Folder& folder, unsigned mode) {
  static const bool canLink = ::access("/proc/self/fd", X_OK) == 0;
  if (!canLink || !folder.AllowsLinks()) return -1;
  if (gUnnamedHeld.fetch_add(1) >= UnnamedBudget()) {
    gUnnamedHeld.fetch_sub(1);
    return -1;
  }
  const int fd = ::openat(Fd(folder), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
  if (fd < 0) gUnnamedHeld.fetch_sub(1);
  return fd;
}

void CloseUnnamed(int fd) {
  ::close(fd);
  gUnnamedHeld.fetch_sub(1);
}

bool WriteAll(int fd, const void* data, size_t n, std::string* why) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t got = ::write(fd, p, n);
    if (got < 0) {
      if (errno == EINTR) continue;
      Say(why, "cannot be written: " + ErrText(errno));
      return false;
    }
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

bool InputFile::Open(const std::filesystem::path& path, std::string* why) {
  Close();
  // Non-blocking, so a FIFO or device named as a file cannot stall the open;
  // anything but a regular file is refused right after.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) {
    Say(why, "cannot be opened: " + ErrText(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    Say(why, "cannot be examined: " + ErrText(errno));
    Close();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Say(why, S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
    Close();
    return false;
  }
  // Back to blocking reads; O_NONBLOCK is the only status flag the open set.
  ::fcntl(fd_, F_SETFL, 0);
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

int64_t InputFile::Read(void* dst, size_t n, std::string* why) {
  for (;;) {
    const ssize_t got = ::read(fd_, dst, n);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    Say(why, ErrText(errno));
    return -1;
  }
}

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

namespace {

// Reads the open file to its real end straight into place: the file may have
// changed size since it was opened, so the read goes on until it reports the end.
// The first piece is at most kHead bytes, so `accept` (when set) sees the head of a
// large file before memory for all of it is taken.
constexpr size_t kHead = size_t{1} << 16;

std::optional<std::vector<uint8_t>> ReadOpenFile(InputFile& in, std::string* why, uint64_t limit,
                                                 const std::function<bool(std::span<const uint8_t>)>* accept,
                                                 bool* refused, uint64_t wholeUpTo = UINT64_MAX,
                                                 bool* headOnly = nullptr) {
  if (in.Size() > limit) {
    Say(why, "is larger than " + std::to_string(limit) + " bytes");
    return std::nullopt;
  }
  const size_t whole = static_cast<size_t>(in.Size()) + 1;
  std::vector<uint8_t> bytes(accept ? std::min(whole, kHead) : whole);
  size_t have = 0;
  bool asked = accept == nullptr;
  std::string error;
  for (;;) {
    if (have == bytes.size()) {
      if (!asked) {
        asked = true;
        if (!(*accept)(std::span<const uint8_t>(bytes.data(), have))) {
          if (refused) *refused = true;
          return std::nullopt;
        }
        if (in.Size() > wholeUpTo) {
          if (headOnly) *headOnly = true;
          return bytes;
        }
      }
      if (bytes.size() - 1 >= limit) {
        Say(why, "is larger than " + std::to_string(limit) + " bytes");
        return std::nullopt;
      }
      const uint64_t doubled = uint64_t{bytes.size()} * 2;
      // At most limit + 1 bytes, which tells a file grown past the limit; the file's
      // size when opened is at most the limit.
      const uint64_t grown = std::max<uint64_t>(whole, limit < doubled ? limit + 1 : doubled);
      bytes.resize(static_cast<size_t>(grown));
    }
    const int64_t got = in.Read(bytes.data() + have, bytes.size() - have, &error);
    if (got < 0) {
      Say(why, "cannot be read: " + error);
      return std::nullopt;
    }
    if (got == 0) break;
    have += static_cast<size_t>(got);
  }
  if (have > limit) {
    Say(why, "is larger than " + std::to_string(limit) + " bytes");
    return std::nullopt;
  }
  bytes.resize(have);
  if (!asked && !(*accept)(std::span<const uint8_t>(bytes.data(), have))) {
    if (refused) *refused = true;
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::string* why,
                                                  uint64_t limit) {
  InputFile in;
  if (!in.Open(path, why)) return std::nullopt;
  return ReadOpenFile(in, why, limit, nullptr, nullptr);
}

std::optional<std::vector<uint8_t>> ReadWholeFileIf(const std::filesystem::path& path,
                                                    const std::function<bool(std::span<const uint8_t>)>& accept,
                                                    bool* refused, std::string* why, uint64_t wholeUpTo,
                                                    bool* headOnly) {
  if (refused) *refused = false;
  if (headOnly) *headOnly = false;
  InputFile in;
  if (!in.Open(path, why)) return std::nullopt;
  return ReadOpenFile(in, why, UINT64_MAX, &accept, refused, wholeUpTo, headOnly);
}

// ---------------------------------------------------------------------------

bool AtomicFileWriter::Create(const std::filesystem::path& target, std::string* why, unsigned mode,
                              bool keepTargetMode, TemporaryKind kind) {
  Abort();
  std::shared_ptr<Folder> folder = Folder::Open(FolderOf(target));
  if (!folder) {
    Say(why, "cannot create a file in " + FolderOf(target).string() + ": " + ErrText(errno));
    return false;
  }
  return Create(std::move(folder), target.filename().string(), why, mode, keepTargetMode, kind);
}

bool AtomicFileWriter::Create(std::shared_ptr<Folder> folder, const std::string& name, std::string* why,
                              unsigned mode, bool keepTargetMode, TemporaryKind kind) {
  Abort();
  folder_ = std::move(folder);
  name_ = name;
  written_ = writebackStart_ = 0;
  struct stat st {};
  const bool exact = keepTargetMode;
  const unsigned want =
      exact && ::fstatat(Fd(*folder_), name.c_str(), &st, 0) == 0 ? (st.st_mode & 07777) : mode;
  const unsigned createMode = exact ? 0600 : mode;
  fd_ = kind == TemporaryKind::Unnamed ? CreateUnnamedIn(*folder_, createMode) : -1;
  unnamed_ = fd_ >= 0;
  if (!unnamed_) fd_ = CreateHiddenIn(*folder_, createMode, hidden_);
  if (fd_ < 0) {
    Say(why, "cannot create a file in " + folder_->Path().string() + ": " + ErrText(errno));
    hidden_.clear();
    return false;
  }
  if (exact && ::fchmod(fd_, want) != 0) {
    Say(why, "cannot take the permissions of " + Target().string() + ": " + ErrText(errno));
    Abort();
    return false;
  }
  return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (fd_ < 0) {
    Say(why, "cannot be written: no file is open");
    return false;
  }
  if (!WriteAll(fd_, data, n, why)) return false;
  written_ += n;
  // Start writing back what is complete so far, without waiting, so the flush
  // before the rename has little left to wait for.
  constexpr uint64_t kWritebackStep = uint64_t{2} << 20;
  if (written_ - writebackStart_ >= kWritebackStep) {
    ::sync_file_range(fd_, static_cast<off64_t>(writebackStart_), static_cast<off64_t>(written_ - writebackStart_),
                      SYNC_FILE_RANGE_WRITE);
    writebackStart_ = written_;
  }
  return true;
}

bool AtomicFileWriter::Finish(std::string* why) {
  if (fd_ < 0) {
    Say(why, "cannot be written: no file is open");
    Abort();
    return false;
  }
  FinishedTemporaries* log = FinishedTemporaries::Current();
  bool ok = true;
  if (!(log && log->DefersFlush()) && ::fsync(fd_) != 0) {
    Say(why, "cannot be flushed to disk: " + ErrText(errno));
    ok = false;
  }
  // An unnamed temporary stays open: its descriptor is all that holds it.
  if (!unnamed_ && ::close(fd_) != 0 && ok) {
    Say(why, "cannot be closed: " + ErrText(errno));
    ok = false;
  }
  if (!unnamed_) fd_ = -1;
  if (!ok) {
    Abort();
    return false;
  }
  FinishedTemporary done(folder_, name_, unnamed_ ? std::string() : std::move(hidden_), unnamed_ ? fd_ : -1,
                         written_);
  fd_ = -1;
  hidden_.clear();
  if (log) {
    log->Add(std::move(done));  // the log owns it now
  } else {
    done_ = std::move(done);
  }
  return true;
}

bool AtomicFileWriter::Publish(std::string* why) {
  if (!done_.Pending() || fd_ >= 0) {
    Say(why, "cannot be renamed: the file is not finished");
    Abort();
    return false;
  }
  return done_.Publish(why);
}

void AtomicFileWriter::Abort() {
  if (fd_ >= 0 && unnamed_) {
    CloseUnnamed(fd_);
  } else if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = -1;
  if (!hidden_.empty() && folder_) ::unlinkat(Fd(*folder_), hidden_.c_str(), 0);
  hidden_.clear();
  done_.Discard();
}

std::string NewHiddenName() {
  // One generator per thread: conversions run on several threads at once.
  thread_local std::mt19937_64 rng{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".plm-%016llx.tmp", static_cast<unsigned long long>(rng()));
  return name;
}

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view kMark = ".plm-", kEnd = ".tmp";
  constexpr size_t kHex = 16;
  if (name.size() < kMark.size() + kHex + kEnd.size() || name[0] != '.' || !name.ends_with(kEnd)) return false;
  const size_t hexAt = name.size() - kEnd.size() - kHex;
  if (name.substr(hexAt - kMark.size(), kMark.size()) != kMark) return false;
  for (char c : name.substr(hexAt, kHex))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

void RemoveStaleTemporaries(const Folder& folder) {
  std::vector<std::string> stale;
  ForEachFolderEntry(folder.Path(), [&](const FolderEntry& e) {
    if (!e.IsFolder && IsTemporaryName(e.Name)) stale.push_back(e.Name);
    return true;
  });
  for (const std::string& name : stale) ::unlinkat(Fd(folder), name.c_str(), 0);
}

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
  if (const std::shared_ptr<Folder> open = Folder::Open(folder)) RemoveStaleTemporaries(*open);
}

bool ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, std::string* why) {
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    if (!ec) target = resolved;
  }
  AtomicFileWriter w;
  return w.Create(target, why, 0644, true) && w.Write(bytes.data(), bytes.size(), why) && w.Commit(why);
}

bool PlainFileWriter::Create(const std::filesystem::path& path, std::string* why) {
  Close();
  failed_ = false;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) {
    Say(why, ErrText(errno));
    return false;
  }
  return true;
}

bool PlainFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteAll(fd_, data, n, why)) failed_ = true;
  return !failed_;
}

bool PlainFileWriter::Close(std::string* why) {
  if (fd_ < 0) return !failed_;
  if (::close(fd_) != 0 && !failed_) {
    Say(why, "cannot be closed: " + ErrText(errno));
    failed_ = true;
  }
  fd_ = -1;
  return !failed_;
}

bool WriteNewFile(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string* why) {
  PlainFileWriter w;
  return w.Create(path, why) && w.Write(bytes.data(), bytes.size(), why) && w.Close(why);
}

namespace {

// Makes `hidden` in `folder` a durable copy of the open regular file `src` (content,
// permissions, modification time).
bool CopyInto(const Folder& folder, int src, const struct stat& st, std::string& hidden, std::string* why) {
  const int dst = CreateHiddenIn(folder, 0600, hidden);
  if (dst < 0) {
    Say(why, "cannot create a copy: " + ErrText(errno));
    hidden.clear();
    return false;
  }
  bool ok = true;
  std::vector<uint8_t> buffer;
  for (;;) {
    ssize_t got = ::copy_file_range(src, nullptr, dst, nullptr, size_t{1} << 30, 0);
    if (got < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      if (buffer.empty()) buffer.resize(size_t{1} << 20);
      got = ::read(src, buffer.data(), buffer.size());
      if (got > 0 && !WriteAll(dst, buffer.data(), static_cast<size_t>(got), why)) ok = false;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Say(why, "cannot be copied: " + ErrText(errno));
      ok = false;
    }
    if (got <= 0 || !ok) break;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok && (::fchmod(dst, st.st_mode & 07777) != 0 || ::futimens(dst, times) != 0)) {
    Say(why, "the copy cannot take the file's permissions: " + ErrText(errno));
    ok = false;
  }
  if (ok && ::fsync(dst) != 0) {
    Say(why, "the copy cannot be flushed to disk: " + ErrText(errno));
    ok = false;
  }
  if (::close(dst) != 0 && ok) {
    Say(why, "the copy cannot be closed: " + ErrText(errno));
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
    Say(why, ErrText(errno));
    return KeepOutcome::Failed;
  }
  if (S_ISDIR(st.st_mode)) return KeepOutcome::NothingThere;
  if (S_ISLNK(st.st_mode)) {  // a link is kept as the same link
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
    const ssize_t n = ::readlinkat(fd, name.c_str(), target.data(), target.size() - 1);
    if (n < 0) {
      Say(why, ErrText(errno));
      return KeepOutcome::Failed;
    }
    target[static_cast<size_t>(n)] = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      hidden = NewHiddenName();
      if (::symlinkat(target.data(), fd, hidden.c_str()) == 0) return KeepOutcome::Kept;
      if (errno != EEXIST) break;
    }
    Say(why, ErrText(errno));
    hidden.clear();
    return KeepOutcome::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    Say(why, "is not a regular file");
    return KeepOutcome::Failed;
  }
  const int src = ::openat(fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (src < 0) {
    Say(why, ErrText(errno));
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
      Say(why, ErrText(err));
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
  Say(why, ErrText(err));
  return KeepOutcome::Failed;
}

KeepOutcome KeepExistingAs(const std::filesystem::path& file, const std::filesystem::path& keepAs,
                           std::string* why) {
  std::string error;
  const std::shared_ptr<Folder> folder = Folder::Open(FolderOf(keepAs), &error);
  if (!folder) {
    Say(why, error);
    return KeepOutcome::Failed;
  }
  return KeepExistingAs(*folder, file.filename().string(), keepAs.filename().string(), why);
}

bool PreserveAs(const std::filesystem::path& file, const std::filesystem::path& keepAs, std::string* why) {
  switch (KeepExistingAs(file, keepAs, why)) {
    case KeepOutcome::Kept: return true;
    case KeepOutcome::NothingThere: Say(why, ErrText(ENOENT)); return false;
    case KeepOutcome::Failed: return false;
  }
  return false;
}

// ---------------------------------------------------------------------------

namespace {
thread_local FinishedTemporaries* tCurrentLog = nullptr;
}

FinishedTemporaries::FinishedTemporaries(bool deferFlush) : defer_(deferFlush), previous_(tCurrentLog) {
  tCurrentLog = this;
}

FinishedTemporaries::~FinishedTemporaries() { tCurrentLog = previous_; }

FinishedTemporaries* FinishedTemporaries::Current() { return tCurrentLog; }

FinishedTemporary& FinishedTemporary::operator=(FinishedTemporary&& o) noexcept {
  if (this != &o) {
    Discard();
    fd_ = o.fd_;
    published_ = o.published_;
    folder_ = std::move(o.folder_);
    target_ = std::move(o.target_);
    hidden_ = std::move(o.hidden_);
    bytes_ = o.bytes_;
    o.fd_ = -1;
    o.published_ = false;
    o.hidden_.clear();
  }
  return *this;
}

std::filesystem::path FinishedTemporary::Path() const {
  return hidden_.empty() || !folder_ ? std::filesystem::path() : folder_->PathOf(hidden_);
}

std::filesystem::path FinishedTemporary::Target() const {
  return folder_ ? folder_->PathOf(target_) : std::filesystem::path(target_);
}

std::optional<FileIdentity> FinishedTemporary::Identity() const {
  if (!published_ || !folder_) return std::nullopt;
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return folder_->IdentityOf(target_);
}

bool FinishedTemporary::Flush(std::string* why) {
  if (!Pending()) {
    Say(why, "cannot be flushed to disk: the file is not finished");
    return false;
  }
  int fd = fd_;
  if (fd < 0) fd = ::openat(Fd(*folder_), hidden_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    Say(why, "cannot be flushed to disk: " + ErrText(errno));
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + ErrText(errno));
  if (fd != fd_) ::close(fd);
  return ok;
}

namespace {

// Gives the unnamed file open as `fd` the name `name` in `folder`; fails with EEXIST
// when the name is taken. Straight from the descriptor where the process may (it
// needs the capability to search any folder), else through /proc, which needs no
// privilege.
int LinkUnnamed(int fd, const Folder& folder, const std::string& name) {
  static std::atomic<bool> direct{true};
  if (direct.load(std::memory_order_relaxed)) {
    if (::linkat(fd, "", Fd(folder), name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno != ENOENT && errno != EPERM) return -1;
    direct.store(false, std::memory_order_relaxed);  // or the folder is gone: /proc then says so too
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), Fd(folder), name.c_str(), AT_SYMLINK_FOLLOW);
}

}  // namespace

PublishOutcome FinishedTemporary::PublishWhereFree(std::string* why) {
  if (!Pending()) {
    Say(why, "cannot be renamed: the file is not finished");
    return PublishOutcome::Failed;
  }
  const int dir = Fd(*folder_);
  const int done = fd_ >= 0 ? LinkUnnamed(fd_, *folder_, target_)
                            : ::renameat2(dir, hidden_.c_str(), dir, target_.c_str(), RENAME_NOREPLACE);
  if (done == 0) {
    published_ = true;
    hidden_.clear();
    return PublishOutcome::Published;
  }
  const int err = errno;
  // A file system without the no-replace rename leaves the choice to Publish.
  if (err == EEXIST || (fd_ < 0 && (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP)))
    return PublishOutcome::Occupied;
  Say(why, "cannot be renamed to " + Target().string() + ": " + ErrText(err));
  Discard();
  return PublishOutcome::Failed;
}

bool FinishedTemporary::Publish(std::string* why) {
  if (!Pending()) {
    Say(why, "cannot be renamed: the file is not finished");
    return false;
  }
  const int dir = Fd(*folder_);
  if (fd_ >= 0) {
    // An unnamed file first takes a hidden name beside the target, which is then
    // renamed over it in one step (a free name is taken by PublishWhereFree).
    std::string hidden;
    int linked = -1;
    for (int attempt = 0; attempt < 100 && linked != 0; ++attempt) {
      hidden = NewHiddenName();
      linked = LinkUnnamed(fd_, *folder_, hidden);
      if (linked != 0 && errno != EEXIST) break;
    }
    if (linked != 0) {
      Say(why, "cannot be renamed to " + Target().string() + ": " + ErrText(errno));
      Discard();
      return false;
    }
    hidden_ = hidden;  // removed again by Discard should the rename fail
  }
  if (::renameat(dir, hidden_.c_str(), dir, target_.c_str()) != 0) {
    Say(why, "cannot be renamed to " + Target().string() + ": " + ErrText(errno));
    Discard();
    return false;
  }
  hidden_.clear();
  published_ = true;
  return true;
}

bool FinishedTemporary::FlushName(std::string* why) {
  if (!published_ || fd_ < 0) return true;
  if (::fsync(fd_) == 0) return true;
  Say(why, "cannot be flushed to disk: " + ErrText(errno));
  return false;
}

void FinishedTemporary::Discard() {
  if (!published_ && !hidden_.empty() && folder_) ::unlinkat(Fd(*folder_), hidden_.c_str(), 0);
  if (fd_ >= 0) CloseUnnamed(fd_);
  fd_ = -1;
  hidden_.clear();
  published_ = false;
}

FileSystemFlush::~FileSystemFlush() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileSystemFlush::Open(const std::filesystem::path& folder, std::string* why) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    Say(why, "cannot be opened: " + ErrText(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    Say(why, "cannot be examined: " + ErrText(errno));
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  device_ = static_cast<uint64_t>(st.st_dev);
  return true;
}

bool FileSystemFlush::Open(const Folder& folder, std::string* why) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    Say(why, "cannot be opened: " + ErrText(errno));
    return false;
  }
  device_ = folder.Identity().Volume;
  return true;
}

bool FileSystemFlush::Sync(std::string* why) {
  if (fd_ < 0) {
    Say(why, "cannot be flushed to disk: its file system is not open");
    return false;
  }
  if (::syncfs(fd_) == 0) return true;
  Say(why, "cannot be flushed to disk: " + ErrText(errno));
  return false;
}

bool FlushFile(const std::filesystem::path& file, std::string* why) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    Say(why, "cannot be flushed to disk: " + ErrText(errno));
    return false;
  }
  const bool ok = ::fsync(fd) == 0;
  if (!ok) Say(why, "cannot be flushed to disk: " + ErrText(errno));
  ::close(fd);
  return ok;
}

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string* why) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  Say(why, ErrText(errno));
  return false;
}

bool RemoveFile(const std::filesystem::path& path, std::string* why) {
  if (::unlink(path.c_str()) == 0) return true;
  Say(why, ErrText(errno));
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

std::optional<uint64_t> FileSizeOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool IsOwnedWritableFolder(const std::filesystem::path& path) {
  struct stat st {};
  return ::access(path.c_str(), W_OK | X_OK) == 0 && ::stat(path.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

bool ForEachFolderEntryImpl(const std::filesystem::path& folder, bool (*visit)(void*, const FolderEntry&),
                            void* context, std::string* why) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    Say(why, ErrText(errno));
    return false;
  }
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        Say(why, ErrText(errno));
        ok = false;
      }
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry e;
    e.Name = entry->d_name;
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

}  // namespace plm
