#pragma once
// SIGTERM, SIGHUP and SIGINT end the program the way Quit does: the handler only writes
// the signal's number into a pipe, and the event loop, reading it, leaves every dialog.
// Build it on the main thread once QApplication stands, and keep it while the form runs.

#include <QSocketNotifier>

#include <memory>

namespace vantrell::qt {

class CQuitOnSignals {
public:
    CQuitOnSignals();

private:
    static void Handle(int signal);

    static inline int s_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace vantrell::qt
