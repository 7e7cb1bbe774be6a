#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/zenora.hpp"
#include "sound/bassmod.hpp"
#include "toolkit/headless_backend.hpp"

namespace zenora::testing {

inline const std::filesystem::path kBuildDir = ZENORA_BUILD_DIR;

// A program folder of its own: the chosen library, and the music unless left out.
class ProgramFolder {
 public:
  explicit ProgramFolder(const std::string& name, const std::filesystem::path& library = kBuildDir / "libbassmod.so",
                         bool with_music = true)
      : path_(std::filesystem::temp_directory_path() / ("zenora-test-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    if (!library.empty()) std::filesystem::create_symlink(library, path_ / "libbassmod.so");
    if (with_music) std::filesystem::create_symlink(kBuildDir / "LIGHT.S3M", path_ / "LIGHT.S3M");
  }
  ~ProgramFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline const Assets& SharedAssets() {
  static const Assets assets = LoadAssets();
  return assets;
}

// The whole form on the headless backend, created, initialised and loaded as
// the program does it, on a virtual clock starting when Form_Load returns.
class HeadlessIntro {
 public:
  explicit HeadlessIntro(const ProgramFolder& folder) : folder_(folder.Path()), bassmod_(folder.Path()) {
    form_ = std::make_unique<ZENOrA>(backend_, bassmod_, SharedAssets(), folder.Path());
    form_->Form_Initialize();
    form_->Form_Load();
    form_->Loop().Show();
  }
  ~HeadlessIntro() {
    form_.reset();
    // The library lives on in the process: give the next test a fresh one.
    if (void* library = dlopen((folder_ / "libbassmod.so").c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      if (auto* free_library = reinterpret_cast<int (*)()>(dlsym(library, "BASSMOD_Free"))) free_library();
      dlclose(library);
    }
  }
  HeadlessIntro(const HeadlessIntro&) = delete;
  HeadlessIntro& operator=(const HeadlessIntro&) = delete;

  ZENOrA& Form() { return *form_; }
  tk::HeadlessBackend& Backend() { return backend_; }
  void RunUntil(std::int64_t ms) { form_->Loop().RunUntil(backend_.Clock(), ms); }
  const tk::Surface& Frame() { return backend_.LastFrame(); }
  std::string State() const { return form_->StateJson(backend_.GetClock().NowMs()); }
  // One field of the state, as its JSON text.
  std::string Field(const std::string& key) const {
    const std::string state = State();
    const auto at = state.find("\"" + key + "\": ");
    if (at == std::string::npos) return "<missing " + key + ">";
    const auto begin = at + key.size() + 4;
    const auto end = state[begin] == '[' ? state.find(']', begin) + 1 : state.find_first_of(",\n}", begin);
    return state.substr(begin, end - begin);
  }
  void Mouse(tk::MouseEvent::Kind kind, int x, int y, std::int16_t button) {
    backend_.Inject(tk::MouseEvent{kind, x, y, button, 0});
    form_->Loop().DoEvents();
  }

 private:
  std::filesystem::path folder_;
  tk::HeadlessBackend backend_;
  sound::Bassmod bassmod_;
  std::unique_ptr<ZENOrA> form_;
};

}  // namespace zenora::testing
