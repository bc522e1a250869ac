#pragma once
// Whether two names lead to one file, for refusing to write over a file by another name.
// SameFilePosix.cpp and SameFileWin32.cpp implement it; paths are as CFileReplacer takes
// them, relative to the working directory.

#include <string>

namespace vantrell {

// The path a replacement of path writes: on POSIX systems the end of its chain of
// links, which CFileReplacer follows; path itself on Windows, where the replacer
// refuses links. path itself when the chain cannot be read.
std::string FinalTarget(const std::string& path);

// True when both exist and are one file (hard links included).
bool SameFile(const std::string& a, const std::string& b);

} // namespace vantrell
