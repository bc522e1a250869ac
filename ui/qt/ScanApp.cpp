#include "ScanApp.h"

#include "ScanDlg.h"
#include "SingleInstance.h"

#include "LookAtDocument.h"
#include "ScanPlan.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace vantrell::qt {
namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The form has no caption, but Qt's X11 windows never go untitled: an empty title turns
// into the application's name. Write the empty title past it.
void ClearX11Title(QWidget& window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    for (const char* property : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"}) {
        const xcb_atom_t atom = Atom(connection, property);
        if (atom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom, utf8, 8, 0, "");
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_flush(connection);
}

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

// A platform chosen by hand (offscreen, say) needs no display.
bool HasDesktopSession()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

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

    QApplication app(argc, argv);
    const CQuitOnSignals quitOnSignals;
    QApplication::setApplicationName(QStringLiteral("vantrell"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QApplication::setDesktopFileName(QStringLiteral("vantrell"));
    QApplication::setWindowIcon(ApplicationIcon());
    {
        CScanDlg form;
        form.show();
        ClearX11Title(form);
        form.exec();
    }
    // The worker is abandoned, not joined; it only has to stop touching the file.
    guard.Release();
    EndScanning();
    return 0;
}

} // namespace vantrell::qt
