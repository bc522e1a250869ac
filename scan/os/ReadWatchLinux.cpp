#include "ReadWatch.h"

#include "FileReplace.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>

namespace vantrell {

namespace {

// Opens of the file, and whatever puts a new version in its place or takes it away. A
// reader that opened the old version before a replacement sends ACCESS and CLOSE_NOWRITE
// after it, and a mapping reader sends OPEN only: so OPEN alone counts. Events of files
// no longer in the folder are left out. The folder's own removal or move ends the watch.
constexpr std::uint32_t kMask = IN_OPEN | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF |
                                IN_ONLYDIR | IN_EXCL_UNLINK;

// inotify on the folder of the file a replacement writes, events read without blocking.
// The events of one folder come in the order they happened, each queued before the call
// that caused it returns. Every MOVED_TO (or removal) of the file's name starts a new
// version in the queue's order; the one Replaced() finds newest is ours. Where events are
// lost (the queue overflowed) or the watch is (its folder removed, moved or unmounted),
// the newest version of ours is "cannot tell"; the next Replacing() watches again.
class CReadWatchLinux final : public IReadWatch {
public:
    CReadWatchLinux(std::string_view fileName, IClock& clock)
        : m_fileName(fileName), m_clock(clock), m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        Watch();
    }
    ~CReadWatchLinux()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CReadWatchLinux(const CReadWatchLinux&) = delete;
    CReadWatchLinux& operator=(const CReadWatchLinux&) = delete;

    void Replacing() noexcept override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        Drain();
        Watch();
    }

    void Replaced() noexcept override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        Drain();
        if (!Count())
            return;
        // Our rename is queued by now; a Status() on another thread may already have taken
        // it, and opens after it, from the queue.
        if (m_wd >= 0 && m_inPlace && m_version != m_ours) {
            m_ours = m_version;
            if (m_opened)
                Credit(true);
        } else {
            LoseSight(); // not seen: no open can be told to be of it
        }
    }

    void RewroteInPlace() noexcept override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        Drain();
        if (Count())
            LoseSight();
    }

    // inotify holds nothing open on the file, and an unmount ends the watch by itself.
    void Pausing() noexcept override {}
    void Resuming() noexcept override {}

    ReadStatus Status() noexcept override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        Drain();
        return m_wd >= 0 || m_lost ? m_status : ReadStatus{};
    }

private:
    // Points the watch at the folder of the file a replacement writes now, following a
    // link that may have been changed since. Adding a watch to a folder already watched
    // gives its watch back.
    void Watch() noexcept
    {
        char path[PATH_MAX];
        if (m_fd < 0 || !ReplacedPath(m_fileName, path)) {
            Unwatch();
            return;
        }
        char* const slash = std::strrchr(path, '/');
        const char* name = path;
        int wd = -1;
        if (!slash) {
            wd = ::inotify_add_watch(m_fd, ".", kMask);
        } else {
            *slash = '\0';
            name = slash + 1;
            wd = ::inotify_add_watch(m_fd, slash == path ? "/" : path, kMask);
        }
        if (wd < 0 || std::strlen(name) >= sizeof m_name) {
            Unwatch();
            return;
        }
        if (wd != m_wd || std::strcmp(name, m_name) != 0) {
            Unwatch();
            m_wd = wd;
            std::strcpy(m_name, name);
            NewVersion(false);
        }
    }

    void Unwatch() noexcept
    {
        if (m_wd >= 0)
            ::inotify_rm_watch(m_fd, m_wd);
        m_wd = -1;
        m_lost = false;
        NewVersion(false);
    }

    // A version of ours was just written; false where nothing is watched.
    bool Count() noexcept
    {
        if (m_wd < 0 && !m_lost)
            return false;
        CountNewVersion(m_status, m_clock.NowMs());
        return true;
    }

    // No open can be told to be of the newest version of ours any more.
    void LoseSight() noexcept
    {
        m_ours = 0;
        if (m_status.replaced == 0 || m_status.newestRead || m_status.newestCannotTell)
            return;
        ++m_status.cannotTell;
        m_status.newestCannotTell = true;
    }

    void NewVersion(bool inPlace) noexcept
    {
        ++m_version;
        m_inPlace = inPlace;
        m_opened = false;
    }

    // The version now current was opened; it is ours.
    void Credit(bool first) noexcept
    {
        if (first)
            ++m_status.read;
        m_status.newestRead = true;
        m_status.lastReadMs = m_openedMs;
    }

    void Drain() noexcept
    {
        if (m_fd < 0)
            return;
        for (;;) {
            const ssize_t got = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return;
            for (ssize_t at = 0; at < got;) {
                inotify_event event;
                std::memcpy(&event, m_buffer + at, sizeof event);
                Take(event, m_buffer + at + sizeof event);
                at += static_cast<ssize_t>(sizeof event + event.len);
            }
        }
    }

    void Take(const inotify_event& event, const char* name) noexcept
    {
        if (event.mask & IN_Q_OVERFLOW) {
            NewVersion(false); // events were lost: whatever is there now is no version of ours
            LoseSight();
            return;
        }
        if (event.wd != m_wd)
            return;
        if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
            // The folder is gone, or its path may lead elsewhere now. The counts stand.
            if ((event.mask & IN_IGNORED) == 0)
                ::inotify_rm_watch(m_fd, m_wd);
            m_wd = -1;
            m_lost = true;
            NewVersion(false);
            LoseSight();
            return;
        }
        if (event.len == 0 || std::strcmp(name, m_name) != 0)
            return;
        if (event.mask & (IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) {
            NewVersion((event.mask & IN_MOVED_TO) != 0);
        } else if (event.mask & IN_OPEN) {
            const bool first = !m_opened;
            m_opened = true;
            m_openedMs = m_clock.NowMs();
            if (m_ours != 0 && m_ours == m_version)
                Credit(first);
        }
    }

    const std::string m_fileName;
    IClock& m_clock;
    std::mutex m_lock;
    const int m_fd;
    int m_wd = -1;
    bool m_lost = false;            // the watch ended by itself; Replacing() watches again
    char m_name[NAME_MAX + 1] = {}; // the replaced file's name in the watched folder
    std::uint64_t m_version = 1;    // counts the changes of the file under that name
    bool m_inPlace = false;         // the latest change put a file there
    bool m_opened = false;          // the current version was opened
    std::int64_t m_openedMs = -1;   // when that was last seen
    std::uint64_t m_ours = 0;       // m_version of our newest version; 0 while unknown
    ReadStatus m_status{true};
    alignas(inotify_event) char m_buffer[4096];
};

} // namespace

std::unique_ptr<IReadWatch> MakeReadWatch(std::string_view fileName, IClock& clock)
{
    return std::make_unique<CReadWatchLinux>(fileName, clock);
}

} // namespace vantrell
