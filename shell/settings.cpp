#include "shell/settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"

namespace plm {

int IniToInt(std::string_view text) {
  int value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;  // a leading plus sign is valid decimal text
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || first == last) return 0;
  return value;
}

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The text cut to at most `limit` bytes; a UTF-8 character that the cut would split
// is dropped whole.
std::string CutText(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  std::size_t n = limit;
  std::size_t back = 0;
  while (n > 0 && back < 3 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
    --n;
    ++back;
  }
  if (back > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) != 0xC0) n = limit;  // not UTF-8
  return std::string(text.substr(0, n));
}

// The lines of an INI file, each kept byte for byte (without its "\n").
class IniText {
 public:
  static IniText Load(const fs::path& file) {
    IniText ini;
    const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(file);
    if (!bytes) return ini;
    const std::string all(bytes->begin(), bytes->end());
    std::size_t start = 0;
    while (start < all.size()) {
      const auto nl = all.find('\n', start);
      if (nl == std::string::npos) {
        ini.lines_.push_back(all.substr(start));
        break;
      }
      ini.lines_.push_back(all.substr(start, nl - start));
      start = nl + 1;
    }
    if (!ini.lines_.empty() && !ini.lines_.front().empty() && ini.lines_.front().back() == '\r')
      ini.eol_ = "\r\n";
    return ini;
  }

  std::optional<std::string_view> Get(std::string_view section, std::string_view key) const {
    const auto sec = FindSection(section);
    if (!sec) return std::nullopt;
    const auto line = FindKey(*sec, key);
    if (!line) return std::nullopt;
    const std::string_view text = lines_[*line];
    return Trim(text.substr(text.find('=') + 1));
  }

  void Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string cr = eol_ == "\r\n" ? "\r" : "";
    const auto sec = FindSection(section);
    if (!sec) {
      if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back(cr);
      lines_.push_back("[" + std::string(section) + "]" + cr);
      lines_.push_back(std::string(key) + "=" + std::string(value) + cr);
      return;
    }
    if (const auto line = FindKey(*sec, key)) {
      std::string& text = lines_[*line];
      const bool hadCr = !text.empty() && text.back() == '\r';
      text = std::string(Trim(std::string_view(text).substr(0, text.find('=')))) + "=" +
             std::string(value) + (hadCr ? "\r" : "");
      return;
    }
    // New key behind the section's last non-blank line, so blank separators stay.
    std::size_t at = *sec + 1;
    for (std::size_t i = *sec + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i)
      if (!Trim(lines_[i]).empty()) at = i + 1;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  std::string(key) + "=" + std::string(value) + cr);
  }

  // Replaces the file through a temporary file in the same folder and a rename.
  bool Save(const fs::path& file) const {
    std::string all;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      all += lines_[i];
      all += '\n';
    }
    return ReplaceFileContents(file, all);
  }

 private:
  static bool IsHeader(std::string_view line) {
    const auto t = Trim(line);
    return t.size() >= 2 && t.front() == '[' && t.find(']') != std::string_view::npos;
  }
  static std::string_view HeaderName(std::string_view line) {
    const auto t = Trim(line);
    return Trim(t.substr(1, t.find(']') - 1));
  }

  std::optional<std::size_t> FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (IsHeader(lines_[i]) && SameName(HeaderName(lines_[i]), section)) return i;
    return std::nullopt;
  }

  std::optional<std::size_t> FindKey(std::size_t sectionLine, std::string_view key) const {
    for (std::size_t i = sectionLine + 1; i < lines_.size() && !IsHeader(lines_[i]); ++i) {
      const std::string_view t = Trim(lines_[i]);
      if (t.empty() || t.front() == ';' || t.front() == '#') continue;
      const auto eq = t.find('=');
      if (eq != std::string_view::npos && SameName(Trim(t.substr(0, eq)), key)) return i;
    }
    return std::nullopt;
  }

  std::vector<std::string> lines_;
  std::string eol_ = "\n";
};

bool IsLegalName(std::string_view s) {
  return !s.empty() && s.find_first_of("\r\n") == std::string_view::npos;
}

const std::array<const char*, 6> kColumnKeys = {"F1S0", "F1S1", "F1S2", "F1S3", "F1S4", "F1S5"};
const std::array<const char*, 4> kSwitchKeys = {"C1", "C2", "C3", "C4"};

// The window's geometry keys, in the order they are read and written.
struct NumberKey {
  const char* section;
  const char* key;
  int ShellSettings::*field;
};
const std::array<NumberKey, 7> kGeometryKeys = {{{"Form", "F1_X", &ShellSettings::F1_X},
                                                 {"Form", "F1_Y", &ShellSettings::F1_Y},
                                                 {"Form", "F1_W", &ShellSettings::F1_W},
                                                 {"Form", "F1_H", &ShellSettings::F1_H},
                                                 {"Form", "F2_X", &ShellSettings::F2_X},
                                                 {"Form", "F2_Y", &ShellSettings::F2_Y},
                                                 {"Comp", "F1P1", &ShellSettings::F1P1}}};

}  // namespace

