#include "SingleInstance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell::qt {

namespace {

constexpr int kTemporaryPlaces = 8;

// A folder only this user can write in: what is there is this user's.
bool IsPrivateFolder(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 022) == 0;
}

} // namespace

std::vector<std::string> CSingleInstanceGuard::LockPlaces()
{
    const std::string uid = std::to_string(::geteuid());
    std::vector<std::string> places;
    const std::string runtime = "/run/user/" + uid;
    if (IsPrivateFolder(runtime))
        places.push_back(runtime + "/vantrell.lock");
    places.push_back("/tmp/vantrell-" + uid + ".lock");
    for (int n = 1; n < kTemporaryPlaces; ++n)
        places.push_back("/tmp/vantrell-" + uid + "-" + std::to_string(n) + ".lock");
    return places;
}

CSingleInstanceGuard::CSingleInstanceGuard() : CSingleInstanceGuard(LockPlaces()) {}

CSingleInstanceGuard::CSingleInstanceGuard(const std::vector<std::string>& places)
{
    for (const std::string& place : places) {
        // Never follows a link, never blocks on a planted pipe; the file must be this
        // user's own plain file, or another user could hold the lock for us.
        const int fd = ::open(place.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0)
            continue;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            ::close(fd);
            continue;
        }
        int result;
        do {
            result = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result == 0) {
            m_place = place; // fd stays open: the lock lives exactly as long as the process
            return;
        }
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held) {
            m_anotherCopy = true;
            m_place = place;
            return;
        }
    }
}

} // namespace vantrell::qt
