#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace tk {

class Backend;

// The folder of the running program, with symbolic links resolved.
std::filesystem::path ProgramFolder();

// Makes the folder the current directory (one drive here: nothing to switch first).
void ChangeDirectory(const std::filesystem::path& folder);

// Runs the program body as the runtime does: an immediate end gives its
// status; an untrapped run-time error shows the runtime's error box, titled
// with the program's name, and gives status 1.
int RunGuarded(Backend& backend, std::string_view program_name, const std::function<int()>& body);

}  // namespace tk
