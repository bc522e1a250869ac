#include "SameFile.h"

#include "FileReplace.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell {

std::string FinalTarget(const std::string& path)
{
    char target[PATH_MAX];
    return ReplacedPath(path, target) ? std::string(target) : path;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace vantrell
