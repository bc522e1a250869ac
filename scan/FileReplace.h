#pragma once
// Replacing a small file whole. The only part of the engine that speaks to the
// operating system; FileReplacePosix.cpp and FileReplaceWin32.cpp implement it.

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrell {

class CFileReplacer {
public:
    // fileName: the file to keep replacing, relative to the working directory at each
    // call. The temporary file lies beside it, under a name no other replacer uses
    // ("Vantrell.kml.<process>-<n>.tmp"), so two writers never truncate each other's.
    explicit CFileReplacer(std::string_view fileName);

    // Writes data to the temporary file and moves it over the target, so that a reader
    // sees the old content or the new one, whole. On failure the target is untouched (or,
    // on Windows, rewritten in place when a reader blocks the move), no temporary file is
    // left, and false is returned. Allocates nothing.
    bool Replace(const char* data, std::size_t size) noexcept;

    const std::string& Target() const { return m_target; }
    const std::string& Temporary() const { return m_temp; }

private:
    std::string m_target;
    std::string m_temp;
};

} // namespace vantrell
