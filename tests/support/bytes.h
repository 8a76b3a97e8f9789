#pragma once
// Test-only byte builder: writes fixture files field by field from the format's
// description, independently of the project's writer.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plmtest {

class Bytes {
 public:
  Bytes& u8(uint8_t v) { data_.push_back(v); return *this; }
  Bytes& u16(uint16_t v) { return u8(static_cast<uint8_t>(v)).u8(static_cast<uint8_t>(v >> 8)); }
  Bytes& u32(uint32_t v) { return u16(static_cast<uint16_t>(v)).u16(static_cast<uint16_t>(v >> 16)); }
  Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  Bytes& f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32));
  }
  Bytes& f64bits(uint64_t bits) { return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32)); }
  Bytes& raw(std::string_view s) { data_.insert(data_.end(), s.begin(), s.end()); return *this; }
  Bytes& raw(const std::vector<uint8_t>& v) { data_.insert(data_.end(), v.begin(), v.end()); return *this; }
  Bytes& zeros(size_t n) { data_.insert(data_.end(), n, 0); return *this; }
  Bytes& fill(size_t n, uint8_t b) { data_.insert(data_.end(), n, b); return *this; }
  // A string in its shortest encoding: one length byte up to 254, else 0xFF + 16-bit length.
  Bytes& str(std::string_view s) {
    if (s.size() < 255) u8(static_cast<uint8_t>(s.size()));
    else u8(0xFF).u16(static_cast<uint16_t>(s.size()));
    return raw(s);
  }
  // A count: 16-bit up to 0xFFFE, else 0xFFFF then 32-bit.
  Bytes& count(uint32_t n) { return n <= 0xFFFE ? u16(static_cast<uint16_t>(n)) : u16(0xFFFF).u32(n); }
  // A class definition tag: 0xFFFF, schema, name length, name.
  Bytes& newClass(uint16_t schema, std::string_view name) {
    return u16(0xFFFF).u16(schema).u16(static_cast<uint16_t>(name.size())).raw(name);
  }
  // A reference to class index n in its shortest form.
  Bytes& classRef(uint32_t n) { return n <= 0x7FFE ? u16(static_cast<uint16_t>(0x8000 + n)) : u16(0x7FFF).u32(0x80000000u | n); }
  Bytes& append(const Bytes& other) { return raw(other.data_); }

  const std::vector<uint8_t>& data() const { return data_; }
  std::vector<uint8_t>& data() { return data_; }
  size_t size() const { return data_.size(); }

 private:
  std::vector<uint8_t> data_;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& data);

// The backup name of an output, as the user reads it in the README: the extension
// becomes ".BAK", or ".JSB" for a JWS figure.
std::string BackupOf(const std::string& outputName);

// A fresh empty folder for one test, removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  // `name` is UTF-8 text.
  std::filesystem::path operator/(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// The project's source folder, as the test binary can reach it.
std::filesystem::path SourceFolder();

// The folder of real user drawings, or empty when it is not there.
std::filesystem::path CorpusFolder();

}  // namespace plmtest
