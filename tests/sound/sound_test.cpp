#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>

#include "bassmod.hpp"
#include "errors.hpp"
#include "library.hpp"
#include "test_support.hpp"
#include "tune.hpp"

namespace {

using soundlib_test::Bytes;
const std::filesystem::path kBuildDir = ZENORA_BUILD_DIR;

TEST(Module, WordsTextsAndPromptLayout) {
  EXPECT_EQ(sound::LoWord(-1), 0xFFFF);
  EXPECT_EQ(sound::HiWord(-1), 0);  // -1 / 65536 truncates to 0
  for (const int unknown : {4, 9, 25, -2, 1000}) EXPECT_EQ(sound::ErrorText(unknown), "") << unknown;
  EXPECT_EQ(sound::ErrorPrompt("m", 4), "m\r\n\r\nError Code : 4\r\n");  // ends in the line break
  EXPECT_EQ(sound::ErrorPrompt("m", -1), "m\r\n\r\nError Code : -1\r\nSome Other Mystery Error");
}

// Whatever lies beside the program under the library's name, the first call
// gives the program's run-time error, never a signal or a wait: 53 when
// nothing is there, 48 when what is there cannot be loaded; the loading
// service says what is wrong with it.
TEST(Library, MissingOrUnloadableLibraryIsTheProgramsRunTimeError) {
  using Fault = tk::Library::Fault;
  const Bytes real = soundlib_test::read_file(kBuildDir / "libbassmod.so");
  Bytes other_machine = real, noise(50'000);
  other_machine[18] = 183;  // e_machine: AArch64
  std::ranges::generate(noise, std::mt19937(7));
  struct Case {
    const char* name;
    std::optional<Bytes> file;
    Fault fault;
  };
  const Case cases[] = {
      {"missing", std::nullopt, Fault::Missing},
      {"empty", Bytes{}, Fault::NotSharedObject},
      {"cut short", Bytes(real.begin(), real.begin() + 4000), Fault::CutShort},
      {"its header cut short", Bytes(real.begin(), real.begin() + 40), Fault::CutShort},
      {"random bytes", noise, Fault::NotSharedObject},
      {"another machine's", other_machine, Fault::OtherMachine},
      {"a program, which the loader refuses", soundlib_test::read_file(kBuildDir / "ZENOrA_intro"), Fault::Refused},
      {"a FIFO", std::nullopt, Fault::NotRegularFile},
  };
  for (const auto& [name, file, fault] : cases) {
    const soundlib_test::TempDir dir;
    const auto path = dir.path / sound::Bassmod::kFileName;
    if (file) dir.write(sound::Bassmod::kFileName, *file);
    if (fault == Fault::NotRegularFile) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    try {
      sound::Bassmod(dir.path).BASSMOD_GetVersion();
      ADD_FAILURE() << name << ": loaded";
    } catch (const tk::RuntimeError& e) {
      EXPECT_EQ(e.Number(), fault == Fault::Missing ? 53 : 48) << name;
    }
    try {
      tk::Library library(path);
      ADD_FAILURE() << name << ": loaded";
    } catch (const tk::Library::Error& e) {
      EXPECT_EQ(e.Kind(), fault) << name << ": " << e.what();
      EXPECT_EQ(std::string(e.what()).find(dir.path.string()), std::string::npos) << e.what();
    }
  }
}

// A box that itself fails ends Load and Play quietly.
TEST(Tune, FailuresNeverEscape) {
  sound::Bassmod bassmod(kBuildDir / "testlibs" / "initfail");
  sound::Tune tune(bassmod, [](std::string_view) { throw std::bad_alloc(); });
  EXPECT_NO_THROW(tune.Load());
  EXPECT_NO_THROW(tune.Play());
}

}  // namespace
