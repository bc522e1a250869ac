#pragma once
// Whether the viewer has read the LookAt file since it was last replaced. The writer tells
// the watch around each replacement; anyone may ask. ReadWatchLinux.cpp (inotify on the
// file's folder) and ReadWatchWin32.cpp (an exclusive oplock on the file) implement it.
// A version the watch loses sight of (a request refused, events lost, a rewrite in place)
// is "cannot tell": never counted as read, and nothing more is waited for on it.

#include "Clock.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace vantrell {

struct ReadStatus {
    bool watchable = false;       // false: this folder cannot be watched; the rest stays 0
    std::uint64_t replaced = 0;   // versions of the file written since the watch began
    std::uint64_t read = 0;       // of them, how many were read at least once
    bool newestRead = false;      // the newest version written has been read
    std::int64_t lastReadMs = -1; // when the last read was seen, milliseconds of the
                                  // steady clock passed in (IClock), -1 for never
    std::uint64_t cannotTell = 0; // of the versions, how many the watch lost sight of
                                  // before their read; none of them is among `read`
    bool newestCannotTell = false; // the newest version is one of those
    std::int64_t newestMs = -1;    // when the newest version was written, by the same clock
};

// A version of ours was just written, at nowMs: not read yet, not lost sight of yet.
inline void CountNewVersion(ReadStatus& status, std::int64_t nowMs) noexcept
{
    ++status.replaced;
    status.newestRead = false;
    status.newestCannotTell = false;
    status.newestMs = nowMs;
}

// Any open of the file for more than its attributes counts as a read, by whoever makes it:
// neither system names the opener. A version counts as read only for opens that come after
// it replaced the one before; an open of an older version, read after the replacement,
// does not count.
class IReadWatch {
public:
    // Public and virtual: MakeReadWatch hands out the owner.
    virtual ~IReadWatch() = default;

    // Worker thread, called by the writer around each replace of the file, with the
    // writer's lock held: never both at once from two threads.
    virtual void Replacing() noexcept = 0; // before: e.g. Windows closes its handle
    virtual void Replaced() noexcept = 0;  // after a replace that renamed a new file over it
    // After a replace that rewrote the file in place instead: handles opened before it
    // still read the file, so no open tells of this version's read: "cannot tell".
    virtual void RewroteInPlace() noexcept = 0;
    // Worker thread, as the walk's pause gate begins to hold it and as it lets it go on:
    // in between, the watch holds nothing that keeps the file's disk from being removed
    // safely, and reads may go unseen.
    virtual void Pausing() noexcept = 0;
    virtual void Resuming() noexcept = 0;
    // Any thread. Allocates nothing, as the two above.
    virtual ReadStatus Status() noexcept = 0;
};

// Creates the platform's watch for the file that `fileName` (relative to the working folder)
// names, following a symbolic link as CFileReplacer does; never null: where no watch can be
// had it returns one whose Status().watchable is false. clock is read on any thread and
// must outlive the watch.
std::unique_ptr<IReadWatch> MakeReadWatch(std::string_view fileName, IClock& clock);

} // namespace vantrell
