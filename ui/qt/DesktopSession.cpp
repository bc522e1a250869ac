#include "DesktopSession.h"

#include <QGuiApplication>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client-core.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace vantrell::qt {

bool HasDesktopSession()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

std::mutex s_heldLock;
std::vector<HeldMessage> s_held;
QtMessageHandler s_previous = nullptr;

// Qt's plugin loader explains a failed start twice, once with the cause and once as
// "Could not load the Qt platform plugin ... even though it was found"; the cause is
// what the user can act on.
QString StartFailureReason()
{
    QStringList reasons;
    for (const HeldMessage& message : s_held) {
        const QString text = message.text.trimmed();
        if (!text.isEmpty() && !text.contains(QLatin1String("even though it was found")))
            reasons.append(text.section(u'\n', 0, 0));
    }
    return reasons.isEmpty() ? QStringLiteral("no Qt platform plugin could be started") : reasons.join(QLatin1String("; "));
}

void HoldOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::lock_guard lock(s_heldLock);
    if (type != QtFatalMsg) {
        s_held.push_back({type, QByteArray(context.category ? context.category : "default"), text});
        return;
    }
    // Qt would abort right after this handler returns: nothing has been opened or written
    // yet, so the process ends here, without running destructors of a half-built Qt.
    const QByteArray line = ("vantrell: cannot open a window in the desktop session (" + StartFailureReason() +
                             QLatin1String(")\n"))
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void ClearX11Title(xcb_connection_t* connection, xcb_window_t id)
{
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    for (const char* property : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"}) {
        const xcb_atom_t atom = Atom(connection, property);
        if (atom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom, utf8, 8, 0, "");
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    xcb_flush(connection);
}

// The client library the Wayland platform plugin has loaded. Looked up, not linked: on
// X11 the program then never loads it, nor what it needs, at start-up.
template <typename Function>
Function* WaylandClientCall(const char* name)
{
    static void* const library = ::dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NOLOAD);
    return library ? reinterpret_cast<Function*>(::dlsym(library, name)) : nullptr;
}

// Qt's Wayland windows are xdg-shell toplevels; the plugin hands out the toplevel's proxy
// by name. set_title is not double-buffered: the compositor takes it at once.
void ClearWaylandTitle(QWindow& window)
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native)
        return;
    auto* toplevel = static_cast<wl_proxy*>(native->nativeResourceForWindow("xdg_toplevel", &window));
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* marshal = WaylandClientCall<decltype(wl_proxy_marshal_flags)>("wl_proxy_marshal_flags");
    auto* version = WaylandClientCall<decltype(wl_proxy_get_version)>("wl_proxy_get_version");
    auto* flush = WaylandClientCall<decltype(wl_display_flush)>("wl_display_flush");
    if (!toplevel || !display || !marshal || !version || !flush)
        return;
    constexpr std::uint32_t kXdgToplevelSetTitle = 2; // request number, fixed by the stable protocol
    marshal(toplevel, kXdgToplevelSetTitle, nullptr, version(toplevel), 0, "");
    flush(display);
}

} // namespace

CPlatformStartGuard::CPlatformStartGuard()
{
    s_previous = qInstallMessageHandler(&HoldOrEnd);
}

CPlatformStartGuard::~CPlatformStartGuard()
{
    qInstallMessageHandler(s_previous);
    std::vector<HeldMessage> held;
    {
        const std::lock_guard lock(s_heldLock);
        held.swap(s_held);
    }
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        s_previous(message.type, context, message.text);
    }
}

void ClearWindowSystemTitle(QWidget& window)
{
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); x11 && x11->connection()) {
        ClearX11Title(x11->connection(), static_cast<xcb_window_t>(window.winId()));
        return;
    }
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && window.windowHandle())
        ClearWaylandTitle(*window.windowHandle());
}

} // namespace vantrell::qt
