#pragma once
// X11 window-manager hints that Qt has no public API for (EWMH client messages).

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
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

// Freezes `rect` of the root for `window`, which will be shown over exactly
// that rectangle: the server copies the pixels into a pixmap of its own and
// makes it the window's background, so it paints the window's first frame
// itself when the window maps. The image returned is the client's copy of that
// same pixmap (MIT-SHM, as grabRootShm), but its pixels are only fetched by
// completeFrozen(): the transfer would otherwise hold up the map. Until then
// the image may be wrapped, never read. Null where grabRootShm would be null.
QImage freezeRootUnder(WId window, const QRect &rect);
// Puts `spot` (window pixels) in `rgb` into the window's frozen background
// before it maps, so the first frame carries it; the image keeps the pixels
// of the screen there.
void markFrozen(WId window, const QRegion &spot, QRgb rgb);
// Fetches the pixels of the image freezeRootUnder gave; call it before the
// first read, once the window is shown. They come from the pixmap, even if
// the window was replaced meanwhile. Nothing when none is pending.
void completeFrozen();

// Makes the pages of `fd` (a memory file holding `size` pixels in
// Format_RGB32, 4 x width bytes a line) the background of `window`, which will
// be shown over exactly `size` pixels, as an MIT-SHM shared pixmap: the server
// paints the window's first frame from those same pages, no copy on either
// side. The caller keeps `fd` and must not change the pages until
// releaseShared(), except under the window's spot. False where the server
// cannot share memory so (no MIT-SHM 1.2 shared pixmaps, another pixel layout).
bool shareUnder(WId window, int fd, QSize size);
// Once the window is shown, or gone: the server lets go of the pages. Nothing
// when none are shared.
void releaseShared();
} // namespace x11
