#pragma once
// Reaching the desktop session: whether there is one at all, what to say when no window
// system answers, and the caption the form must not have on any of them. Main thread.

class QWidget;

namespace vantrell::qt {

// DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set (a platform chosen by hand, such as
// offscreen, needs no display). Says nothing about whether anything answers there.
bool HasDesktopSession();

// Lives across the construction of QApplication. Qt aborts there, with a page about
// reinstalling, when no platform plugin starts (a dead X server, a Wayland socket with no
// compositor, a missing plugin); instead the process prints one line with the reason Qt
// gave and ends with status 1. What Qt logs meanwhile is held back and, once the
// application stands, passed on unchanged.
class CPlatformStartGuard {
public:
    CPlatformStartGuard();
    ~CPlatformStartGuard();
    CPlatformStartGuard(const CPlatformStartGuard&) = delete;
    CPlatformStartGuard& operator=(const CPlatformStartGuard&) = delete;
};

// Qt never leaves a shown window untitled: an empty title reaches the window system as
// the application's name, on X11 and on Wayland alike. Writes the empty title past it,
// for a window that has just been shown.
void ClearWindowSystemTitle(QWidget& window);

} // namespace vantrell::qt
