#include "WidePath.h"

#include <windows.h>

namespace vantrell {

std::wstring ExtendedFullPath(std::string_view name)
{
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), size) != size)
        return {};
    // GetFullPathNameW asks for more room, its terminating zero included, until it has
    // enough. The room it asks for only grows (another thread may change the working
    // directory meanwhile) and is bounded by the system's longest path, so this ends.
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return {};
        if (length < full.size()) {
            full.resize(length);
            return ExtendedLengthPath(full);
        }
        full.resize(length);
    }
}

std::wstring ExtendedLengthPath(std::wstring_view fullPath)
{
    const auto starts = [&](std::wstring_view prefix) { return fullPath.substr(0, prefix.size()) == prefix; };
    const bool drive = fullPath.size() >= 3 && fullPath[1] == L':' && fullPath[2] == L'\\' &&
                       ((fullPath[0] >= L'A' && fullPath[0] <= L'Z') || (fullPath[0] >= L'a' && fullPath[0] <= L'z'));
    if (drive)
        return std::wstring(L"\\\\?\\").append(fullPath);
    if (starts(L"\\\\?\\") || starts(L"\\\\.\\"))
        return std::wstring(fullPath);
    // A share: "\\server\share\..." with a server name after the two backslashes.
    if (starts(L"\\\\") && fullPath.size() > 2 && fullPath[2] != L'\\')
        return std::wstring(L"\\\\?\\UNC").append(fullPath.substr(1));
    return std::wstring(fullPath);
}

} // namespace vantrell
