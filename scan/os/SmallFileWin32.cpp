#include "SmallFile.h"

#include "FileReplace.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace vantrell {
namespace {

class CHandle {
public:
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    ~CHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// path (ANSI code page, as the replacer takes names) against the working directory, in
// the extended form that works past MAX_PATH; empty when it cannot be made.
std::wstring WidePath(std::string_view path)
{
    if (path.empty() || path.find('\0') != std::string_view::npos)
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), size);
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return {};
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length)
        return {};
    full.resize(written);
    return ExtendedLengthPath(full);
}

// Whether file is a plain disk file of at most maxBytes, as it is now.
SmallFile Check(HANDLE file, std::uint64_t maxBytes)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK)
        return SmallFile::NotPlain;
    if (!GetFileInformationByHandle(file, &info))
        return SmallFile::Unreadable;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return SmallFile::NotPlain;
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return size > maxBytes ? SmallFile::TooLarge : SmallFile::Read;
}

} // namespace

SmallFile ReadSmallFile(std::string_view path, std::uint64_t maxBytes, std::string& text)
{
    const std::wstring wide = WidePath(path);
    if (wide.empty())
        return SmallFile::Missing;
    // Backup semantics open a folder too, so that it is named as one rather than
    // refused for access. Opening a pipe never waits for a free instance (it fails
    // busy), and no flag here asks for overlapped or other waiting reads. Every sharing
    // mode, so the writer may still replace the file meanwhile.
    const CHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return SmallFile::Missing;
        return error == ERROR_PIPE_BUSY ? SmallFile::NotPlain : SmallFile::Unreadable;
    }
    if (const SmallFile checked = Check(file.Get(), maxBytes); checked != SmallFile::Read)
        return checked;

    std::string content(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, 4096)), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (filled >= maxBytes) {
                // Read no further: the file is too large if it goes on.
                if (const SmallFile again = Check(file.Get(), maxBytes); again != SmallFile::Read)
                    return again;
                break;
            }
            content.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, filled * 2)));
        }
        DWORD got = 0;
        // A writer rewriting the file in place holds a lock that fails this read.
        if (!ReadFile(file.Get(), content.data() + filled, static_cast<DWORD>(content.size() - filled), &got, nullptr))
            return SmallFile::Unreadable;
        if (got == 0)
            break;
        filled += got;
    }
    content.resize(filled);
    text = std::move(content);
    return SmallFile::Read;
}

} // namespace vantrell
