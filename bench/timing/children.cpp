#include "children.hpp"

#include <SDL.h>

#include <libopenmpt/libopenmpt.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "audio_output.hpp"
#include "bassmod.hpp"
#include "process.hpp"
#include "report.hpp"
#include "sdl_backend.hpp"
#include "tick_probe.hpp"
#include "zenora.hpp"

namespace timing {

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 189;
constexpr int kLeft = 341;  // where the intro opens its window
constexpr int kTop = 265;
constexpr std::int64_t kFrameNs = std::int64_t{zenora::kStarsInterval} * 1'000'000;

struct ModuleDeleter {
  void operator()(openmpt_module* m) const { openmpt_module_destroy(m); }
};
struct WindowDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};

// SDL's audio callback: the next stretch of the module, silence after its end.
void Render(void* module, Uint8* stream, int bytes) {
  const auto frames = static_cast<std::size_t>(bytes) / 4;
  auto* out = reinterpret_cast<std::int16_t*>(stream);
  const std::size_t done =
      openmpt_module_read_interleaved_stereo(static_cast<openmpt_module*>(module), sound::kOutputRate, frames, out);
  std::memset(out + 2 * done, 0, (frames - done) * 4);
}

// The window as the intro opens it: borderless, its frame copied into the
// window's own pixels without a GPU driver.
std::unique_ptr<SDL_Window, WindowDeleter> OpenWindow() {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  std::unique_ptr<SDL_Window, WindowDeleter> window(
      SDL_CreateWindow("floor", kLeft, kTop, kWidth, kHeight, SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN));
  if (window && SDL_GetWindowSurface(window.get()) != nullptr) SDL_ShowWindow(window.get());
  return window;
}

void Present(SDL_Window* window, const std::vector<Uint32>& frame) {
  SDL_Surface* screen = SDL_GetWindowSurface(window);
  if (screen == nullptr) return;
  SDL_LockSurface(screen);
  for (int y = 0; y < kHeight; ++y) {
    std::memcpy(static_cast<Uint8*>(screen->pixels) + static_cast<std::ptrdiff_t>(y) * screen->pitch,
                frame.data() + static_cast<std::ptrdiff_t>(y) * kWidth, std::size_t{kWidth} * 4);
  }
  SDL_UnlockSurface(screen);
  SDL_UpdateWindowSurface(window);
}

}  // namespace

int RunFloorChild(const std::filesystem::path& folder, int seconds, int report_fd, std::int64_t started_ns) {
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0) return 1;
  std::ifstream in(folder / "LIGHT.S3M", std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::unique_ptr<openmpt_module, ModuleDeleter> module(openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!module) return 1;
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(sound::kOutputRate);
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = bassmod::output_buffer_frames;  // as the library asks
  wanted.callback = &Render;
  wanted.userdata = module.get();
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  if (device == 0) return 1;
  SDL_PauseAudioDevice(device, 0);
  const auto window = OpenWindow();
  if (!window) return 1;

  // A frame that changes every time: a bar that walks down it.
  std::vector<Uint32> frame(static_cast<std::size_t>(kWidth) * kHeight, 0xA0A0A0);
  Report report;
  for (std::int64_t due = MonotonicNs(), n = 0;; due += kFrameNs, ++n) {
    const std::size_t row = static_cast<std::size_t>(n % kHeight) * kWidth;
    std::fill_n(frame.begin() + static_cast<std::ptrdiff_t>(row), kWidth, static_cast<Uint32>(n * 0x010101));
    Present(window.get(), frame);
    if (report.first_present_ns < 0) {
      report.first_present_at = MonotonicNs();
      report.first_present_ns = report.first_present_at - started_ns;
      report.cpu_at_first_present_ns = ProcessCpuNs();
      report.main_cpu_at_first_present_ns = ThreadCpuNowNs();
    }
    if (MonotonicNs() - report.first_present_at >= std::int64_t{seconds} * 1'000'000'000) break;
    // Wait for the next frame, handling whatever the display sends meanwhile.
    for (std::int64_t left = due + kFrameNs - MonotonicNs(); left > 0; left = due + kFrameNs - MonotonicNs()) {
      SDL_Event event;
      if (SDL_WaitEventTimeout(&event, static_cast<int>((left + 999'999) / 1'000'000)) && event.type == SDL_QUIT) {
        return 0;
      }
    }
  }
  report.main_cpu_at_end_ns = ThreadCpuNowNs();
  report.cpu_at_end_ns = ProcessCpuNs();
  report.end_at = MonotonicNs();
  report.status = 0;
  report.threads = ThreadCpuNs();
  SDL_CloseAudioDevice(device);
  return WriteAll(report_fd, report.Text()) ? 0 : 1;
}

// Steps on the way to the first frame, each with the time it took.
class Phases {
 public:
  explicit Phases(std::int64_t started_ns) : last_(started_ns) { report_.status = 0; }
  void Done(const char* name) {
    const std::int64_t now = MonotonicNs();
    report_.phases.emplace_back(name, now - last_);
    last_ = now;
  }
  std::string Text() const { return report_.Text(); }

 private:
  std::int64_t last_;
  Report report_;
};

int RunMinimalChild(int report_fd, std::int64_t started_ns) {
  Phases phase(started_ns);
  phase.Done("process start to main");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return 1;
  phase.Done("SDL video (display connection)");
  const auto window = OpenWindow();
  if (!window) return 1;
  Present(window.get(), std::vector<Uint32>(static_cast<std::size_t>(kWidth) * kHeight, 0));
  phase.Done("window shown with its first frame");
  return WriteAll(report_fd, phase.Text()) ? 0 : 1;
}

int RunStartUpChild(const std::filesystem::path& folder, int report_fd, std::int64_t started_ns) {
  Phases phase(started_ns);
  phase.Done("process start to main");
  try {
    tk::SdlBackend backend;
    phase.Done("SDL video (display connection)");
    const zenora::Assets assets = zenora::LoadAssets();
    phase.Done("images decoded");
    sound::Bassmod bassmod(folder);
    zenora::ZENOrA form(backend, bassmod, assets, folder);
    form.Form_Initialize();
    phase.Done("library loaded, version, BASSMOD_Init");
    form.Form_Load();
    phase.Done("Form_Load (music loaded and playing)");
    form.Loop().Show();
    phase.Done("window shown with its first frame");
  } catch (...) {
    return 1;
  }
  return WriteAll(report_fd, phase.Text()) ? 0 : 1;
}

}  // namespace timing
