#include "PlanConsole.h"

#include "ScanPlan.h"
#include "WideText.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace vantrell::win32 {
namespace {

bool WriteAll(HANDLE handle, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

// The console of the process that started this one, opened once; INVALID_HANDLE_VALUE
// when there is none (a start from Explorer).
HANDLE ParentConsole()
{
    static const HANDLE console = [] {
        // ERROR_ACCESS_DENIED: this process has a console already.
        if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
            return INVALID_HANDLE_VALUE;
        return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }();
    return console;
}

// Text to a redirected file or pipe as UTF-8 bytes, else to the starting console.
bool Print(DWORD which, const std::string& text)
{
    if (text.empty())
        return true;
    const std::string bytes = WithCrLf(text);
    const HANDLE handle = GetStdHandle(which);
    const bool usable = handle && handle != INVALID_HANDLE_VALUE;
    if (usable) {
        const DWORD type = GetFileType(handle);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE)
            return WriteAll(handle, bytes);
    }
    const HANDLE console = ParentConsole();
    if (console != INVALID_HANDLE_VALUE) {
        const std::wstring wide = Wide(bytes);
        DWORD written = 0;
        if (WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
            return true;
    }
    // A character device that is no console, NUL say.
    return usable && WriteAll(handle, bytes);
}

} // namespace

std::optional<int> RunPlanIfAsked()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return std::nullopt;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8(argv[i]));
    LocalFree(argv);

    // The engine opens files by their ANSI code page names.
    const auto fileName = [](const std::string& text) { return AnsiPath(Wide(text).c_str()); };
    const std::optional<PlanOutput> plan = RunPlanCommand("Vantrell.exe", args, fileName);
    if (!plan)
        return std::nullopt;
    const bool printed = Print(STD_OUTPUT_HANDLE, plan->out) && Print(STD_ERROR_HANDLE, plan->err);
    return printed ? plan->status : 1;
}

} // namespace vantrell::win32
