#pragma once
// Replacing a small file whole. The only part of the engine that speaks to the
// operating system; FileReplacePosix.cpp and FileReplaceWin32.cpp implement it.

#include "TemporaryName.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrell {

class CFileReplacer {
public:
    // fileName: the file to keep replacing, relative to the working directory at each
    // call. Each replacement passes through a temporary file beside the file it replaces,
    // named by TemporaryName.h's pattern with this replacer's own random part.
    explicit CFileReplacer(std::string_view fileName);

    // Writes data to a new temporary file and moves it over the target, so that a reader
    // sees the old content or the new one, whole. The temporary is only ever created new:
    // a file, link or pipe found under its name is left alone and another name is taken.
    // On POSIX systems a link named fileName is followed, and the file it leads to is
    // replaced in its own folder with its permission bits kept; where the folder will not
    // rename over an existing name, the old file is moved aside first, and a reader may
    // briefly find none. On failure no temporary file is left and false is returned; the
    // target is untouched, with one exception on Windows: where a reader's handle blocks
    // every way of replacing the file, it is overwritten in place. It is never emptied
    // first, and a reader then may see the document followed by blanks, which XML allows;
    // a failure part-way can leave it partly rewritten. Allocates nothing. One thread at a
    // time.
    bool Replace(const char* data, std::size_t size) noexcept;

    const std::string& Target() const { return m_target; }
    // The name of the temporary the next replacement of an unlinked target uses (tests).
    std::string Temporary() const { return m_target + m_suffix.text; }

private:
    void TakeNewName() noexcept;

    std::string m_target;
    TemporarySuffix m_suffix;
    unsigned m_createMask = 0; // permission bits that the process's umask removes at creation
};

// Deletes this user's temporaries of fileName in the working directory whose process no
// longer runs: what a killed writer leaves behind. Where fileName is a link (POSIX), the
// same goes for the temporaries of the file it leads to, in that file's folder. Files of other users, of running
// processes, links and anything not matching the pattern stay. Returns how many went.
// fileName is a bare name. On Windows, whose owner the file is is not checked: a file
// that another user's dead copy left is removed where this user may remove it.
// Call once at start, before any writer of this process exists.
std::size_t RemoveStaleTemporaries(std::string_view fileName);

} // namespace vantrell
