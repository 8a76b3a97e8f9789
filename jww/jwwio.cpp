#include "jww/jwwio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fsutil.h"

namespace plm {
namespace {

constexpr size_t kReadBuffer = size_t{1} << 16;
// The first read of a file asks for no more than this: the probes and the memo reader
// need only the first few KB of a drawing, and a whole load hardly notices.
constexpr size_t kFirstRead = size_t{1} << 13;
constexpr size_t kWriteBuffer = ByteSink::kBufferSize;

}  // namespace

std::string DescribeWhat(What what) {
  std::string s = what.text ? what.text : "data";
  if (what.index >= 0) s += " " + std::to_string(what.index);
  return s;
}

ByteCursor::~ByteCursor() { Close(); }

bool ByteCursor::OpenFile(const std::filesystem::path& path) {
  Close();
  failed_ = false;
  failure_ = {};
  // Non-blocking open, so a FIFO or device given as a drawing cannot stall the open;
  // anything but a regular file is refused right after.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) {
    Fail("cannot be opened: " + ErrnoText(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    Fail("cannot be examined: " + ErrnoText(errno));
    Close();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Fail(S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
    Close();
    return false;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  size_ = static_cast<uint64_t>(st.st_size);
  if (!storage_) storage_ = std::make_unique_for_overwrite<uint8_t[]>(kReadBuffer);
  data_ = storage_.get();
  pos_ = end_ = 0;
  bufferStart_ = 0;
  return true;
}

void ByteCursor::OpenMemory(std::span<const uint8_t> data) {
  Close();
  failed_ = false;
  failure_ = {};
  data_ = data.data();
  pos_ = 0;
  end_ = data.size();
  bufferStart_ = 0;
  size_ = data.size();
}

void ByteCursor::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ByteCursor::FailAt(uint64_t offset, const std::string& reason) {
  if (failed_) return;
  failed_ = true;
  failure_.Offset = offset;
  failure_.Reason = reason;
}

void ByteCursor::Fail(const std::string& reason) { FailAt(Offset(), reason); }

void ByteCursor::FailShort(What what) {
  // Report the end of the file, not the start of the field, as the place it ends.
  const uint64_t at = size_ > Offset() ? size_ : Offset();
  FailAt(at, "ends at byte " + std::to_string(at) + " while reading " + DescribeWhat(what));
}

// Makes at least `need` bytes available at data_[pos_]; need <= kReadBuffer.
bool ByteCursor::Refill(size_t need, What what) {
  if (fd_ < 0) {
    FailShort(what);
    return false;
  }
  const size_t have = end_ - pos_;
  std::memmove(storage_.get(), storage_.get() + pos_, have);
  bufferStart_ += pos_;
  pos_ = 0;
  end_ = have;
  while (end_ < need) {
    const size_t want = bufferStart_ + end_ == 0 ? std::max(need, kFirstRead) : kReadBuffer - end_;
    const ssize_t got = ::read(fd_, storage_.get() + end_, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      FailAt(Offset() + end_, "cannot be read at byte " + std::to_string(Offset() + end_) +
                                  " while reading " + DescribeWhat(what) + ": " + ErrnoText(errno));
      return false;
    }
    if (got == 0) {
      size_ = bufferStart_ + end_;  // the file ended earlier than its size said
      FailShort(what);
      return false;
    }
    end_ += static_cast<size_t>(got);
  }
  return true;
}

bool ByteCursor::Read(void* dst, size_t n, What what) {
  if (failed_) return false;
  auto* out = static_cast<uint8_t*>(dst);
  while (n > 0) {
    if (pos_ == end_ && !Refill(1, what)) return false;
    const size_t chunk = std::min(n, end_ - pos_);
    std::memcpy(out, data_ + pos_, chunk);
    pos_ += chunk;
    out += chunk;
    n -= chunk;
  }
  return true;
}

bool ByteCursor::Skip(uint64_t n, What what) {
  if (failed_) return false;
  if (n > Remaining()) {
    pos_ = end_;
    FailShort(what);
    return false;
  }
  while (n > 0) {
    if (pos_ == end_ && !Refill(1, what)) return false;
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, end_ - pos_));
    pos_ += chunk;
    n -= chunk;
  }
  return true;
}

// Reads across the end of the buffer, or after a failure (which gives 0).
uint8_t ByteCursor::SlowU8(What what) {
  uint8_t b = 0;
  return Read(&b, 1, what) ? b : 0;
}

uint16_t ByteCursor::SlowU16(What what) {
  uint8_t b[2] = {};
  return Read(b, 2, what) ? LittleEndian<uint16_t>(b) : 0;
}

uint32_t ByteCursor::SlowU32(What what) {
  uint8_t b[4] = {};
  return Read(b, 4, what) ? LittleEndian<uint32_t>(b) : 0;
}

uint64_t ByteCursor::SlowU64(What what) {
  uint8_t b[8] = {};
  return Read(b, 8, what) ? LittleEndian<uint64_t>(b) : 0;
}

std::string ByteCursor::JwwString(What what) {
  size_t length = U8(what);
  if (length == 0xFF) length = U16(what);
  if (failed_) return {};
  if (length > Remaining()) {
    FailShort(what);
    return {};
  }
  if (end_ - pos_ >= length) {  // the usual case: the whole string is in the buffer
    std::string s(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length;
    return s;
  }
  std::string s(length, '\0');
  if (!Read(s.data(), length, what)) return {};
  return s;
}

void ByteCursor::SkipJwwString(What what) {
  size_t length = U8(what);
  if (length == 0xFF) length = U16(what);
  if (!failed_) Skip(length, what);
}

uint32_t ByteCursor::Count(uint64_t minElementSize, What what) {
  const uint64_t at = Offset();
  uint32_t count = U16(what);
  if (count == 0xFFFF) count = U32(what);
  if (failed_) return 0;
  if (minElementSize > 0 && static_cast<uint64_t>(count) > Remaining() / minElementSize) {
    FailAt(at, "has a count of " + std::to_string(count) + " at byte " + std::to_string(at) +
                   " that the " + std::to_string(Remaining()) + " bytes left cannot hold, while reading " +
                   DescribeWhat(what));
    return 0;
  }
  return count;
}

ClassTag ByteCursor::Tag(size_t maxNameLength, What what) {
  ClassTag tag;
  const uint16_t word = U16(what);
  if (failed_) return tag;
  if (word == NewClassTag) {
    tag.IsNew = true;
    U16(what);  // schema number, not used
    const uint64_t at = Offset();
    const uint16_t length = U16(what);
    if (failed_) return tag;
    if (length > maxNameLength) {
      FailAt(at, "has a class name of " + std::to_string(length) + " bytes at byte " + std::to_string(at) +
                     ", longer than the " + std::to_string(maxNameLength) + " bytes allowed, while reading " +
                     DescribeWhat(what));
      return tag;
    }
    tag.Name.resize(length);
    Read(tag.Name.data(), length, what);
  } else if (word == BigClassTag) {
    tag.Index = U32(what) & 0x7FFFFFFFu;
  } else if (word >= 0x8000) {
    tag.Index = word - 0x8000u;
  }  // a tag below 0x8000 names no class: Index stays 0
  return tag;
}

// ---------------------------------------------------------------------------

ByteSink::ByteSink() { buffer_.reserve(kWriteBuffer); }

ByteSink::~ByteSink() { Abort(); }

bool ByteSink::CreateFile(const std::filesystem::path& path) {
  Abort();
  memory_ = false;
  failed_ = false;
  reason_.clear();
  buffer_.clear();
  if (!fileBuffer_) fileBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(kWriteBuffer);
  used_ = 0;
  flushed_ = 0;
  writebackStart_ = 0;
  target_ = path;
  // A hidden temporary beside the destination, so the final rename stays on one file system.
  static std::mt19937_64 rng{std::random_device{}()};
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(rng()));
    temp_ = folder / ("." + path.filename().string() + ".plm-" + suffix + ".tmp");
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  Fail("cannot create a file in " + folder.string() + ": " + ErrnoText(errno));
  temp_.clear();
  return false;
}

void ByteSink::Fail(const std::string& reason) {
  if (failed_) return;
  failed_ = true;
  reason_ = reason;
}

void ByteSink::WriteThrough(const uint8_t* data, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::write(fd_, data + done, n - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail("cannot be written: " + ErrnoText(errno));
      return;
    }
    done += static_cast<size_t>(got);
  }
  flushed_ += n;
  // Start writing back to disk what is complete so far, without waiting, so the
  // flush before the rename has little left to wait for.
  if (flushed_ - writebackStart_ >= kWritebackStep) {
    ::sync_file_range(fd_, static_cast<off64_t>(writebackStart_), static_cast<off64_t>(flushed_ - writebackStart_),
                      SYNC_FILE_RANGE_WRITE);
    writebackStart_ = flushed_;
  }
}

void ByteSink::Flush() {
  if (memory_ || failed_) return;
  WriteThrough(fileBuffer_.get(), used_);
  used_ = 0;
}

// Fields are a few bytes each: they are copied into a fixed buffer that goes to the
// file in pieces of kWriteBuffer bytes.
void ByteSink::Raw(const void* data, size_t n) {
  if (failed_) return;
  const auto* p = static_cast<const uint8_t*>(data);
  if (memory_) {
    buffer_.insert(buffer_.end(), p, p + n);
    return;
  }
  if (n > kWriteBuffer - used_) {
    Flush();
    if (failed_) return;
    if (n >= kWriteBuffer) {  // large pieces go straight through
      WriteThrough(p, n);
      return;
    }
  }
  std::memcpy(fileBuffer_.get() + used_, p, n);
  used_ += n;
}

void ByteSink::JwwString(std::string_view s) {
  if (s.size() > kMaxJwwStringLength) {
    Fail("a string of " + std::to_string(s.size()) + " bytes is longer than the format can hold");
    return;
  }
  if (s.size() < 0xFF) {
    U8(static_cast<uint8_t>(s.size()));
  } else {
    U8(0xFF);
    U16(static_cast<uint16_t>(s.size()));
  }
  Raw(s.data(), s.size());
}

void ByteSink::Count(uint32_t count) {
  if (count <= 0xFFFE) {
    U16(static_cast<uint16_t>(count));
  } else {
    U16(0xFFFF);
    U32(count);
  }
}

void ByteSink::ClassRef(uint32_t index) {
  if (index <= kMaxShortClassIndex) {
    U16(static_cast<uint16_t>(0x8000u + index));
  } else {
    U16(BigClassTag);
    U32(0x80000000u | index);
  }
}

void ByteSink::NewClass(uint16_t schema, std::string_view name) {
  U16(NewClassTag);
  U16(schema);
  U16(static_cast<uint16_t>(name.size()));
  Raw(name.data(), name.size());
}

bool ByteSink::Commit() {
  if (memory_) return !failed_;
  Flush();
  if (!failed_ && ::fsync(fd_) != 0) Fail("cannot be flushed to disk: " + ErrnoText(errno));
  if (fd_ >= 0 && ::close(fd_) != 0 && !failed_) Fail("cannot be closed: " + ErrnoText(errno));
  fd_ = -1;
  if (!failed_ && std::rename(temp_.c_str(), target_.c_str()) != 0)
    Fail("cannot be renamed to " + target_.string() + ": " + ErrnoText(errno));
  if (failed_) {
    Abort();
    return false;
  }
  temp_.clear();
  return true;
}

void ByteSink::Abort() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) DeleteFileQuietly(temp_);
  temp_.clear();
}

std::string CleanString(std::string_view s) {
  if (s.empty()) return {};
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD)) {
      out.append(s.substr(i, 2));
      i += 2;
    } else if (b == '^' && i + 1 < s.size() && s[i + 1] == 'm') {
      i += 2;
    } else {
      if (b >= 0x20) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  if (out.empty()) out = " ";
  return out;
}

}  // namespace plm
