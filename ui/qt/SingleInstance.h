#pragma once
// Lets one copy of the program run per user: a lock the kernel drops when the process
// ends, however it ends.

#include <string>
#include <vector>

namespace vantrell::qt {

class CSingleInstanceGuard {
public:
    // Takes the user's lock if it can, and keeps it until the process ends.
    CSingleInstanceGuard();
    // The same with the lock places to try, in order (tests).
    explicit CSingleInstanceGuard(const std::vector<std::string>& places);

    // True only when another running copy holds the lock; if no lock could be tried at
    // all, the program runs.
    bool AnotherCopyRuns() const { return m_anotherCopy; }
    // The lock file in use; "" when none could be used.
    const std::string& Place() const { return m_place; }

    // Where the lock may lie, from the user's id alone, never from the environment:
    // "/run/user/UID/vantrell.lock" when that folder exists and is the user's own, then
    // per-user names in /tmp, each next one for when another user has planted a file or
    // a link under the one before. Every copy of this user tries the same list.
    static std::vector<std::string> LockPlaces();

private:
    bool m_anotherCopy = false;
    std::string m_place;
};

} // namespace vantrell::qt
