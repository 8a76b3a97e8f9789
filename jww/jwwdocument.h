#pragma once
// The JWW drawing: its in-memory document, the reader, the writer, the one-pass
// conversion, the signature probe and the memo reader.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jww/drawingbody.h"
#include "jww/bytesink.h"
#include "jww/jwwversions.h"

namespace plm {

struct ConversionSwitches;  // both in jww/spacingrule.h
struct SpacingChanges;

constexpr int32_t kMinMaxLineWidth = -101;
constexpr size_t kJwwClassNameLimit = 2048;

struct TLayerGroup {
  int32_t State = 0;
  int32_t WriteLayer = 0;
  double Scale = 0;
  int32_t Protect = 0;
  std::string Name;
};

struct TLayer {
  int32_t State = 0;
  int32_t Protect = 0;
  std::string Name;
};

struct TPenSetting {
  int32_t Color = 0;
  int32_t Width = 0;
  int32_t PrintColor = 0;
  int32_t PrintWidth = 0;
  double PointRadius = 0;
};

struct TLineTypeSetting {
  int32_t Pattern = 0;
  int32_t UnitDots = 0;
  int32_t Pitch = 0;
  int32_t PrintPitch = 0;
};

struct TRandomLineSetting {
  int32_t Pattern = 0;
  int32_t Amplitude = 0;
  int32_t Pitch = 0;
  int32_t PrintAmplitude = 0;
  int32_t PrintPitch = 0;
};

struct TTextTypeSetting {
  double Width = 0;
  double Height = 0;
  double Spacing = 0;
  int32_t ColorNo = 0;
};

struct TColorExNo {
  int32_t Color = 0;
  int32_t Width = 0;
  std::string Name;
  int32_t PrintColor = 0;
  int32_t PrintWidth = 0;
  double PointRadius = 0;
};

struct TLineTypeExNo {
  int32_t Pattern = 0;
  int32_t UnitDots = 0;
  int32_t Pitch = 0;
  int32_t PrintPitch = 0;
  std::string Name;
  int32_t SegmentCount = 0;
  std::array<double, 10> Segments{};  // indices 1..10 of the format at 0..9
};

struct TViewExtra {
  std::array<double, 3> Values{};
  int32_t Flag = 0;
};

struct THeader {
  std::string Signature;  // the 8 signature bytes as read
  int32_t Version = 0;
  std::string Memo;
  int32_t PaperSize = 0;
  int32_t WriteLayerGroup = 0;
  std::array<int32_t, 14> Reserved1{};
  std::array<int32_t, 5> DimSettings{};
  int32_t Reserved2 = 0;
  int32_t MaxLineWidth = 0;
  double PrintOriginX = 0, PrintOriginY = 0;
  double PrintScale = 1.0;
  int32_t PrintRotation = 0, GridMode = 0;
  double GridMinPitch = 1.0, GridPitchX = 1.0, GridPitchY = 1.0;
  double GridOriginX = 0, GridOriginY = 0;
  double ShadowLevel = 0, ShadowLatitude = 0;
  int32_t ShadowHours = 0;
  double WallShadowLevel = 0, SkyLevel = 0, SkyRadius = 0;
  int32_t Unit3D = 0;
  double SaveZoom = 1.0;
  double SaveOriginX = 0, SaveOriginY = 0;
  double RangeZoom = 1.0;
  double RangeOriginX = 0, RangeOriginY = 0;
  std::array<double, 8> MarkJumpZoom{1, 1, 1, 1, 1, 1, 1, 1};
  std::array<double, 8> MarkJumpX{};
  std::array<double, 8> MarkJumpY{};
  std::array<int32_t, 8> MarkJumpGroup{-1, -1, -1, -1, -1, -1, -1, -1};
  std::array<TViewExtra, 2> ViewExtra{};
  std::array<double, 10> ParallelPitch{};
  double BothSideExtension = 0;
  std::array<int32_t, 10> SwitchFlags{};
  int32_t Switch11Units = 0, Switch11Tens = 0;
  int32_t DrawTime = 0, View3DSet = 0;
  std::array<int32_t, 3> View3DAngle{};
  std::array<double, 5> View3DValue{};
  double LastLineLength = 0, LastBoxWidth = 0, LastBoxHeight = 0, LastRadius = 0;
  int32_t SolidAnyColor = 0, SolidColor = 0;
  double WriteTextWidth = 0, WriteTextHeight = 0, WriteTextSpacing = 0;
  int32_t WriteTextColor = 0, WriteTextType = 0;
  double ArrangePitch = 0, ArrangeCount = 0;
  int32_t BaseShiftOn = 0;
  std::array<double, 3> BaseShiftX{}, BaseShiftY{};
};

// One loaded JWW drawing. The tables have their fixed lengths; an empty document has
// every value zero or its default, every name empty and every list empty.
struct JwwDocument : DrawingBody {
  THeader Header;
  std::array<TLayerGroup, 16> LayerGroups{};
  std::array<TLayer, 256> Layers{};
  std::array<TPenSetting, 10> PenSettings{};
  std::array<TLineTypeSetting, 8> LineTypes{};
  std::array<TRandomLineSetting, 5> RandomLines{};
  std::array<TLineTypeSetting, 4> DoubleLineTypes{};
  std::array<TTextTypeSetting, 10> TextTypeSettings{};
  std::array<TColorExNo, 257> ExtColors{};
  std::array<TLineTypeExNo, 33> ExtLineTypes{};

};

// Ends a load: closes the cursor and gives `ok`; when false, `failure` (when given)
// receives the cursor's first failure.
bool FinishLoad(ByteCursor& in, bool ok, ReadFailure* failure);

// Header and entity side back to the empty state (block definitions are reset by the
// reader when it reaches them; ClearJwwData releases them).
void InitJwwData(JwwDocument& doc);
void ClearJwwData(JwwDocument& doc);

// Reads the whole file into `doc`. Bound images (version 700 and later) are extracted
// into images.TempFolder and listed in images.TempImageFiles. On false, `failure`
// (when given) says why and where; the document then holds what was read so far.
bool LoadJwwFile(JwwDocument& doc, TempImages& images, const std::filesystem::path& path,
                 ReadFailure* failure = nullptr);
// The same from memory (fuzzing, tests).
bool LoadJwwBytes(JwwDocument& doc, TempImages& images, std::span<const uint8_t> bytes,
                  ReadFailure* failure = nullptr);

// Writes the signature, the given version and header blocks 1 to 19.
void WriteJwwHeader(ByteSink& out, const JwwDocument& doc, int32_t version);
// Entity list, block definitions and, from version 700, the bound images. Sets the
// Used marks of images.TempImageFiles.
void WriteJwwBody(ByteSink& out, const JwwDocument& doc, TempImages& images, int32_t version);
// The whole drawing; true only when every byte reached the file. A failed write
// leaves no file behind; `why` (when given) says what went wrong.
bool SaveJwwFile(const JwwDocument& doc, TempImages& images, const std::filesystem::path& path, int32_t version,
                 std::string* why = nullptr);

// Where ConvertJwwStream reads from: the bytes when given, else the file at Path.
struct JwwSource {
  std::filesystem::path Path;
  std::optional<std::span<const uint8_t>> Bytes;
};

// Loads, corrects and writes in one pass, holding only the header, a piece of the
// body at a time and the texts that name bound images: `out` receives exactly what
// LoadJwwFile, ApplySpacingRule and SaveJwwFile's encoding give, and `changes`
// what the rule changed. False when the input does not read in full: `failure` is
// then what LoadJwwFile reports, `changes` is zero and what `out` holds must be
// dropped. Otherwise out.Ok() tells whether every byte was written. Bound images are
// extracted into images.TempFolder as by the load.
bool ConvertJwwStream(JwwDocument& doc, TempImages& images, const JwwSource& source, ByteSink& out,
                      const ConversionSwitches& options, SpacingChanges& changes, ReadFailure* failure = nullptr);

// True when the file's first 8 bytes are the JWW signature.
bool IsJwwFile(const std::filesystem::path& path);
// Reads signature, version and memo, and the header through the switches block.
bool ReadJwwMemo(JwwDocument& doc, const std::filesystem::path& path, ReadFailure* failure = nullptr);

}  // namespace plm
