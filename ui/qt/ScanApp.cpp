#include "ScanApp.h"

#include "DesktopSession.h"
#include "QuitOnSignals.h"
#include "ScanDlg.h"
#include "SingleInstance.h"

#include "FileReplace.h"
#include "LookAtDocument.h"
#include "ScanPlan.h"
#include "VantrellVersion.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::qt {

int CScanApp::Run(int argc, char** argv)
{
    // A plan only prints: no lock, no display, no file, so it runs beside a scan.
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (const auto plan = RunPlanCommand("vantrell", args)) {
        std::fputs(plan->out.c_str(), stdout);
        std::fputs(plan->err.c_str(), stderr);
        return std::fflush(stdout) == 0 ? plan->status : 1;
    }
    // Before anything touches the display: a second copy only says why it ends, for
    // whoever started it from a terminal, and ends as a success (the scan goes on).
    static CSingleInstanceGuard guard;
    if (guard.AnotherCopyRuns()) {
        std::fputs("vantrell: another copy is already running for this user; it keeps the scan.\n", stderr);
        return 0;
    }
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
    QApplication::setApplicationVersion(QStringLiteral(VANTRELL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(VANTRELL_APP_ID)); // the desktop entry's name
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
