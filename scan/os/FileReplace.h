#pragma once
// Replacing a small file whole. With SameFile.h and ReadWatch.h, the part of the engine
// that speaks to the operating system; FileReplacePosix.cpp and FileReplaceWin32.cpp
// implement it.

#include "TemporaryName.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

// How a replacement that succeeded put the new content in place.
enum class ReplaceWay {
    RenamedOver,      // a new file under the name: handles on the old one read the old
    RewrittenInPlace, // the old file rewritten: handles opened before read the new
};

class CFileReplacer {
public:
    // fileName: the file to keep replacing. On POSIX systems it is taken relative to the
    // working directory at each call; on Windows it is made a full path once, here,
    // against the working directory of this moment (the Windows program never changes
    // it), in the "\\?\" form that works past MAX_PATH (WidePath.h). Each replacement
    // passes through a temporary file beside the file it replaces, named by
    // TemporaryName.h's pattern with this replacer's own random part.
    explicit CFileReplacer(std::string_view fileName);

    // Writes data to a new temporary file and moves it over the target, so that a reader
    // sees the old content or the new one, whole. The temporary is only ever created new:
    // a file, link or pipe found under its name is left alone and another name is taken.
    // On POSIX systems a link named fileName is followed, and the file it leads to is
    // replaced in its own folder with its permission bits kept; where the folder will not
    // rename over an existing name, the old file is moved aside first, and a reader may
    // briefly find none. On failure no temporary file is left and false is returned; the
    // target is untouched, with one exception on Windows, below. Allocates nothing. One
    // thread at a time.
    // On Windows a reader's handle can block every way of replacing the file. The move is
    // then retried for up to kHeldRetryMs, so a reader that holds the file briefly costs
    // no point; for a tenth of that while the last call found it held all along, so that
    // a reader keeping it open does not slow every point. Past that the file is rewritten
    // in place, never emptied first, under an exclusive byte-range lock: another handle's
    // ReadFile fails meanwhile, and the reader gets the whole document at its next read.
    // A reader through a memory mapping, which no lock stops, can still catch a write half
    // done. Where the lock is found not to stop another handle's read (Wine), the file is
    // never written in place and false is returned. A failure part-way through an
    // in-place rewrite can leave the file partly rewritten. On success, way (when given)
    // says which of the two ways the replacement took.
    bool Replace(const char* data, std::size_t size, ReplaceWay* way = nullptr) noexcept;
    static constexpr int kHeldRetryMs = 200; // well inside CLookAtFile::kFreezeWait

    const std::string& Target() const { return m_target; }
    // The name of the temporary the next replacement of an unlinked target uses (tests).
    std::string Temporary() const { return m_target + m_suffix.text; }

private:
    void TakeNewName() noexcept;

    std::string m_target;
    TemporarySuffix m_suffix;
    unsigned m_createMask = 0; // permission bits that the process's umask removes at creation
#if defined(_WIN32)
    // Built once, so that a point allocates nothing: the target's extended full path
    // (empty if it could not be made), the temporary's beside it (rebuilt in its reserved
    // room at each point), and the FILE_RENAME_INFO naming the target.
    std::wstring m_widePath;
    std::wstring m_wideTemporary;
    std::vector<std::uint64_t> m_renameInfo;
    bool m_heldThrough = false; // the last call found the target held for all of its retry
#endif
};

#if !defined(_WIN32)
// The path Replace writes for fileName at this moment: the end of its chain of links,
// relative to the working directory unless a link gave a full path, into out (PATH_MAX
// bytes). False for a loop of links or a path too long. Allocates nothing.
bool ReplacedPath(const std::string& fileName, char* out) noexcept;
#endif

// Deletes this user's temporaries of fileName in the working directory whose process no
// longer runs: what a killed writer leaves behind. Where fileName is a link (POSIX), the
// same goes for the temporaries of the file it leads to, in that file's folder. Files of
// other users, of running processes, links and anything not matching the pattern stay. Returns how many went.
// fileName is a bare name. On Windows, whose owner the file is is not checked: a file
// that another user's dead copy left is removed where this user may remove it; the
// folder is named by its extended full path, so a deep one works past MAX_PATH.
// Call once at start, before any writer of this process exists.
std::size_t RemoveStaleTemporaries(std::string_view fileName);

} // namespace vantrell
