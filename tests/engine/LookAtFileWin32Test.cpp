// The LookAt file on Windows: the same promises as elsewhere, kept with Windows' own
// calls, and measured against a reader that holds the file as the viewer does.

#include "FileReplace.h"
#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "ReadWatch.h"
#include "SameFile.h"
#include "SmallFile.h"
#include "WidePath.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace vantrell {
namespace {

// The whole file as a reader opened with that sharing sees it; false if it could not open
// it or a read failed (a rewrite's lock), as a viewer then tries again at its next refresh.
bool ReadText(const std::string& path, DWORD share, std::string& text)
{
    text.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[1024];
    DWORD got = 0;
    bool read = true;
    while ((read = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return read;
}

std::string ReadFile(const std::string& path)
{
    std::string text;
    ReadText(path, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, text);
    return text;
}

std::string Expected(float latitude, float longitude, std::int32_t range)
{
    char out[kLookAtDocumentMax];
    return std::string(out, FormatLookAt(out, latitude, longitude, range));
}

bool Whole(const std::string& text)
{
    const std::string tail = "</kml>\r\n";
    return text.size() > tail.size() && text.compare(0, 5, "<?xml") == 0 &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The number on the document's range line; -1 if there is none.
long RangeIn(const std::string& text)
{
    const std::size_t at = text.find("<range>");
    return at == std::string::npos ? -1 : std::strtol(text.c_str() + at + 7, nullptr, 10);
}

// Names in dir ending in ".tmp": what a write could have left behind.
int Temporaries(const std::string& dir)
{
    int count = 0;
    WIN32_FIND_DATAA entry{};
    HANDLE search = FindFirstFileA((dir + "\\*.tmp").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (FindNextFileA(search, &entry));
    FindClose(search);
    return count;
}

class LookAtFileWin32Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        char base[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, base), 0u);
        m_dir = std::string(base) + "vantrell-file-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64());
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr));
    }
    void TearDown() override
    {
        SetFileAttributesA(Path("Vantrell.kml").c_str(), FILE_ATTRIBUTE_NORMAL);
        // Not cmd's rmdir: under Wine, given a folder past MAX_PATH, it empties its own
        // working folder instead.
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Path(const char* name) const { return m_dir + "\\" + name; }
    std::string m_dir;
};

TEST_F(LookAtFileWin32Test, DocumentHasCrLfAndOnlyTheLatestPoint)
{
    CLookAtFile file(Path("Vantrell.kml"));
    for (int i = 0; i < 20; ++i)
        file.WritePoint(45.0f, -121.994888f, i);
    const std::string text = ReadFile(Path("Vantrell.kml"));
    EXPECT_EQ(text, Expected(45.0f, -121.994888f, 19));
    EXPECT_NE(text.find("<longitude>-121.994888</longitude>\r\n<latitude>45.000000</latitude>\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("\r\r"), std::string::npos);
    EXPECT_EQ(Temporaries(m_dir), 0);
}

// Whatever sits under the temporary's name was put there by someone else: it is never
// opened, emptied or moved into place, and the writer takes another name.
TEST_F(LookAtFileWin32Test, PlantedTemporaryIsNeverUsed)
{
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "a folder" : "a file");
        CLookAtFile file(Path("Vantrell.kml"));
        const std::string planted = file.TemporaryName();
        if (folder) {
            ASSERT_TRUE(CreateDirectoryA(planted.c_str(), nullptr));
        } else {
            FILE* out = std::fopen(planted.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fputs("planted", out);
            std::fclose(out);
        }
        file.WritePoint(4.0f, 5.0f, 6);
        EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(4.0f, 5.0f, 6));
        const DWORD attributes = GetFileAttributesA(planted.c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "the planted name was moved or removed";
        EXPECT_EQ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, folder);
        if (!folder) {
            EXPECT_EQ(ReadFile(planted), "planted");
        }
        EXPECT_NE(file.TemporaryName(), planted);
        if (folder)
            RemoveDirectoryA(planted.c_str());
        else
            DeleteFileA(planted.c_str());
    }
    EXPECT_EQ(Temporaries(m_dir), 0);
}

// A folder or a read-only file of that name answers "access denied", as a reader's
// handle does; those never clear by waiting, so the point is skipped at once.
TEST_F(LookAtFileWin32Test, FolderOrReadOnlyFileIsSkippedWithoutRetries)
{
    struct Case {
        const char* what;
        bool folder;
    };
    for (const Case c : {Case{"a folder", true}, Case{"a read-only file", false}}) {
        SCOPED_TRACE(c.what);
        if (c.folder) {
            ASSERT_TRUE(CreateDirectoryA(Path("Vantrell.kml").c_str(), nullptr));
        } else {
            FILE* out = std::fopen(Path("Vantrell.kml").c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fputs("old", out);
            std::fclose(out);
            ASSERT_TRUE(SetFileAttributesA(Path("Vantrell.kml").c_str(), FILE_ATTRIBUTE_READONLY));
        }
        CLookAtFile file(Path("Vantrell.kml"));
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 10; ++i)
            file.WritePoint(1.0f, 2.0f, i);
        const auto spent = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(file.Written(), 0u);
        EXPECT_LT(spent, std::chrono::milliseconds(100)) << "ten points retried for nothing";
        if (!c.folder) {
            EXPECT_EQ(ReadFile(Path("Vantrell.kml")), "old");
        }
        EXPECT_EQ(Temporaries(m_dir), 0);
        SetFileAttributesA(Path("Vantrell.kml").c_str(), FILE_ATTRIBUTE_NORMAL);
        if (c.folder)
            RemoveDirectoryA(Path("Vantrell.kml").c_str());
        else
            DeleteFileA(Path("Vantrell.kml").c_str());
    }
}

// The viewer opens the file now and then and reads it. Whatever way of replacing this
// system allows, a reader must never find it empty, and no temporary may stay behind.
// The reader here reads without pause, a hundred thousand times while a walk writes
// as fast as it can; what a held file makes the writer do shows in the figures.
TEST_F(LookAtFileWin32Test, ReaderHoldingTheFileNeverSeesItEmpty)
{
    constexpr long kReads = 100'000;
    // Well above what the reads take under Wine; only a stalled writer or reader nears it.
    constexpr auto kDeadline = std::chrono::seconds(50);
    for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE},
                              DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
        const bool deleteSharing = (share & FILE_SHARE_DELETE) != 0;
        SCOPED_TRACE(deleteSharing ? "reader shares delete" : "reader does not share delete");
        // Point i has range i, so a read tells which point it should hold whole.
        const auto longitude = [](long i) { return -122.0f + static_cast<float>(i % 100000) * 0.001f; };
        const auto point = [&](long i) { return Expected(45.0f, longitude(i), static_cast<std::int32_t>(i)); };
        CLookAtFile file(Path("Vantrell.kml"));
        file.WritePoint(45.0f, longitude(0), 0);
        std::atomic<bool> stop{false};
        long attempted = 0, lastWritten = 0;
        std::thread writer([&] {
            for (long i = 1; !stop.load(); ++i) {
                const std::size_t before = file.Written();
                file.WritePoint(45.0f, longitude(i), static_cast<std::int32_t>(i));
                attempted = i;
                if (file.Written() > before)
                    lastWritten = i;
            }
        });
        long reads = 0, unopened = 0, empty = 0, torn = 0; // unopened: not opened, or a read refused
        std::string text, example;
        const auto start = std::chrono::steady_clock::now();
        while (reads < kReads && std::chrono::steady_clock::now() - start < kDeadline) {
            if (!ReadText(Path("Vantrell.kml"), share, text)) {
                ++unopened;
                continue;
            }
            ++reads;
            // Blanks after the document's end are allowed XML: an in-place rewrite pads with them.
            const std::size_t end = text.find_last_not_of(' ');
            text.erase(end == std::string::npos ? 0 : end + 1);
            if (text.empty()) {
                ++empty;
            } else if (!Whole(text) || text != point(RangeIn(text))) {
                if (torn++ == 0)
                    example = text;
            }
        }
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        stop.store(true);
        writer.join();
        const long skipped = attempted + 1 - static_cast<long>(file.Written());
        std::printf("[ figures  ] %s: %ld reads in %lld ms (%ld not opened or refused), %ld empty, %ld torn; "
                    "%ld points, %ld skipped; %d temporaries left\n",
                    deleteSharing ? "delete sharing" : "no delete sharing", reads, static_cast<long long>(spent.count()),
                    unopened, empty, torn, attempted, skipped, Temporaries(m_dir));
        // A file held past the retries is rewritten in place only under a lock that stops
        // every read; no read may ever mix two points.
        if (torn > 0)
            std::printf("[ figures  ] the first torn read (%zu bytes), ending in %s\n", example.size(),
                        example.back() == '\0' ? "a NUL byte" : "other text");
        EXPECT_EQ(empty, 0);
        EXPECT_EQ(torn, 0);
        EXPECT_GE(reads, kReads) << "the reads took longer than " << kDeadline.count() << " s";
        EXPECT_EQ(ReadFile(Path("Vantrell.kml")), point(lastWritten));
        EXPECT_EQ(Temporaries(m_dir), 0);
    }
}

