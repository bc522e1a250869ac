// The program's start and end: one copy at a time, what a start clears, and every way
// out leaving the file whole with no temporary behind.

#include "Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace vantrell::win32test {
namespace {

// A dead copy's temporary: Windows process numbers are multiples of 4, so none has this one.
constexpr const wchar_t* kDeadCopysTemporary = L"Vantrell.kml.2147483644-0123456789abcdef.tmp";

Request FastWalk()
{
    Request r;
    r.latDeg = L"45", r.latWord = L"North", r.lonDeg = L"122", r.lonWord = L"West";
    r.milesEast = L"1", r.milesSouth = L"1", r.speed = L"0", r.range = L"1000";
    return r;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(StartUp, FormAppearsWithinSecondsAndDeadCopiesTemporariesAreGone)
{
    CScratchFolder folder;
    ASSERT_TRUE(CreateEmptyFile(folder.File(kDeadCopysTemporary)));
    CProgram program;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
    ASSERT_TRUE(program.WaitForForm());
    const auto elapsed = std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - start);
    std::fputs(("form visible " + Decimal(elapsed.count()) + " ms after the start\n").c_str(), stdout);
    ::testing::Test::RecordProperty("StartToVisibleMs", static_cast<int>(elapsed.count()));
    EXPECT_LT(elapsed, 5s) << "in a warm prefix the form shows in well under a second";
    EXPECT_FALSE(Exists(folder.File(kDeadCopysTemporary))) << "a dead copy's temporary was left";
}

TEST(SingleCopy, SecondCopyEndsAtOnceWithStatusZeroAndTheFirstGoesOn)
{
    CScratchFolder folder;
    CProgram first;
    ASSERT_TRUE(first.Start(folder.Path())) << "CreateProcess: error " << first.StartError();
    ASSERT_TRUE(first.WaitForForm());
    // Planted after the first copy has cleaned up: the second must not touch the folder.
    ASSERT_TRUE(CreateEmptyFile(folder.File(kDeadCopysTemporary)));

    CProgram second;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(second.Start(folder.Path())) << "CreateProcess: error " << second.StartError();
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(code, 10s)) << "the second copy keeps running";
    const auto elapsed = std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(code, 0u);
    EXPECT_LT(elapsed, 3s);
    EXPECT_FALSE(second.WaitForForm(0ms)) << "the second copy showed a window";
    EXPECT_TRUE(Exists(folder.File(kDeadCopysTemporary))) << "the second copy cleared the first one's folder";

    ASSERT_TRUE(first.Running());
    EXPECT_TRUE(IsWindowVisible(first.Form()));
    first.Fill(FastWalk());
    first.Click(IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !ReadWholeFile(folder.File(L"Vantrell.kml")).empty(); }, 10s))
        << "the first copy no longer scans";
}

// Ten copies released at the same moment race for the single-copy mutex: one shows its
// form, nine end with status 0, and at no moment do two forms show.
TEST(SingleCopy, OfTenStartedAtOnceExactlyOneRuns)
{
    constexpr int kCopies = 10;
    CScratchFolder folder;
    std::vector<std::unique_ptr<CProgram>> copies;
    for (int i = 0; i < kCopies; ++i) {
        copies.push_back(std::make_unique<CProgram>());
        ASSERT_TRUE(copies.back()->Start(folder.Path(), true)) << "CreateProcess: error " << copies.back()->StartError();
    }
    for (const auto& copy : copies)
        ASSERT_TRUE(copy->Resume());

    int mostForms = 0;
    const auto running = [&] {
        int alive = 0, forms = 0;
        for (const auto& copy : copies) {
            alive += copy->Running() ? 1 : 0;
            forms += copy->WaitForForm(0ms) ? 1 : 0;
        }
        mostForms = std::max(mostForms, forms);
        return alive;
    };
    EXPECT_TRUE(WaitUntil([&] { return running() <= 1; }, kStartDeadline)) << running() << " copies still run";
    EXPECT_LE(mostForms, 1) << "two copies showed their forms at once";
    int shown = 0;
    for (const auto& copy : copies) {
        if (copy->Running()) {
            EXPECT_TRUE(copy->WaitForForm()) << "the copy that runs shows no form";
            ++shown;
            continue;
        }
        DWORD code = 1;
        ASSERT_TRUE(copy->WaitForExit(code, 0ms));
        EXPECT_EQ(code, 0u);
    }
    EXPECT_EQ(shown, 1);
}

// Quit, Escape, Close and the end of the session end the program at once while it writes as fast as it can; the
// file then holds one whole point of the walk and no temporary is left.
TEST(WayOut, EachEndsTheProcessWithTheFileWholeAndNoTemporaryLeft)
{
    const std::vector<std::string> walk = ExpectedDocuments(FastWalk(), 20); // one whole pass
    const struct {
        const char* name;
        void (*leave)(CProgram&);
    } ways[] = {
        {"Quit", [](CProgram& p) { p.Click(IDCANCEL); }},
        {"Escape in a field", [](CProgram& p) { p.PressKey(p.Item(IDC_LAT_DEG), VK_ESCAPE); }},
        {"Close from the system menu", [](CProgram& p) { PostMessageW(p.Form(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"the session ending", [](CProgram& p) { PostMessageW(p.Form(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        CScratchFolder folder;
        CProgram program;
        ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
        ASSERT_TRUE(program.WaitForForm());
        program.Fill(FastWalk());
        program.Click(IDOK);
        const std::wstring path = folder.File(L"Vantrell.kml");
        ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(path).empty(); }, 10s)) << "no point written";

        way.leave(program);
        DWORD code = 1;
        ASSERT_TRUE(program.WaitForExit(code)) << "the program did not end";
        EXPECT_EQ(code, 0u);
        const std::string left = ReadWholeFile(path);
        EXPECT_NE(std::find(walk.begin(), walk.end(), left), walk.end()) << "not a whole point:\n" << left;
        EXPECT_TRUE(folder.Temporaries().empty());
    }
}

} // namespace
} // namespace vantrell::win32test
