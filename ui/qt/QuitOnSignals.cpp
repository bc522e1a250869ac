#include "QuitOnSignals.h"

#include <QCoreApplication>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vantrell::qt {

CQuitOnSignals::CQuitOnSignals()
{
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] {
        char signal = 0;
        while (::read(s_pipe[0], &signal, 1) > 0) {
        }
        // Every running event loop ends, the About box's and the form's alike.
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = &CQuitOnSignals::Handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

void CQuitOnSignals::Handle(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace vantrell::qt
