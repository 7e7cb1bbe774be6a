#pragma once

// Where the library meets its own loading and unloading: one file per
// platform (lifetime_posix.cpp, lifetime_windows.cpp).
namespace bassmod {

// Once an output runs, called with the library's lock held: before the
// process's end or an unload takes away our code, or libopenmpt's and the
// C++ runtime's objects while the audio thread may still use them, the
// output is closed (tear_down_library), or the library is kept loaded where
// the output cannot be closed then.
void hook_unload();

// A thread left inside SDL runs our code again whenever SDL returns: from now
// on the library is never unloaded.
void stay_loaded();

// Closes the output and frees the music; called by the platform file when the
// library goes.
void tear_down_library() noexcept;

}  // namespace bassmod
