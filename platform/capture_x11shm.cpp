// The X server's pixels through a shared-memory segment: spares the 33 MB trip
// through the X socket at 4K.

#include "platform/capture.h"
#include "platform/wayland.h"
#include "platform/x11.h"

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
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeX11Shm() { return std::make_unique<X11ShmCapture>(); }
