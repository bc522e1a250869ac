#include "SmallFile.h"

#include "WidePath.h"

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
    const std::wstring wide = ExtendedFullPath(path);
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
