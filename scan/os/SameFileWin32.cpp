#include "SameFile.h"

#include "WidePath.h"

#include <windows.h>

namespace vantrell {
namespace {

// Opens path for its attributes only, as the replacer names it: its extended full path,
// so a deep folder works past MAX_PATH.
HANDLE OpenForIdentity(const std::string& path)
{
    const std::wstring wide = ExtendedFullPath(path);
    if (wide.empty())
        return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

std::string FinalTarget(const std::string& path)
{
    return path;
}

bool SameFile(const std::string& a, const std::string& b)
{
    const HANDLE first = OpenForIdentity(a);
    if (first == INVALID_HANDLE_VALUE)
        return false;
    const HANDLE second = OpenForIdentity(b);
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION two{};
    const bool same = second != INVALID_HANDLE_VALUE && GetFileInformationByHandle(first, &one) &&
                      GetFileInformationByHandle(second, &two) &&
                      one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
                      one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
    CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
    return same;
}

} // namespace vantrell
