#include "ReadWatch.h"

#include "FileReplace.h"
#include "TemporaryName.h"
#include "WidePath.h"

#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace vantrell {

namespace {

// NTSTATUS in OVERLAPPED::Internal once the request completes: broken by another
// operation on the file, or ended by our own close of its handle.
constexpr ULONG_PTR kBrokenByOther = 0x00000000; // STATUS_SUCCESS
// A version's request, refused, is asked again this often, this far apart, before the
// version counts as "cannot tell": an indexer or a reader that holds the file briefly
// has let go by then. The worker waits for the attempts, some tens of milliseconds.
constexpr int kRequestAttempts = 4;
constexpr DWORD kRequestRetryMs = 5;
constexpr int kProbeAttempts = 4; // names tried for the probe's file of our own

// Whether the extended full path lies on a network volume. There the server, not this
// system, keeps the oplocks, and a request is refused or answered for the server's own
// handles: nothing it says tells of the viewer's opens.
bool OnRemoteVolume(std::wstring_view path)
{
    constexpr std::wstring_view kShare = L"\\\\?\\UNC\\";
    constexpr std::wstring_view kExtended = L"\\\\?\\";
    if (path.substr(0, kShare.size()) == kShare)
        return true;
    if (path.substr(0, kExtended.size()) == kExtended)
        path.remove_prefix(kExtended.size());
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\')
        return false; // no drive letter: the probe decides
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE; // a mapped network drive
}

// An exclusive (read-write) oplock on each version we write, held by a handle that asks
// for attributes only, so it conflicts with no reader's sharing. Any other open asking for
// more than attributes breaks it, and waits, with no timeout, until we acknowledge by
// closing the handle: the holder thread does that at once, above normal priority, and
// waits for nothing else while it holds one. The worker waits for the holder, never the
// other way round. Only a granted oplock's break counts as a read; a version whose
// request stays refused, or that was rewritten in place, counts as "cannot tell".
class CReadWatchWin32 final : public IReadWatch {
public:
    CReadWatchWin32(std::string_view fileName, IClock& clock) : m_path(ExtendedFullPath(fileName)), m_clock(clock)
    {
        m_broken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_order = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        const bool ready = !m_path.empty() && m_broken && m_release && m_order && m_requested && m_done;
        m_status.watchable = ready && !OnRemoteVolume(m_path) && Probe();
        if (m_status.watchable)
            m_holder = std::thread([this] { Hold(); });
    }

    ~CReadWatchWin32()
    {
        if (m_holder.joinable()) {
            Release();
            m_stopping.store(true);
            SetEvent(m_order);
            m_holder.join();
        }
        for (HANDLE event : {m_broken, m_release, m_order, m_requested, m_done})
            if (event)
                CloseHandle(event);
    }
    CReadWatchWin32(const CReadWatchWin32&) = delete;
    CReadWatchWin32& operator=(const CReadWatchWin32&) = delete;

    // A replacement fails while any handle on the file is open: ours goes first.
    void Replacing() noexcept override { Release(); }

    void Replaced() noexcept override
    {
        Release(); // in case the writer left Replacing() out
        if (Count())
            Order();
    }

    void RewroteInPlace() noexcept override
    {
        Release();
        if (Count())
            LoseSight();
    }

    // A break that came before the release still counts.
    void Pausing() noexcept override { Release(); }

    // A fresh oplock for the version still unread; opens while paused went unseen.
    void Resuming() noexcept override
    {
        if (m_holding)
            return;
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            if (!m_status.watchable || m_status.replaced == 0 || m_status.newestRead || m_status.newestCannotTell)
                return;
        }
        Order();
    }

    ReadStatus Status() noexcept override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_status.watchable ? m_status : ReadStatus{};
    }

