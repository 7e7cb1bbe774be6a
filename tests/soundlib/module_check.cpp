// Checks that real module files load and play through libbassmod:
//   soundlib_module_check FILE...
// Each file is first loaded cut short at a few points (must load or be refused,
// never crash), then played through SDL's disk driver until 20 s of audio are
// recorded, which must not be silent. Exit status 0 when every file passes.
#include "soundlib/bassmod.h"
#include "tests/soundlib/test_support.hpp"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace soundlib_test;

namespace {

constexpr DWORD rate = 44100;
constexpr double seconds_to_record = 20.0;
constexpr DWORD program_flags = BASSMOD_MUSIC_RAMPS | BASSMOD_MUSIC_SURROUND;

std::string check_truncated(const std::vector<std::uint8_t>& module)
{
    BASSMOD_Init(BASSMOD_DEVICE_NO_SOUND, rate, 0);
    std::string problem;
    for (const double share : {0.01, 0.1, 0.5, 0.9, 0.999}) {
        const auto length = static_cast<DWORD>(static_cast<double>(module.size()) * share);
        const BOOL loaded = BASSMOD_MusicLoad(1, module.data(), 0, length, program_flags);
        const int code = BASSMOD_ErrorGetCode();
        if (!(loaded == 1 && code == BASSMOD_OK) && !(loaded == 0 && code == BASSMOD_ERROR_FORMAT)) {
            problem = "cut to " + std::to_string(length) + " bytes: result " + std::to_string(loaded) + ", code "
                + std::to_string(code);
        }
    }
    BASSMOD_Free();
    return problem;
}

std::string check_playback(const std::filesystem::path& module, const TempDir& dir, Loudness& level)
{
    const auto recording = dir.path() / "out.raw";
    const EnvVar driver("SDL_AUDIODRIVER", "disk");
    const EnvVar output("SDL_DISKAUDIOFILE", recording.string());
    const EnvVar delay("SDL_DISKAUDIODELAY", "0");  // as fast as we render
    if (BASSMOD_Init(-1, rate, 0) == 0) {
        return "Init failed with code " + std::to_string(BASSMOD_ErrorGetCode());
    }
    if (BASSMOD_MusicLoad(0, module.c_str(), 0, 0, program_flags) == 0) {
        const int code = BASSMOD_ErrorGetCode();
        BASSMOD_Free();
        return "MusicLoad failed with code " + std::to_string(code);
    }
    BASSMOD_MusicPlay();
    const auto wanted = static_cast<std::uintmax_t>(seconds_to_record * rate * 4);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::error_code error;
    while (std::filesystem::file_size(recording, error) < wanted || error) {
        if (std::chrono::steady_clock::now() > deadline) {
            BASSMOD_Free();
            return "the output stalled";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    BASSMOD_Free();

    auto bytes = read_file(recording);
    bytes.resize(wanted);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    level = loudness(samples);
    if (level.peak < 256 || level.nonzero < samples.size() / 10) {
        return "the recording is (nearly) silent";
    }
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MODULE...\n", argv[0]);
        return 2;
    }
    const TempDir dir;
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path module = argv[i];
        std::string problem = check_truncated(read_file(module));
        Loudness level;
        if (problem.empty()) {
            problem = check_playback(module, dir, level);
        }
        if (problem.empty()) {
            std::printf("ok    %s: %.0f s recorded, peak %d, %.0f %% of samples non-zero\n", module.c_str(),
                        seconds_to_record, level.peak,
                        100.0 * static_cast<double>(level.nonzero) / (seconds_to_record * rate * 2));
        } else {
            std::printf("FAIL  %s: %s\n", module.c_str(), problem.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