// A viewer holds the file for some 50 ms every 4 s, as it reads it; here for 60 ms, a
// margin over that, every 150 ms, while the walk writes a point every 30 ms and, the
// worst case, one the moment a hold begins. The writer waits such a hold out.
TEST_F(LookAtFileWin32Test, ReaderHoldingTheFileBrieflyCostsNoPoint)
{
    constexpr int kPoints = 30;
    CLookAtFile file(Path("Vantrell.kml"));
    file.WritePoint(45.0f, -122.0f, 0);
    const HANDLE holdBegins = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            // Sharing reading only: neither a move nor an in-place rewrite gets past it.
            HANDLE held = CreateFileA(Path("Vantrell.kml").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            SetEvent(holdBegins);
            Sleep(60);
            CloseHandle(held);
            Sleep(90);
        }
    });
    for (int i = 1; i <= kPoints; ++i) {
        WaitForSingleObject(holdBegins, 30);
        file.WritePoint(45.0f, -122.0f, i);
    }
    stop.store(true);
    reader.join();
    CloseHandle(holdBegins);
    EXPECT_EQ(file.Written(), static_cast<std::uint64_t>(kPoints + 1));
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(45.0f, -122.0f, kPoints));
}

// Wine refuses every oplock (error 50): there the watch says its folder cannot be watched,
// at once, whether the file is there yet or not (the probe leaves nothing behind), and
// the writer, told around every replace all the same, writes every point. Windows grants
// the oplock on a local disk: a read after the last point is that version's read.
TEST_F(LookAtFileWin32Test, ReadWatchLeavesEveryReplaceToTheWriter)
{
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    struct CStandInClock final : IClock {
        std::int64_t NowMs() noexcept override { return 42; }
    } clock;
    for (const bool there : {false, true}) {
        SCOPED_TRACE(there ? "the file is there before the watch" : "no file before the watch");
        DeleteFileA(Path("Vantrell.kml").c_str());
        if (there)
            CLookAtFile(Path("Vantrell.kml")).WritePoint(0.0f, 0.0f, 0);
        const auto watch = MakeReadWatch(Path("Vantrell.kml"), clock);
        EXPECT_EQ(watch->Status().watchable, !wine);
        EXPECT_EQ(GetFileAttributesA(Path("Vantrell.kml").c_str()) != INVALID_FILE_ATTRIBUTES, there);
        EXPECT_EQ(Temporaries(m_dir), 0);
        CLookAtFile file(Path("Vantrell.kml"), watch.get());
        for (int i = 1; i <= 20; ++i)
            file.WritePoint(45.0f, -122.0f, i);
        EXPECT_EQ(file.Written(), 20u);
        EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(45.0f, -122.0f, 20));
        EXPECT_EQ(Temporaries(m_dir), 0);
        // The opener goes on at the acknowledgement, which comes just before the count.
        ReadStatus status = watch->Status();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (status.watchable && !status.newestRead && std::chrono::steady_clock::now() < deadline)
            status = watch->Status();
        EXPECT_EQ(status.watchable, !wine);
        EXPECT_EQ(status.replaced, wine ? 0u : 20u);
        EXPECT_EQ(status.read > 0, !wine); // a scanner's open may count too
        EXPECT_EQ(status.newestRead, !wine);
        EXPECT_EQ(status.lastReadMs, wine ? -1 : 42);
    }
}

