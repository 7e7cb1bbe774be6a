// The sound library linked into the program where nothing loads it from a
// file (WebAssembly): the exports libbassmod.so has, by name. Bassmod finds
// them as it finds those of the file, the version check included.
#include "bassmod.h"
#include "bassmod.hpp"
#include "library.hpp"

namespace {

template <typename Fn>
void* Address(Fn* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace

std::span<const tk::LinkedLibrary> tk::LinkedLibraries() {
  static const LinkedExport kBassmod[] = {
      {"BASSMOD_GetVersion", Address(&BASSMOD_GetVersion)},
      {"BASSMOD_Init", Address(&BASSMOD_Init)},
      {"BASSMOD_Free", Address(&BASSMOD_Free)},
      {"BASSMOD_MusicLoad", Address(&BASSMOD_MusicLoad)},
      {"BASSMOD_MusicPlay", Address(&BASSMOD_MusicPlay)},
      {"BASSMOD_MusicStop", Address(&BASSMOD_MusicStop)},
      {"BASSMOD_MusicFree", Address(&BASSMOD_MusicFree)},
      {"BASSMOD_MusicIsActive", Address(&BASSMOD_MusicIsActive)},
      {"BASSMOD_MusicGetLength", Address(&BASSMOD_MusicGetLength)},
      {"BASSMOD_SetDefaultDevice", Address(&BASSMOD_SetDefaultDevice)},
      {"BASSMOD_MusicDecode", Address(&BASSMOD_MusicDecode)},
      {"BASSMOD_ErrorGetCode", Address(&BASSMOD_ErrorGetCode)},
  };
  static const LinkedLibrary kLibraries[] = {{sound::Bassmod::kFileName, kBassmod}};
  return kLibraries;
}
