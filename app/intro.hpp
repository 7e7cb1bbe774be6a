#pragma once

#include <filesystem>
#include <functional>

#include "backend.hpp"
#include "zenora.hpp"

namespace zenora {

inline constexpr const char* kProgramName = "ZENOrA_intro";

// Creates the form, runs Form_Initialize and Form_Load, shows the window and
// hands the running form to run; returns the program's exit status. Run-time
// errors nobody traps end here with the runtime's error box. prepare, when
// given, gets the sound library the form will use before the form exists (the
// capture tool sets the library up to decode the music there). created, when
// given, gets the form once it exists, before its start-up (a page waits
// there for the click that lets sound start).
int RunIntro(tk::Backend& backend, const std::filesystem::path& app_path, const std::function<int(ZENOrA&)>& run,
             const std::function<void(sound::Bassmod&)>& prepare = {},
             const std::function<void(ZENOrA&)>& created = {});

}  // namespace zenora
