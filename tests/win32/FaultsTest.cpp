// The real program under faults of the folder and the file it writes. A paced walk (one
// point every 250 ms) meets an obstacle that is later taken away, while a watcher reads
// Vantrell.kml all the time and places each document in the walk: no read may be empty
// or cut short, the walk must keep its pace through the fault, write again once the way
// is clear, still answer Quit, and leave no temporary. VANTRELL_FAULT_ROUNDS sets the
// rounds of the Quit and kill cases (3 by default).

#include "Driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unordered_map>

namespace vantrell::win32test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr Milliseconds kPointEvery{250}; // speed factor 1
constexpr Milliseconds kHold{1500};      // how long each obstacle stays

Request PacedWalk()
{
    Request r;
    r.latDeg = L"45", r.latWord = L"North", r.lonDeg = L"122", r.lonWord = L"West";
    r.milesEast = L"10", r.milesSouth = L"10", r.speed = L"1", r.range = L"1000", r.resolution = L"1";
    return r;
}

Request FullSpeedWalk()
{
    Request r = PacedWalk();
    r.speed = L"0";
    return r;
}

int Rounds()
{
    const char* text = std::getenv("VANTRELL_FAULT_ROUNDS");
    const int rounds = text ? std::atoi(text) : 0;
    return rounds > 0 ? rounds : 3;
}

// Reads the file every 5 ms, as a viewer sharing everything would, and notes when each
// new document of the walk was first seen. Anything else read is kept as bad.
class CWatcher {
public:
    struct Seen {
        Clock::time_point at;
        std::size_t place; // 1 for the walk's first point
    };

    CWatcher(std::wstring path, const std::vector<std::string>& walk) : m_path(std::move(path))
    {
        for (std::size_t i = 0; i < walk.size(); ++i)
            m_places.emplace(walk[i], i + 1);
        m_thread = std::thread([this] { Run(); });
    }
    ~CWatcher()
    {
        m_stop = true;
        m_thread.join();
    }
    CWatcher(const CWatcher&) = delete;
    CWatcher& operator=(const CWatcher&) = delete;

    std::optional<Seen> Last() const
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_seen.empty() ? std::nullopt : std::optional<Seen>(m_seen.back());
    }
    std::size_t Count() const
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_seen.size();
    }
    std::vector<std::string> Bad() const
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_bad;
    }
    // Waits for a document later in the walk than place.
    std::optional<Seen> WaitForPointAfter(std::size_t place, Milliseconds deadline = 2s) const
    {
        std::optional<Seen> seen;
        WaitUntil([&] { return (seen = Last()) && seen->place > place; }, deadline);
        return seen && seen->place > place ? seen : std::nullopt;
    }

