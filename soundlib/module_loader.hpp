#pragma once

#include <libopenmpt/libopenmpt.h>

#include <cstdint>
#include <memory>

namespace bassmod {

struct ModuleDeleter {
  void operator()(openmpt_module* module) const noexcept { openmpt_module_destroy(module); }
};
using ModulePtr = std::unique_ptr<openmpt_module, ModuleDeleter>;

// Both loaders probe the header first, so that data libopenmpt cannot read is
// refused before anything large is read or parsed. They throw Failure with
// BASSMOD_ERROR_FILE_OPEN, _FORMAT, _MEMORY or _ILLEGAL_PARAM.

// The largest module either loader takes; anything larger is refused with
// BASSMOD_ERROR_MEMORY before a byte of it is read. Tracker modules are small
// (a few hundred KB is typical, the largest sample-heavy ones reach tens of
// MB), while a file of gigabytes would be read whole, on the caller's thread,
// and need as much memory again to parse. 64 MiB keeps the worst case to a
// fraction of a second and a few hundred MB.
inline constexpr std::uint64_t max_module_bytes = std::uint64_t{64} << 20U;

// offset/length select a part of the file; length 0 means up to its end.
ModulePtr load_module_file(const char* path, std::uint32_t offset, std::uint32_t length, std::uint32_t flags);
ModulePtr load_module_memory(const void* data, std::uint32_t offset, std::uint32_t length, std::uint32_t flags);

// libopenmpt works out its mixing tables once a process, in its first module
// (12 ms on a desktop, three times that under wine): this loads and drops
// the smallest module, so that the first real load does not wait for them.
void warm_up_mixer() noexcept;

}  // namespace bassmod
