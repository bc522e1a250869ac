#include "LookAtFile.h"

#include "LookAtDocument.h"

#include <thread>

namespace vantrell {

// A write that waits for a reader to let go must still end within Freeze's wait.
static_assert(std::chrono::milliseconds(CFileReplacer::kHeldRetryMs) * 2 < CLookAtFile::kFreezeWait);

CLookAtFile::CLookAtFile(std::string_view fileName, IReadWatch* watch) : m_file(fileName), m_watch(watch) {}

void CLookAtFile::WritePoint(float latitude, float longitude, std::int32_t range)
{
    char document[kLookAtDocumentMax];
    const std::size_t size = FormatLookAt(document, latitude, longitude, range);
    const std::lock_guard<std::mutex> hold(m_writing);
    if (m_frozen.load())
        return;
    if (m_watch)
        m_watch->Replacing();
    ReplaceWay way = ReplaceWay::RenamedOver;
    if (!m_file.Replace(document, size, &way))
        return;
    m_written.fetch_add(1, std::memory_order_relaxed);
    if (!m_watch)
        return;
    // Handles opened before an in-place rewrite read the new document unseen.
    if (way == ReplaceWay::RewrittenInPlace)
        m_watch->RewroteInPlace();
    else
        m_watch->Replaced();
}

void CLookAtFile::Freeze()
{
    // Set first: a write that starts later sees it under the lock; one already running
    // holds the lock until its rename is done.
    // Polls rather than using a timed lock, whose clock-based wait some thread checkers
    // cannot follow.
    m_frozen.store(true);
    const auto deadline = std::chrono::steady_clock::now() + kFreezeWait;
    do {
        if (m_writing.try_lock()) {
            m_writing.unlock();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
}

CLookAtFile& ProgramLookAtFile()
{
    static CLookAtFile* const file = new CLookAtFile(kLookAtFileName, &ProgramReadWatch());
    return *file;
}

IReadWatch& ProgramReadWatch()
{
    static IReadWatch* const watch = MakeReadWatch(kLookAtFileName, RealClock()).release();
    return *watch;
}

} // namespace vantrell
