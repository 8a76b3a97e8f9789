#pragma once
// The settings file: INI text with private-profile semantics, the settings the main
// window keeps in it, and the folder where it lives.
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "jww/spacingrule.h"

namespace plm {

// The decimal integer the whole text denotes; 0 for an empty or invalid text.
int IniToInt(std::string_view text);

// Buffer sizes of the settings keys: numeric values keep 21 bytes, folders 511.
inline constexpr std::size_t kIniNumberBuffer = 22;
inline constexpr std::size_t kIniFolderBuffer = 512;

// The value of `key` in `section` of the INI file. Section and key names match without
// regard to ASCII letter case; the first section and the first key of that name count.
// The value loses its surrounding blanks and is cut to bufferSize - 1 bytes (never in
// the middle of a UTF-8 character). A missing file, section or key reads as empty.
// True only when the text is not empty.
bool IniReadString(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, std::size_t bufferSize, std::string& text);

// Sets `key` in `section`, creating the file, the section or the key as needed; every
// other line stays as it was, comments and unknown keys included. The new content goes
// into a temporary file beside the settings file, which is then renamed over it, so a
// crash never leaves a truncated file. False when the value holds a line break or the
// file cannot be written.
bool IniWriteString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value);

// Everything the main window keeps between runs, with the defaults of a first run.
// The search folder defaults to the program folder, which the caller fills in. Places
// and widths are device-independent pixels, so they mean the same at every scale.
struct ShellSettings {
  int F1_X = 192, F1_Y = 107, F1_W = 696, F1_H = 478;  // main window
  int F2_X = 192, F2_Y = 111;                          // settings dialog
  int F1P1 = 160;                                      // folder panel width
  std::array<int, 6> F1S = {64, 64, 64, 64, 64, 64};   // file list column widths
  std::string FLD1;                                    // search folder
  std::string FLD2;                                    // save folder
  int FTYP = 0;                                        // file type filter index
  ConversionSwitches Options;                              // C1..C4
};

// A window's place as the settings keep it: the area inside its frame, in
// device-independent pixels (pixels at 100 % scale, whatever the screen's scale).
struct WindowPlace {
  int X = 0, Y = 0, W = 0, H = 0;
  bool operator==(const WindowPlace&) const = default;
};

// What to store at exit for a window that opened at `fitted` because its stored place
// did not suit this session's screens: a position and a size still as fitted are
// stored as they were read, so a window shrunk or moved only to fit a smaller screen
// or a larger scale comes back as the user left it; what the user changed is stored
// as it is now.
WindowPlace PlaceToStore(const WindowPlace& now, const WindowPlace& stored, const WindowPlace& fitted);

// Applies every key found in the file over `settings`; missing or empty keys leave
// the field as it is. Numbers go through IniToInt (invalid text gives 0).
void ReadShellSettings(const std::filesystem::path& file, ShellSettings& settings);

// Writes every key, in the order F1_X..F1_H, F2_X, F2_Y, F1P1, F1S0..F1S5, FLD1, FLD2,
// FTYP, C1..C4, with one replacement of the file. False when it could not be written.
bool WriteShellSettings(const std::filesystem::path& file, const ShellSettings& settings);

// The preview pane, in a section of its own: [Preview] Size is the pane's extent across
// the splitter between the file list and the pane, in pixels (0: folded away).
struct PreviewSettings {
  int Size = 150;
};

// Applies the key when found (through IniToInt; a negative value counts as 0).
void ReadPreviewSettings(const std::filesystem::path& file, PreviewSettings& settings);
bool WritePreviewSettings(const std::filesystem::path& file, const PreviewSettings& settings);

// Where the settings file and TEMP live: the program folder when it can be written,
// otherwise $XDG_CONFIG_HOME/pallimo/ (when absolute), else $HOME/.config/pallimo/.
// Null variables count as unset. Every result ends in "/".
std::string ChooseSettingsFolder(const std::string& programFolder, bool programFolderWritable,
                                 const char* xdgConfigHome, const char* home);

// ChooseSettingsFolder for this process: tests the program folder, reads the
// environment and creates the configuration folder when it is chosen.
std::string SettingsFolderFor(const std::string& programFolder);

}  // namespace plm
