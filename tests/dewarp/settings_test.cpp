// Reading "dewarp.ini": the profile syntax, the integer and number rules,
// and the ranges that keep the views' arithmetic sound.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dewarp/dewarp_settings.h"
#include "dewarp/profile_text.h"
#include "tests/support/test_support.h"

namespace {

DewarpSettings FromText(std::string_view text) {
  DewarpSettings s;
  s.ratio = 99;  // every load starts from the defaults
  LoadDewarpSettingsFromText(&s, text);
  return s;
}

TEST(DewarpSettings, MissingFileGivesTheDefaults) {
  DewarpSettings s;
  s.cut = 9;
  LoadDewarpSettings(&s, "/nonexistent/dewarp.ini");
  EXPECT_EQ(s.cut, 6);
  EXPECT_EQ(s.centerX, 5000);
  EXPECT_DOUBLE_EQ(s.a1, 0.39896);
  EXPECT_DOUBLE_EQ(s.a4, -0.018715);
  EXPECT_EQ(s.w1R, 960);
  EXPECT_EQ(s.WheelSensitivity, 24);
}

TEST(DewarpSettings, ReadsTheCurrentDirectorysFile) {
  testing_support::ScratchDir dir("dewarp_settings_cwd");
  testing_support::WriteFile(dir / "dewarp.ini", {'[', 'v', 'i', 'e', 'w', 'm', 'o', 'd', 'e', '_', 'p', 'a',
                                                  'r', 'a', 'm', ']', '\n', 'r', 'a', 't', 'i', 'o', '=', '3'});
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  DewarpSettings s;
  LoadDewarpSettings(&s);
  std::filesystem::current_path(previous);
  EXPECT_EQ(s.ratio, 3);
  EXPECT_EQ(s.cut, 6);
  EXPECT_EQ(s.w4R, 640);
}

TEST(DewarpSettings, ProfileSyntax) {
  const DewarpSettings s = FromText(
      "\xEF\xBB\xBF; comment\r\n"
      "[ LENS_Param ]\r\n"
      "  A1 =  0.5abc \r\n"
      "a1=0.7\r\n"
      "a2=-1e-3\r\n"
      "a3=nan\r\n"
      "a4=inf\r\n"
      "a5=words\r\n"
      "[viewmode_param]\n"
      "ratio=3\n"
      "MoveSensitivity=-1\n"
      "h4R=+300 px\n"
      "[lens_param]\n"
      "a0=9\n");
  EXPECT_DOUBLE_EQ(s.a1, 0.5);  // the leading number, first occurrence
  EXPECT_DOUBLE_EQ(s.a2, -1e-3);
  EXPECT_DOUBLE_EQ(s.a3, 0.081442);  // not a finite number: default
  EXPECT_DOUBLE_EQ(s.a4, -0.018715);
  EXPECT_DOUBLE_EQ(s.a5, 0.0);
  EXPECT_DOUBLE_EQ(s.a0, 9.0);  // a later section of the same name still adds keys
  EXPECT_EQ(s.ratio, 3);
  EXPECT_EQ(s.MoveSensitivity, 65535);
  EXPECT_EQ(s.h4R, 300);
}

// A value outside its range takes the default; the edges are accepted.
struct RangeCase {
  const char* line;
  uint16_t DewarpSettings::*field;
  uint16_t expected;
};

TEST(DewarpSettings, RangeChecks) {
  const RangeCase cases[] = {
      {"[center_param]\ncenterX=0", &DewarpSettings::centerX, 0},
      {"[center_param]\ncenterX=10001", &DewarpSettings::centerX, 5000},
      {"[center_param]\nradius=0", &DewarpSettings::radius, 5000},
      {"[center_param]\nradius=1", &DewarpSettings::radius, 1},
      {"[center_param]\ncenterY=abc", &DewarpSettings::centerY, 0},  // no number reads 0, in range
      {"[viewmode_param]\nw1R=15", &DewarpSettings::w1R, 960},
      {"[viewmode_param]\nw1R=4096", &DewarpSettings::w1R, 4096},
      {"[viewmode_param]\nw4R=65535", &DewarpSettings::w4R, 640},
      {"[viewmode_param]\nh1Rmov=-5", &DewarpSettings::h1Rmov, 480},
      {"[viewmode_param]\nratio=0", &DewarpSettings::ratio, 2},
      {"[viewmode_param]\nratio=17", &DewarpSettings::ratio, 2},
      {"[viewmode_param]\ncut=2", &DewarpSettings::cut, 6},
      {"[viewmode_param]\ncut=64", &DewarpSettings::cut, 64},
      {"[viewmode_param]\nWheelSensitivity=0", &DewarpSettings::WheelSensitivity, 24},
      {"[viewmode_param]\nWheelSensitivity=65536", &DewarpSettings::WheelSensitivity, 24},  // low 16 bits: 0
      {"[viewmode_param]\nratio=65539", &DewarpSettings::ratio, 3},                         // low 16 bits: 3
      {"[viewmode_param]\nratio=99999999999999999999", &DewarpSettings::ratio, 2},
  };
  for (const RangeCase& c : cases) EXPECT_EQ(FromText(c.line).*c.field, c.expected) << c.line;
}

TEST(DewarpSettings, HugeFiniteLensValuesAreKept) {
  const DewarpSettings s = FromText("[lens_param]\na1=1e308\na2=-1e308\na3=1e999\n");
  EXPECT_EQ(s.a1, 1e308);
  EXPECT_EQ(s.a2, -1e308);
  EXPECT_DOUBLE_EQ(s.a3, 0.081442);  // out of range of a double: default
}

TEST(ProfileText, KeysOutsideSectionsAndBrokenLinesAreIgnored) {
  const ProfileText p("x=1\n[a\nb=2\n[s]\nnoequals\n=3\nk=\n");
  EXPECT_FALSE(p.Find("", "x"));
  EXPECT_FALSE(p.Find("a", "b"));
  EXPECT_EQ(p.Find("S", "K"), "");
  EXPECT_EQ(p.ReadU16("s", "k", 7), 0);
  EXPECT_EQ(p.ReadU16("s", "missing", 7), 7);
}

}  // namespace
