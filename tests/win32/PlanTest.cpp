// Vantrell.exe --plan: printed through redirected handles or to the console it was started
// from, with no window and no file, also while another copy shows its form.

#include "Driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace vantrell::win32test {
namespace {

const wchar_t* const kTenByTen = L"45 0 0 North 122 0 0 West 10 10 4 1000 0";
const char* const kTenByTenPlan =
    "1,640 points per pass; at 1.00 s per point one pass takes 27 min 20 s.\r\n"
    "40 rows of 40 points, each followed by one point a step south; a step is 0.25 miles.\r\n"
    "The time counts the pauses between points only, not the time the file writes take.\r\n"
    "One pass loads about 443 MB of imagery (30,216 tiles; the finest, level 18, are 108 m wide in a 1,920-pixel "
    "window, at about 15 KB a tile).\r\n"
    "The viewer re-reads the file every 4 s but each point lasts 1 s: it will skip about 75 % of the points, "
    "flying to about 1 in 4. A Speed Factor of at least 20 shows it every point.\r\n"
    "At a range of 1,000 m each view shows about 0.72 \u00d7 0.40 miles (60\u00b0 wide, in a 16:9 window), but the "
    "points are 0.25 miles apart: about 1 % of the area is never in view, and its finest imagery is never loaded. "
    "A Range of at least 1,005 m, a Resolution of at most 2, or 1 mile more south, leaves no gap.\r\n";

struct Finished {
    DWORD code = 0;
    std::string out, err;
};

// What an ended writer left in the pipe. Never waits: a helper process that inherited the
// write end would keep the pipe open for good.
std::string Drain(HANDLE pipe)
{
    std::string text;
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) || got == 0)
            break;
        text.append(buffer, got);
    }
    return text;
}

