#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "ReadWatch.h"
#include "Recorder.h"
#include "ScanJob.h"
#include "TemporaryName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>
#include <dirent.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vantrell {
namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Expected(float latitude, float longitude, std::int32_t range)
{
    char out[kLookAtDocumentMax];
    return std::string(out, FormatLookAt(out, latitude, longitude, range));
}

// Names in dir ending in ".tmp": what a write could have left behind.
int Temporaries(const std::string& dir)
{
    int count = 0;
    if (DIR* listing = ::opendir(dir.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            count += name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
        }
        ::closedir(listing);
    }
    return count;
}

// Each test gets its own empty directory, removed afterwards.
class LookAtFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vantrell-file-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string Path(const char* name) const { return m_dir + "/" + name; }

    std::string m_dir;
};

TEST_F(LookAtFileTest, HoldsOnlyTheLatestPointAndNoTemporary)
{
    CLookAtFile file(Path("Vantrell.kml"));
    for (int i = 0; i < 50; ++i)
        file.WritePoint(45.0f - static_cast<float>(i), -122.0f, i);
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(-4.0f, -122.0f, 49));
    EXPECT_EQ(file.Written(), 50u);
    EXPECT_EQ(Temporaries(m_dir), 0);
}

TEST_F(LookAtFileTest, ProgramFileLiesInTheWorkingDirectory)
{
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(m_dir.c_str()), 0);
    ProgramLookAtFile().WritePoint(1.5f, 2.5f, 3);
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(1.5f, 2.5f, 3));
}

// A point that cannot be written is skipped; the walk keeps its delays, and the next
// point tries again once the obstacle is gone.
TEST_F(LookAtFileTest, UnwritablePointsAreSkippedAndTheWalkGoesOn)
{
    CLookAtFile file(Path("Vantrell.kml"));
    ASSERT_EQ(::mkdir(Path("Vantrell.kml").c_str(), 0755), 0); // a directory in the file's place
    test::CRecorder clock;
    clock.stopAfterPoints = 1000;
    struct CTee final : IPointWriter {
        CLookAtFile& file;
        test::CRecorder& clock;
        std::function<void()> between;
        CTee(CLookAtFile& f, test::CRecorder& c) : file(f), clock(c) {}
        void WritePoint(float lat, float lon, std::int32_t range) override
        {
            file.WritePoint(lat, lon, range);
            clock.WritePoint(lat, lon, range);
        }
    } tee(file, clock);
    clock.onPoint = [&](std::size_t n) {
        if (n == 3)
            ::rmdir(Path("Vantrell.kml").c_str());
        if (n == 4)
            throw test::WalkStopped();
    };
    CScanJob job({45, 0, 0, "North", 122, 0, 0, "West", 1, 1, 4, 1000, 0}, tee, clock);
    EXPECT_THROW(job.Run(), test::WalkStopped);
    EXPECT_EQ(file.Written(), 1u) << "only the point after the obstacle went";
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(45.0f, -121.979553f, 1000));
    EXPECT_EQ(clock.events.size(), 7u) << "every skipped point keeps its delay";
    EXPECT_EQ(Temporaries(m_dir), 0);
}

TEST_F(LookAtFileTest, FailuresLeaveTargetAndNoTemporary)
{
    CLookAtFile file(Path("Vantrell.kml"));
    file.WritePoint(1.0f, 2.0f, 3);
    const std::string before = ReadFile(Path("Vantrell.kml"));
    ASSERT_EQ(file.TemporaryName().rfind(m_dir + "/Vantrell.kml.", 0), 0u) << "beside the file, for an atomic rename";

    // A full disk, as a file-size limit below the document's size: the write comes up short.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    file.WritePoint(7.0f, 8.0f, 9);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), before);
    EXPECT_EQ(Temporaries(m_dir), 0);
    EXPECT_EQ(file.Written(), 1u);

    // A read-only directory (root writes anyway, so only for ordinary users).
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(m_dir.c_str(), 0555), 0);
        file.WritePoint(7.0f, 8.0f, 9);
        ::chmod(m_dir.c_str(), 0755);
        EXPECT_EQ(ReadFile(Path("Vantrell.kml")), before);
    }

    file.WritePoint(7.0f, 8.0f, 9);
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(7.0f, 8.0f, 9));
}

