#pragma once
// The LookAt document: one KML 2.0 placemark whose LookAt is the current point.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantrell {

// The one name of the file the viewer follows, in the working directory; user-facing
// resource strings spell it out as they are written.
inline constexpr std::string_view kLookAtFileName = "Vantrell.kml";

// Line end of a text-mode file on this platform.
#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif

// Large enough for any float32 in fixed notation (39 integer digits), the widest int32
// and CR LF line ends.
inline constexpr std::size_t kLookAtDocumentMax = 512;

// The file's number formats, for tools that print points the way the file does:
// printf's "%f" of the float32 widened to double (six decimals, always a full stop) and
// "%d". Each writes at first and returns the end; last - first must cover the number.
char* FormatCoordinate(char* first, char* last, float degrees) noexcept;
char* FormatRange(char* first, char* last, std::int32_t metres) noexcept;
// Whether the file prints a and b alike: six decimals cannot tell some neighbouring
// float32 apart, and the file keeps no more. Allocates nothing.
bool PrintAlike(float a, float b) noexcept;

// Writes the 13-line document for one point into out, which holds kLookAtDocumentMax
// bytes, and returns its length. Numbers go through std::to_chars, so no locale can
// change a byte. Never allocates.
std::size_t FormatLookAt(char* out, float latitude, float longitude, std::int32_t range) noexcept;

} // namespace vantrell
