#include "FileReplace.h"

#include "TemporaryName.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vantrell {

CFileReplacer::CFileReplacer(std::string_view fileName)
    : m_target(fileName), m_temp(TemporaryName(fileName, static_cast<unsigned long>(::getpid())))
{
}

namespace {

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool CFileReplacer::Replace(const char* data, std::size_t size) noexcept
{
    // O_NOFOLLOW: a link planted under the temporary name must not redirect our write.
    const int fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data, size);
    ok = ::close(fd) == 0 && ok; // a full disk can surface only at close
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) == 0)
        return true;
    ::unlink(m_temp.c_str());
    return false;
}

} // namespace vantrell
