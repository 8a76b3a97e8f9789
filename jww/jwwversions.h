#pragma once
// The version thresholds at which the JWW layout changes, one name each. The reader
// compares the version read from the file, the writer the version it is told to
// write; the JWS body uses the same thresholds.
#include <cstdint>

namespace plm {

constexpr int32_t kVerOldest = 220;       // older drawings are refused
constexpr int32_t kVerSwitches104 = 223;  // the switches block grows from 44 to 104 bytes
constexpr int32_t kVerSwitches136 = 225;  // ... to 136 bytes
// From here the switches block has 144 bytes; above it the mark-jump block has 280
// bytes instead of 96. JWS figures up to it are written as this version.
constexpr int32_t kVerSwitches144 = 230;
// From here the shadow block has 44 bytes with the sky-chart values; a JWS figure of
// exactly this version is written as kVerPenWidth.
constexpr int32_t kVerSkyChart = 300;
constexpr int32_t kVerPenWidth = 351;  // attribute blocks carry a 16-bit PenWidth
// From here: the extended colour and line-type tables in the header and dimension
// extension data. Writing below it maps the entities' extended line types and
// colours; writing up to and including it clamps MaxLineWidth.
constexpr int32_t kVerExtTables = 420;
constexpr int32_t kVerSwitch11Combined = 600;  // writing from here recombines the 11th switch
constexpr int32_t kVerImages = 700;            // the bound-image section follows the body

}  // namespace plm
