#include "FileReplace.h"

#include "WidePath.h"

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>

namespace vantrell {

namespace {

constexpr int kMaxNameAttempts = 16; // names found taken before a point is given up
constexpr DWORD kMoveRetryMs = 5;    // between moves refused for a reader's handle
constexpr std::size_t kPaddedMax = 1024; // an in-place rewrite pads documents up to this size

// FileRenameInfoEx and its flags (Windows 10 1809 and later), spelled out here so that
// the build does not depend on which Windows version the headers are set to.
constexpr auto kRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// FILE_RENAME_INFO up to its name, which runs on past the struct.
struct RenameInfo {
    DWORD flags;
    HANDLE rootDirectory;
    DWORD nameBytes;
    wchar_t name[1];
};

bool WriteAll(HANDLE file, const char* data, std::size_t size)
{
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// Renames the open temporary over the target that info names even while readers hold the
// target open (with delete sharing), as POSIX rename does. Refused before Windows 10 1809,
// off NTFS and under Wine; the caller then falls back.
bool RenameOverPosix(HANDLE temp, std::vector<std::uint64_t>& info)
{
    return SetFileInformationByHandle(temp, kRenameInfoEx, info.data(),
                                      static_cast<DWORD>(info.size() * sizeof info[0])) != 0;
}

// Blocked by someone else's handle, and so worth a brief retry.
bool IsHeldByReader(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// True when the exclusive lock just taken on target makes a read through another handle
// fail, as Windows documents for ReadFile. Wine lets the read through: there a reader
// could see part of each document, so nothing may be written in place.
bool LockStopsOtherReads(const wchar_t* target)
{
    HANDLE other = CreateFileW(target, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    char byte = 0;
    DWORD got = 0;
    const bool stopped = !ReadFile(other, &byte, 1, &got, nullptr) && GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(other);
    return stopped;
}

// Overwrites target in place: the last resort while a reader's handle blocks every way
// of replacing it. An exclusive lock over the whole file makes every other handle's
// read fail until the new document is complete. A reader through a memory mapping is
// not stopped by it and can still catch a write half done; between the writes, though,
// the file is always one whole document followed by blanks, which XML allows after its
// end: the old document grows by blanks first (a zero-filled extension would show NUL
// bytes), the new one is then written over it padded to the old length, and the blanks
// are cut last. Writing over space already taken cannot fail for want of room.
bool RewriteInPlace(const wchar_t* target, const char* data, std::size_t size)
{
    HANDLE file = CreateFileW(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // Never waits: a reader's own lock makes the point fail instead.
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
        CloseHandle(file);
        return false;
    }
    LARGE_INTEGER old{};
    bool ok = LockStopsOtherReads(target) && GetFileSizeEx(file, &old) != 0;
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
    // Unlocked before the close, which would free the lock only in its own time.
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    ok = CloseHandle(file) && ok;
    return ok;
}

} // namespace

CFileReplacer::CFileReplacer(std::string_view fileName) : m_target(fileName)
{
    TakeNewName();
    m_widePath = ExtendedFullPath(m_target);
    if (m_widePath.empty())
        return;
    m_wideTemporary.reserve(m_widePath.size() + sizeof m_suffix.text);
    const std::size_t nameBytes = m_widePath.size() * sizeof(wchar_t);
    const std::size_t bytes = offsetof(RenameInfo, name) + nameBytes + sizeof(wchar_t);
    m_renameInfo.assign((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    auto* info = reinterpret_cast<RenameInfo*>(m_renameInfo.data());
    info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    info->rootDirectory = nullptr;
    info->nameBytes = static_cast<DWORD>(nameBytes);
    std::memcpy(info->name, m_widePath.c_str(), nameBytes + sizeof(wchar_t));
}

void CFileReplacer::TakeNewName() noexcept
{
    m_suffix = MakeTemporarySuffix(GetCurrentProcessId(), RandomBits());
}

bool CFileReplacer::Replace(const char* data, std::size_t size, ReplaceWay* way) noexcept
{
    if (way)
        *way = ReplaceWay::RenamedOver;
    if (m_widePath.empty())
        return false;
    const wchar_t* const target = m_widePath.c_str();
    // A folder or a read-only file of that name refuses every way in with the same
    // ERROR_ACCESS_DENIED a reader causes: skip the point at once rather than retry.
    const DWORD attributes = GetFileAttributesW(target);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;

    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kMaxNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        // Within the room reserved at construction: no allocation. The suffix is ASCII.
        m_wideTemporary.assign(m_widePath);
        for (std::size_t i = 0; i < m_suffix.size; ++i)
            m_wideTemporary.push_back(static_cast<wchar_t>(m_suffix.text[i]));
        // Created new or not at all: whatever someone planted under the name is never
        // opened. DELETE access lets the handle rename the file over the target.
        file = CreateFileW(m_wideTemporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            break;
        const DWORD error = GetLastError();
        const bool taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                           (error == ERROR_ACCESS_DENIED &&
                            GetFileAttributesW(m_wideTemporary.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!taken)
            return false;
        TakeNewName();
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const wchar_t* const temp = m_wideTemporary.c_str();

    if (!WriteAll(file, data, size)) {
        CloseHandle(file);
        DeleteFileW(temp);
        return false;
    }
    if (RenameOverPosix(file, m_renameInfo)) {
        CloseHandle(file);
        return true;
    }
    // A full disk can surface only when the file is closed.
    if (!CloseHandle(file)) {
        DeleteFileW(temp);
        return false;
    }
    // A reader that lets go within the retry costs nothing; the clock, not a count of
    // sleeps, bounds it, since Windows rounds a short Sleep up to its timer's tick.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_heldThrough ? kHeldRetryMs / 10 : kHeldRetryMs);
    bool held = false;
    for (;;) {
        if (MoveFileExW(temp, target, MOVEFILE_REPLACE_EXISTING)) {
            m_heldThrough = false;
            return true;
        }
        held = IsHeldByReader(GetLastError());
        if (!held || std::chrono::steady_clock::now() >= deadline)
            break;
        Sleep(kMoveRetryMs);
    }
    m_heldThrough = held;
    DeleteFileW(temp);
    if (way)
        *way = ReplaceWay::RewrittenInPlace;
    return held && RewriteInPlace(target, data, size);
}

std::size_t RemoveStaleTemporaries(std::string_view fileName)
{
    const std::wstring target = ExtendedFullPath(fileName);
    if (target.empty())
        return 0;
    const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW((target + L".*.tmp").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD self = GetCurrentProcessId();
    std::size_t removed = 0;
    do {
        // Matched in the narrow form the name was given in; a name that has no exact
        // narrow form is not one of ours.
        char name[MAX_PATH * 2];
        BOOL lossy = FALSE;
        const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, entry.cFileName, -1, name,
                                               sizeof name, nullptr, &lossy);
        if (length <= 0 || lossy)
            continue;
        const auto owner = TemporaryOwner(name, fileName);
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
        removed += DeleteFileW((folder + entry.cFileName).c_str()) ? 1 : 0;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return removed;
}

} // namespace vantrell
