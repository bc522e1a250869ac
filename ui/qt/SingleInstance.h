#pragma once
// Lets one copy of the program run per user and machine: a lock the kernel drops when
// the process ends, however it ends.

#include <string>

namespace vantrell::qt {

class CSingleInstanceGuard {
public:
    // Takes the user's lock in the home the password database names, if it can, and keeps
    // it until Release or the process's end.
    CSingleInstanceGuard();
    // The same in the folder given as the home (tests).
    explicit CSingleInstanceGuard(const std::string& home);
    ~CSingleInstanceGuard();
    CSingleInstanceGuard(const CSingleInstanceGuard&) = delete;
    CSingleInstanceGuard& operator=(const CSingleInstanceGuard&) = delete;

    // True only when another running copy holds the lock; when no lock could be had at
    // all, the program runs (see Problem).
    bool AnotherCopyRuns() const { return m_anotherCopy; }
    // The lock file: "HOME/.local/state/vantrell/single-copy-MACHINE.lock"; "" when none
    // could be used.
    const std::string& Place() const { return m_place; }
    // Why no lock could be had; "" when one was, or another copy holds it.
    const std::string& Problem() const { return m_problem; }
    // Lets the next copy start while this one still ends. Safe to call more than once.
    void Release();

    // The user's home from the password database, never from the environment; "" when
    // it names none.
    static std::string Home();
    // What tells this machine from others that share the home: /etc/machine-id, else the
    // host name, in characters safe for a file name.
    static std::string MachineName();

private:
    bool m_anotherCopy = false;
    int m_fd = -1;
    std::string m_place;
    std::string m_problem;
};

} // namespace vantrell::qt