// The viewer reads whenever it likes; it must never find the file empty or half written.
// A million reads while two walks write at speed factor 0: each read opens the file,
// reads it whole and closes it, as the viewer does.
TEST_F(LookAtFileTest, ReaderNeverSeesATornDocument)
{
    constexpr long kReads = 1'000'000;
    // Far above the few seconds this takes; only a stalled writer or reader comes near it.
    constexpr auto kDeadline = std::chrono::seconds(120);
    // Two writers on one name, as two copies of the program in one directory would be.
    CLookAtFile file(Path("Vantrell.kml"));
    CLookAtFile other(Path("Vantrell.kml"));
    EXPECT_NE(file.TemporaryName(), other.TemporaryName());
    file.WritePoint(0.0f, 0.0f, 0);
    std::atomic<bool> stop{false};
    const auto walk = [&stop](CLookAtFile& target) {
        struct CNoWait final : ISleeper {
            std::atomic<bool>& stop;
            explicit CNoWait(std::atomic<bool>& s) : stop(s) {}
            void Sleep(std::uint64_t) override
            {
                if (stop.load())
                    throw test::WalkStopped();
            }
        } noWait(stop);
        CScanJob job({45, 0, 0, "North", 122, 0, 0, "West", 3, 3, 0, 1000, 1}, target, noWait);
        try {
            job.Run();
        } catch (const test::WalkStopped&) {
        }
    };
    std::thread writer(walk, std::ref(file));
    std::thread second(walk, std::ref(other));
    const std::string tail = std::string("</kml>") + std::string(kLineEnd);
    const std::string path = Path("Vantrell.kml");
    long reads = 0;
    long torn = 0;
    long unopened = 0;
    std::string example;
    const auto start = std::chrono::steady_clock::now();
    bool late = false;
    while (reads < kReads && !late) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            ++unopened;
            continue;
        }
        char text[2 * kLookAtDocumentMax];
        std::size_t size = 0;
        ssize_t got = 0;
        while (size < sizeof text && (got = ::read(fd, text + size, sizeof text - size)) > 0)
            size += static_cast<std::size_t>(got);
        ::close(fd);
        ++reads;
        const std::string_view view(text, size);
        const bool whole = got >= 0 && view.size() > tail.size() && view.substr(0, 5) == "<?xml" &&
                           view.substr(view.size() - tail.size()) == tail;
        if (!whole && torn++ == 0)
            example = view;
        if (reads % 4096 == 0)
            late = std::chrono::steady_clock::now() - start > kDeadline;
    }
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    stop.store(true);
    writer.join();
    second.join();
    std::printf("[ figures  ] %ld reads in %lld ms, %ld torn, %ld not opened; %zu + %zu points written\n", reads,
                static_cast<long long>(spent.count()), torn, unopened, file.Written(), other.Written());
    EXPECT_EQ(torn, 0) << "of " << reads << " reads; the first:\n" << example;
    EXPECT_EQ(unopened, 0) << "the file was missing at times";
    EXPECT_GE(reads, kReads) << "the reads took longer than " << kDeadline.count() << " s";
    EXPECT_GT(file.Written(), 100u);
    EXPECT_GT(other.Written(), 100u);
    EXPECT_EQ(Temporaries(m_dir), 0);
}

TEST_F(LookAtFileTest, FrozenFileIgnoresLaterPoints)
{
    CLookAtFile file(Path("Vantrell.kml"));
    file.WritePoint(1.0f, 1.0f, 1);
    file.Freeze();
    file.WritePoint(2.0f, 2.0f, 2);
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(1.0f, 1.0f, 1));
    EXPECT_EQ(file.Written(), 1u);
}