// Runs Vantrell.exe with args in folder, its standard output and error each a pipe.
// False if it could not start or did not end within 10 s.
bool RunPiped(const std::wstring& folder, const std::wstring& args, Finished& finished)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0))
        return false;
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + args;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    bool ended = false;
    if (started) {
        // The plan is far smaller than a pipe's buffer: waiting first cannot block the writer.
        ended = WaitForSingleObject(process.hProcess, 10'000) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &finished.code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        finished.out = Drain(outRead);
        finished.err = Drain(errRead);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return started && ended;
}

bool FolderIsEmpty(const CScratchFolder& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(folder.File(L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return true;
    bool empty = true;
    do {
        const std::wstring name = found.cFileName;
        empty = empty && (name == L"." || name == L"..");
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return empty;
}

TEST(PlanCommand, PrintsThroughAPipeAndWritesNoFile)
{
    struct Case {
        const char* what;
        const wchar_t* args;
        DWORD code;
        std::string out;
        const char* err;
        const wchar_t* leaves = nullptr; // the one file the plan writes
    };
    const std::string refusal = "The preview may not be written to \"VANTRELL.KML\": that is Vantrell.kml, the file "
                                "the scan keeps rewriting, or one of its temporary files. Choose another name.\r\n";
    const Case cases[] = {
        {"10 x 10 miles", kTenByTen, 0, kTenByTenPlan, ""},
        {"empty words", L"\"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" 0 1 0 \"\" 0", 0,
         "4 points per pass; speed factor 0 pauses after no point, so a pass takes only as long as its file "
         "writes.\r\nMiles east 0: no rows, only points due south of the corner, a step of 0.25 miles apart.\r\n"
         "Speed Factor 0: the viewer, re-reading the file every 4 s, will see almost none of the points. A Speed "
         "Factor of at least 20 shows it every point.\r\n"
         "A Range of 0 m puts the viewer on the ground: it would look from nowhere above it, and no view shows the "
         "area. A Range of at least 1,215 m leaves no gap.\r\n",
         ""},
        {"twelve values", L"45 0 0 North 122 0 0 West 10 10 4 1000", 2, "",
         "usage: Vantrell.exe --plan [--refresh SECONDS] [--window PIXELS] [--preview FILE] [--area FILE [--corridor "
         "TENTHS]] [LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD EAST SOUTH] SPEED RANGE RESOLUTION\r\n"},
        {"another refresh", L"--refresh 2 45 0 0 North 122 0 0 West 10 10 4 1000 0", 0,
         std::string(kTenByTenPlan).replace(std::string(kTenByTenPlan).find("The viewer"), std::string::npos,
                                            "The viewer re-reads the file every 2 s but each point lasts 1 s: it "
                                            "will skip about 50 % of the points, flying to about 1 in 2. A Speed "
                                            "Factor of at least 12 shows it every point.\r\n" +
                                                std::string(std::strstr(kTenByTenPlan, "At a range"))),
         ""},
        {"a preview", L"--preview area.kml 45 0 0 North 122 0 0 West 10 10 4 1000 0", 0,
         std::string(kTenByTenPlan) + "Preview written to \"area.kml\".\r\n", "", L"area.kml"},
        // The file calls take ANSI code page names: the UTF-8 of the command line would
        // name "prÃ©view.kml", and a best fit another file than the one asked for.
        {"an accented name", L"--preview pr\u00e9view.kml 45 0 0 North 122 0 0 West 10 10 4 1000 0", 0,
         std::string(kTenByTenPlan) + "Preview written to \"pr\u00e9view.kml\".\r\n", "", L"pr\u00e9view.kml"},
        {"a name the code page cannot hold", L"--preview \u4e2d.kml 45 0 0 North 122 0 0 West 10 10 4 1000 0", 1,
         kTenByTenPlan, "The preview's name \"\u4e2d.kml\" has characters that this system's file names cannot hold.\r\n"},
        {"never over the scan's file", L"--preview VANTRELL.KML 45 0 0 North 122 0 0 West 10 10 4 1000 0", 1,
         kTenByTenPlan, refusal.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CScratchFolder folder;
        Finished finished;
        ASSERT_TRUE(RunPiped(folder.Path(), std::wstring(L"--plan ") + c.args, finished)) << "did not end";
        EXPECT_EQ(finished.code, c.code);
        EXPECT_EQ(finished.out, c.out);
        EXPECT_EQ(finished.err, c.err);
        if (c.leaves) {
            EXPECT_TRUE(DeleteFileW(folder.File(c.leaves).c_str())) << "no preview";
        }
        EXPECT_TRUE(FolderIsEmpty(folder)) << "the plan left a file";
    }
}

TEST(PlanCommand, RunsWhileAnotherCopyShowsItsForm)
{
    CScratchFolder scanning;
    CProgram first;
    ASSERT_TRUE(first.Start(scanning.Path())) << "CreateProcess: error " << first.StartError();
    ASSERT_TRUE(first.WaitForForm());

    CScratchFolder folder;
    Finished finished;
    ASSERT_TRUE(RunPiped(folder.Path(), std::wstring(L"--plan ") + kTenByTen, finished));
    EXPECT_EQ(finished.code, 0u);
    EXPECT_EQ(finished.out, kTenByTenPlan);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindowVisible(first.Form()));
    EXPECT_TRUE(FolderIsEmpty(scanning)) << "the plan wrote into the running copy's folder";
}

// Plans run back to back while a window starts. A plan that created the single-copy
// mutex would turn the window away; the test looks for the mutex all the while, and a
// handle it gets keeps the mutex alive just as a window start would have found it.
TEST(PlanCommand, NeverTakesTheSingleCopyMutex)
{
    constexpr int kPlans = 10;
    CScratchFolder folder;
    std::atomic<int> plansRun{0};
    std::atomic<bool> stop{false};
    std::thread plans([&] {
        Finished finished;
        while (!stop.load() && RunPiped(folder.Path(), L"--plan 45 0 0 North 122 0 0 West 50000 50000 4 1000 1", finished))
            ++plansRun;
    });
    HANDLE seen = nullptr;
    WaitUntil([&] { return (seen = OpenMutexW(SYNCHRONIZE, FALSE, L"SingleInstanceOfVantrell")) != nullptr ||
                           plansRun.load() >= kPlans; },
              30s);
    CProgram window;
    const bool started = window.Start(folder.Path());
    WaitUntil([&] { return !window.Running() || window.WaitForForm(0ms); }, kStartDeadline);
    const bool opened = window.WaitForForm(0ms);
    stop.store(true);
    plans.join();
    if (seen)
        CloseHandle(seen);
    EXPECT_EQ(seen, nullptr) << "a plan created the single-copy mutex";
    ASSERT_TRUE(started) << "CreateProcess: error " << window.StartError();
    EXPECT_TRUE(opened) << "the window start ended without its form while plans ran";
}

// Started from a console without redirection, as from a command prompt: a GUI program
// then has no standard handles, and the plan must find that console itself.
TEST(PlanCommand, WritesToTheConsoleItWasStartedFrom)
{
    const HANDLE savedOut = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE savedErr = GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE savedIn = GetStdHandle(STD_INPUT_HANDLE);
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);

    CScratchFolder folder;
    std::wstring commandLine = L"\"" + ProgramPath() + L"\" --plan " + kTenByTen;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // all three null
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.Path().c_str(), &startup, &process);
    DWORD code = 99;
    if (started) {
        if (WaitForSingleObject(process.hProcess, 10'000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 99);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    std::wstring screen(80 * 4, L' ');
    DWORD read = 0;
    const bool readable = console != INVALID_HANDLE_VALUE &&
                          ReadConsoleOutputCharacterW(console, screen.data(), static_cast<DWORD>(screen.size()),
                                                      COORD{0, 0}, &read);
    if (console != INVALID_HANDLE_VALUE)
        CloseHandle(console);
    FreeConsole();
    SetStdHandle(STD_OUTPUT_HANDLE, savedOut);
    SetStdHandle(STD_ERROR_HANDLE, savedErr);
    SetStdHandle(STD_INPUT_HANDLE, savedIn);

    ASSERT_TRUE(started);
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(readable);
    screen.resize(read);
    EXPECT_EQ(screen.rfind(L"1,640 points per pass; at 1.00 s per point one pass takes 27 min 20 s.", 0), 0u)
        << "the console shows: " << std::string(screen.begin(), screen.end());
    EXPECT_NE(screen.find(L"40 rows of 40 points"), std::wstring::npos);
    EXPECT_TRUE(FolderIsEmpty(folder));
}

} // namespace
} // namespace vantrell::win32test
