// The process in WebAssembly: in a page, or run by Node (the capture tool).
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <memory>

#include "os.hpp"

// Run by Node, the program is its .js file, wherever Node was started; a page
// has no program file, and the current folder stands for it.
EM_JS(char*, zenora_script_folder, (), { return typeof __dirname == 'string' ? allocateUTF8(__dirname) : 0; });

namespace tk {

std::filesystem::path ProgramFolder() {
  const std::unique_ptr<char, decltype(&std::free)> folder(zenora_script_folder(), &std::free);
  return folder ? std::filesystem::path(folder.get()) : std::filesystem::current_path();
}

// Emscripten's streams are always there.
bool OpenStandardDescriptors() noexcept { return true; }

}  // namespace tk
