#include "FileReplace.h"

#include "TemporaryName.h"

#include <windows.h>

namespace vantrell {

CFileReplacer::CFileReplacer(std::string_view fileName)
    : m_target(fileName), m_temp(TemporaryName(fileName, GetCurrentProcessId()))
{
}

namespace {

// Our names are plain ASCII; widen them on the stack so a point costs no allocation.
struct WidePath {
    wchar_t text[MAX_PATH];
    explicit WidePath(const std::string& narrow)
    {
        const int n = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, text, MAX_PATH);
        if (n <= 0)
            text[0] = L'\0';
    }
};

bool WriteWhole(const wchar_t* path, DWORD share, const char* data, std::size_t size)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, share, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    ok = CloseHandle(file) && ok;
    return ok;
}

bool IsHeldByReader(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

} // namespace

bool CFileReplacer::Replace(const char* data, std::size_t size) noexcept
{
    const WidePath temp(m_temp);
    const WidePath target(m_target);
    if (!temp.text[0] || !target.text[0])
        return false;
    if (!WriteWhole(temp.text, 0, data, size)) {
        DeleteFileW(temp.text);
        return false;
    }
    // A reader that opened the file without delete sharing blocks the move for as long
    // as it holds the file; give it a moment, then rewrite in place rather than skip.
    bool held = false;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (MoveFileExW(temp.text, target.text, MOVEFILE_REPLACE_EXISTING))
            return true;
        held = IsHeldByReader(GetLastError());
        if (!held)
            break;
        ::Sleep(10);
    }
    const bool ok = held && WriteWhole(target.text, FILE_SHARE_READ, data, size);
    DeleteFileW(temp.text);
    return ok;
}

} // namespace vantrell
