#pragma once
// Ways of copying the screen's pixels. Each way lives in a file of its own
// (capture/*.cpp); the first one that works in this session is kept for the
// rest of it, so a session never pays twice for a way that cannot work.

#include "platform/platform.h"

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>

#include <memory>
#include <vector>

class QWidget;

namespace capture {
using Denial = ShotDenial; // what the overlay is told, as the ways say it
} // namespace capture

class ScreenCapture {
public:
  virtual ~ScreenCapture() = default;
  // A short name, for messages and for MORVANE_CAPTURE, which forces one way (tests).
  virtual const char *name() const = 0;
  // Whether this way can work in the running session at all; makes no capture.
  virtual bool usable() const = 0;
  // The pixels of `area` (device pixels, desktop coordinates), Format_RGB32 at
  // ratio 1. Null when it failed, and `why` then says why in a few words.
  virtual QImage grab(const QRect &area, QString &why) = 0;
  // The same for a window about to be shown over exactly `area`. A way that
  // can may have the display server show this picture as the window's first
  // frame and deliver the pixels later, by completeUnder(): see x11.h.
  virtual QImage grabUnder(QWidget *cover, const QRect &area, QString &why) {
    (void)cover;
    return grab(area, why);
  }
  // Before `cover` is shown: `spot` (cover pixels) in `rgb` joins the picture
  // that the display server shows as the cover's first frame, where it does.
  virtual void markUnder(QWidget *cover, const QRegion &spot, QRgb rgb) {
    (void)cover;
    (void)spot;
    (void)rgb;
  }
  // Called once `cover` is shown, before its first paint reads the picture.
  virtual void completeUnder(QWidget *cover) { (void)cover; }
  // Morvane is about to take a window of its own off the screen and then
  // capture. A way whose copy could come from a frame before that change
  // reaches the screen makes the next grab wait for it, within bounds.
  virtual void beforeOwnChange() {}
  // Why the last grab gave nothing, when the user had the last word: then no
  // other way is tried, and nothing opens.
  virtual capture::Denial denial() const { return capture::Denial::None; }
  // Whether the display server alone puts `cover`'s first frame on screen, and
  // only then: a compositor stands between it and the screen, and the
  // toolkit's own first paint would compete with it (see Platform).
  virtual bool showsUnder(const QWidget *cover) const {
    (void)cover;
    return false;
  }
};

namespace capture {
std::unique_ptr<ScreenCapture> makeX11Shm();
std::unique_ptr<ScreenCapture> makeQtGrab();
std::unique_ptr<ScreenCapture> makePortal();     // Wayland desktops
std::unique_ptr<ScreenCapture> makeScreencopy(); // wlroots desktops, in-process
std::unique_ptr<ScreenCapture> makeGrim();       // wlroots desktops, through grim
std::unique_ptr<ScreenCapture> makeKWin();       // KDE Plasma, KWin's own interface

// The ways worth trying in this session, best first.
std::vector<std::unique_ptr<ScreenCapture>> candidates();
// One copy of `area` through the way kept for this session, for `cover` when
// given. A failure gives a null image and one line on stderr that names the reason.
QImage grab(const QRect &area, QWidget *cover = nullptr);
// The two later steps of grab for `cover` (see ScreenCapture).
void markUnder(QWidget *cover, const QRegion &spot, QRgb rgb);
void completeUnder(QWidget *cover);
bool showsUnder(const QWidget *cover);
// See ScreenCapture::beforeOwnChange: for the way kept, or the first to try.
void beforeOwnChange();
// True under MORVANE_TRACE=1: the ways then say on stderr what they did (tests, probes).
bool tracing();
// Why the last grab gave nothing, when the user decided it (see ScreenCapture::denial).
Denial lastDenial();
// The name of the way kept, or empty before the first success.
QString keptName();
// Forgets the way kept (tests).
void reset();
} // namespace capture
