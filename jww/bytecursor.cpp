#include "jww/bytecursor.h"

#include <algorithm>
#include <cstring>

namespace plm {
namespace {

constexpr size_t kReadBuffer = size_t{1} << 16;
// The first read of a file asks for no more than this: the probes and the memo reader
// need only the first few KB of a drawing, and a whole load hardly notices.
constexpr size_t kFirstRead = size_t{1} << 13;

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
  std::string why;
  if (!file_.Open(path, &why)) {
    Fail(why);
    return false;
  }
  size_ = file_.Size();
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

void ByteCursor::Close() { file_.Close(); }

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
  if (!file_.IsOpen()) {
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
    std::string why;
    const int64_t got = file_.Read(storage_.get() + end_, want, &why);
    if (got < 0) {
      FailAt(Offset() + end_, "cannot be read at byte " + std::to_string(Offset() + end_) + " while reading " +
                                  DescribeWhat(what) + ": " + why);
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

std::string ByteCursor::SlowJwwString(What what) {
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

}  // namespace plm
