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
    struct stat info {};
    ASSERT_EQ(::lstat(m_folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(CSingleInstanceGuard(m_home).AnotherCopyRuns());
    first.Release();
    EXPECT_FALSE(CSingleInstanceGuard(m_home).AnotherCopyRuns());
}

// What lies on the lock's way, in folders only the user (or root) can write in, is never
// followed and never blocks: the program then runs without the lock, and says why.
TEST_F(SingleInstanceTest, OddThingsOnTheWayNeitherBlockNorAreFollowed)
{
    const struct {
        const char* what;
        const char* make; // run in the lock's folder, the lock's name in $L
        bool locks;
    } plants[] = {
        {"a link as the file", "ln -s ../../../victim \"$L\"", false},
        {"a pipe as the file", "mkfifo \"$L\"", false},
        {"a folder as the file", "mkdir \"$L\"", false},
        {"a second link to the file", ": > \"$L\" && ln \"$L\" ../../../victim.2", false},
        {"another user's file", ": > \"$L\" && chown 65534 \"$L\"", false},
        {"a link as a folder", "cd .. && mv vantrell ../../away && ln -s ../../away vantrell", false},
        {"a folder others can write in", "chmod 777 ..", false},
        {"another user's folder", "chown 65534 .", false},
        {"its own folder open to others", "chmod 755 .", true},
    };
    ::setenv("L", m_place.substr(m_folder.size() + 1).c_str(), 1);
    for (const auto& plant : plants) {
        SCOPED_TRACE(plant.what);
        const std::string in = "cd '" + m_home + "' && rm -rf .local away victim* && echo keep > victim && ";
        ASSERT_EQ(std::system((in + "mkdir -p -m 700 .local/state/vantrell").c_str()), 0);
        if (std::system(("cd '" + m_folder + "' && { " + plant.make + "; } 2>/dev/null").c_str()) != 0)
            continue; // only root can give a file away
        {
            const CSingleInstanceGuard guard(m_home);
            EXPECT_FALSE(guard.AnotherCopyRuns());
            EXPECT_EQ(guard.Place(), plant.locks ? m_place : "");
            EXPECT_EQ(guard.Problem().empty(), plant.locks) << guard.Problem();
            EXPECT_EQ(CSingleInstanceGuard(m_home).AnotherCopyRuns(), plant.locks);
        }
        std::string text;
        std::ifstream(m_home + "/victim") >> text;
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

// Holds file locked as another user, as long as the calling process lives.
void HoldAsStranger(const char* file)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    if (::fork() == 0) {
        // After setuid, which clears it.
        const int fd = ::setuid(65534) == 0 && ::prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 ? ::open(file, O_RDONLY) : -1;
        [[maybe_unused]] const int locked = ::flock(fd, LOCK_EX);
        [[maybe_unused]] const auto n = ::write(ready[1], "", 1);
        ::pause();
    }
    char byte;
    [[maybe_unused]] const auto n = ::read(ready[0], &byte, 1);
}

// Two starts of the real guard, in a child with mounts and a host name of its own where
// /tmp, /run and the home from the password database are empty tmpfs: what a round does
// before the first start and between the two ($U is the user's id), and a different
// environment for the second, must not keep the second from meeting the first's lock,
// nor let another user hold it; a copy on another machine must not meet it.
TEST(SingleInstancePlace, NeitherOtherUsersNorTimeSplitOrBlockTheCopies)
{
    const passwd* user = ::getpwuid(::geteuid());
    if (::geteuid() != 0 || !user || std::string(user->pw_dir).size() < 2)
        GTEST_SKIP() << "needs root, for a mount namespace";
    const std::string home = user->pw_dir;
    const std::string uid = std::to_string(::geteuid());
    ::setenv("U", uid.c_str(), 1);
    const std::string planted = "/tmp/vantrell-" + uid + ".lock";
    const struct {
        const char* what;
        const char* before;
        const char* between;
        bool meet;
    } rounds[] = {
        {"the runtime folder appears", "", "mkdir -m 700 /run/user/$U", true},
        {"the runtime folder goes", "mkdir -m 700 /run/user/$U", "rm -r /run/user/$U", true},
        {"another user planted every name in /tmp",
         "for n in '' -1 -2 -3 -4 -5 -6 -7; do : > /tmp/vantrell-$U$n.lock; chown 65534 /tmp/vantrell-$U$n.lock; done",
         "", true},
        {"another user planted a name and took it away",
         ": > /tmp/vantrell-$U.lock && chown 65534 /tmp/vantrell-$U.lock", "rm /tmp/vantrell-$U.lock", true},
        {"another user holds a hard link to the user's file", ": > /tmp/own && ln /tmp/own /tmp/vantrell-$U.lock", "",
         true},
        {"another machine shares the home", "",
         "echo 0123456789abcdef0123456789abcdef > /tmp/id && mount --bind /tmp/id /etc/machine-id", false},
        {"another machine without an id shares the home", ": > /tmp/id && mount --bind /tmp/id /etc/machine-id",
         "hostname vantrell-other", false},
    };
    for (const auto& round : rounds) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::unshare(CLONE_NEWNS | CLONE_NEWUTS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
                ::mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") || ::mount("tmpfs", "/run", "tmpfs", 0, "mode=755") ||
                ::mkdir("/run/user", 0755) || ::mount("tmpfs", home.c_str(), "tmpfs", 0, "mode=700"))
                ::_exit(2);
            [[maybe_unused]] const int made = std::system(round.before);
            if (std::string(round.what).find("hard link") != std::string::npos)
                HoldAsStranger(planted.c_str());
            const CSingleInstanceGuard first;
            if (first.AnotherCopyRuns() || first.Place().empty())
                ::_exit(3);
            [[maybe_unused]] const int happened = std::system(round.between);
            for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_STATE_HOME", "TMPDIR"})
                ::setenv(name, "/tmp", 1);
            ::_exit(CSingleInstanceGuard().AnotherCopyRuns() == round.meet ? 0 : 4);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        // Inside a chroot "/" is no mount point, and cannot be made private.
        if (WEXITSTATUS(status) == 2)
            GTEST_SKIP() << "no private mount namespace here";
        EXPECT_EQ(WEXITSTATUS(status), 0) << round.what << (WEXITSTATUS(status) == 3 ? ": the first copy took no lock"
                                                            : round.meet ? ": the second copy runs too"
                                                                         : ": turned away by another machine");
    }
}

} // namespace
} // namespace vantrell::qt
