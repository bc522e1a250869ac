#include "ScanApp.h"

#include "ScanDlg.h"
#include "SingleInstance.h"

#include <QApplication>

namespace vantrell::qt {

int CScanApp::Run(int argc, char** argv)
{
    // Before anything touches the display: a second copy leaves no trace.
    static const CSingleInstanceGuard guard;
    if (guard.AnotherCopyRuns())
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrell"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    QApplication::setDesktopFileName(QStringLiteral("vantrell"));
    QApplication::setWindowIcon(ApplicationIcon());
    {
        CScanDlg form;
        form.show();
        form.exec();
    }
    // The worker is abandoned, not joined; it only has to stop touching the file.
    EndScanning();
    return 0;
}

} // namespace vantrell::qt
