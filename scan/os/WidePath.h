#pragma once
// Narrow names as Windows' wide file calls take them, past MAX_PATH. WidePathWin32.cpp
// implements it; it is built on Windows only.

#include <string>
#include <string_view>

namespace vantrell {

// name (in the ANSI code page, as the engine's file calls take names) made a full path
// against the working directory of this moment, in the extended form below; empty when
// it cannot be made (an empty name, a NUL in it, a name the code page cannot convert).
// No length limit but the system's own.
std::wstring ExtendedFullPath(std::string_view name);

// A full path, as GetFullPathNameW gives it, in the form Windows' wide calls take past
// MAX_PATH: "C:\a" becomes "\\?\C:\a" and "\\server\share\a" becomes
// "\\?\UNC\server\share\a". One already in the "\\?\" or device "\\.\" form, and anything
// that is no full path, comes back unchanged.
std::wstring ExtendedLengthPath(std::wstring_view fullPath);

} // namespace vantrell
