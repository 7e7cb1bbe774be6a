// The library's lifetime as a Windows DLL. Windows unloads a DLL holding its
// loader lock, and a thread can only end by taking that lock: the output's
// thread cannot be waited for then. So once an output runs the DLL pins
// itself and stays for the life of the process; at the process's end Windows
// has already stopped every other thread, and nothing is left to close.
#include "lifetime.hpp"

#include <windows.h>

namespace bassmod {

namespace {

void pin() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&pin), &self);
}

}  // namespace

void hook_unload() { pin(); }

void stay_loaded() { pin(); }

}  // namespace bassmod

// An unload with no output ever opened: the music goes. At the process's end
// (reserved set) nothing runs: the other threads are gone.
extern "C" BOOL WINAPI DllMain(HINSTANCE /*self*/, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) bassmod::tear_down_library();
  return TRUE;
}
