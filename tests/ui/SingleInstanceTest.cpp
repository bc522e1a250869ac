// The single-copy lock: where it lies, and what others may plant there.

#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrell::qt {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vantrell-lock-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_places = {m_dir + "/first.lock", m_dir + "/second.lock"};
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string m_dir;
    std::vector<std::string> m_places;
};

TEST_F(SingleInstanceTest, SecondHolderSeesTheFirst)
{
    const CSingleInstanceGuard first(m_places);
    EXPECT_FALSE(first.AnotherCopyRuns());
    EXPECT_EQ(first.Place(), m_places[0]);
    const CSingleInstanceGuard second(m_places);
    EXPECT_TRUE(second.AnotherCopyRuns());
}

// What another user plants under the lock's name is never followed, never blocks, and
// never keeps the program from running: the next place is used instead.
TEST_F(SingleInstanceTest, PlantedLockPlaceIsPassedOver)
{
    const std::string victim = m_dir + "/victim";
    struct Plant {
        const char* what;
        int (*make)(const std::string& at, const std::string& victim);
    };
    const Plant plants[] = {
        {"a link", [](const std::string& at, const std::string& v) { return ::symlink(v.c_str(), at.c_str()); }},
        {"a pipe", [](const std::string& at, const std::string&) { return ::mkfifo(at.c_str(), 0666); }},
        {"a folder", [](const std::string& at, const std::string&) { return ::mkdir(at.c_str(), 0777); }},
        {"another user's file",
         [](const std::string& at, const std::string&) {
             std::ofstream(at) << "";
             ::chmod(at.c_str(), 0666);
             return ::geteuid() == 0 ? ::chown(at.c_str(), 65534, 65534) : -1;
         }},
    };
    for (const Plant& plant : plants) {
        SCOPED_TRACE(plant.what);
        std::ofstream(victim) << "keep";
        if (plant.make(m_places[0], victim) != 0) {
            std::remove(m_places[0].c_str());
            continue; // only root can give a file away
        }
        {
            const CSingleInstanceGuard guard(m_places);
            EXPECT_FALSE(guard.AnotherCopyRuns());
            EXPECT_EQ(guard.Place(), m_places[1]);
            const CSingleInstanceGuard second(m_places);
            EXPECT_TRUE(second.AnotherCopyRuns()) << "two copies must still meet at the same place";
        }
        std::ifstream in(victim);
        std::string text;
        in >> text;
        EXPECT_EQ(text, "keep");
        std::system(("rm -rf '" + m_places[0] + "' '" + m_places[1] + "'").c_str());
    }
}

TEST_F(SingleInstanceTest, LockOfAKilledCopyIsFree)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const CSingleInstanceGuard guard(m_places);
        const char byte = guard.AnotherCopyRuns() ? 'n' : 'y';
        [[maybe_unused]] const auto n = ::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    EXPECT_TRUE(CSingleInstanceGuard(m_places).AnotherCopyRuns());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(CSingleInstanceGuard(m_places).AnotherCopyRuns());
}

// Every copy of a user must compute the same places, whatever its environment says.
TEST(SingleInstancePlaces, DependOnTheUserAlone)
{
    const auto places = CSingleInstanceGuard::LockPlaces();
    ASSERT_FALSE(places.empty());
    for (const std::string& place : places)
        EXPECT_NE(place.find(std::to_string(::geteuid())), std::string::npos) << place;
    for (const char* runtime : {"/nonexistent", "/tmp", ""}) {
        ::setenv("XDG_RUNTIME_DIR", runtime, 1);
        ::setenv("TMPDIR", "/var/tmp", 1);
        EXPECT_EQ(CSingleInstanceGuard::LockPlaces(), places) << runtime;
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(CSingleInstanceGuard::LockPlaces(), places);
}

} // namespace
} // namespace vantrell::qt
