#pragma once
// Test-only model of the JWW header (signature, version, blocks 1 to 19), written from
// the format's description field by field. A value source decides every field's
// value, so one walk produces an input drawing and another, through WrittenValues,
// the exact bytes the writer must produce for it.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/support/bytes.h"

namespace plmtest {

// One header field: its document name ("MaxLineWidth", "Layers.Name",
// "ExtLineTypes.Segments"), its element index and second index (-1 when absent) and
// the header block it stands in (0 for signature and version).
struct HeaderField {
  std::string_view name;
  int index = -1;
  int sub = -1;
  int block = 0;
};

class HeaderValueSource {
 public:
  virtual ~HeaderValueSource() = default;
  virtual uint32_t Int(const HeaderField& f) = 0;
  virtual uint64_t Real(const HeaderField& f) = 0;  // the double's bit pattern
  virtual std::string Str(const HeaderField& f) = 0;
};

// Every field gets its own value derived from the field's identity and a seed:
// integers and doubles as scattered bit patterns (some doubles quiet or signalling
// NaNs with payloads), names as short distinct texts. Single fields can be pinned.
class DistinctValues : public HeaderValueSource {
 public:
  explicit DistinctValues(uint64_t seed = 1) : seed_(seed) {}

  DistinctValues& SetInt(std::string_view name, int index, uint32_t v, int sub = -1);
  DistinctValues& SetReal(std::string_view name, int index, uint64_t bits, int sub = -1);
  DistinctValues& SetDouble(std::string_view name, int index, double v, int sub = -1);
  DistinctValues& SetStr(std::string_view name, int index, std::string v, int sub = -1);

  uint32_t Int(const HeaderField& f) override;
  uint64_t Real(const HeaderField& f) override;
  std::string Str(const HeaderField& f) override;

 private:
  using Key = std::tuple<std::string, int, int>;
  static Key KeyOf(const HeaderField& f) { return {std::string(f.name), f.index, f.sub}; }
  uint64_t Hash(const HeaderField& f) const;

  uint64_t seed_;
  std::map<Key, uint32_t> ints_;
  std::map<Key, uint64_t> reals_;
  std::map<Key, std::string> strs_;
};

// What the writer must write for a header read from `input`, written at `version`:
// block 4 and Reserved2 zero, MaxLineWidth clamped to -101 up to version 420, the
// eleventh switch split and recombined, names through plm::CleanString, the text-type
// spacing zeroed when negative or NaN if the type-spacing switch is on. Everything
// else unchanged.
class WrittenValues : public HeaderValueSource {
 public:
  WrittenValues(HeaderValueSource& input, int32_t version, bool zeroTypeSpacing)
      : input_(input), version_(version), zeroTypeSpacing_(zeroTypeSpacing) {}

  uint32_t Int(const HeaderField& f) override;
  uint64_t Real(const HeaderField& f) override;
  std::string Str(const HeaderField& f) override;

 private:
  HeaderValueSource& input_;
  int32_t version_;
  bool zeroTypeSpacing_;
};

// Start and end offsets (from the start of the file) of the header blocks 1..19;
// a block absent in the version has start == end.
struct HeaderLayout {
  std::array<size_t, 20> begin{};
  std::array<size_t, 20> end{};
};

// Appends signature, version and blocks 1..19 for `version`, asking `src` for every
// field in file order.
HeaderLayout BuildJwwHeader(Bytes& out, int32_t version, HeaderValueSource& src);

// A whole drawing with empty lists: the header, entity count 0, block definition
// count 0 and, from version 700, image count 0.
Bytes BuildEmptyJwwDrawing(int32_t version, HeaderValueSource& src, HeaderLayout* layout = nullptr);

// A plain JWW header of `version` (signature through block 19), laid out by
// BuildJwwHeader: every field zero or empty except PaperSize 3, block 4 of 0x5A bytes,
// the given memo, Reserved2, MaxLineWidth, eleventh switch and first layer name, and
// text type i of width 1 + i, height 2 + i, the given spacing and colour number i.
struct JwwHeaderFill {
  std::string Memo = "memo";
  std::array<double, 10> TypeSpacing{};
  int32_t Reserved = 0x1234;
  int32_t Switch11 = 1;
  int32_t MaxLineWidth = 0;
  std::string FirstLayerName;
};
Bytes JwwHeaderBytes(int32_t version, const JwwHeaderFill& fill = {});

// Reads a JWW header field by field in BuildJwwHeader's order and gives the bytes the
// writer produces for it at its own version (WrittenValues), the memo in its shortest
// form. Empty when the input ends inside the header.
struct HeaderWalk {
  std::vector<uint8_t> Expected;
  size_t End = 0;  // offset of the first byte after the header
  int32_t Version = 0;
  uint64_t TypeTableChanges = 0;  // text-type spacings the writer zeroes
};
std::optional<HeaderWalk> ExpectedJwwHeader(std::span<const uint8_t> input, bool zeroTypeSpacing);

// The eleventh switch as the writer writes a raw value read from a file.
int32_t ModelSwitch11(int32_t raw, int32_t version);

}  // namespace plmtest
