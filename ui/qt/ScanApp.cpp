#include "ScanApp.h"

#include "ScanDlg.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

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

} // namespace

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
        ClearX11Title(form);
        form.exec();
    }
    // The worker is abandoned, not joined; it only has to stop touching the file.
    EndScanning();
    return 0;
}

} // namespace vantrell::qt
