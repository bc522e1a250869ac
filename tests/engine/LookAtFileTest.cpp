#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "Recorder.h"
#include "ScanJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
    CScanJob job(45, 0, 0, "North", 122, 0, 0, "West", 1, 1, 4, 1000, 0, tee, clock);
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

    // The temporary name taken by a directory: nothing can be written.
    const std::string temporary = file.TemporaryName();
    ASSERT_EQ(temporary.rfind(m_dir + "/Vantrell.kml.", 0), 0u) << "beside the file, for an atomic rename";
    ASSERT_EQ(::mkdir(temporary.c_str(), 0755), 0);
    file.WritePoint(4.0f, 5.0f, 6);
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), before);
    ASSERT_EQ(::rmdir(temporary.c_str()), 0);

    // A link planted under the temporary name must not be followed.
    const std::string victim = Path("victim");
    { std::ofstream(victim) << "keep"; }
    ASSERT_EQ(::symlink(victim.c_str(), temporary.c_str()), 0);
    file.WritePoint(4.0f, 5.0f, 6);
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_EQ(ReadFile(Path("Vantrell.kml")), before);
    ASSERT_EQ(::unlink(temporary.c_str()), 0);

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
TEST_F(LookAtFileTest, ReaderNeverSeesATornDocument)
{
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
        CScanJob job(45, 0, 0, "North", 122, 0, 0, "West", 3, 3, 0, 1000, 1, target, noWait);
        try {
            job.Run();
        } catch (const test::WalkStopped&) {
        }
    };
    std::thread writer(walk, std::ref(file));
    std::thread second(walk, std::ref(other));
    const std::string tail = std::string("</kml>") + std::string(kLineEnd);
    int reads = 0;
    int torn = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = ReadFile(Path("Vantrell.kml"));
        ++reads;
        const bool whole = text.size() > tail.size() && text.compare(0, 5, "<?xml") == 0 &&
                           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
        torn += whole ? 0 : 1;
    }
    stop.store(true);
    writer.join();
    second.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 100);
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

} // namespace
} // namespace vantrell
