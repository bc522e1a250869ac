#include "FileReplace.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

namespace vantrell {

namespace {

constexpr int kMaxNameAttempts = 16; // names found taken before a point is given up
constexpr int kMoveAttempts = 5;     // a reader usually lets go within a few milliseconds
constexpr DWORD kMoveRetryMs = 10;
constexpr std::size_t kPaddedMax = 1024; // an in-place rewrite pads documents up to this size

// FileRenameInfoEx and its flags (Windows 10 1809 and later), spelled out here so that
// the build does not depend on which Windows version the headers are set to.
constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// A path as the wide-character calls take it, on the stack so a point costs no allocation.
struct WidePath {
    wchar_t text[MAX_PATH] = {};
    bool ok = false;
    WidePath(const char* first, const char* second = "")
    {
        int n = MultiByteToWideChar(CP_ACP, 0, first, -1, text, MAX_PATH);
        if (n <= 0)
            return;
        const int more = MultiByteToWideChar(CP_ACP, 0, second, -1, text + n - 1, MAX_PATH - n + 1);
        ok = more > 0;
    }
};

// FILE_RENAME_INFO with room for a whole path.
struct RenameInfo {
    DWORD flags;
    HANDLE rootDirectory;
    DWORD nameBytes;
    wchar_t name[MAX_PATH];
};

bool WriteAll(HANDLE file, const char* data, std::size_t size)
{
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// Renames the open temporary over target even while readers hold target open (with
// delete sharing), as POSIX rename does. Refused before Windows 10 1809, off NTFS and
// under Wine; the caller then falls back.
bool RenameOverPosix(HANDLE temp, const wchar_t* target)
{
    RenameInfo info{};
    const DWORD length = GetFullPathNameW(target, MAX_PATH, info.name, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    info.flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    info.nameBytes = length * sizeof(wchar_t);
    const DWORD size = static_cast<DWORD>(offsetof(RenameInfo, name) + info.nameBytes + sizeof(wchar_t));
    return SetFileInformationByHandle(temp, kRenameInfoEx, &info, size) != 0;
}

// Blocked by someone else's handle, and so worth a brief retry.
bool IsHeldByReader(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Overwrites target in place: the last resort while a reader's handle blocks every way
// of replacing it. A reader may read at any moment, so every state the file passes
// through is one whole document followed by blanks, which XML allows after its end: the
// old document grows by blanks first (a zero-filled extension would show NUL bytes), the
// new one is then written over it padded to the old length, and the blanks are cut last.
// Writing over space already taken cannot fail for want of room.
bool RewriteInPlace(const wchar_t* target, const char* data, std::size_t size)
{
    HANDLE file = CreateFileW(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER old{};
    bool ok = GetFileSizeEx(file, &old) != 0;
    const auto oldSize = static_cast<std::size_t>(old.QuadPart);
    char padded[kPaddedMax];
    if (ok && size <= kPaddedMax && oldSize <= kPaddedMax) {
        if (size > oldSize) {
            std::memset(padded, ' ', size - oldSize);
            ok = SetFilePointerEx(file, old, nullptr, FILE_BEGIN) && WriteAll(file, padded, size - oldSize);
        }
        const std::size_t span = size > oldSize ? size : oldSize;
        std::memcpy(padded, data, size);
        std::memset(padded + size, ' ', span - size);
        LARGE_INTEGER start{};
        ok = ok && SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteAll(file, padded, span);
    } else if (ok) {
        // Not a document of ours: nothing to keep whole, only never empty it first.
        LARGE_INTEGER start{};
        ok = SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && WriteAll(file, data, size);
    }
    if (ok && oldSize > size) {
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(size);
        ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    }
    ok = CloseHandle(file) && ok;
    return ok;
}

} // namespace

CFileReplacer::CFileReplacer(std::string_view fileName) : m_target(fileName)
{
    TakeNewName();
}

void CFileReplacer::TakeNewName() noexcept
{
    m_suffix = MakeTemporarySuffix(GetCurrentProcessId(), RandomBits());
}

bool CFileReplacer::Replace(const char* data, std::size_t size) noexcept
{
    const WidePath target(m_target.c_str());
    if (!target.ok)
        return false;
    // A folder or a read-only file of that name refuses every way in with the same
    // ERROR_ACCESS_DENIED a reader causes: skip the point at once rather than retry.
    const DWORD attributes = GetFileAttributesW(target.text);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;

    HANDLE file = INVALID_HANDLE_VALUE;
    WidePath temp("");
    for (int attempt = 0; attempt < kMaxNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temp = WidePath(m_target.c_str(), m_suffix.text);
        if (!temp.ok)
            return false;
        // Created new or not at all: whatever someone planted under the name is never
        // opened. DELETE access lets the handle rename the file over the target.
        file = CreateFileW(temp.text, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            break;
        const DWORD error = GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                           (error == ERROR_ACCESS_DENIED && GetFileAttributesW(temp.text) != INVALID_FILE_ATTRIBUTES);
        if (!taken)
            return false;
        TakeNewName();
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;

    if (!WriteAll(file, data, size)) {
        CloseHandle(file);
        DeleteFileW(temp.text);
        return false;
    }
    if (RenameOverPosix(file, target.text)) {
        CloseHandle(file);
        return true;
    }
    // A full disk can surface only when the file is closed.
    if (!CloseHandle(file)) {
        DeleteFileW(temp.text);
        return false;
    }
    bool held = false;
    for (int attempt = 0; attempt < kMoveAttempts; ++attempt) {
        if (MoveFileExW(temp.text, target.text, MOVEFILE_REPLACE_EXISTING))
            return true;
        held = IsHeldByReader(GetLastError());
        if (!held)
            break;
        Sleep(kMoveRetryMs);
    }
    DeleteFileW(temp.text);
    return held && RewriteInPlace(target.text, data, size);
}

std::size_t RemoveStaleTemporaries(std::string_view fileName)
{
    char pattern[MAX_PATH];
    if (fileName.size() + 7 >= sizeof pattern)
        return 0;
    fileName.copy(pattern, fileName.size());
    std::memcpy(pattern + fileName.size(), ".*.tmp", 7);
    WIN32_FIND_DATAA entry{};
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD self = GetCurrentProcessId();
    std::size_t removed = 0;
    do {
        const auto owner = TemporaryOwner(entry.cFileName, fileName);
        if (!owner || *owner == 0 || *owner == self ||
            (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
            continue;
        // A process we may not look at runs under another user: not ours to judge.
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(*owner));
        if (process) {
            DWORD code = 0;
            const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
            CloseHandle(process);
            if (running)
                continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;
        }
        removed += DeleteFileA(entry.cFileName) ? 1 : 0;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return removed;
}

} // namespace vantrell
