#include "soundlib/audio_output.hpp"

#include "soundlib/bassmod.h"
#include "soundlib/failure.hpp"

#include <cstddef>

namespace bassmod {

SdlAudioSubsystem::SdlAudioSubsystem() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    throw Failure{BASSMOD_ERROR_DRIVER};
  }
}

SdlAudioSubsystem::~SdlAudioSubsystem() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

AudioOutput::AudioOutput(int device, std::int32_t rate, Player& player) : player_(player), rate_(rate) {
  const char* name = nullptr;  // SDL's default output
  if (device > 0) {
    if (device > SDL_GetNumAudioDevices(0)) {
      throw Failure{BASSMOD_ERROR_DEVICE};
    }
    name = SDL_GetAudioDeviceName(device - 1, 0);
    if (name == nullptr) {
      throw Failure{BASSMOD_ERROR_DEVICE};
    }
  }

  SDL_AudioSpec wanted{};
  wanted.freq = rate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = output_buffer_frames;
  wanted.callback = &AudioOutput::callback;
  wanted.userdata = this;
  // No allowed changes: SDL converts to whatever the hardware takes.
  device_ = SDL_OpenAudioDevice(name, 0, &wanted, nullptr, 0);
  if (device_ == 0) {
    throw Failure{BASSMOD_ERROR_DRIVER};
  }
  SDL_PauseAudioDevice(device_, 0);
}

AudioOutput::~AudioOutput() { SDL_CloseAudioDevice(device_); }

void AudioOutput::callback(void* self, Uint8* stream, int bytes) {
  auto& output = *static_cast<AudioOutput*>(self);
  constexpr std::size_t frame_bytes = 2 * sizeof(std::int16_t);
  output.player_.render(reinterpret_cast<std::int16_t*>(stream), static_cast<std::size_t>(bytes) / frame_bytes,
                        output.rate_);
}

}  // namespace bassmod
