// The X server's pixels through a shared-memory segment: spares the 33 MB trip
// through the X socket at 4K.

#include "platform/capture/capture.h"
#include "platform/wayland.h"
#include "platform/x11.h"

#include <QWidget>

namespace {
class X11ShmCapture : public ScreenCapture {
public:
  const char *name() const override { return "x11-shm"; }
  // XWayland's root holds none of the native Wayland windows: a black picture.
  bool usable() const override { return x11::available() && !wayland::isSession(); }
  QImage grab(const QRect &area, QString &why) override {
    QImage img = x11::grabRootShm(area);
    if (img.isNull())
      why = QStringLiteral("no shared memory with the X server");
    return img;
  }
  // The server copies the screen into the window's background, so the window
  // maps with the frozen picture already in place; the copy for drawing on
  // comes from that same server-side copy once the window is up.
  QImage grabUnder(QWidget *cover, const QRect &area, QString &why) override {
    QImage img = x11::freezeRootUnder(cover->winId(), area);
    return img.isNull() ? grab(area, why) : img;
  }
  void markUnder(QWidget *cover, const QRegion &spot, QRgb rgb) override {
    if (const WId w = cover->internalWinId())
      x11::markFrozen(w, spot, rgb);
  }
  void completeUnder(QWidget *) override { x11::completeFrozen(); }
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeX11Shm() { return std::make_unique<X11ShmCapture>(); }
