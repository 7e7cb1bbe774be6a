// The library's lifetime as an ELF shared object (and linked into a WebAssembly
// program): its exit hook is bound to the object, so it runs at exit or when
// the object is unloaded, whichever comes first.
#include "lifetime.hpp"

#include <dlfcn.h>

// The C++ ABI's exit registration, bound to the shared object it is called for.
// NOLINTBEGIN(bugprone-reserved-identifier): the ABI's own names
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso_handle);
extern "C" void* __dso_handle;
// NOLINTEND(bugprone-reserved-identifier)

namespace bassmod {

namespace {

bool exit_hooked = false;  // under the library's lock

void tear_down_at_exit(void* /*unused*/) { tear_down_library(); }

// The host may dlclose us while music plays: no callback may run into
// unmapped code afterwards.
__attribute__((destructor)) void unload_library() { tear_down_library(); }

}  // namespace

// Handlers registered later run earlier at exit, so this one runs before
// libopenmpt's and the C++ runtime's static objects are destroyed. Registered
// against this shared object (as std::atexit would be, unless a sanitiser's
// own atexit takes its place), it also runs, and is dropped, when we are
// unloaded.
void hook_unload() {
  if (!exit_hooked) exit_hooked = __cxa_atexit(&tear_down_at_exit, nullptr, &__dso_handle) == 0;
}

void stay_loaded() {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&stay_loaded), &self) != 0 && self.dli_fname != nullptr) {
    static_cast<void>(dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE));
  }
}

}  // namespace bassmod
