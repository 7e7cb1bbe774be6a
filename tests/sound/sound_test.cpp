#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/bassmod.hpp"
#include "sound/tune.hpp"
#include "toolkit/errors.hpp"

namespace {

const std::filesystem::path kBuildDir = ZENORA_BUILD_DIR;

TEST(Words, HighAndLowHalvesOfTheVersionValue) {
  EXPECT_EQ(sound::LoWord(0x00060001), 1);
  EXPECT_EQ(sound::HiWord(0x00060001), 6);
  EXPECT_EQ(sound::LoWord(-1), 0xFFFF);
  EXPECT_EQ(sound::HiWord(-1), 0);  // -1 / 65536 truncates to 0
  EXPECT_EQ(sound::HiWord(-65536), 0xFFFF);
  EXPECT_EQ(sound::HiWord(0x7FFFFFFF), 0x7FFF);
}

TEST(ErrorBox, TextsAndPromptLayout) {
  EXPECT_EQ(sound::ErrorText(-1), "Some Other Mystery Error");
  EXPECT_EQ(sound::ErrorText(0), "All is OK");
  EXPECT_EQ(sound::ErrorText(8), "BASS_Init Has Not Been Successfully Called");
  EXPECT_EQ(sound::ErrorText(24), "Not Playing");
  for (const int unknown : {4, 9, 25, -2, 1000}) EXPECT_EQ(sound::ErrorText(unknown), "") << unknown;
  EXPECT_EQ(sound::ErrorPrompt("Can't Load Music", 2), "Can't Load Music\r\n\r\nError Code : 2\r\nCan't Open the File");
  EXPECT_EQ(sound::ErrorPrompt("m", 4), "m\r\n\r\nError Code : 4\r\n");  // ends in the line break
  EXPECT_EQ(sound::ErrorPrompt("m", -1), "m\r\n\r\nError Code : -1\r\nSome Other Mystery Error");
}

TEST(Library, VersionTextIsExactTextOfBothHalves) {
  sound::Bassmod real(kBuildDir);
  EXPECT_EQ(sound::VersionText(real), "1.6");
  sound::Bassmod v2(kBuildDir / "testlibs" / "v2_0");
  EXPECT_EQ(sound::VersionText(v2), "2.0");
  sound::Bassmod v160(kBuildDir / "testlibs" / "v1_60");
  EXPECT_EQ(sound::VersionText(v160), "1.60");
}

TEST(Library, MissingLibraryOrExportIsTheProgramsRunTimeError) {
  sound::Bassmod none(kBuildDir / "no-such-folder-here");
  try {
    none.BASSMOD_GetVersion();
    FAIL();
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 53);
  }
  sound::Bassmod no_init(kBuildDir / "testlibs" / "no_init");
  EXPECT_EQ(sound::VersionText(no_init), "1.6");  // the other exports are there
  try {
    no_init.BASSMOD_Init(-1, 44100, 0);
    FAIL();
  } catch (const tk::RuntimeError& e) {
    EXPECT_EQ(e.Number(), 453);
    EXPECT_STREQ(e.what(), "Can't find DLL entry point BASSMOD_Init in libbassmod.so");
  }
}

// The tune against a library that was never initialised: every load and play
// fails, and each failure is one box with the library's code at that moment.
TEST(Tune, FailuresAreReportedAndNeverEscape) {
  sound::Bassmod bassmod(kBuildDir / "testlibs" / "initfail");
  std::vector<std::string> boxes;
  sound::Tune tune(bassmod, [&](std::string_view message) {
    boxes.push_back(std::string(message) + " " + std::to_string(bassmod.BASSMOD_ErrorGetCode()));
  });
  tune.ResetCounters();
  tune.SetMusicFile((kBuildDir / "LIGHT.S3M").string());
  tune.Load();
  tune.Play();
  EXPECT_EQ(boxes, (std::vector<std::string>{"Can't Load Music 8", "Can't play music 8"}));

  // A box that itself fails ends Load and Play quietly.
  sound::Tune failing(bassmod, [](std::string_view) { throw tk::RuntimeError::Overflow(); });
  EXPECT_NO_THROW(failing.Load());
  EXPECT_NO_THROW(failing.Play());

  // Counting: 269 ticks do nothing, the 270th restarts (two more boxes here).
  boxes.clear();
  for (int i = 0; i < 269; ++i) tune.TimerTune_Timer();
  EXPECT_EQ(tune.GetTuneSeconds(), 269);
  EXPECT_TRUE(boxes.empty());
  tune.TimerTune_Timer();
  EXPECT_EQ(tune.GetTuneSeconds(), 0);
  EXPECT_EQ(boxes.size(), 2u);
}

}  // namespace
