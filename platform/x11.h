#pragma once
// X11 window-manager hints that Qt has no public API for (EWMH client messages).

#include <QRect>
#include <QtGui/qwindowdefs.h>

namespace x11 {
// True when the application runs on the xcb platform with a live connection.
bool available();
// Adds or removes _NET_WM_STATE_ABOVE on a mapped top-level window.
void setAbove(WId window, bool on);
// Adds _NET_WM_STATE_SKIP_TASKBAR; the window manager drops it on every unmap.
void setSkipTaskbar(WId window);
// Owner window of the system tray selection of the default screen, 0 when none.
quint32 trayOwner();
void flush();
} // namespace x11
