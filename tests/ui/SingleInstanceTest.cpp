// The single-copy lock: where it lies, what may lie in its way, and what other users and
// time cannot change.

#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
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
        m_home = pattern;
        m_folder = m_home + "/.local/state/vantrell";
        m_place = m_folder + "/single-copy-" + CSingleInstanceGuard::MachineName() + ".lock";
    }
    void TearDown() override { std::system(("rm -rf '" + m_home + "'").c_str()); }

    std::string m_home;
    std::string m_folder;
    std::string m_place;
};

TEST_F(SingleInstanceTest, SecondHolderSeesTheFirstUntilItLetsGo)
{
    CSingleInstanceGuard first(m_home);
    EXPECT_FALSE(first.AnotherCopyRuns());
    EXPECT_EQ(first.Place(), m_place);
    EXPECT_EQ(first.Problem(), "");
    struct stat info {};
    ASSERT_EQ(::lstat(m_folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(CSingleInstanceGuard(m_home).AnotherCopyRuns());
    first.Release();
    first.Release();
    EXPECT_FALSE(CSingleInstanceGuard(m_home).AnotherCopyRuns());
}

// What lies on the lock's way, in folders only the user (or root) can write in, is never
// followed and never blocks: the program then runs without the lock, and says why.
TEST_F(SingleInstanceTest, OddThingsOnTheWayNeitherBlockNorAreFollowed)
{
    struct Plant {
        const char* what;
        int (*make)(const std::string& folder, const std::string& place, const std::string& victim);
        bool locks;
    };
    const Plant plants[] = {
        {"a link as the file", [](const std::string&, const std::string& at, const std::string& v) {
             return ::symlink(v.c_str(), at.c_str()); }, false},
        {"a pipe as the file", [](const std::string&, const std::string& at, const std::string&) {
             return ::mkfifo(at.c_str(), 0600); }, false},
        {"a folder as the file", [](const std::string&, const std::string& at, const std::string&) {
             return ::mkdir(at.c_str(), 0700); }, false},
        {"a second link to the file", [](const std::string&, const std::string& at, const std::string& v) {
             std::ofstream(at) << "";
             return ::link(at.c_str(), (v + ".2").c_str()); }, false},
        {"another user's file", [](const std::string&, const std::string& at, const std::string&) {
             std::ofstream(at) << "";
             return ::geteuid() == 0 ? ::chown(at.c_str(), 65534, 65534) : -1; }, false},
        {"a link as a folder", [](const std::string& f, const std::string&, const std::string& v) {
             std::system(("rm -rf '" + f + "'").c_str());
             return ::mkdir((v + "d").c_str(), 0700) == 0 ? ::symlink((v + "d").c_str(), f.c_str()) : -1; }, false},
        {"a folder others can write in", [](const std::string& f, const std::string&, const std::string&) {
             return ::chmod((f + "/..").c_str(), 0777); }, false},
        {"another user's folder", [](const std::string& f, const std::string&, const std::string&) {
             return ::geteuid() == 0 ? ::chown(f.c_str(), 65534, 65534) : -1; }, false},
        {"its own folder open to others", [](const std::string& f, const std::string&, const std::string&) {
             return ::chmod(f.c_str(), 0755); }, true},
    };
    const std::string victim = m_home + "/victim";
    for (const Plant& plant : plants) {
        SCOPED_TRACE(plant.what);
        std::system(("rm -rf '" + m_home + "'/.local '" + victim + "'*").c_str());
        ASSERT_EQ(std::system(("mkdir -p '" + m_folder + "'").c_str()), 0);
        ASSERT_EQ(::chmod(m_folder.c_str(), 0700), 0);
        std::ofstream(victim) << "keep";
        if (plant.make(m_folder, m_place, victim) != 0)
            continue; // only root can give a file away
        {
            const CSingleInstanceGuard guard(m_home);
            EXPECT_FALSE(guard.AnotherCopyRuns());
            EXPECT_EQ(guard.Place(), plant.locks ? m_place : "");
            EXPECT_EQ(guard.Problem().empty(), plant.locks) << guard.Problem();
            EXPECT_EQ(CSingleInstanceGuard(m_home).AnotherCopyRuns(), plant.locks);
        }
        std::ifstream in(victim);
        std::string text;
        in >> text;
        EXPECT_EQ(text, "keep");
    }
}

TEST_F(SingleInstanceTest, LockOfAKilledCopyIsFree)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const CSingleInstanceGuard guard(m_home);
        const char byte = guard.AnotherCopyRuns() ? 'n' : 'y';
        [[maybe_unused]] const auto n = ::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    EXPECT_TRUE(CSingleInstanceGuard(m_home).AnotherCopyRuns());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(CSingleInstanceGuard(m_home).AnotherCopyRuns());
}

// Runs body in a child with mount and host name of its own, where /tmp, /run and the
// home from the password database are empty: what it plants, and the lock of the real
// guard, stay there. Returns what body found wrong, "" for nothing, "skip" without root.
std::string InPrivateFolders(std::string (*body)())
{
    const passwd* user = ::getpwuid(::geteuid());
    if (::geteuid() != 0 || !user || std::string(user->pw_dir).size() < 2)
        return "skip";
    const std::string home = user->pw_dir;
    int out[2];
    if (::pipe(out) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        std::string result = "skip";
        if (::unshare(CLONE_NEWNS | CLONE_NEWUTS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") == 0 &&
            ::mount("tmpfs", "/run", "tmpfs", 0, "mode=755") == 0 && ::mkdir("/run/user", 0755) == 0 &&
            ::mount("tmpfs", home.c_str(), "tmpfs", 0, "mode=700") == 0)
            result = body();
        [[maybe_unused]] const auto n = ::write(out[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    return result;
}

std::string RuntimeFolder() { return "/run/user/" + std::to_string(::geteuid()); }

std::string TmpName(int n)
{
    const std::string uid = std::to_string(::geteuid());
    return n == 0 ? "/tmp/vantrell-" + uid + ".lock" : "/tmp/vantrell-" + uid + "-" + std::to_string(n) + ".lock";
}

void PlantAsStranger(const std::string& path)
{
    std::ofstream(path) << "";
    ::chmod(path.c_str(), 0666);
    [[maybe_unused]] const int r = ::chown(path.c_str(), 65534, 65534);
}

void BindOverMachineId(const char* text)
{
    std::ofstream("/tmp/machine-id") << text;
    ::mount("/tmp/machine-id", "/etc/machine-id", nullptr, MS_BIND, nullptr);
}

// Two starts of the real guard, with what happens before the first and between the two:
// the second must meet the first's lock, whatever other users plant or the time brings,
// unless it runs on another machine.
TEST(SingleInstancePlace, NeitherOtherUsersNorTimeSplitOrBlockTheCopies)
{
    struct Round {
        const char* what;
        void (*before)();
        void (*between)();
        bool meet;
    };
    static const Round rounds[] = {
        {"the runtime folder appears", [] {}, [] { ::mkdir(RuntimeFolder().c_str(), 0700); }, true},
        {"the runtime folder goes", [] { ::mkdir(RuntimeFolder().c_str(), 0700); },
         [] { std::system(("rm -rf " + RuntimeFolder()).c_str()); }, true},
        {"another user planted every name in /tmp",
         [] {
             for (int n = 0; n < 8; ++n)
                 PlantAsStranger(TmpName(n));
         },
         [] {}, true},
        {"another user planted a name and took it away", [] { PlantAsStranger(TmpName(0)); },
         [] { std::remove(TmpName(0).c_str()); }, true},
        {"another user holds a hard link to the user's file",
         [] {
             const std::string own = "/tmp/readable"; // the user's, on the same filesystem
             std::ofstream(own) << "";
             ::chmod(own.c_str(), 0644);
             const std::string link = TmpName(0);
             ::link(own.c_str(), link.c_str());
             int ready[2];
             if (::pipe(ready) != 0)
                 return;
             if (::fork() == 0) {
                 // After setuid, which clears it: the holder goes with the round.
                 const int fd = ::setuid(65534) == 0 && ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0
                                    ? ::open(link.c_str(), O_RDONLY)
                                    : -1;
                 const char byte = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
                 [[maybe_unused]] const auto n = ::write(ready[1], &byte, 1);
                 ::pause();
                 ::_exit(0);
             }
             char byte = 0;
             [[maybe_unused]] const auto n = ::read(ready[0], &byte, 1);
         },
         [] {}, true},
        {"the environment differs",
         [] {},
         [] {
             for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_STATE_HOME", "TMPDIR"})
                 ::setenv(name, "/tmp", 1);
         },
         true},
        {"another machine shares the home", [] {}, [] { BindOverMachineId("0123456789abcdef0123456789abcdef\n"); }, false},
        {"another machine without an id shares the home", [] { BindOverMachineId(""); },
         [] { ::sethostname("vantrell-other", 14); }, false},
    };
    for (const Round& round : rounds) {
        static const Round* current;
        current = &round;
        const std::string wrong = InPrivateFolders([]() -> std::string {
            current->before();
            const CSingleInstanceGuard first;
            if (first.AnotherCopyRuns() || first.Place().empty())
                return "the first copy took no lock (" + first.Place() + ")";
            current->between();
            const CSingleInstanceGuard second;
            if (second.AnotherCopyRuns() != current->meet)
                return current->meet ? "the second copy runs too: " + first.Place() + ", then " + second.Place()
                                     : "a copy on another machine is turned away";
            return "";
        });
        if (wrong == "skip")
            GTEST_SKIP() << "needs root and a mount namespace";
        EXPECT_EQ(wrong, "") << round.what;
    }
}

} // namespace
} // namespace vantrell::qt