private:
    void Run()
    {
        std::string last;
        while (!m_stop) {
            HANDLE file = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                std::string text;
                char buffer[1024];
                DWORD got = 0;
                bool read = true;
                while ((read = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
                    text.append(buffer, got);
                CloseHandle(file);
                // A read refused by an in-place rewrite's lock is tried again, as by a viewer.
                if (read && text != last) {
                    last = text;
                    const auto found = m_places.find(text);
                    const std::lock_guard<std::mutex> hold(m_lock);
                    if (found != m_places.end())
                        m_seen.push_back({Clock::now(), found->second});
                    else
                        m_bad.push_back(text);
                }
            }
            Sleep(5);
        }
    }

    std::wstring m_path;
    std::unordered_map<std::string, std::size_t> m_places;
    mutable std::mutex m_lock;
    std::vector<Seen> m_seen;
    std::vector<std::string> m_bad;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// One case: the program started in a folder of its own on the paced walk, and watched.
class FaultsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_walk = new std::vector<std::string>(ExpectedDocuments(PacedWalk(), 2000)); }
    static void TearDownTestSuite()
    {
        delete s_walk;
        s_walk = nullptr;
    }

    std::wstring Folder() const { return m_small.empty() ? m_folder.Path() : m_small; }
    std::wstring File() const { return Folder() + L"\\Vantrell.kml"; }
    bool NoTemporaries() const
    {
        WIN32_FIND_DATAW entry{};
        HANDLE search = FindFirstFileW((Folder() + L"\\*.tmp").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return true;
        FindClose(search);
        return false;
    }

    void StartWalk(const Request& request = PacedWalk())
    {
        ASSERT_TRUE(m_program.Start(Folder())) << "CreateProcess: error " << m_program.StartError();
        ASSERT_TRUE(m_program.WaitForForm());
        m_watcher.emplace(File(), *s_walk);
        m_program.Fill(request);
        m_program.Click(IDOK); // returns once the handler has started the walk
        m_started = Clock::now();
    }

    // The place reached matches one point every 250 ms since Start: never ahead, and no
    // more than a third behind.
    void ExpectOnPace(const CWatcher::Seen& seen) const
    {
        const auto elapsed = std::chrono::duration_cast<Milliseconds>(seen.at - m_started);
        const auto due = static_cast<std::size_t>(elapsed / kPointEvery);
        EXPECT_LE(seen.place, due + 2) << "point " << seen.place << " after " << elapsed.count() << " ms: too fast";
        EXPECT_GE(seen.place + 1, due * 2 / 3) << "point " << seen.place << " after " << elapsed.count()
                                               << " ms: the walk fell behind";
    }

    // Nothing new is written while the obstacle stays.
    void ExpectStillFor(Milliseconds time) const
    {
        const auto before = m_watcher->Last();
        Sleep(static_cast<DWORD>(time.count()));
        const auto after = m_watcher->Last();
        EXPECT_EQ(before ? before->place : 0, after ? after->place : 0) << "the file changed while it could not be";
    }

    // A new point within 2 s of the way clearing, at the walk's pace, and one more after it.
    void ExpectWritesAgain(std::size_t after)
    {
        const auto first = m_watcher->WaitForPointAfter(after);
        ASSERT_TRUE(first) << "nothing written once the way was clear";
        ExpectOnPace(*first);
        const auto second = m_watcher->WaitForPointAfter(first->place);
        ASSERT_TRUE(second) << "the walk stopped after one point";
        ExpectOnPace(*second);
    }

    std::size_t WaitForFirstPoint()
    {
        const auto first = m_watcher->WaitForPointAfter(0, 10s);
        return first ? first->place : 0;
    }

    // Quit still answers and ends the program with status 0; every read was whole.
    void QuitAndCheck()
    {
        ASSERT_TRUE(m_program.Running()) << "the program ended by itself";
        m_program.Click(IDCANCEL);
        DWORD code = 1;
        ASSERT_TRUE(m_program.WaitForExit(code)) << "Quit did not end the program";
        EXPECT_EQ(code, 0u);
        const auto last = m_watcher->Last();
        const std::size_t seen = m_watcher->Count();
        const auto bad = m_watcher->Bad();
        m_watcher.reset();
        EXPECT_TRUE(bad.empty()) << bad.size() << " reads not whole, the first:\n" << (bad.empty() ? "" : bad[0]);
        EXPECT_TRUE(NoTemporaries()) << "a temporary was left behind";
        std::printf("[ figures  ] %zu documents seen, the last point %zu, %lld ms after Start\n", seen,
                    last ? last->place : 0,
                    last ? static_cast<long long>(std::chrono::duration_cast<Milliseconds>(last->at - m_started).count())
                         : -1LL);
    }

    static std::vector<std::string>* s_walk;
    CScratchFolder m_folder;
    std::wstring m_small; // a folder on a small volume, used instead of m_folder
    CProgram m_program;
    std::optional<CWatcher> m_watcher;
    Clock::time_point m_started;
};

std::vector<std::string>* FaultsTest::s_walk = nullptr;

TEST_F(FaultsTest, FolderNamedLikeTheFileHoldsTheWalkBackUntilItGoes)
{
    ASSERT_TRUE(CreateDirectoryW(File().c_str(), nullptr));
    StartWalk();
    Sleep(static_cast<DWORD>(kHold.count()));
    EXPECT_TRUE(m_folder.Temporaries().empty());
    EXPECT_FALSE(m_watcher->Last()) << "something was read from a folder";
    ASSERT_TRUE(RemoveDirectoryW(File().c_str())) << "the folder is no longer empty: error " << GetLastError();
    ExpectWritesAgain(0);
    QuitAndCheck();
}

