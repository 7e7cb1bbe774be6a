#include "runtime.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <initializer_list>
#include <new>

#include "backend.hpp"
#include "errors.hpp"

namespace tk {

namespace {

// The runtime's numbers for faults that are not its own run-time errors.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

// One line on stderr in one write, put together without allocating: it may
// be the last word of a program that has run out of memory. Cut at 1 KB.
void WriteLine(std::initializer_list<std::string_view> parts) noexcept {
  std::array<char, 1024> line{};
  std::size_t size = 0;
  for (const std::string_view part : parts) {
    const std::size_t n = std::min(part.size(), line.size() - 1 - size);
    std::copy_n(part.data(), n, line.data() + size);
    size += n;
  }
  line[size++] = '\n';
  static_cast<void>(std::fwrite(line.data(), 1, size, stderr));
  static_cast<void>(std::fflush(stderr));
}

void ShowRuntimeError(Backend* backend, std::string_view program_name, int number, std::string_view text) noexcept {
  if (backend != nullptr) {
    try {
      backend->MsgBox(program_name, RuntimeErrorPrompt(number, text), kCritical);
      return;
    } catch (...) {  // no memory or no display for the box: its words go to stderr
    }
  }
  std::array<char, 16> digits{};
  const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
  WriteLine({program_name, ": Run-time error '",
             std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())), "': ", text});
}

// Reports the exception being handled; returns the exit status.
int ReportCurrent(Backend* backend, std::string_view program_name) noexcept {
  try {
    throw;
  } catch (const ProgramEnd& end) {
    return end.status;
  } catch (const RuntimeError& error) {
    ShowRuntimeError(backend, program_name, error.Number(), error.what());
  } catch (const std::bad_alloc&) {
    ShowRuntimeError(backend, program_name, kOutOfMemory, "Out of memory");
  } catch (const DisplayUnfit& error) {
    WriteLine({program_name, ": ", error.what()});
  } catch (const NoDisplay& error) {
    ReportNoDisplay(program_name, error.what());
  } catch (const std::exception& error) {
    ShowRuntimeError(backend, program_name, kInternalError, error.what());
  } catch (...) {
    ShowRuntimeError(backend, program_name, kInternalError, "Internal error");
  }
  return 1;
}

}  // namespace

int RunGuarded(Backend& backend, std::string_view program_name, const std::function<int()>& body) {
  try {
    return body();
  } catch (...) {
    return ReportCurrent(&backend, program_name);
  }
}

int ReportUncaught(std::string_view program_name) noexcept { return ReportCurrent(nullptr, program_name); }

void ReportNoDisplay(std::string_view program_name, std::string_view why) noexcept {
  WriteLine({program_name, ": no display to open the window on (", why, ")"});
}

}  // namespace tk
