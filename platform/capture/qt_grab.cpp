// Qt's own grab of the screen: works wherever the window system hands out the
// whole screen's pixels to a client (X11, remote displays, the offscreen platform).

#include "platform/capture/capture.h"
#include "platform/wayland.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace {
class QtGrabCapture : public ScreenCapture {
public:
  const char *name() const override { return "qt-grab"; }
  // On a Wayland session Qt sees only XWayland's root or nothing at all.
  bool usable() const override {
    return QGuiApplication::primaryScreen() &&
           (!wayland::isSession() || QGuiApplication::platformName() == QLatin1String("offscreen"));
  }
  QImage grab(const QRect &area, QString &why) override {
    QScreen *s = screenHolding(area);
    if (!s) {
      why = QStringLiteral("no screen");
      return {};
    }
    QImage img = s->grabWindow(0).toImage();
    if (img.isNull()) {
      why = QStringLiteral("the window system gave no picture");
      return {};
    }
    if (img.format() != QImage::Format_RGB32)
      img = img.convertToFormat(QImage::Format_RGB32);
    img.setDevicePixelRatio(1.0);
    return img;
  }

private:
  // Qt keeps a screen's native origin and scales only its size.
  static QScreen *screenHolding(const QRect &area) {
    for (QScreen *s : QGuiApplication::screens()) {
      const QRect native(s->geometry().topLeft(), s->geometry().size() * s->devicePixelRatio());
      if (native.contains(area.center()))
        return s;
    }
    return QGuiApplication::primaryScreen();
  }
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeQtGrab() { return std::make_unique<QtGrabCapture>(); }
