#include "jww/bytesink.h"

#include <cstring>

#include "text/cp932.h"

namespace plm {

ByteSink::ByteSink() { buffer_.reserve(size_t{1} << 16); }

ByteSink::~ByteSink() { Abort(); }

bool ByteSink::CreateFile(const std::filesystem::path& path, TemporaryKind kind) {
  return CreateFile(nullptr, Utf8FromPath(path), kind);
}

bool ByteSink::CreateFile(std::shared_ptr<Folder> folder, const std::string& name, TemporaryKind kind) {
  Abort();
  memory_ = false;
  failed_ = false;
  reason_.clear();
  buffer_.clear();
  if (!fileBuffer_) fileBuffer_ = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  used_ = 0;
  flushed_ = 0;
  std::string why;
  const bool created = folder ? file_.Create(std::move(folder), name, &why, NewFilePermissions::Default, kind)
                             : file_.Create(PathFromUtf8(name), &why, NewFilePermissions::Default, kind);
  if (!created) Fail(why);
  return !failed_;
}

void ByteSink::Fail(const std::string& reason) {
  if (failed_) return;
  failed_ = true;
  reason_ = reason;
}

void ByteSink::WriteThrough(const uint8_t* data, size_t n) {
  std::string why;
  if (!file_.Write(data, n, &why)) {
    Fail(why);
    return;
  }
  flushed_ += n;
}

void ByteSink::Flush() {
  if (memory_ || failed_) return;
  WriteThrough(fileBuffer_.get(), used_);
  used_ = 0;
}

// Fields are a few bytes each: they are copied into a fixed buffer that goes to the
// file in pieces of kBufferSize bytes.
void ByteSink::Raw(const void* data, size_t n) {
  if (failed_) return;
  const auto* p = static_cast<const uint8_t*>(data);
  if (memory_) {
    buffer_.insert(buffer_.end(), p, p + n);
    return;
  }
  if (n > kBufferSize - used_) {
    Flush();
    if (failed_) return;
    if (n >= kBufferSize) {  // large pieces go straight through
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

bool IsCleanString(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (IsFilterLeadByte(b)) {  // a pair kept whole
      i += 2;
    } else if (b < 0x20 || (b == '^' && i + 1 < s.size() && s[i + 1] == 'm')) {
      return false;
    } else {
      ++i;
    }
  }
  return true;  // also the empty string, which CleanString keeps empty
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

bool ByteSink::Finish() {
  if (memory_) return !failed_;
  Flush();
  std::string why;
  if (!failed_ && !file_.Finish(&why)) Fail(why);
  if (failed_) Abort();
  return !failed_;
}

bool ByteSink::Publish() {
  if (memory_) return !failed_;
  std::string why;
  if (!failed_ && !file_.Publish(&why)) Fail(why);
  if (failed_) Abort();
  return !failed_;
}

void ByteSink::Abort() {
  file_.Abort();
}

}  // namespace plm
