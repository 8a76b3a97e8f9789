#include "shell/settings.h"

#include <gtest/gtest.h>

#include "platform/fsutil.h"
#include "tests/support/text_files.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

using plmtest::ReadText;
using plmtest::WriteText;

TEST(SettingsTest, ReadFollowsPrivateProfileRules) {
  ScopedTempFolder dir("plm-ini-");
  const fs::path ini = dir.Path() / "a.ini";
  WriteText(ini,
            "Top=outside any section\n"
            "[Form]\n"
            "F1_X=12\n"
            "  f1_y  =  34  \n"
            "; F1_W=99\n"
            "Empty=\n"
            "[form]\n"
            "F1_W=second section of the same name\n"
            "[Set]\r\n"
            "FLD1=/crlf/\r\n"
            "Long=1234567890123456789012345\n"
            "Wide=/あいう/\n");
  struct Case {
    const char* section;
    const char* key;
    size_t buffer;
    bool found;
    const char* text;
  };
  const Case cases[] = {
      {"Form", "F1_X", 22, true, "12"},                      // control
      {"FORM", "f1_x", 22, true, "12"},                      // names ignore letter case
      {"Form", "F1_Y", 22, true, "34"},                      // blanks around key and value
      {"Form", "F1_W", 22, false, ""},                       // commented out; first [Form] wins
      {"Form", "Empty", 22, false, ""},                      // present but empty
      {"Form", "Missing", 22, false, ""},                    // missing key
      {"Nowhere", "F1_X", 22, false, ""},                    // missing section
      {"", "Top", 22, false, ""},                            // lines before any section
      {"Set", "FLD1", 512, true, "/crlf/"},                  // CRLF lines
      {"Set", "Long", 22, true, "123456789012345678901"},    // cut to buffer size - 1
      {"Set", "Long", 1, false, ""},                         // no room at all
      {"Set", "Wide", 5, true, "/あ"},                       // 4 bytes: whole characters
      {"Set", "Wide", 7, true, "/あ"},                       // 6 would split a character
      {"Set", "Wide", 8, true, "/あい"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "." + c.key + " buffer " + std::to_string(c.buffer));
    std::string text = "stale";
    EXPECT_EQ(IniReadString(ini, c.section, c.key, c.buffer, text), c.found);
    EXPECT_EQ(text, c.text);
  }
  std::string text;
  EXPECT_FALSE(IniReadString(dir.Path() / "none.ini", "Form", "F1_X", 22, text));
}

TEST(SettingsTest, WriteChangesOnlyItsOwnLine) {
  ScopedTempFolder dir("plm-ini-");
  const fs::path ini = dir.Path() / "a.ini";

  // Creates the file, then sections and keys as needed.
  ASSERT_TRUE(IniWriteString(ini, "Form", "F1_X", "1"));
  EXPECT_EQ(ReadText(ini), "[Form]\nF1_X=1\n");
  ASSERT_TRUE(IniWriteString(ini, "Set", "FLD1", "/w/"));
  ASSERT_TRUE(IniWriteString(ini, "form", "F1_Y", "2"));
  EXPECT_EQ(ReadText(ini), "[Form]\nF1_X=1\nF1_Y=2\n\n[Set]\nFLD1=/w/\n");

  // Comments, unknown keys, odd spacing and the key's own spelling stay.
  WriteText(ini, "; note\n[Form]\n  f1_x = 1\nOther=x\n\n[More]\nK=V");
  ASSERT_TRUE(IniWriteString(ini, "FORM", "F1_X", "-5"));
  ASSERT_TRUE(IniWriteString(ini, "Form", "New", ""));
  EXPECT_EQ(ReadText(ini), "; note\n[Form]\nf1_x=-5\nOther=x\nNew=\n\n[More]\nK=V\n");

  // CRLF files keep CRLF, on changed and on new lines.
  WriteText(ini, "[A]\r\nx=1\r\n");
  ASSERT_TRUE(IniWriteString(ini, "A", "x", "2"));
  ASSERT_TRUE(IniWriteString(ini, "B", "y", "3"));
  EXPECT_EQ(ReadText(ini), "[A]\r\nx=2\r\n\r\n[B]\r\ny=3\r\n");

  // A value that would break the file is refused and changes nothing.
  EXPECT_FALSE(IniWriteString(ini, "A", "x", "two\nlines"));
  EXPECT_EQ(ReadText(ini), "[A]\r\nx=2\r\n\r\n[B]\r\ny=3\r\n");
}

