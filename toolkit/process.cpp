#include "toolkit/process.hpp"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <new>

#include "toolkit/backend.hpp"
#include "toolkit/errors.hpp"

// The program's folder: where its file is.
#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>

// Run by Node, the program is its .js file, wherever Node was started; a page
// has no program file, and the current folder stands for it.
EM_JS(char*, zenora_script_folder, (), { return typeof __dirname == 'string' ? allocateUTF8(__dirname) : 0; });

std::filesystem::path tk::ProgramFolder() {
  const std::unique_ptr<char, decltype(&std::free)> folder(zenora_script_folder(), &std::free);
  return folder ? std::filesystem::path(folder.get()) : std::filesystem::current_path();
}
#else
std::filesystem::path tk::ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}
#endif

namespace tk {

namespace {

// The runtime's numbers for faults that are not its own run-time errors.
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

// One line on stderr, written without allocating: it may be the last word of
// a program that has run out of memory.
void WriteLine(std::initializer_list<std::string_view> parts) noexcept {
  std::array<iovec, 8> pieces{};
  std::size_t count = 0;
  for (const std::string_view part : parts) {
    if (count + 1 == pieces.size()) break;
    pieces[count++] = iovec{const_cast<char*>(part.data()), part.size()};
  }
  pieces[count++] = iovec{const_cast<char*>("\n"), 1};
  static_cast<void>(writev(STDERR_FILENO, pieces.data(), static_cast<int>(count)));
}

void ShowRuntimeError(Backend* backend, std::string_view program_name, int number, std::string_view text) noexcept {
  if (backend != nullptr) {
    try {
      backend->MessageBox(program_name, RuntimeErrorPrompt(number, text), kCritical);
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

void ChangeDirectory(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::current_path(folder, ec);
}

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

bool OpenStandardDescriptors() noexcept {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number, which is this one: the ones below are open.
    const int opened = open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened != fd) {
      if (opened >= 0) close(opened);
      return false;
    }
  }
  return true;
}

}  // namespace tk