// The read-only attribute of a folder bars nothing on Windows (nor under Wine): the walk
// goes on. That of the file does: its points are skipped until it is cleared.
TEST_F(FaultsTest, ReadOnlyFolderWritesOnAndReadOnlyFileSkipsUntilCleared)
{
    ASSERT_TRUE(SetFileAttributesW(m_folder.Path().c_str(), FILE_ATTRIBUTE_READONLY));
    StartWalk();
    const std::size_t first = WaitForFirstPoint();
    ASSERT_GT(first, 0u) << "nothing written in a read-only folder";
    ExpectWritesAgain(first);

    ASSERT_TRUE(SetFileAttributesW(File().c_str(), FILE_ATTRIBUTE_READONLY));
    const auto before = m_watcher->Last();
    ExpectStillFor(kHold);
    EXPECT_TRUE(WaitUntil([&] { return m_folder.Temporaries().empty(); }, 1s));
    ASSERT_TRUE(SetFileAttributesW(File().c_str(), FILE_ATTRIBUTE_NORMAL));
    ExpectWritesAgain(before->place);
    SetFileAttributesW(m_folder.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
    QuitAndCheck();
}

// A viewer holding the file open: without write sharing the file cannot be touched and
// points are skipped; with write but not delete sharing it is rewritten in place under a
// lock that stops every other read, on Windows. Wine's locks stop no read, so there the
// file is left alone too. Either way the held handle reads a whole document, and the
// walk keeps its pace.
TEST_F(FaultsTest, ReaderHoldingTheFileWithoutDeleteSharing)
{
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    StartWalk();
    std::size_t place = WaitForFirstPoint();
    ASSERT_GT(place, 0u);
    for (const DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        const bool blocks = (share & FILE_SHARE_WRITE) == 0 || wine;
        SCOPED_TRACE(blocks ? "reader shares only reading" : "reader shares reading and writing");
        HANDLE held = CreateFileW(File().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << "error " << GetLastError();
        if (blocks)
            ExpectStillFor(kHold);
        else
            ExpectWritesAgain(place);
        std::string text(1024, '\0');
        DWORD got = 0;
        SetFilePointer(held, 0, nullptr, FILE_BEGIN);
        EXPECT_TRUE(ReadFile(held, text.data(), static_cast<DWORD>(text.size()), &got, nullptr));
        text.resize(got);
        CloseHandle(held);
        EXPECT_NE(std::find(s_walk->begin(), s_walk->end(), text), s_walk->end()) << "held reader read:\n" << text;
        // A point in progress has its temporary; none may stay.
        EXPECT_TRUE(WaitUntil([&] { return m_folder.Temporaries().empty(); }, 1s));
        place = m_watcher->Last()->place;
        ExpectWritesAgain(place);
        place = m_watcher->Last()->place;
    }
    QuitAndCheck();
}

// The session may offer a small volume (tools/wine-session.sh, as root); the test fills
// it up while the walk runs, and frees it again.
TEST_F(FaultsTest, FullDiskSkipsPointsUntilThereIsRoomAgain)
{
    const char* small = std::getenv("VANTRELL_SMALL_FOLDER");
    if (!small || !*small)
        GTEST_SKIP() << "no small volume in this session";
    m_small = L"Z:" + std::wstring(small, small + std::strlen(small)) + L"\\full-" + std::to_wstring(GetCurrentProcessId());
    for (wchar_t& c : m_small)
        c = c == L'/' ? L'\\' : c;
    ASSERT_TRUE(CreateDirectoryW(m_small.c_str(), nullptr)) << "error " << GetLastError();
    StartWalk();
    const std::size_t first = WaitForFirstPoint();
    ASSERT_GT(first, 0u);

    const std::wstring filler = m_small + L"\\filler";
    HANDLE fill = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(fill, INVALID_HANDLE_VALUE);
    static const char block[4096] = {};
    DWORD wrote = 0;
    while (WriteFile(fill, block, sizeof block, &wrote, nullptr) && wrote == sizeof block) {
    }
    const DWORD error = GetLastError();
    CloseHandle(fill);
    std::printf("[ figures  ] the volume filled up with error %lu\n", error);
    const auto before = m_watcher->Last();
    ExpectStillFor(kHold);
    EXPECT_TRUE(WaitUntil([&] { return NoTemporaries(); }, 1s));
    ASSERT_TRUE(DeleteFileW(filler.c_str()));
    ExpectWritesAgain(before->place);
    QuitAndCheck();
    DeleteFileW(File().c_str());
    RemoveDirectoryW(m_small.c_str());
}

// Windows keeps a process's working folder while it runs; Wine may let it go. Either
// way the program lives on and answers, and writes wherever it still can.
TEST_F(FaultsTest, WorkingFolderRemovedDuringTheWalk)
{
    StartWalk();
    const std::size_t first = WaitForFirstPoint();
    ASSERT_GT(first, 0u);
    bool removed = false;
    for (int attempt = 0; attempt < 20 && !removed; ++attempt) {
        DeleteFileW(File().c_str());
        removed = RemoveDirectoryW(m_folder.Path().c_str()) != FALSE;
        if (!removed)
            Sleep(10);
    }
    const DWORD error = removed ? 0 : GetLastError();
    std::printf("[ figures  ] the working folder %s\n",
                removed ? "was removed" : ("stayed: error " + Decimal(error)).c_str());
    if (removed) {
        ExpectStillFor(kHold);
        ASSERT_TRUE(CreateDirectoryW(m_folder.Path().c_str(), nullptr)); // for the checks and the clean-up
    } else {
        ExpectWritesAgain(first);
    }
    QuitAndCheck();
}

// "Vantrell.kml" as a symbolic link: the link stays and is never replaced by a file, and
// nothing is left beside it. Creating one needs a privilege Windows grants to
// administrators or in developer mode; the case is skipped where it is refused.
TEST_F(FaultsTest, LinkNamedLikeTheFileStaysALink)
{
    const std::wstring target = m_folder.File(L"target.kml");
    ASSERT_TRUE(CreateEmptyFile(target));
    constexpr DWORD kUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    if (!CreateSymbolicLinkW(File().c_str(), L"target.kml", kUnprivileged) &&
        !CreateSymbolicLinkW(File().c_str(), L"target.kml", 0))
        GTEST_SKIP() << "no symbolic link here: error " << GetLastError();
    // Wine makes a Unix link that its own calls cannot read back as one.
    const DWORD made = GetFileAttributesW(File().c_str());
    if (made == INVALID_FILE_ATTRIBUTES || (made & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        GTEST_SKIP() << "the link made here does not read back as one: attributes " << Decimal(made);
    StartWalk();
    Sleep(static_cast<DWORD>(kHold.count()));
    const DWORD attributes = GetFileAttributesW(File().c_str());
    EXPECT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "the link was replaced by a file";
    const std::string text = ReadWholeFile(target);
    std::printf("[ figures  ] the link's target holds %zu bytes after %lld ms\n", text.size(),
                static_cast<long long>(kHold.count()));
    EXPECT_TRUE(text.empty() || std::find(s_walk->begin(), s_walk->end(), text) != s_walk->end());
    QuitAndCheck();
    DeleteFileW(File().c_str());
}

// Quit while the worker writes as fast as it can, at random moments.
TEST_F(FaultsTest, QuitAtRandomMomentsOfAWalkAtFullSpeed)
{
    std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    for (int round = 1; round <= Rounds(); ++round) {
        SCOPED_TRACE("round " + Decimal(round));
        CScratchFolder folder;
        CProgram program;
        ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
        ASSERT_TRUE(program.WaitForForm());
        CWatcher watcher(folder.File(L"Vantrell.kml"), ExpectedDocuments(FullSpeedWalk(), 3000));
        program.Fill(FullSpeedWalk());
        program.Click(IDOK);
        ASSERT_TRUE(watcher.WaitForPointAfter(0, 10s)) << "no point written";
        Sleep(random() % 500);
        program.Click(IDCANCEL);
        DWORD code = 1;
        ASSERT_TRUE(program.WaitForExit(code)) << "Quit did not end the program";
        EXPECT_EQ(code, 0u);
        const auto bad = watcher.Bad();
        EXPECT_TRUE(bad.empty()) << bad.size() << " reads not whole, the first:\n" << (bad.empty() ? "" : bad[0]);
        EXPECT_TRUE(folder.Temporaries().empty());
    }
}

// TerminateProcess at random moments of a walk at full speed: the file stays whole, and
// the next start clears whatever temporary the killed copy left.
TEST_F(FaultsTest, KilledAtRandomMomentsTheNextStartClearsItsTemporaries)
{
    std::mt19937 random(static_cast<unsigned>(Clock::now().time_since_epoch().count()));
    const std::vector<std::string> walk = ExpectedDocuments(FullSpeedWalk(), 3000);
    int left = 0;
    for (int round = 1; round <= Rounds(); ++round) {
        SCOPED_TRACE("round " + Decimal(round));
        CProgram program;
        ASSERT_TRUE(program.Start(m_folder.Path())) << "CreateProcess: error " << program.StartError();
        ASSERT_TRUE(program.WaitForForm());
        EXPECT_TRUE(m_folder.Temporaries().empty()) << "the start left a killed copy's temporary";
        program.Fill(FullSpeedWalk());
        program.Click(IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(File()).empty(); }, 10s)) << "no point written";
        Sleep(random() % 500);
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, program.ProcessId());
        ASSERT_TRUE(process && TerminateProcess(process, 9)) << "error " << GetLastError();
        CloseHandle(process);
        DWORD code = 0;
        ASSERT_TRUE(program.WaitForExit(code));
        const std::string text = ReadWholeFile(File());
        EXPECT_NE(std::find(walk.begin(), walk.end(), text), walk.end()) << "not a whole point:\n" << text;
        left += m_folder.Temporaries().empty() ? 0 : 1;
    }
    CProgram next;
    ASSERT_TRUE(next.Start(m_folder.Path()));
    ASSERT_TRUE(next.WaitForForm());
    EXPECT_TRUE(m_folder.Temporaries().empty()) << "the start left a killed copy's temporary";
    std::printf("[ figures  ] %d kills, %d left a temporary, each cleared by the next start\n", Rounds(), left);
}

} // namespace
} // namespace vantrell::win32test
