#include "platform/wayland.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>

#include <xcb/xcb.h>

#include <cstdio>

namespace wayland {
namespace {
bool set(const char *name) { return !qEnvironmentVariableIsEmpty(name); }

// The display named by DISPLAY answers; a compositor that starts XWayland on
// demand starts it now.
bool xDisplayAnswers() {
  if (!set("DISPLAY"))
    return false;
  xcb_connection_t *c = xcb_connect(nullptr, nullptr);
  const bool ok = c && !xcb_connection_has_error(c);
  if (c)
    xcb_disconnect(c);
  return ok;
}

bool waylandPluginInstalled() {
  const QString dir = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/");
  return QFileInfo::exists(dir + QStringLiteral("libqwayland-generic.so")) ||
         QFileInfo::exists(dir + QStringLiteral("libqwayland-egl.so"));
}
} // namespace

bool isSession() {
  return set("WAYLAND_DISPLAY") || set("WAYLAND_SOCKET") ||
         qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
}

Route chooseWindowSystem() {
  if (set("QT_QPA_PLATFORM"))
    return Route::AsIs;
  if (!isSession()) {
    if (xDisplayAnswers())
      return Route::AsIs;
    // Qt would abort on this with its own message; one plain line instead.
    if (set("DISPLAY"))
      std::fprintf(stderr, "morvane: the X display %s does not answer\n",
                   qgetenv("DISPLAY").constData());
    else
      std::fprintf(stderr, "morvane: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): "
                           "start Morvane in a desktop session\n");
    return Route::Impossible;
  }
  if (xDisplayAnswers()) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    return Route::XWayland;
  }
  std::fprintf(stderr,
               "morvane: this Wayland session has no XWayland (%s); Morvane's windows "
               "need it: install and enable XWayland\n",
               set("DISPLAY") ? "DISPLAY does not answer" : "DISPLAY is not set");
  if (!waylandPluginInstalled())
    return Route::Impossible;
  qputenv("QT_QPA_PLATFORM", "wayland");
  return Route::MessageOnly;
}

QImage fitToArea(const QImage &desktop, const QRect &area) {
  if (desktop.isNull() || area.isEmpty())
    return {};
  // The X screen as Qt sees it: native origins, sizes in device pixels.
  QRect screen;
  for (const QScreen *s : QGuiApplication::screens())
    screen |= QRect(s->geometry().topLeft(), s->geometry().size() * s->devicePixelRatio());
  if (screen.isEmpty())
    screen = QRect(QPoint(0, 0), desktop.size());
  const double rx = double(desktop.width()) / screen.width();
  const double ry = double(desktop.height()) / screen.height();
  const QRect source = QRectF((area.x() - screen.x()) * rx, (area.y() - screen.y()) * ry,
                              area.width() * rx, area.height() * ry)
                           .toAlignedRect();
  // The whole picture, unscaled, is the common case: no copy at all.
  if (source == desktop.rect() && source.size() == area.size() &&
      desktop.format() == QImage::Format_RGB32) {
    QImage whole = desktop;
    whole.setDevicePixelRatio(1.0);
    return whole;
  }
  QImage part = source.size() == area.size()
                    ? desktop.copy(source)
                    : desktop.copy(source).scaled(area.size(), Qt::IgnoreAspectRatio,
                                                  Qt::SmoothTransformation);
  if (part.format() != QImage::Format_RGB32)
    part = part.convertToFormat(QImage::Format_RGB32);
  part.setDevicePixelRatio(1.0);
  return part;
}
} // namespace wayland
