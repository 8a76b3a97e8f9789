// ReadWholeFile and ReadWholeFileIf, the same on every system: they read through
// an InputFile, which each system implements.
#include <algorithm>

#include "platform/files.h"
#include "platform/fsutil.h"

namespace plm {

// Each system's common.cpp defines it.
void Say(std::string* why, std::string text);

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

}  // namespace plm
