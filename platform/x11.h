#pragma once
// X11 window-manager hints that Qt has no public API for (EWMH client messages).

#include <QImage>
#include <QPoint>
#include <QRect>
#include <Qt>
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
// Hands the pressed left button to the window manager's move of `window`, as if
// its caption had been grabbed at `anchor` (device pixels, root coordinates).
// False when the window manager offers no such move.
bool startMove(WId window, const QPoint &anchor);
// Buttons held on the core pointer now (a round trip to the server).
Qt::MouseButtons pointerButtons();

// The pixels of `rect` (device pixels, root coordinates) of the default
// screen's root window through MIT-SHM, Format_RGB32, without a copy: the
// image holds the shared segment, freed with the last image sharing it. Null
// when shared memory cannot be used (a remote display, no extension, another
// pixel layout, QT_XCB_NO_MITSHM set) or the request fails.
QImage grabRootShm(const QRect &rect);
} // namespace x11
