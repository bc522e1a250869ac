#include "SmallFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace vantrell {
namespace {

class CDescriptor {
public:
    explicit CDescriptor(int fd) : m_fd(fd) {}
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    ~CDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Whether fd is a plain file of at most maxBytes, as it is now.
SmallFile Check(int fd, std::uint64_t maxBytes, std::uint64_t& size)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return SmallFile::Unreadable;
    if (!S_ISREG(info.st_mode))
        return SmallFile::NotPlain;
    size = static_cast<std::uint64_t>(info.st_size);
    return size > maxBytes ? SmallFile::TooLarge : SmallFile::Read;
}

} // namespace

SmallFile ReadSmallFile(std::string_view path, std::uint64_t maxBytes, std::string& text)
{
    const std::string name(path);
    if (name.find('\0') != std::string::npos)
        return SmallFile::Missing; // no file can have that name
    // O_NONBLOCK: a FIFO opens at once without a writer, a terminal or modem line
    // without its carrier; for a plain file it changes nothing.
    const CDescriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return SmallFile::Missing;
        // A socket, or a device file without its device.
        return errno == ENXIO || errno == ENODEV ? SmallFile::NotPlain : SmallFile::Unreadable;
    }
    std::uint64_t size = 0;
    if (const SmallFile checked = Check(fd.Get(), maxBytes, size); checked != SmallFile::Read)
        return checked;

    // The size is only a first guess: the file may change, and some (under /proc) say 0.
    std::string content(static_cast<std::size_t>(std::min(maxBytes, std::max<std::uint64_t>(size, 4096))), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (filled >= maxBytes) {
                // Read no further: the file is too large if it goes on.
                if (const SmallFile again = Check(fd.Get(), maxBytes, size); again != SmallFile::Read)
                    return again;
                break;
            }
            content.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, filled * 2)));
        }
        const ssize_t n = ::read(fd.Get(), content.data() + filled, content.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SmallFile::Unreadable;
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    content.resize(filled);
    text = std::move(content);
    return SmallFile::Read;
}

} // namespace vantrell