// Relative paths stop at MAX_PATH (260), and the temporary's name is some 39 characters
// longer than the file's: in a deep folder every point would be lost. Paths in the "\\?\"
// form go past it; Wine does not enforce the limit, so the form is checked directly.
TEST(ExtendedLengthPath, TakesDrivesAndSharesPastMaxPath)
{
    const std::wstring deep = L"C:\\" + std::wstring(250, L'd') + L"\\Vantrell.kml";
    struct Case {
        std::wstring full, extended;
    };
    const Case cases[] = {
        {L"C:\\work\\Vantrell.kml", L"\\\\?\\C:\\work\\Vantrell.kml"},
        {L"d:\\Vantrell.kml", L"\\\\?\\d:\\Vantrell.kml"},
        {deep, L"\\\\?\\" + deep},
        {L"\\\\server\\share\\maps\\Vantrell.kml", L"\\\\?\\UNC\\server\\share\\maps\\Vantrell.kml"},
        {L"\\\\?\\C:\\work\\Vantrell.kml", L"\\\\?\\C:\\work\\Vantrell.kml"},
        {L"\\\\?\\UNC\\server\\share\\Vantrell.kml", L"\\\\?\\UNC\\server\\share\\Vantrell.kml"},
        {L"\\\\.\\C:\\Vantrell.kml", L"\\\\.\\C:\\Vantrell.kml"},
        {L"Vantrell.kml", L"Vantrell.kml"},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExtendedLengthPath(c.full), c.extended) << std::string(c.full.begin(), c.full.end());
}