// Whatever sits under the temporary's name when a point is written was put there by
// someone else: it is never opened, truncated, followed or moved into place.
TEST_F(LookAtFileTest, PlantedTemporaryIsNeverUsed)
{
    struct Plant {
        const char* what;
        std::function<int(const std::string&)> make;
    };
    const std::string victim = Path("victim");
    const Plant plants[] = {
        {"a file", [](const std::string& at) { std::ofstream(at) << "planted"; return 0; }},
        {"a link", [&victim](const std::string& at) { return ::symlink(victim.c_str(), at.c_str()); }},
        {"a pipe", [](const std::string& at) { return ::mkfifo(at.c_str(), 0666); }},
        {"a directory", [](const std::string& at) { return ::mkdir(at.c_str(), 0755); }},
    };
    for (const Plant& plant : plants) {
        SCOPED_TRACE(plant.what);
        { std::ofstream(victim) << "keep"; }
        CLookAtFile file(Path("Vantrell.kml"));
        const std::string planted = file.TemporaryName();
        ASSERT_EQ(plant.make(planted), 0);
        struct stat before {};
        ASSERT_EQ(::lstat(planted.c_str(), &before), 0);

        // A pipe would block an open for writing until someone reads: give the write a
        // second, then read the pipe ourselves so a failing writer cannot hang the test.
        std::thread writer([&file] { file.WritePoint(4.0f, 5.0f, 6); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (file.Written() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const bool returned = file.Written() == 1;
        if (!returned && S_ISFIFO(before.st_mode))
            ::close(::open(planted.c_str(), O_RDONLY | O_NONBLOCK));
        writer.join();
        EXPECT_TRUE(returned) << "the write waited on what was planted";

        EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(4.0f, 5.0f, 6));
        struct stat after {};
        ASSERT_EQ(::lstat(planted.c_str(), &after), 0) << "the planted name was moved or removed";
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ((after.st_mode & S_IFMT), (before.st_mode & S_IFMT));
        if (S_ISREG(after.st_mode)) {
            EXPECT_EQ(ReadFile(planted), "planted");
        }
        EXPECT_EQ(ReadFile(victim), "keep");
        EXPECT_NE(file.TemporaryName(), planted) << "the writer must move on to another name";

        std::system(("rm -rf '" + planted + "' '" + Path("Vantrell.kml") + "'").c_str());
    }
    EXPECT_EQ(Temporaries(m_dir), 0);
}

// A link named Vantrell.kml is written through, as a plain open would: the link stays,
// and the file it leads to is replaced whole in its own folder.
TEST_F(LookAtFileTest, LinkIsFollowedToTheFileItNames)
{
    ASSERT_EQ(::mkdir(Path("elsewhere").c_str(), 0755), 0);
    const std::string real = Path("elsewhere/real.kml");
    struct Case {
        const char* what;
        std::string link;   // what Vantrell.kml points at
        std::string middle; // a second link in between, when not empty
        bool realExists;
    };
    const Case cases[] = {
        {"relative link", "elsewhere/real.kml", "", true},
        {"absolute link", real, "", true},
        {"link to a link", "hop", "elsewhere/real.kml", true},
        {"dangling link", "elsewhere/real.kml", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(real.c_str());
        if (c.realExists)
            std::ofstream(real) << "old";
        ASSERT_EQ(::symlink(c.link.c_str(), Path("Vantrell.kml").c_str()), 0);
        if (!c.middle.empty()) {
            ASSERT_EQ(::symlink(c.middle.c_str(), Path(c.link.c_str()).c_str()), 0);
        }

        CLookAtFile file(Path("Vantrell.kml"));
        file.WritePoint(7.0f, 8.0f, 9);
        struct stat link {};
        ASSERT_EQ(::lstat(Path("Vantrell.kml").c_str(), &link), 0);
        EXPECT_TRUE(S_ISLNK(link.st_mode)) << "the link was replaced by a file";
        EXPECT_EQ(ReadFile(real), Expected(7.0f, 8.0f, 9));
        EXPECT_EQ(Temporaries(m_dir) + Temporaries(Path("elsewhere")), 0);

        ::unlink(Path("Vantrell.kml").c_str());
        if (!c.middle.empty())
            ::unlink(Path(c.link.c_str()).c_str());
    }

    // A loop of links leads nowhere: the point is skipped, nothing else happens.
    ASSERT_EQ(::symlink("Vantrell.kml", Path("Vantrell.kml").c_str()), 0);
    CLookAtFile looped(Path("Vantrell.kml"));
    looped.WritePoint(1.0f, 1.0f, 1);
    EXPECT_EQ(looped.Written(), 0u);
    EXPECT_EQ(Temporaries(m_dir), 0);
}

// Replacing the file keeps who may read it: a private file stays private.
TEST_F(LookAtFileTest, ReplacedFileKeepsItsPermissions)
{
    const mode_t oldMask = ::umask(022);
    for (const mode_t mode : {0600, 0640, 0644, 0666, 0400}) {
        SCOPED_TRACE(mode);
        { std::ofstream(Path("Vantrell.kml")) << "old"; }
        ASSERT_EQ(::chmod(Path("Vantrell.kml").c_str(), mode), 0);
        CLookAtFile file(Path("Vantrell.kml"));
        file.WritePoint(1.0f, 2.0f, 3);
        file.WritePoint(1.0f, 2.0f, 4);
        struct stat info {};
        ASSERT_EQ(::stat(Path("Vantrell.kml").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
        EXPECT_EQ(file.Written(), 2u);
        ::unlink(Path("Vantrell.kml").c_str());
    }
    // A new file gets the usual permissions of a new file.
    CLookAtFile file(Path("Vantrell.kml"));
    file.WritePoint(1.0f, 2.0f, 3);
    struct stat info {};
    ASSERT_EQ(::stat(Path("Vantrell.kml").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ::umask(oldMask);
}

// A process number that certainly runs no process: a child that has ended and been reaped.
pid_t DeadProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// Temporaries that a killed writer left behind go at the next start; nothing else does.
TEST_F(LookAtFileTest, StaleTemporariesOfDeadWritersAreRemoved)
{
    const std::string dead = std::to_string(DeadProcess());
    const std::string live = std::to_string(::getppid());
    const std::string self = std::to_string(::getpid());
    struct Entry {
        std::string name;
        char kind; // 'f' file, 'l' link, 'd' directory, 'o' a file of another user,
                   // 't' a link to the target in away/, where its temporaries lie
        bool removed;
    };
    const Entry entries[] = {
        {"away", 'd', false},
        {"Vantrell.kml." + dead + "-0123456789abcdef.tmp", 'f', true},
        {"Vantrell.kml." + dead + "-0.tmp", 'f', true}, // an older version's numbering
        {"Vantrell.kml." + live + "-0123456789abcdef.tmp", 'f', false},
        {"Vantrell.kml." + self + "-0123456789abcdef.tmp", 'f', false},
        {"Vantrell.kml." + dead + "-00000000000000ff.tmp", 'l', false},
        {"Vantrell.kml." + dead + "-00000000000000fe.tmp", 'd', false},
        {"Vantrell.kml." + dead + "-00000000000000fd.tmp", 'o', false},
        {"Vantrell.kml.tmp", 'f', false},
        {"Vantrell.kml." + dead + ".tmp", 'f', false},
        {"Vantrell.kml." + dead + "-xyz.tmp", 'f', false},
        {"Other.kml." + dead + "-0123456789abcdef.tmp", 'f', false},
        {"Vantrell.kml", 't', false},
        {"away/target.kml", 'f', false},
        {"away/target.kml." + dead + "-0123456789abcdef.tmp", 'f', true},
        {"away/target.kml." + live + "-0123456789abcdef.tmp", 'f', false},
        {"away/target.kml." + dead + "-00000000000000ff.tmp", 'l', false},
        {"away/target.kml." + dead + "-00000000000000fd.tmp", 'o', false},
        {"away/Vantrell.kml." + dead + "-0123456789abcdef.tmp", 'f', false},
    };
    for (const Entry& e : entries) {
        const std::string path = Path(e.name.c_str());
        if (e.kind == 'l' || e.kind == 't')
            ASSERT_EQ(::symlink(e.kind == 'l' ? "Vantrell.kml" : "away/target.kml", path.c_str()), 0);
        else if (e.kind == 'd')
            ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        else
            std::ofstream(path) << "x";
        if (e.kind == 'o' && ::lchown(path.c_str(), 65534, 65534) != 0) {
            ASSERT_NE(::geteuid(), 0u) << "root could not give a file away";
        }
    }

    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(m_dir.c_str()), 0);
    const std::size_t removed = RemoveStaleTemporaries("Vantrell.kml");
    ASSERT_EQ(::chdir(previous), 0);

    std::size_t expected = 0;
    for (const Entry& e : entries) {
        struct stat info {};
        const bool gone = ::lstat(Path(e.name.c_str()).c_str(), &info) != 0;
        const bool giveAwayFailed = e.kind == 'o' && ::geteuid() != 0;
        if (!giveAwayFailed) {
            EXPECT_EQ(gone, e.removed) << e.name;
        }
        expected += e.removed ? 1 : 0;
    }
    EXPECT_EQ(removed, expected);
}

// The stand-in clock of the read watch's tests: what the test set it to.
struct CStandInClock final : IClock {
    std::atomic<std::int64_t> now{0};
    std::int64_t NowMs() noexcept override { return now.load(); }
};

// Reads path whole in a process of its own, as the viewer would, and returns when it has:
// its open is queued by then.
void ReadInAnotherProcess(const std::string& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::open("/dev/null", O_WRONLY), 1);
        ::execlp("cat", "cat", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
}

// Only an open that comes after a version of ours replaced the one before counts as its
// read, whoever makes it; directly or through a link, whose events come from the folder
// of the file it leads to. Steps: w writes a point; r reads the file in another process;
// o opens it here and keeps it, c reads the kept one and closes it; f puts another
// program's version in place; x writes a point whose Replaced() comes only after a
// reader's open and a Status() (another thread asking while the writer is in the write);
// v overflows the watch's queue of events; m moves the watched folder away and back.
// A Status() follows every step; the clock shows the step, from 100. After lost events
// or a lost watch the newest version is "cannot tell", and the next one is watched.
TEST_F(LookAtFileTest, ReadWatchCountsOnlyOpensOfTheNewestVersion)
{
    struct Case {
        const char* what;
        const char* steps;
        std::uint64_t replaced, read;
        bool newestRead;
        int lastReadStep; // -1: none
        std::uint64_t cannotTell = 0;
        bool newestCannotTell = false;
    };
    const Case cases[] = {
        {"written, not read", "w", 1, 0, false, -1},
        {"read after the write", "wr", 1, 1, true, 1},
        {"read twice", "wrr", 1, 1, true, 2},
        {"the version before was read", "wrw", 2, 1, false, 1},
        {"each version read", "wrwr", 2, 2, true, 3},
        {"opened before the write, read after it", "wowc", 2, 1, false, 1},
        {"opened while the writer is in the write", "x", 1, 1, true, 0},
        {"another program's version in between", "wfr", 1, 0, false, -1},
        {"events lost after the write", "wv", 1, 0, false, -1, 1, true},
        {"events lost, the next version read", "wvwr", 2, 1, true, 3, 1, false},
        {"read, then events lost", "wrv", 1, 1, true, 1},
        {"the folder moved after the write", "wmr", 1, 0, false, -1, 1, true},
        {"the folder moved, the next version read", "wmwr", 2, 1, true, 3, 1, false},
    };
    // Opens of other files in the folder, alternating so that none merges with the one
    // before, fill the queue; a kernel allowing far more is not worth filling.
    long queueMax = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueMax;
    int folder = 0;
    for (const bool link : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (link ? ", through a link" : ""));
            if (std::strchr(c.steps, 'v') && (queueMax <= 0 || queueMax > 1'000'000)) {
                std::printf("[ skipped  ] %s: the event queue holds %ld\n", c.what, queueMax);
                continue;
            }
            const std::string dir = m_dir + "/" + std::to_string(folder++);
            ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
            ASSERT_EQ(::mkdir((dir + "/elsewhere").c_str(), 0755), 0);
            const std::string name = dir + "/Vantrell.kml";
            const std::string real = link ? dir + "/elsewhere/real.kml" : name;
            const std::string realDir = real.substr(0, real.rfind('/'));
            if (link) {
                ASSERT_EQ(::symlink("elsewhere/real.kml", name.c_str()), 0);
            }
            CStandInClock clock;
            const auto watch = MakeReadWatch(name, clock);
            CLookAtFile file(name, watch.get());
            CFileReplacer replacer(name);
            int kept = -1;
            for (int step = 0; c.steps[step] != '\0'; ++step) {
                clock.now = 100 * (step + 1);
                switch (c.steps[step]) {
                case 'w':
                    file.WritePoint(1.0f, 2.0f, step);
                    break;
                case 'r':
                    ReadInAnotherProcess(name);
                    break;
                case 'o':
                    kept = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
                    break;
                case 'c': {
                    char text[kLookAtDocumentMax];
                    EXPECT_GT(::read(kept, text, sizeof text), 0);
                    ::close(kept);
                    break;
                }
                case 'f':
                    std::ofstream(dir + "/elsewhere/other") << "theirs";
                    ASSERT_EQ(std::rename((dir + "/elsewhere/other").c_str(), real.c_str()), 0);
                    break;
                case 'v':
                    for (long i = 0; i <= queueMax; ++i)
                        ::close(::open((realDir + (i % 2 ? "/a" : "/b")).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
                    break;
                case 'm':
                    ASSERT_EQ(std::rename(realDir.c_str(), (realDir + ".aside").c_str()), 0);
                    ASSERT_EQ(std::rename((realDir + ".aside").c_str(), realDir.c_str()), 0);
                    break;
                case 'x':
                    watch->Replacing();
                    ASSERT_TRUE(replacer.Replace("x", 1));
                    ReadInAnotherProcess(name);
                    watch->Status();
                    watch->Replaced();
                    break;
                }
                watch->Status();
            }
            const ReadStatus status = watch->Status();
            EXPECT_TRUE(status.watchable);
            EXPECT_EQ(status.replaced, c.replaced);
            EXPECT_EQ(status.read, c.read);
            EXPECT_EQ(status.newestRead, c.newestRead);
            EXPECT_EQ(status.lastReadMs, c.lastReadStep < 0 ? -1 : 100 * (c.lastReadStep + 1));
            // The wait on a point counts from its write: each write is stamped.
            EXPECT_EQ(status.newestMs >= 100, c.replaced > 0) << status.newestMs;
            EXPECT_EQ(status.cannotTell, c.cannotTell);
            EXPECT_EQ(status.newestCannotTell, c.newestCannotTell);
        }
    }
}

// Where the folder cannot be watched the watch says so, and the writer goes on as ever.
TEST_F(LookAtFileTest, UnwatchableFolderLeavesTheWriterAlone)
{
    rlimit files{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &files), 0);
    struct Case {
        const char* what;
        std::function<bool()> before; // false: cannot be made here
        std::function<void()> made;   // once the watch is made
        std::function<void()> after;
    };
    const Case cases[] = {
        {"no descriptor left",
         [&files] {
#if defined(__SANITIZE_ADDRESS__)
             // The sanitizers' runtime opens descriptors of its own to check memory, and
             // takes their failure for a fault of ours.
             return false;
#endif
             rlimit none = files;
             const int lowest = ::dup(0);
             ::close(lowest);
             none.rlim_cur = static_cast<rlim_t>(lowest);
             return ::setrlimit(RLIMIT_NOFILE, &none) == 0;
         },
         [&files] { ::setrlimit(RLIMIT_NOFILE, &files); }, [] {}},
        {"a folder it may not list", // root reads it anyway
         [this] { return ::geteuid() != 0 && ::chmod(m_dir.c_str(), 0300) == 0; }, [] {},
         [this] { ::chmod(m_dir.c_str(), 0755); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.before()) {
            std::printf("[ skipped  ] %s: cannot be made here\n", c.what);
            continue;
        }
        CStandInClock clock;
        const auto watch = MakeReadWatch(Path("Vantrell.kml"), clock);
        c.made();
        CLookAtFile file(Path("Vantrell.kml"), watch.get());
        for (int i = 0; i < 20; ++i)
            file.WritePoint(1.0f, 2.0f, i);
        ReadInAnotherProcess(Path("Vantrell.kml"));
        const ReadStatus status = watch->Status();
        c.after();
        EXPECT_EQ(file.Written(), 20u);
        EXPECT_EQ(ReadFile(Path("Vantrell.kml")), Expected(1.0f, 2.0f, 19));
        EXPECT_EQ(Temporaries(m_dir), 0);
        EXPECT_FALSE(status.watchable);
        EXPECT_EQ(status.replaced + status.read, 0u);
        EXPECT_FALSE(status.newestRead);
        EXPECT_EQ(status.lastReadMs, -1);
    }
}

// How soon Status() sees an open: a thread asks without pause while this one opens the
// file just written.
TEST_F(LookAtFileTest, ReadWatchSeesAnOpenAtOnce)
{
    constexpr int kReads = 100;
    constexpr auto kDeadline = std::chrono::seconds(5);
    const auto watch = MakeReadWatch(Path("Vantrell.kml"), RealClock());
    CLookAtFile file(Path("Vantrell.kml"), watch.get());
    std::vector<std::int64_t> micros;
    for (int i = 0; i < kReads; ++i) {
        file.WritePoint(1.0f, 2.0f, i);
        std::atomic<bool> asking{false};
        std::chrono::steady_clock::time_point seen{};
        std::thread asker([&] {
            const auto deadline = std::chrono::steady_clock::now() + kDeadline;
            asking.store(true);
            while (watch->Status().read <= static_cast<std::uint64_t>(i) && std::chrono::steady_clock::now() < deadline) {
            }
            seen = std::chrono::steady_clock::now();
        });
        while (!asking.load()) {
        }
        const auto opened = std::chrono::steady_clock::now();
        ::close(::open(Path("Vantrell.kml").c_str(), O_RDONLY | O_CLOEXEC));
        asker.join();
        micros.push_back(std::chrono::duration_cast<std::chrono::microseconds>(seen - opened).count());
    }
    EXPECT_EQ(watch->Status().read, static_cast<std::uint64_t>(kReads));
    std::sort(micros.begin(), micros.end());

    std::printf("[ figures  ] open to Status(): median %lld us, 90th %lld us, max %lld us over %d reads\n",
                static_cast<long long>(micros[micros.size() / 2]), static_cast<long long>(micros[micros.size() * 9 / 10]),
                static_cast<long long>(micros.back()), kReads);
    EXPECT_LT(micros.back(), std::chrono::duration_cast<std::chrono::microseconds>(kDeadline).count());
}

TEST(TemporaryNames, OwnerIsReadBackFromTheName)
{
    const TemporarySuffix suffix = MakeTemporarySuffix(4242, 0x00ff00ff00ff00ffu);
    EXPECT_STREQ(suffix.text, ".4242-00ff00ff00ff00ff.tmp");
    EXPECT_EQ(TemporaryOwner(std::string("Vantrell.kml") + suffix.text, "Vantrell.kml"), 4242ul);
    for (const char* stranger : {"Vantrell.kml", "Vantrell.kml.tmp", "Vantrell.kml.-1.tmp", "Vantrell.kml.12-.tmp",
                                 "Vantrell.kml.12-1", "Vantrell.kmlx12-1.tmp", "Vantrell.kml.12-1G.tmp",
                                 "Vantrell.kml.99999999999999999999999-1.tmp", "antrell.kml.12-1.tmp"})
        EXPECT_EQ(TemporaryOwner(stranger, "Vantrell.kml"), std::nullopt) << stranger;
    EXPECT_NE(RandomBits(), RandomBits());
}

} // namespace
} // namespace vantrell
