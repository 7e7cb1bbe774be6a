#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "library.hpp"

namespace sound {

// The sound library, loaded at run time from the program's folder. Each
// export is looked up by name at its first call and kept. A missing library
// or export raises the run-time error of the program.
class Bassmod {
 public:
  explicit Bassmod(std::filesystem::path folder);
  ~Bassmod();
  Bassmod(const Bassmod&) = delete;
  Bassmod& operator=(const Bassmod&) = delete;

  std::uint32_t BASSMOD_GetVersion();
  std::int32_t BASSMOD_Init(std::int32_t device, std::uint32_t freq, std::uint32_t flags);
  std::int32_t BASSMOD_MusicLoad(std::int32_t mem, const char* file, std::uint32_t offset, std::uint32_t length,
                                 std::uint32_t flags);
  std::int32_t BASSMOD_MusicPlay();
  void BASSMOD_MusicFree();
  std::int32_t BASSMOD_ErrorGetCode();
  // Any other export, found the same way: for a tool that drives the library
  // beside the program (the capture tool decodes the music through it).
  void* Export(const char* name);

  // The library's file as its build names it: libbassmod.so, bassmod.dll.
  static constexpr const char* kFileName = BASSMOD_FILE_NAME;

 private:
  void* Entry(const char* name, void*& slot);

  std::filesystem::path folder_;
  std::optional<tk::Library> library_;  // loaded at the first call
  void* get_version_ = nullptr;
  void* init_ = nullptr;
  void* music_load_ = nullptr;
  void* music_play_ = nullptr;
  void* music_free_ = nullptr;
  void* error_get_code_ = nullptr;
};

// The output rate the program asks the library for, in Hz; whatever renders
// the music for the program (a video's sound track) renders it at this rate.
inline constexpr std::uint32_t kOutputRate = 44100;

// Flags the music is loaded with: sensitive volume ramping plus surround.
// The loop flag (4) is not among them: the module plays once.
inline constexpr std::uint32_t kMusicFlags = 514;

// The upper 16 bits: the quotient by 65536 truncated toward zero, then its low 16 bits.
constexpr std::int32_t HiWord(std::int32_t value) { return (value / 65536) & 0xFFFF; }
constexpr std::int32_t LoWord(std::int32_t value) { return value & 0xFFFF; }

// "major.minor" from the library's version value.
std::string VersionText(Bassmod& bassmod);

// The text of a library error code; empty for codes outside the table.
std::string_view ErrorText(std::int32_t code);

// The error box prompt: the message, an empty line, the code and its text.
std::string ErrorPrompt(std::string_view message, std::int32_t code);

}  // namespace sound
