#include "ReadWatch.h"

#include "FileReplace.h"
#include "TemporaryName.h"
#include "WidePath.h"

#include <windows.h>
#include <winioctl.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace vantrell {

namespace {

// NTSTATUS in OVERLAPPED::Internal once the request completes: broken by another
// operation on the file, or ended by our own close of its handle.
constexpr ULONG_PTR kBrokenByOther = 0x00000000;     // STATUS_SUCCESS
constexpr DWORD kErrorCannotGrantRequestedOplock = 801; // absent from older headers

// An exclusive (read-write) oplock on each version we write, held by a handle that asks
// for attributes only, so it conflicts with no reader's sharing. Any other open asking for
// more than attributes breaks it, and waits, with no timeout, until we acknowledge by
// closing the handle: the holder thread does that at once and waits for nothing else
// while it holds one. The worker waits for the holder, never the other way round.
class CReadWatchWin32 final : public IReadWatch {
public:
    CReadWatchWin32(std::string_view fileName, IClock& clock) : m_path(ExtendedFullPath(fileName)), m_clock(clock)
    {
        m_broken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_order = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        // A file already there shows at once whether its folder grants oplocks; with none
        // yet, a file of our own beside it does, named as the writer's temporaries are and
        // gone again at its close (the plan offers pacing before anything is written).
        const bool ready = !m_path.empty() && m_broken && m_release && m_order && m_requested && m_done;
        Outcome probe = ready ? Request(m_path, false) : Outcome::Unsupported;
        if (probe == Outcome::Failed && GetFileAttributesW(m_path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            const TemporarySuffix suffix = MakeTemporarySuffix(GetCurrentProcessId(), RandomBits());
            probe = Request(m_path + std::wstring(suffix.text, suffix.text + suffix.size), true);
        }
        if (probe == Outcome::Granted)
            Close(true);
        if (probe == Outcome::Unsupported) {
            m_status.watchable = false;
            return;
        }
        m_holder = std::thread([this] { Hold(); });
    }

    ~CReadWatchWin32()
    {
        if (m_holder.joinable()) {
            Replacing();
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
    void Replacing() noexcept override
    {
        if (!m_holding)
            return;
        SetEvent(m_release);
        WaitForSingleObject(m_done, INFINITE);
        ResetEvent(m_release); // the holder waits on it no more
        m_holding = false;
    }

    void Replaced() noexcept override
    {
        Replacing(); // in case the writer left it out
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            if (!m_status.watchable)
                return;
            ++m_status.replaced;
            m_status.newestRead = false;
        }
        // Once this returns, the new version is held: every later open is seen.
        SetEvent(m_order);
        WaitForSingleObject(m_requested, INFINITE);
        m_holding = m_granted.load();
    }

    ReadStatus Status() noexcept override
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_status.watchable ? m_status : ReadStatus{};
    }

private:
    enum class Outcome { Granted, Held, Unsupported, Failed };
    // Held counts as a read: another handle is open on the version just written (or, after
    // an in-place rewrite, still open on the file it rewrote).

    // Holder thread, or the constructor before it starts: opens the file (with probe,
    // creates it, to be deleted at its close) and asks for the oplock. Held: someone has
    // the file open right now.
    Outcome Request(const std::wstring& path, bool probe) noexcept
    {
        const DWORD flags = FILE_FLAG_OVERLAPPED | FILE_FLAG_OPEN_REPARSE_POINT | (probe ? FILE_FLAG_DELETE_ON_CLOSE : 0);
        m_file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | (probe ? DELETE : 0),
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             probe ? CREATE_NEW : OPEN_EXISTING, flags, nullptr);
        if (m_file == INVALID_HANDLE_VALUE)
            return Outcome::Failed;
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
        case ERROR_OPLOCK_NOT_GRANTED:
            return Outcome::Held;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return Outcome::Unsupported; // as on network shares and under Wine
        case kErrorCannotGrantRequestedOplock:
        default:
            return Outcome::Failed;
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
        for (;;) {
            WaitForSingleObject(m_order, INFINITE);
            if (m_stopping.load())
                return;
            const Outcome outcome = Request(m_path, false);
            Record(outcome);
            m_granted.store(outcome == Outcome::Granted);
            SetEvent(m_requested);
            if (outcome != Outcome::Granted)
                continue;
            const HANDLE events[] = {m_broken, m_release};
            const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            // A break, or our release, which a break may have come just before.
            const bool read = Close(woken != WAIT_OBJECT_0);
            if (read)
                Record(Outcome::Held);
            SetEvent(m_done);
        }
    }

    void Record(Outcome outcome) noexcept
    {
        if (outcome != Outcome::Held && outcome != Outcome::Unsupported)
            return;
        const std::int64_t now = m_clock.NowMs();
        const std::lock_guard<std::mutex> hold(m_lock);
        if (outcome == Outcome::Unsupported) {
            m_status.watchable = false;
            return;
        }
        if (!m_status.newestRead)
            ++m_status.read;
        m_status.newestRead = true;
        m_status.lastReadMs = now;
    }

    const std::wstring m_path;
    IClock& m_clock;
    std::mutex m_lock;
    ReadStatus m_status{true};
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
