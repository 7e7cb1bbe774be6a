// The output natively: SDL's audio device, pulling on SDL's audio thread.
#include "audio_output.hpp"

#include "bassmod.h"
#include "failure.hpp"

#include <SDL.h>

#include <cstddef>

namespace bassmod {

int open_with_sdl(int device, const SDL_AudioSpec& wanted, std::uint32_t& opened) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return BASSMOD_ERROR_DRIVER;
  int error = BASSMOD_OK;
  const char* name = nullptr;  // SDL's default output
  if (device > 0) {
    name = device <= SDL_GetNumAudioDevices(0) ? SDL_GetAudioDeviceName(device - 1, 0) : nullptr;
    if (name == nullptr) error = BASSMOD_ERROR_DEVICE;
  }
  if (error == BASSMOD_OK) {
    // No allowed changes: SDL converts to whatever the hardware takes.
    opened = SDL_OpenAudioDevice(name, 0, &wanted, nullptr, 0);
    if (opened == 0) error = BASSMOD_ERROR_DRIVER;
  }
  if (error != BASSMOD_OK) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return error;
}

AudioOutput::AudioOutput(OutputOpener& opener, int device, std::int32_t rate, Player& player,
                         void (*meanwhile)() noexcept)
    : player_(player), rate_(rate) {
  SDL_AudioSpec wanted{};
  wanted.freq = rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = output_buffer_frames;
  wanted.callback = [](void* self, Uint8* stream, int bytes) {
    constexpr std::size_t frame_bytes = 2 * sizeof(std::int16_t);
    static_cast<AudioOutput*>(self)->pull(reinterpret_cast<std::int16_t*>(stream),
                                          static_cast<std::size_t>(bytes) / frame_bytes);
  };
  wanted.userdata = this;
  device_ = opener.open(device, wanted, meanwhile);
  SDL_PauseAudioDevice(device_, 0);
}

AudioOutput::~AudioOutput() {
  SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace bassmod
