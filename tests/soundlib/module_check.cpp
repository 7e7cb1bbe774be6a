// Checks that real module files load and play through libbassmod:
//   soundlib_module_check FILE...
// Each file is first loaded cut short at a few points (must load or be refused,
// never crash), then played through SDL's disk driver until 20 s of audio are
// recorded, which must not be silent. Exit status 0 when every file passes.
#include "soundlib/bassmod.h"
#include "tests/soundlib/test_support.hpp"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace soundlib_test;

namespace {

constexpr DWORD rate = 44100;
constexpr double seconds_to_record = 20.0;
constexpr DWORD program_flags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;

std::string check_truncated(const std::vector<std::uint8_t>& module) {
  BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0);
  std::string problem;
  for (const double share : {0.01, 0.1, 0.5, 0.9, 0.999}) {
    const auto length = static_cast<DWORD>(static_cast<double>(module.size()) * share);
    const BOOL loaded = BASSMOD_MusicLoad(1, module.data(), 0, length, program_flags);
    const int code = BASSMOD_ErrorGetCode();
    if (!(loaded == 1 && code == BASSMOD_OK) && !(loaded == 0 && code == BASSMOD_ERROR_FORMAT)) {
      problem = "cut to " + std::to_string(length) + " bytes: result " + std::to_string(loaded) + ", code " +
                std::to_string(code);
    }
  }
  BASSMOD_Free();
  return problem;
}

std::string check_playback(const std::filesystem::path& module, Loudness& level) {
  const DiskRecording recording("0");  // as fast as we render
  if (BASSMOD_Init(-1, rate, 0) == 0 || BASSMOD_MusicLoad(0, module.c_str(), 0, 0, program_flags) == 0 ||
      BASSMOD_MusicPlay() == 0) {
    return "failed with code " + std::to_string(BASSMOD_ErrorGetCode());
  }
  if (!recording.wait_for(seconds_to_record, std::chrono::seconds(60))) {
    return "the output stalled";
  }
  const auto samples = recording.stop();
  level = loudness(samples);
  if (level.peak < 256 || level.nonzero < samples.size() / 10) {
    return "the recording is (nearly) silent";
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s MODULE...\n", argv[0]);
    return 2;
  }
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path module = argv[i];
    std::string problem = check_truncated(read_file(module));
    Loudness level;
    if (problem.empty()) {
      problem = check_playback(module, level);
    }
    if (problem.empty()) {
      std::printf("ok    %s: peak %d, %zu samples non-zero\n", module.c_str(), level.peak, level.nonzero);
    } else {
      std::printf("FAIL  %s: %s\n", module.c_str(), problem.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
