#pragma once

#include <functional>
#include <string_view>

namespace tk {

class Backend;

// Runs the program body as the runtime does: an immediate end gives its
// status; anything else that reaches the top ends the program with status 1:
// an untrapped run-time error (out of memory is error 7, any other fault 51)
// in the runtime's error box titled with the program's name, a lost display
// in the one "no display" line on stderr. A box that cannot be shown goes to
// stderr instead.
int RunGuarded(Backend& backend, std::string_view program_name, const std::function<int()>& body);

// For the catch-all of main(), before there is a window to show a box on:
// reports the exception being handled on stderr as RunGuarded would, and
// gives status 1.
int ReportUncaught(std::string_view program_name) noexcept;

// The program's one line for a display it cannot open or has lost.
void ReportNoDisplay(std::string_view program_name, std::string_view why) noexcept;

}  // namespace tk