TEST(SettingsTest, ShellSettingsRoundTripInTheWrittenOrder) {
  ScopedTempFolder dir("plm-ini-");
  const fs::path ini = dir.Path() / "plmtool.ini";

  ShellSettings first;
  first.FLD1 = "/prog/";
  ReadShellSettings(ini, first);  // no file: the defaults stay
  EXPECT_EQ(first.F1_W, 696);
  EXPECT_EQ(first.FLD1, "/prog/");

  WriteText(ini, "[JWW]\nC2=1\nC3=yes\n[Comp]\nF1S5=\nF1S0=-3\n[Set]\nFLD2=/s/\n");
  ShellSettings s;
  ReadShellSettings(ini, s);
  EXPECT_FALSE(s.Options.ZeroTypeSpacing);
  EXPECT_TRUE(s.Options.ZeroFreeSpacing);
  EXPECT_FALSE(s.Options.ChangeDimensionValues);  // invalid number applies as 0
  EXPECT_EQ(s.F1S[5], 64);     // empty value: default stays
  EXPECT_EQ(s.F1S[0], -3);
  EXPECT_EQ(s.FLD2, "/s/");

  ASSERT_TRUE(WriteShellSettings(ini, s));
  EXPECT_EQ(ReadText(ini),
            "[JWW]\nC2=1\nC3=0\nC1=0\nC4=0\n"
            "[Comp]\nF1S5=64\nF1S0=-3\nF1P1=160\nF1S1=64\nF1S2=64\nF1S3=64\nF1S4=64\n"
            "[Set]\nFLD2=/s/\nFLD1=\nFTYP=0\n\n"
            "[Form]\nF1_X=192\nF1_Y=107\nF1_W=696\nF1_H=478\nF2_X=192\nF2_Y=111\n");
  ShellSettings back;
  ReadShellSettings(ini, back);
  EXPECT_TRUE(back.Options.ZeroFreeSpacing);
  EXPECT_EQ(back.FLD2, "/s/");
}

TEST(SettingsTest, SettingsFolderMovesOutOfAnUnwritableProgramFolder) {
  struct Case {
    const char* name;
    bool writable;
    const char* xdg;
    const char* home;
    const char* expected;
  };
  const Case cases[] = {
      {"writable program folder", true, "/x", "/h", "/opt/p/"},
      {"XDG folder", false, "/x", "/h", "/x/pallimo/"},
      {"XDG folder with slash", false, "/x/", "/h", "/x/pallimo/"},
      {"relative XDG ignored", false, "rel", "/h", "/h/.config/pallimo/"},
      {"empty XDG ignored", false, "", "/h", "/h/.config/pallimo/"},
      {"no XDG", false, nullptr, "/h/", "/h/.config/pallimo/"},
      {"nothing known", false, nullptr, nullptr, "/opt/p/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseSettingsFolder("/opt/p/", c.writable, c.xdg, c.home), c.expected);
  }
}

TEST(SettingsTest, IniToIntTakesOnlyWholeDecimalText) {
  struct Case {
    const char* text;
    int expected;
  };
  const Case cases[] = {
      {"192", 192}, {"-5", -5}, {"+7", 7}, {"0", 0},      {"", 0},           {"12a", 0},
      {" 12", 0},   {"12 ", 0}, {"+", 0},  {"-", 0},      {"2147483647", 2147483647},
      {"2147483648", 0},        {"0x10", 0}, {"1.5", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IniToInt(c.text), c.expected);
  }
}

// Stored 50,40 1400x900; a 200 % session on a small screen opened it at 4,30 792x466.
TEST(SettingsTest, APlaceFittedToTheScreensIsStoredAsItWasRead) {
  const WindowPlace stored{50, 40, 1400, 900}, fitted{4, 30, 792, 466};
  struct Case {
    const char* what;
    WindowPlace now, expected;
  } cases[] = {
      {"left as fitted", fitted, stored},
      {"moved by the user", {100, 80, 792, 466}, {100, 80, 1400, 900}},
      {"resized by the user", {4, 30, 700, 400}, {50, 40, 700, 400}},
      {"moved and resized", {9, 9, 600, 300}, {9, 9, 600, 300}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PlaceToStore(c.now, stored, fitted), c.expected);
  }
  // A place that needed no fitting is stored as it is now.
  EXPECT_EQ(PlaceToStore({7, 8, 640, 400}, {7, 8, 640, 400}, {7, 8, 640, 400}), (WindowPlace{7, 8, 640, 400}));
}

}  // namespace
}  // namespace plm
