#include "SameFile.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell {

std::string FinalTarget(const std::string& path)
{
    std::string target = path;
    for (int hop = 0; hop < 40; ++hop) { // the kernel's own limit for a path
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return target;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), link, sizeof link - 1);
        if (n <= 0)
            return target;
        const std::string destination(link, static_cast<std::size_t>(n));
        const std::size_t slash = target.rfind('/');
        // Relative to the link's own folder.
        target = destination.front() == '/' || slash == std::string::npos
                     ? destination
                     : target.substr(0, slash + 1) + destination;
    }
    return target;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace vantrell
