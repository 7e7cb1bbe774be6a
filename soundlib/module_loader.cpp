#include "module_loader.hpp"

#include "bassmod.h"
#include "failure.hpp"
#include "module_file.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace bassmod {
namespace {

void check_size(std::uint64_t total) {
  if (total > max_module_bytes) {
    throw Failure{BASSMOD_ERROR_MEMORY};
  }
}

std::size_t probe_size(std::uint64_t total) {
  return static_cast<std::size_t>(std::min<std::uint64_t>(openmpt_probe_file_header_get_recommended_size(), total));
}

// The header probe is cheap and refuses junk of any size before it is read.
void probe(std::span<const std::byte> head, std::uint64_t total) {
  if (total == 0) {
    throw Failure{BASSMOD_ERROR_FORMAT};
  }
  int error = OPENMPT_ERROR_OK;
  const int result =
      openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, head.data(), head.size(), total,
                                openmpt_log_func_silent, nullptr, openmpt_error_func_ignore, nullptr, &error, nullptr);
  switch (result) {
    case OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS:
    case OPENMPT_PROBE_FILE_HEADER_RESULT_WANTMOREDATA:  // the full parse decides
      return;
    case OPENMPT_PROBE_FILE_HEADER_RESULT_FAILURE: throw Failure{BASSMOD_ERROR_FORMAT};
    default: throw Failure{error == OPENMPT_ERROR_OUT_OF_MEMORY ? BASSMOD_ERROR_MEMORY : BASSMOD_ERROR_FORMAT};
  }
}

void apply_flags(openmpt_module* module, std::uint32_t flags) {
  openmpt_module_set_repeat_count(module, (flags & BASSMOD_MUSIC_LOOP) != 0 ? -1 : 0);
  // libopenmpt's own ramping already adapts to each volume change, so both
  // ramping flags take its recommended strength; without either the mixer
  // does none at all.
  const bool ramping = (flags & (BASSMOD_MUSIC_RAMP | BASSMOD_MUSIC_RAMPS)) != 0;
  openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, ramping ? -1 : 0);
  openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT,
                                  (flags & BASSMOD_MUSIC_SURROUND) != 0 ? 200 : 100);
  // No dither (its noise is seeded at random): the same music gives the same
  // samples on every run, to an output or decoded.
  openmpt_module_ctl_set_integer(module, "dither", 0);
}

ModulePtr create_module(std::span<const std::byte> data, std::uint32_t flags) {
  int error = OPENMPT_ERROR_OK;
  ModulePtr module(openmpt_module_create_from_memory2(data.data(), data.size(), openmpt_log_func_silent, nullptr,
                                                      openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr));
  if (!module) {
    throw Failure{error == OPENMPT_ERROR_OUT_OF_MEMORY ? BASSMOD_ERROR_MEMORY : BASSMOD_ERROR_FORMAT};
  }
  apply_flags(module.get(), flags);
  return module;
}

}  // namespace

ModulePtr load_module_file(const char* path, std::uint32_t offset, std::uint32_t length, std::uint32_t flags) {
  if (path == nullptr) {
    throw Failure{BASSMOD_ERROR_FILE_OPEN};
  }
  const ModuleFile file(path);

  // A part reaching past the end is cut at the end; one starting past it is empty.
  const std::uint64_t size = file.size();
  const std::uint64_t available = offset < size ? size - offset : 0;
  const std::uint64_t total = length == 0 ? available : std::min<std::uint64_t>(length, available);
  check_size(total);

  // Probe before the whole part is even allocated.
  std::vector<std::byte> head(probe_size(total));
  file.read(head, offset);
  probe(head, total);

  std::vector<std::byte> data(static_cast<std::size_t>(total));
  std::copy(head.begin(), head.end(), data.begin());
  file.read(std::span(data).subspan(head.size()), offset + head.size());
  return create_module(data, flags);
}

ModulePtr load_module_memory(const void* data, std::uint32_t offset, std::uint32_t length, std::uint32_t flags) {
  if (data == nullptr) {
    throw Failure{BASSMOD_ERROR_ILLEGAL_PARAM};
  }
  check_size(length);
  const std::span<const std::byte> bytes(static_cast<const std::byte*>(data) + offset, length);
  probe(bytes.first(probe_size(length)), length);
  return create_module(bytes, flags);
}

void warm_up_mixer() noexcept {
  // A ProTracker module: a title and 31 empty samples, one order playing
  // pattern 0, the "M.K." tag, and that pattern (64 rows of 4 cells), empty.
  constexpr std::size_t title = 20;
  constexpr std::size_t samples = std::size_t{31} * 30;
  constexpr std::size_t song = 2;  // its length, then a byte nothing reads
  constexpr std::size_t orders = 128;
  constexpr std::string_view tag = "M.K.";
  constexpr std::size_t pattern = std::size_t{64} * 4 * 4;
  std::array<std::byte, title + samples + song + orders + tag.size() + pattern> smallest{};
  smallest[title + samples] = std::byte{1};
  std::transform(tag.begin(), tag.end(), smallest.begin() + title + samples + song + orders,
                 [](char c) { return std::byte(c); });
  try {
    create_module(smallest, 0);
  } catch (const Failure&) {
    // Short of memory now: the first real load works the tables out, or says so.
  }
}

}  // namespace bassmod
