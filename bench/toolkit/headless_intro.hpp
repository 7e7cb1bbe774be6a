#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "errors.hpp"
#include "headless_backend.hpp"
#include "zenora.hpp"

namespace bench {

inline const std::filesystem::path kBuildDir = ZENORA_BUILD_DIR;

// The form as the program builds it, initialised and loaded, on a virtual
// clock, the music playing to no sound device: a benchmark runs on a machine
// without sound, and measures the form, not the audio.
class HeadlessIntro {
 public:
  HeadlessIntro() {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    bassmod_ = std::make_unique<sound::Bassmod>(kBuildDir);
    form_ = std::make_unique<zenora::ZENOrA>(backend_, *bassmod_, assets_, kBuildDir);
    try {
      form_->Form_Initialize();
      form_->Form_Load();
      form_->Loop().Show();
    } catch (const tk::ProgramEnd&) {  // a start-up check failed; its box says which
      throw std::runtime_error(Boxes());
    }
  }
  ~HeadlessIntro() {
    form_.reset();
    if (void* library = dlopen((kBuildDir / sound::Bassmod::kFileName).c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      if (auto* free_library = reinterpret_cast<int (*)()>(dlsym(library, "BASSMOD_Free"))) free_library();
      dlclose(library);
    }
  }
  HeadlessIntro(const HeadlessIntro&) = delete;
  HeadlessIntro& operator=(const HeadlessIntro&) = delete;

  zenora::ZENOrA& Form() { return *form_; }
  std::int64_t NowMs() { return backend_.Clock().NowMs(); }
  // Runs every tick due up to ms, then presents the frame.
  void RunUntil(std::int64_t ms) { form_->Loop().RunUntil(backend_.Clock(), ms); }

 private:
  std::string Boxes() const {
    std::string text = "the intro did not start:";
    for (const auto& box : backend_.Boxes()) text += " [" + box.prompt + "]";
    return text;
  }

  tk::HeadlessBackend backend_;
  zenora::Assets assets_ = zenora::LoadAssets();
  std::unique_ptr<sound::Bassmod> bassmod_;
  std::unique_ptr<zenora::ZENOrA> form_;
};

}  // namespace bench
