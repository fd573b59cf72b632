#pragma once
// Wayland sessions. Morvane's windows go through XWayland there: a native
// Wayland client gets no global window positions (the floating icon could not
// be put back where the user left it) and a full-screen surface cannot take
// the keyboard from the window that has it. The screen's pixels come from the
// desktop's own means instead (capture/portal.cpp, capture/grim.cpp): X11 sees
// none of the native Wayland windows.

#include <QImage>
#include <QRect>

namespace wayland {
// True when the desktop session is a Wayland one, whichever window system
// this process talks to.
bool isSession();

enum class Route {
  AsIs,        // an X11 session, or the user chose the platform (QT_QPA_PLATFORM)
  XWayland,    // a Wayland session with XWayland: windows on the xcb platform
  MessageOnly, // no XWayland: native Wayland, only to tell the user so
  Impossible,  // no display at all, or no XWayland and nothing to show a message with
};
// Picks the window system; runs before QApplication exists, which reads
// QT_QPA_PLATFORM when it is built. When there is no display, or XWayland is
// missing, it says so in one line on stderr.
Route chooseWindowSystem();

// The part of a picture of the whole desktop, in the compositor's pixels,
// that lies under `area` of the X screen (device pixels, desktop
// coordinates), as `area`'s size in Format_RGB32. On a scaled output the
// compositor's pixels are finer than XWayland's: the picture is resampled to
// one pixel per X pixel, the overlay's own pixels, which the compositor then
// scales up like every X window.
QImage fitToArea(const QImage &desktop, const QRect &area);
} // namespace wayland