// A MAX_PATH buffer on the way loses a deep folder's file, or takes one file for two (the
// preview's guard against writing over the scan's own file failed so).
TEST_F(LookAtFileWin32Test, DeepFolderPastMaxPath)
{
    std::string deep = m_dir;
    for (int level = 0; level < 5; ++level) {
        deep += "\\" + std::string(60, static_cast<char>('a' + level));
        const std::wstring wide(deep.begin(), deep.end());
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wide).c_str(), nullptr)) << GetLastError();
    }
    const std::string file = deep + "\\Vantrell.kml";
    ASSERT_GT(file.size(), 300u);
    CLookAtFile writer(file);
    writer.WritePoint(1.0f, 2.0f, 3);
    EXPECT_EQ(writer.Written(), 1u);
    std::string text;
    EXPECT_EQ(ReadSmallFile(file, 4096, text), SmallFile::Read);
    EXPECT_EQ(text, Expected(1.0f, 2.0f, 3));
    const std::string other = deep + "\\.\\..\\" + deep.substr(deep.find_last_of('\\') + 1) + "\\Vantrell.kml";
    EXPECT_TRUE(SameFile(file, other));
}

// A killed copy's temporaries go at the next start; a running writer's stay.
TEST_F(LookAtFileWin32Test, StaleTemporariesOfDeadWritersAreRemoved)
{
    // Windows process numbers are multiples of 4; this one runs nothing.
    const std::string dead = "2147483644";
    const std::string self = std::to_string(GetCurrentProcessId());
    struct Entry {
        std::string name;
        bool folder;
        bool removed;
    };
    const Entry entries[] = {
        {"Vantrell.kml." + dead + "-0123456789abcdef.tmp", false, true},
        {"Vantrell.kml." + dead + "-0.tmp", false, true},
        {"Vantrell.kml." + self + "-0123456789abcdef.tmp", false, false},
        {"Vantrell.kml." + dead + "-00000000000000fe.tmp", true, false},
        {"Vantrell.kml.tmp", false, false},
        {"Other.kml." + dead + "-0123456789abcdef.tmp", false, false},
    };
    for (const Entry& e : entries) {
        if (e.folder) {
            ASSERT_TRUE(CreateDirectoryA(Path(e.name.c_str()).c_str(), nullptr));
        } else {
            FILE* out = std::fopen(Path(e.name.c_str()).c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fclose(out);
        }
    }
    char previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(m_dir.c_str()));
    const std::size_t removed = RemoveStaleTemporaries("Vantrell.kml");
    ASSERT_TRUE(SetCurrentDirectoryA(previous));
    EXPECT_EQ(removed, 2u);
    for (const Entry& e : entries)
        EXPECT_EQ(GetFileAttributesA(Path(e.name.c_str()).c_str()) == INVALID_FILE_ATTRIBUTES, e.removed) << e.name;
}

} // namespace
} // namespace vantrell
