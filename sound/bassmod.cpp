#include "bassmod.hpp"

#include <array>
#include <utility>

#include "errors.hpp"

namespace sound {

namespace {

using GetVersionFn = std::uint32_t();
using InitFn = std::int32_t(std::int32_t, std::uint32_t, std::uint32_t);
using MusicLoadFn = std::int32_t(std::int32_t, const void*, std::uint32_t, std::uint32_t, std::uint32_t);
using MusicPlayFn = std::int32_t();
using MusicFreeFn = void();
using ErrorGetCodeFn = std::int32_t();

template <typename Fn>
Fn* As(void* entry) {
  return reinterpret_cast<Fn*>(entry);
}

}  // namespace

Bassmod::Bassmod(std::filesystem::path folder) : folder_(std::move(folder)) {}

Bassmod::~Bassmod() = default;

void* Bassmod::Entry(const char* name, void*& slot) {
  if (slot) return slot;
  // Only the program's own copy: a library of the same name found elsewhere
  // on the system is not ours. A missing library is "File not found"; one
  // that is there but cannot be loaded is "Error in loading DLL", whatever is
  // wrong with it.
  if (!library_) {
    try {
      library_.emplace(folder_ / kFileName);
    } catch (const tk::Library::Error& e) {
      if (e.Kind() == tk::Library::Fault::Missing) throw tk::RuntimeError::FileNotFound(kFileName);
      throw tk::RuntimeError::ErrorInLoadingDll();
    }
  }
  slot = library_->Find(name);
  if (!slot) throw tk::RuntimeError::EntryPointNotFound(name, kFileName);
  return slot;
}

std::uint32_t Bassmod::BASSMOD_GetVersion() { return As<GetVersionFn>(Entry("BASSMOD_GetVersion", get_version_))(); }

std::int32_t Bassmod::BASSMOD_Init(std::int32_t device, std::uint32_t freq, std::uint32_t flags) {
  return As<InitFn>(Entry("BASSMOD_Init", init_))(device, freq, flags);
}

std::int32_t Bassmod::BASSMOD_MusicLoad(std::int32_t mem, const char* file, std::uint32_t offset, std::uint32_t length,
                                        std::uint32_t flags) {
  return As<MusicLoadFn>(Entry("BASSMOD_MusicLoad", music_load_))(mem, file, offset, length, flags);
}

std::int32_t Bassmod::BASSMOD_MusicPlay() { return As<MusicPlayFn>(Entry("BASSMOD_MusicPlay", music_play_))(); }

void Bassmod::BASSMOD_MusicFree() { As<MusicFreeFn>(Entry("BASSMOD_MusicFree", music_free_))(); }

std::int32_t Bassmod::BASSMOD_ErrorGetCode() {
  return As<ErrorGetCodeFn>(Entry("BASSMOD_ErrorGetCode", error_get_code_))();
}

void* Bassmod::Export(const char* name) {
  void* entry = nullptr;
  return Entry(name, entry);
}

std::string VersionText(Bassmod& bassmod) {
  // Two calls, one per half, as the version value is read twice.
  const auto first = std::to_string(LoWord(static_cast<std::int32_t>(bassmod.BASSMOD_GetVersion())));
  const auto second = std::to_string(HiWord(static_cast<std::int32_t>(bassmod.BASSMOD_GetVersion())));
  return first + "." + second;
}

std::string_view ErrorText(std::int32_t code) {
  static constexpr std::array<std::pair<std::int32_t, std::string_view>, 15> kTexts{{
      {-1, "Some Other Mystery Error"},
      {0, "All is OK"},
      {1, "Memory Error"},
      {2, "Can't Open the File"},
      {3, "Can't Find a Free Sound Driver"},
      {5, "Invalid Handle"},
      {6, "Unsupported Format"},
      {7, "Invalid Playback Position"},
      {8, "BASS_Init Has Not Been Successfully Called"},
      {14, "Already Initialized"},
      {16, "Not Paused"},
      {19, "An Illegal Type Was Specified"},
      {20, "An Illegal Parameter Was Specified"},
      {23, "Illegal Device Number"},
      {24, "Not Playing"},
  }};
  for (const auto& [known, text] : kTexts) {
    if (known == code) return text;
  }
  return {};
}

std::string ErrorPrompt(std::string_view message, std::int32_t code) {
  std::string prompt(message);
  prompt += "\r\n\r\nError Code : ";
  prompt += std::to_string(code);
  prompt += "\r\n";
  prompt += ErrorText(code);
  return prompt;
}

}  // namespace sound
