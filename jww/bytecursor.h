#pragma once
// Byte-level input of the JWW family: a buffered, strictly sequential
// reader with the format's primitive encodings (little-endian integers,
// IEEE doubles carried bit for bit, length-prefixed strings, counts with a 32-bit
// escape, class tags). It remembers its first failure; later reads fail too, so a
// whole section can be read and checked once.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "text/textfilters.h"  // CleanString, the writers' string filter

namespace plm {

// What a read was for, formatted only when a read fails ("the name of layer 37").
struct What {
  const char* text;
  int64_t index = -1;
};

// Why a file was refused, with the byte offset at which it happened.
struct ReadFailure {
  uint64_t Offset = 0;
  std::string Reason;  // complete sentence fragment, e.g. "ends at byte 12 while reading the version"
};

constexpr uint16_t NewClassTag = 0xFFFF;
constexpr uint16_t BigClassTag = 0x7FFF;
constexpr uint32_t kMaxShortClassIndex = 0x7FFE;  // largest index of the 16-bit reference form
constexpr size_t kMaxJwwStringLength = 0xFFFF;

// A class tag as read: either the definition of a new class, or a reference to the
// class with the given ClassIndex (0 when the tag names no class).
struct ClassTag {
  bool IsNew = false;
  uint32_t Index = 0;
  std::string Name;
};

class ByteCursor {
 public:
  ByteCursor() = default;
  ~ByteCursor();
  ByteCursor(const ByteCursor&) = delete;
  ByteCursor& operator=(const ByteCursor&) = delete;

  // Opens a regular file read-only. On failure the cursor is broken with the reason.
  bool OpenFile(const std::filesystem::path& path);
  // Reads from memory that outlives the cursor.
  void OpenMemory(std::span<const uint8_t> data);
  void Close();

  bool Ok() const { return !failed_; }
  const ReadFailure& Failure() const { return failure_; }
  uint64_t Offset() const { return bufferStart_ + static_cast<uint64_t>(pos_); }
  uint64_t Remaining() const { return size_ > Offset() ? size_ - Offset() : 0; }

  bool Read(void* dst, size_t n, What what);
  bool Skip(uint64_t n, What what);
  // Fixed-width fields are decoded in place while the buffer holds them.
  uint8_t U8(What what) { return pos_ < end_ && !failed_ ? data_[pos_++] : SlowU8(what); }
  uint16_t U16(What what) {
    if (end_ - pos_ < 2 || failed_) return SlowU16(what);
    pos_ += 2;
    return LittleEndian<uint16_t>(data_ + pos_ - 2);
  }
  uint32_t U32(What what) {
    if (end_ - pos_ < 4 || failed_) return SlowU32(what);
    pos_ += 4;
    return LittleEndian<uint32_t>(data_ + pos_ - 4);
  }
  int32_t I32(What what) { return static_cast<int32_t>(U32(what)); }
  double F64(What what) {
    uint64_t bits;
    if (end_ - pos_ < 8 || failed_) {
      bits = SlowU64(what);
    } else {
      pos_ += 8;
      bits = LittleEndian<uint64_t>(data_ + pos_ - 8);
    }
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }

  // The next n bytes when the buffer already holds them all, else null (nothing is
  // read and the cursor does not change). Lets a record of known greatest length be
  // decoded with one check; where it is null the caller reads field by field, so a
  // record cut by the end of the file fails exactly where a field-wise read does.
  const uint8_t* Window(size_t n) const { return !failed_ && end_ - pos_ >= n ? data_ + pos_ : nullptr; }
  // Steps over n bytes of the last Window or Buffered (n no more than its length).
  void Advance(size_t n) { pos_ += n; }
  // The bytes the buffer holds from the current place on (none after a failure),
  // to be looked at in place; nothing is read.
  std::span<const uint8_t> Buffered() const {
    return failed_ ? std::span<const uint8_t>() : std::span<const uint8_t>(data_ + pos_, end_ - pos_);
  }
  // A 16-bit class reference 0x8000 + index consumed at once; false (nothing read)
  // for any other tag, which Tag() then reads.
  bool ShortClassRef(uint32_t& index) {
    if (failed_ || end_ - pos_ < 2) return false;
    const uint16_t word = LittleEndian<uint16_t>(data_ + pos_);
    if (word < 0x8000 || word == NewClassTag) return false;
    pos_ += 2;
    index = word - 0x8000u;
    return true;
  }

  // ReadJwwString: a length byte, 0xFF escaping to a 16-bit length, then the bytes.
  std::string JwwString(What what) {
    if (!failed_ && pos_ < end_) {  // the usual case: a short form wholly in the buffer
      const size_t length = data_[pos_];
      if (length != 0xFF && end_ - pos_ - 1 >= length) {
        std::string s(reinterpret_cast<const char*>(data_ + pos_ + 1), length);
        pos_ += 1 + length;
        return s;
      }
    }
    return SlowJwwString(what);
  }
  // Steps over a string without keeping it.
  void SkipJwwString(What what);
  // A count (16-bit, 0xFFFF escaping to 32-bit). Fails unless count * minElementSize
  // bytes can still follow, so no hostile count ever reserves memory.
  uint32_t Count(uint64_t minElementSize, What what);
  // A class tag; a class name longer than maxNameLength fails the read.
  ClassTag Tag(size_t maxNameLength, What what);

  // Hands n bytes to `out(data, size)` straight from the buffer, in pieces as large
  // as it holds; false when the input fails (then the bytes handed over so far are
  // all there is).
  template <class Sink>
  bool CopyTo(Sink&& out, uint64_t n, What what) {
    if (failed_) return false;
    while (n > 0) {
      if (pos_ == end_ && !Refill(1, what)) return false;
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, end_ - pos_));
      out(data_ + pos_, chunk);
      pos_ += chunk;
      n -= chunk;
    }
    return true;
  }

  // Breaks the cursor with a reason of the caller's (a rule the format imposes).
  void Fail(const std::string& reason);
  void FailAt(uint64_t offset, const std::string& reason);

 private:
  template <class T>
  static T LittleEndian(const uint8_t* p) {
    T v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(p[i]) << (8 * i));
    return v;
  }
  std::string SlowJwwString(What what);
  uint8_t SlowU8(What what);
  uint16_t SlowU16(What what);
  uint32_t SlowU32(What what);
  uint64_t SlowU64(What what);
  bool Refill(size_t need, What what);
  void FailShort(What what);

  InputFile file_;
  std::unique_ptr<uint8_t[]> storage_;
  const uint8_t* data_ = nullptr;
  size_t pos_ = 0;
  size_t end_ = 0;
  uint64_t bufferStart_ = 0;  // file offset of data_[0]
  uint64_t size_ = 0;
  bool failed_ = false;
  ReadFailure failure_;
};

std::string DescribeWhat(What what);

// True when CleanString would give `s` back unchanged, so it can be written as it
// is: no control byte and no "^m" outside double-byte characters.
bool IsCleanString(std::string_view s);

}  // namespace plm