bool IniReadString(const fs::path& file, std::string_view section, std::string_view key,
                   std::size_t bufferSize, std::string& text) {
  text.clear();
  if (bufferSize == 0) return false;
  const IniText ini = IniText::Load(file);
  if (const auto value = ini.Get(section, key)) text = CutText(*value, bufferSize - 1);
  return !text.empty();
}

bool IniWriteString(const fs::path& file, std::string_view section, std::string_view key,
                    std::string_view value) {
  if (!IsLegalName(section) || !IsLegalName(key) ||
      value.find_first_of("\r\n") != std::string_view::npos)
    return false;
  IniText ini = IniText::Load(file);
  ini.Set(section, key, value);
  return ini.Save(file);
}

WindowPlace PlaceToStore(const WindowPlace& now, const WindowPlace& stored, const WindowPlace& fitted) {
  WindowPlace place = now;
  if (now.X == fitted.X && now.Y == fitted.Y) place.X = stored.X, place.Y = stored.Y;
  if (now.W == fitted.W && now.H == fitted.H) place.W = stored.W, place.H = stored.H;
  return place;
}

void ReadShellSettings(const fs::path& file, ShellSettings& s) {
  const IniText ini = IniText::Load(file);
  auto read = [&](const char* section, const char* key, std::size_t size) -> std::optional<std::string> {
    const auto value = ini.Get(section, key);
    if (!value) return std::nullopt;
    std::string text = CutText(*value, size - 1);
    if (text.empty()) return std::nullopt;
    return text;
  };
  auto number = [&](const char* section, const char* key, int& field) {
    if (const auto t = read(section, key, kIniNumberBuffer)) field = IniToInt(*t);
  };
  for (const NumberKey& k : kGeometryKeys) number(k.section, k.key, s.*k.field);
  for (std::size_t i = 0; i < kColumnKeys.size(); ++i) number("Comp", kColumnKeys[i], s.F1S[i]);
  if (const auto t = read("Set", "FLD1", kIniFolderBuffer)) s.FLD1 = *t;
  if (const auto t = read("Set", "FLD2", kIniFolderBuffer)) s.FLD2 = *t;
  number("Set", "FTYP", s.FTYP);
  for (std::size_t i = 0; i < kSwitchOrder.size(); ++i) {
    int value = s.Options.*kSwitchOrder[i] ? 1 : 0;
    number("JWW", kSwitchKeys[i], value);
    s.Options.*kSwitchOrder[i] = value != 0;
  }
}

bool WriteShellSettings(const fs::path& file, const ShellSettings& s) {
  if (s.FLD1.find_first_of("\r\n") != std::string::npos ||
      s.FLD2.find_first_of("\r\n") != std::string::npos)
    return false;
  IniText ini = IniText::Load(file);
  auto number = [&](const char* section, const char* key, int value) {
    ini.Set(section, key, std::to_string(value));
  };
  for (const NumberKey& k : kGeometryKeys) number(k.section, k.key, s.*k.field);
  for (std::size_t i = 0; i < kColumnKeys.size(); ++i) number("Comp", kColumnKeys[i], s.F1S[i]);
  ini.Set("Set", "FLD1", s.FLD1);
  ini.Set("Set", "FLD2", s.FLD2);
  number("Set", "FTYP", s.FTYP);
  for (std::size_t i = 0; i < kSwitchOrder.size(); ++i) number("JWW", kSwitchKeys[i], s.Options.*kSwitchOrder[i] ? 1 : 0);
  return ini.Save(file);
}

void ReadPreviewSettings(const fs::path& file, PreviewSettings& settings) {
  std::string text;
  if (IniReadString(file, "Preview", "Size", kIniNumberBuffer, text)) settings.Size = std::max(0, IniToInt(text));
}

bool WritePreviewSettings(const fs::path& file, const PreviewSettings& settings) {
  return IniWriteString(file, "Preview", "Size", std::to_string(settings.Size));
}

std::string ChooseSettingsFolder(const std::string& programFolder, bool programFolderWritable,
                                 const char* xdgConfigHome, const char* home) {
  auto withSlash = [](std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
  };
  if (programFolderWritable) return withSlash(programFolder);
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
    return withSlash(xdgConfigHome) + "pallimo/";
  if (home != nullptr && home[0] != '\0') return withSlash(home) + ".config/pallimo/";
  return withSlash(programFolder);  // nowhere better; writes will fail quietly
}

std::string SettingsFolderFor(const std::string& programFolder) {
  // A folder the user does not own (an installed copy in /usr/bin, even when run as
  // root) is not a place for one user's settings.
  const bool writable = IsOwnedWritableFolder(PathFromUtf8(programFolder));
  const std::optional<std::string> xdg = EnvironmentValue("XDG_CONFIG_HOME"), home = EnvironmentValue("HOME");
  std::string folder =
      ChooseSettingsFolder(programFolder, writable, xdg ? xdg->c_str() : nullptr, home ? home->c_str() : nullptr);
  if (folder != programFolder) CreateFolders(PathFromUtf8(folder));
  return folder;
}

}  // namespace plm
