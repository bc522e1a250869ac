#pragma once
// `Vantrell.exe --plan ...`: the plan printed where the user started the program. The
// program is a GUI-subsystem one, so it has no console of its own.

#include <optional>

namespace vantrell::win32 {

// When the command line asks for a plan: prints it and gives the exit status (0, 2 for
// bad usage, 1 if the plan could be written nowhere). Otherwise nothing, having done
// nothing. Opens no window, writes no file and never touches the single-copy mutex;
// call before the single-copy check.
std::optional<int> RunPlanIfAsked();

} // namespace vantrell::win32