private:
    enum class Outcome { Granted, Unsupported, Refused };

    // Whether this folder grants the oplock at all, asked on a new file of our own beside
    // the LookAt file, named as the writer's temporaries are and gone again at its close:
    // no one else has that one open, so a refusal is the volume's (the plan offers pacing
    // before anything is written). Constructor only.
    bool Probe() noexcept
    {
        for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
            const TemporarySuffix suffix = MakeTemporarySuffix(GetCurrentProcessId(), RandomBits());
            const Outcome outcome = Request(m_path + std::wstring(suffix.text, suffix.text + suffix.size), true);
            if (outcome == Outcome::Granted) {
                Close(true);
                return true;
            }
            if (outcome == Outcome::Unsupported)
                return false; // as under Wine
        }
        return false;
    }

    // Holder thread, or the constructor before it starts: opens the file (with probe,
    // creates it, to be deleted at its close) and asks for the oplock. Unsupported means
    // something only to the probe; later, any refusal is one version's.
    Outcome Request(const std::wstring& path, bool probe) noexcept
    {
        const DWORD flags = FILE_FLAG_OVERLAPPED | FILE_FLAG_OPEN_REPARSE_POINT | (probe ? FILE_FLAG_DELETE_ON_CLOSE : 0);
        m_file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | (probe ? DELETE : 0),
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             probe ? CREATE_NEW : OPEN_EXISTING, flags, nullptr);
        if (m_file == INVALID_HANDLE_VALUE)
            return Outcome::Refused; // gone, delete-pending, or the probe's name taken
        REQUEST_OPLOCK_INPUT_BUFFER in{};
        in.StructureVersion = REQUEST_OPLOCK_CURRENT_VERSION;
        in.StructureLength = sizeof in;
        in.RequestedOplockLevel = OPLOCK_LEVEL_CACHE_READ | OPLOCK_LEVEL_CACHE_WRITE;
        in.Flags = REQUEST_OPLOCK_INPUT_FLAG_REQUEST;
        m_out = {};
        m_out.StructureVersion = REQUEST_OPLOCK_CURRENT_VERSION;
        m_out.StructureLength = sizeof m_out;
        m_overlapped = {};
        m_overlapped.hEvent = m_broken;
        ResetEvent(m_broken);
        const BOOL done =
            DeviceIoControl(m_file, FSCTL_REQUEST_OPLOCK, &in, sizeof in, &m_out, sizeof m_out, nullptr, &m_overlapped);
        const DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_IO_PENDING)
            return Outcome::Granted;
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        switch (error) {
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return Outcome::Unsupported;
        default:
            // ERROR_OPLOCK_NOT_GRANTED: another handle is open, the viewer's or one kept
            // from before an in-place rewrite, which tells nothing of a read; 801
            // (ERROR_CANNOT_GRANT_REQUESTED_OPLOCK) is a refusal too.
            return Outcome::Refused;
        }
    }

    // Holder thread: the oplock on the version now there, asked again briefly while refused.
    bool RequestSoon() noexcept
    {
        for (int attempt = 1;; ++attempt) {
            if (Request(m_path, false) == Outcome::Granted)
                return true;
            if (attempt == kRequestAttempts)
                return false;
            Sleep(kRequestRetryMs);
        }
    }

    // Closes the oplock's handle, which acknowledges a break, and waits for the request to
    // complete, so that m_overlapped is ours again. True when another open broke it.
    bool Close(bool completeFirst) noexcept
    {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        if (completeFirst)
            WaitForSingleObject(m_broken, INFINITE); // comes with the close, if not before
        return m_overlapped.Internal == kBrokenByOther;
    }

    void Hold() noexcept
    {
        // Every open of the file by anyone else waits for this thread's close.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
        for (;;) {
            WaitForSingleObject(m_order, INFINITE);
            if (m_stopping.load())
                return;
            const bool granted = RequestSoon();
            if (!granted)
                LoseSight();
            m_granted.store(granted);
            SetEvent(m_requested);
            if (!granted)
                continue;
            const HANDLE events[] = {m_broken, m_release};
            const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            // A break, or our release, which a break may have come just before.
            if (Close(woken != WAIT_OBJECT_0))
                Read();
            SetEvent(m_done);
        }
    }

    // Worker: the holder requests the oplock on the file now there. Once this returns,
    // every later open of the newest version is seen, or it counts as "cannot tell".
    void Order() noexcept
    {
        SetEvent(m_order);
        WaitForSingleObject(m_requested, INFINITE);
        m_holding = m_granted.load();
    }

    // Worker: the holder lets its oplock go, a break that came first counted.
    void Release() noexcept
    {
        if (!m_holding)
            return;
        SetEvent(m_release);
        WaitForSingleObject(m_done, INFINITE);
        ResetEvent(m_release); // the holder waits on it no more
        m_holding = false;
    }

    // Worker: a version of ours was just written; false where nothing is watched.
    bool Count() noexcept
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (!m_status.watchable)
            return false;
        CountNewVersion(m_status, m_clock.NowMs());
        return true;
    }

    // Nothing can tell any more whether the newest version is read.
    void LoseSight() noexcept
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_status.newestRead || m_status.newestCannotTell)
            return;
        ++m_status.cannotTell;
        m_status.newestCannotTell = true;
    }

    // Holder: another open broke the oplock on the newest version.
    void Read() noexcept
    {
        const std::int64_t now = m_clock.NowMs();
        const std::lock_guard<std::mutex> hold(m_lock);
        if (!m_status.newestRead)
            ++m_status.read;
        m_status.newestRead = true;
        m_status.lastReadMs = now;
    }

    const std::wstring m_path;
    IClock& m_clock;
    std::mutex m_lock;
    ReadStatus m_status; // watchable set once, before the holder starts
    // The holder thread's, and the constructor's before it starts.
    HANDLE m_file = INVALID_HANDLE_VALUE;
    OVERLAPPED m_overlapped{};
    REQUEST_OPLOCK_OUTPUT_BUFFER m_out{};
    // Manual: the request completed (a break, or our close); the worker asks for a release.
    HANDLE m_broken = nullptr;
    HANDLE m_release = nullptr;
    // Automatic: the worker's order to request (or to stop); the request is made; the
    // oplock is let go.
    HANDLE m_order = nullptr;
    HANDLE m_requested = nullptr;
    HANDLE m_done = nullptr;
    std::atomic<bool> m_granted{false};
    std::atomic<bool> m_stopping{false};
    bool m_holding = false; // worker's: an oplock may still be held
    std::thread m_holder;
};

} // namespace

std::unique_ptr<IReadWatch> MakeReadWatch(std::string_view fileName, IClock& clock)
{
    return std::make_unique<CReadWatchWin32>(fileName, clock);
}

} // namespace vantrell
