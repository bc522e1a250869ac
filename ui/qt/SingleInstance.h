#pragma once
// Lets one copy of the program run per user: a lock the kernel drops when the process
// ends, however it ends.

#include <QString>

namespace vantrell::qt {

class CSingleInstanceGuard {
public:
    // Takes the lock if it can, and keeps it until the process ends.
    CSingleInstanceGuard();
    // True only when another running copy holds the lock; if the lock could not be
    // tried at all, the program runs.
    bool AnotherCopyRuns() const { return m_anotherCopy; }

    // $XDG_RUNTIME_DIR/vantrell.lock, or a per-user name in the temporary directory.
    static QString LockPath();

private:
    bool m_anotherCopy = false;
};

} // namespace vantrell::qt
