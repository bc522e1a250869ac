#pragma once
// Reading a small file whole without ever waiting on something that is not a plain file:
// the part of RequestFile.cpp that speaks to the operating system. SmallFilePosix.cpp and
// SmallFileWin32.cpp implement it.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrell {

enum class SmallFile {
    Read,       // text holds the whole file
    Missing,    // no file by that name
    Unreadable, // it exists but could not be opened or read
    NotPlain,   // a FIFO, folder, socket or device
    TooLarge,   // more than maxBytes
};

// Reads the file at path (relative to the working directory; a symbolic link is
// followed, as the writers do) into text, which is set only on Read. The open never waits
// on the far end of a FIFO or a device: POSIX opens non-blocking, Windows opens nothing
// that waits, and the opened handle's own type decides whether it is a plain disk file.
// A file larger than maxBytes is refused without reading past maxBytes. Names are as
// CFileReplacer takes them (the ANSI code page on Windows). Any thread.
SmallFile ReadSmallFile(std::string_view path, std::uint64_t maxBytes, std::string& text);

// The same, saying why not in one sentence for the user that names the file as path gives
// it: "There is no file "x.kml".", "... is larger than 16 MB." (maxBytes whole MB).
bool ReadSmallFileOrSay(std::string_view path, std::uint64_t maxBytes, std::string& text, std::string& error);

} // namespace vantrell
