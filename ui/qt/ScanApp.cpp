#include "ScanApp.h"

#include "DesktopSession.h"
#include "ScanDlg.h"
#include "SingleInstance.h"

#include "LookAtDocument.h"
#include "ScanPlan.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vantrell::qt {
namespace {

// SIGTERM, SIGHUP and SIGINT end the program the way Quit does: the handler only writes
// the signal's number into a pipe, and the event loop, reading it, leaves every dialog.
class CQuitOnSignals {
public:
    CQuitOnSignals()
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

private:
    static void Handle(int signal)
    {
        const int saved = errno;
        const char byte = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
        errno = saved;
    }

    static inline int s_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace

int CScanApp::Run(int argc, char** argv)
{
    // A plan only prints: no lock, no display, no file, so it runs beside a scan.
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (const auto plan = RunPlanCommand("vantrell", args)) {
        std::fputs(plan->out.c_str(), stdout);
        std::fputs(plan->err.c_str(), stderr);
        return std::fflush(stdout) == 0 ? plan->status : 1;
    }
    // Before anything touches the display: a second copy leaves no trace.
    static CSingleInstanceGuard guard;
    if (guard.AnotherCopyRuns())
        return 0;
    // The rule must not keep the user from working.
    if (!guard.Problem().empty())
        std::fprintf(stderr, "vantrell: runs without the single-copy lock: %s\n", guard.Problem().c_str());
    // Without a display Qt would abort with a page about platform plugins.
    if (!HasDesktopSession()) {
        std::fputs("vantrell: needs a desktop session to show its window (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set)\n",
                   stderr);
        return 1;
    }
    // What a killed copy left in this folder; only one copy runs, so none is ours.
    RemoveStaleTemporaries(kLookAtFileName);
    // Qt ends the process itself when the display goes away: the file must still be left
    // whole, so every exit stops the writer first. A write the kernel holds (a frozen
    // filesystem) can keep that waiting: the next copy may start meanwhile.
    std::atexit([] {
        guard.Release();
        EndScanning();
    });

    std::optional<CPlatformStartGuard> platformStart(std::in_place);
    QApplication app(argc, argv);
    platformStart.reset();
    const CQuitOnSignals quitOnSignals;
    QApplication::setApplicationName(QStringLiteral("vantrell"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QApplication::setDesktopFileName(QStringLiteral("vantrell"));
    QApplication::setWindowIcon(ApplicationIcon());
    {
        CScanDlg form;
        form.show();
        ClearWindowSystemTitle(form);
        form.exec();
    }
    // The worker is abandoned, not joined; it only has to stop touching the file.
    guard.Release();
    EndScanning();
    return 0;
}

} // namespace vantrell::qt
