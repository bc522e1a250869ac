#include "SingleInstance.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vantrell::qt {

namespace {

// Only the user may have written here, so what lies inside is the user's.
bool IsPrivateFolder(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 022) == 0;
}

// Opens folder name in parent, made 0700 when missing; never through a link.
int OpenSubfolder(int parent, const char* name)
{
    int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && (::mkdirat(parent, name, 0700) == 0 || errno == EEXIST))
        fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return fd;
}

std::string Reason(const std::string& path, const char* what)
{
    return path + ": " + what;
}

} // namespace

std::string CSingleInstanceGuard::Home()
{
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    return found && found->pw_dir && found->pw_dir[0] == '/' ? found->pw_dir : "";
}

std::string CSingleInstanceGuard::MachineName()
{
    std::string name;
    if (FILE* file = std::fopen("/etc/machine-id", "re")) {
        char line[64] = {};
        if (std::fgets(line, sizeof line, file))
            name.assign(line, std::strcspn(line, "\n"));
        std::fclose(file);
    }
    if (name.size() != 32 || name.find_first_not_of("0123456789abcdef") != std::string::npos) {
        char host[256] = {};
        name = ::gethostname(host, sizeof host - 1) == 0 && host[0] ? host : "unknown";
    }
    for (char& c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'))
            c = '_';
    }
    return name;
}

CSingleInstanceGuard::CSingleInstanceGuard() : CSingleInstanceGuard(Home()) {}

CSingleInstanceGuard::CSingleInstanceGuard(const std::string& home)
{
    if (home.empty()) {
        m_problem = "the password database names no home";
        return;
    }
    // The home is the administrator's choice and may be reached through a link; every
    // folder below it is the program's own and never is.
    int folder = ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string path = home;
    for (const char* name : {".local", "state", "vantrell", ""}) {
        if (folder < 0) {
            m_problem = Reason(path, std::strerror(errno));
            return;
        }
        if (!IsPrivateFolder(folder)) {
            // The program's own folder is kept closed to others, whatever made it.
            struct stat info {};
            const bool own = !*name && ::fstat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
                             info.st_uid == ::geteuid() && ::fchmod(folder, 0700) == 0;
            if (!own) {
                ::close(folder);
                m_problem = Reason(path, "not a folder only this user can write in");
                return;
            }
        }
        if (!*name)
            break;
        const int next = OpenSubfolder(folder, name);
        const int error = errno;
        ::close(folder);
        folder = next;
        errno = error;
        path += '/';
        path += name;
    }
    const std::string file = "single-copy-" + MachineName() + ".lock";
    path += '/' + file;
    // Never follows a link, never blocks on a pipe; a second name of the file could let
    // someone else reach it, so the file must be the user's with one link only.
    const int fd = ::openat(folder, file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    const int error = errno;
    ::close(folder);
    struct stat info {};
    if (fd < 0) {
        m_problem = Reason(path, std::strerror(error));
        return;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 || info.st_uid != ::geteuid()) {
        ::close(fd);
        m_problem = Reason(path, "not a plain file of this user with one link");
        return;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_fd = fd; // stays open: the lock lives as long as the process, or until Release
        m_place = path;
        return;
    }
    const int lockError = errno;
    ::close(fd);
    if (lockError == EWOULDBLOCK) {
        m_anotherCopy = true;
        m_place = path;
        return;
    }
    m_problem = Reason(path, std::strerror(lockError));
}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    Release();
}

void CSingleInstanceGuard::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace vantrell::qt
