#pragma once
// Byte-level output of the JWW family: the writer that mirrors ByteCursor. It
// remembers its first failure; later calls do nothing, so a whole section can be
// written and checked once.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jww/bytecursor.h"
#include "platform/files.h"
#include "text/textfilters.h"

namespace plm {

// Buffered writer. Writes into memory (tests) or into a temporary file beside the
// destination that replaces the destination only once everything is on disk, so a
// failed or interrupted write never leaves a partial file under the output name.
class ByteSink {
 public:
  ByteSink();
  ~ByteSink();
  ByteSink(const ByteSink&) = delete;
  ByteSink& operator=(const ByteSink&) = delete;

  // `kind`: how the temporary is held until Publish (see TemporaryKind).
  bool CreateFile(const std::filesystem::path& path, TemporaryKind kind = TemporaryKind::Hidden);
  // The same for the file `name` in an open folder.
  bool CreateFile(std::shared_ptr<Folder> folder, const std::string& name, TemporaryKind kind);
  // Flushes, syncs and renames the temporary file to the destination. False (and no
  // file left behind) on any failure.
  bool Commit() { return Finish() && Publish(); }
  // The halves of Commit: the file complete on disk, then under its name.
  bool Finish();
  bool Publish();
  // Drops the temporary file.
  void Abort();

  bool Ok() const { return !failed_; }
  void Fail(const std::string& reason);
  const std::string& FailureReason() const { return reason_; }
  uint64_t Written() const { return flushed_ + (memory_ ? buffer_.size() : used_); }
  // Everything written, for a memory sink.
  const std::vector<uint8_t>& Bytes() const { return buffer_; }

  // Bytes handed to a file at once: large writes let the file system take whole
  // large pages of the file cache at a time.
  static constexpr size_t kBufferSize = size_t{1} << 20;

  void Raw(const void* data, size_t n);
  void U8(uint8_t v) { Put<1>({v}); }
  void U16(uint16_t v) { Put<2>({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
  void U32(uint32_t v) {
    Put<4>({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)});
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    std::array<uint8_t, 8> b;
    for (size_t i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (8 * i));
    Put<8>(b);
  }
  // Room for up to n bytes (n no more than kBufferSize) to be filled at once and
  // handed back with Advance; null after a failure, when nothing may be written.
  uint8_t* Room(size_t n) {
    if (failed_) return nullptr;
    if (memory_) {
      roomStart_ = buffer_.size();
      buffer_.resize(roomStart_ + n);
      return buffer_.data() + roomStart_;
    }
    if (kBufferSize - used_ < n) {
      Flush();
      if (failed_) return nullptr;
    }
    return fileBuffer_.get() + used_;
  }
  // Keeps the first n bytes of the last Room as written.
  void Advance(size_t n) {
    if (memory_) {
      buffer_.resize(roomStart_ + n);
    } else {
      used_ += n;
    }
  }

  // WriteJwwString: short form up to 254 bytes, long form up to 65535; longer
  // strings cannot be encoded and fail the write.
  void JwwString(std::string_view s);
  // WriteJwwCount
  void Count(uint32_t count);
  // WriteClassRef
  void ClassRef(uint32_t index);
  // A class definition: NewClassTag, schema, name length, name.
  void NewClass(uint16_t schema, std::string_view name);

 private:
  // A fixed-width field goes straight into the file buffer when it fits; these are
  // most of what a drawing is made of.
  template <size_t N>
  void Put(const std::array<uint8_t, N>& b) {
    if (!memory_ && !failed_ && kBufferSize - used_ >= N) {
      std::memcpy(fileBuffer_.get() + used_, b.data(), N);
      used_ += N;
    } else {
      Raw(b.data(), N);
    }
  }
  void Flush();
  void WriteThrough(const uint8_t* data, size_t n);

  AtomicFileWriter file_;
  bool memory_ = true;
  bool failed_ = false;
  std::string reason_;
  std::vector<uint8_t> buffer_;           // everything written, for a memory sink
  std::unique_ptr<uint8_t[]> fileBuffer_; // bytes not yet handed to a file
  size_t used_ = 0;                       // of fileBuffer_
  size_t roomStart_ = 0;                  // of the last Room of a memory sink
  uint64_t flushed_ = 0;
};

// CleanString, then WriteJwwString; a string already clean is written without a copy.
inline void WriteCleanString(ByteSink& out, std::string_view s) {
  if (IsCleanString(s)) {
    out.JwwString(s);
  } else {
    out.JwwString(CleanString(s));
  }
}

}  // namespace plm
