#include "platform/platform.h"

#include "platform/capture.h"
#include "platform/qt_tray_icon.h"
#include "platform/x11.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPalette>
#include <QRegion>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QThread>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
Platform &defaultPlatform() {
  static Platform p;
  return p;
}
Platform *current = nullptr;
} // namespace

Platform &platform() { return current ? *current : defaultPlatform(); }

Platform *setPlatform(Platform *p) {
  Platform *old = current;
  current = p;
  return old;
}

static QScreen *primary() { return QGuiApplication::primaryScreen(); }

QSize Platform::screenPixels() const {
  QScreen *s = primary();
  if (!s)
    return {1, 1};
  const QSize logical = s->geometry().size();
  const double dpr = s->devicePixelRatio();
  QSize px(qRound(logical.width() * dpr), qRound(logical.height() * dpr));
  return px.expandedTo({1, 1});
}

static double twipsFor(double dpi) { return dpi > 0 ? 1440.0 / dpi : 15.0; }

// The logical dpi Qt reports is already divided by the scale factor; the
// twips of the program are per device pixel, so undo that division.
double Platform::twipsPerPixelX() const {
  QScreen *s = primary();
  return s ? twipsFor(s->logicalDotsPerInchX() * s->devicePixelRatio()) : 15.0;
}

double Platform::twipsPerPixelY() const {
  QScreen *s = primary();
  return s ? twipsFor(s->logicalDotsPerInchY() * s->devicePixelRatio()) : 15.0;
}

double Platform::devicePixelRatio() const {
  QScreen *s = primary();
  return s ? s->devicePixelRatio() : 1.0;
}

QImage Platform::captureScreen(QWidget *cover) {
  QScreen *s = primary();
  if (!s)
    return {};
  return capture::grab(QRect(s->geometry().topLeft(), screenPixels()), cover);
}

void Platform::prepareFirstFrame(QWidget *cover, const QRegion &spot, QRgb rgb) {
  capture::markUnder(cover, spot, rgb);
}

void Platform::firstPaint(QWidget *cover) { capture::completeUnder(cover); }

void Platform::setTopMost(QWidget *w, bool on) {
  if (!w)
    return;
  if (x11::available() && w->windowHandle() && w->isVisible()) {
    x11::setAbove(w->winId(), on);
    return;
  }
  if (QWindow *h = w->windowHandle())
    h->setFlag(Qt::WindowStaysOnTopHint, on);
}

namespace {
// The window manager takes the hint only from a mapped window, and drops it
// again on every unmap: send it now and at the window's next exposure.
class SkipTaskbarOnExpose : public QObject {
public:
  explicit SkipTaskbarOnExpose(QWindow *w) : QObject(w) { w->installEventFilter(this); }
  bool eventFilter(QObject *o, QEvent *e) override {
    if (e->type() == QEvent::Expose && static_cast<QWindow *>(o)->isExposed()) {
      x11::setSkipTaskbar(static_cast<QWindow *>(o)->winId());
      deleteLater();
    }
    return false;
  }
};
} // namespace

void Platform::skipTaskbar(QWidget *w) {
  if (!w || !x11::available())
    return;
  w->winId(); // makes sure the native window exists
  QWindow *h = w->windowHandle();
  if (!h)
    return;
  if (h->isExposed())
    x11::setSkipTaskbar(w->winId());
  else if (!h->findChild<SkipTaskbarOnExpose *>(QString(), Qt::FindDirectChildrenOnly))
    new SkipTaskbarOnExpose(h);
}

void Platform::animateRects(const QRect &from, const QRect &to) {
  // An outline that travels between the two rectangles, like a caption zoom.
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    return;
  QWidget outline(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint | Qt::ToolTip);
  outline.setAttribute(Qt::WA_ShowWithoutActivating);
  outline.setStyleSheet(QStringLiteral("background: #3a3a3a;"));
  constexpr int steps = 12;
  for (int i = 1; i <= steps; ++i) {
    const double t = double(i) / steps;
    QRect r(QPoint(qRound(from.left() + (to.left() - from.left()) * t),
                   qRound(from.top() + (to.top() - from.top()) * t)),
            QSize(qMax(2, qRound(from.width() + (to.width() - from.width()) * t)),
                  qMax(2, qRound(from.height() + (to.height() - from.height()) * t))));
    const double dpr = devicePixelRatio();
    QRect logical(QPoint(qRound(r.x() / dpr), qRound(r.y() / dpr)),
                  QSize(qMax(2, qRound(r.width() / dpr)), qMax(2, qRound(r.height() / dpr))));
    outline.setGeometry(logical);
    QRegion ring(QRect(QPoint(0, 0), logical.size()));
    if (logical.width() > 4 && logical.height() > 4)
      ring -= QRegion(QRect(QPoint(2, 2), logical.size() - QSize(4, 4)));
    outline.setMask(ring);
    outline.show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(12);
  }
}

void Platform::showWindowMove() {
  if (!x11::available())
    return;
  x11::flush();
  QThread::usleep(2000);
}

QPoint Platform::cursorPos() const { return QCursor::pos(); }

// The classic system colour numbers mapped onto the current Qt palette.
QColor Platform::systemColor(int n) const {
  const QPalette pal = QGuiApplication::palette();
  switch (n) {
  case 0: // scroll bar
    return pal.color(QPalette::Button);
  case 1: // desktop
    return QColor(0, 128, 128);
  case 2:  // active caption
  case 13: // highlight
  case 27: // gradient active caption
    return pal.color(QPalette::Active, QPalette::Highlight);
  case 3:  // inactive caption
  case 28: // gradient inactive caption
    return pal.color(QPalette::Inactive, QPalette::Highlight);
  case 4:  // menu
  case 15: // button face
  case 30: // menu bar
    return pal.color(QPalette::Button);
  case 5: // window
    return pal.color(QPalette::Base);
  case 6:  // window frame
  case 21: // 3D dark shadow
    return pal.color(QPalette::Shadow);
  case 7: // menu text
  case 8: // window text
    return pal.color(QPalette::Text);
  case 9:  // caption text
  case 14: // highlighted text
    return pal.color(QPalette::HighlightedText);
  case 10: // active border
  case 11: // inactive border
  case 22: // 3D light
    return pal.color(QPalette::Midlight);
  case 12: // application work space
  case 16: // button shadow
    return pal.color(QPalette::Dark);
  case 17: // grey text
    return pal.color(QPalette::Disabled, QPalette::Text);
  case 18: // button text
    return pal.color(QPalette::ButtonText);
  case 19: // inactive caption text
    return pal.color(QPalette::Inactive, QPalette::HighlightedText);
  case 20: // button highlight
    return pal.color(QPalette::Light);
  case 23: // tooltip text
    return pal.color(QPalette::ToolTipText);
  case 24: // tooltip background
    return pal.color(QPalette::ToolTipBase);
  case 26: // hot-tracked item
    return pal.color(QPalette::Link);
  case 29: // menu highlight
    return pal.color(QPalette::Highlight);
  default:
    return QColor(0, 0, 0);
  }
}

bool Platform::openHelp(const QString &path) {
  if (!QFileInfo(path).isFile())
    return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Platform::notifyUser(QWidget *owner, const QString &text) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Morvane"), text, QMessageBox::Ok,
                  owner);
  box.exec();
}

QString Platform::appPath() const { return QCoreApplication::applicationDirPath(); }

TrayIcon *Platform::createTrayIcon(QObject *parent) { return new QtTrayIcon(parent); }

bool Platform::trayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void Platform::endProcess(int code) {
  std::fflush(nullptr);
  if (x11::available())
    x11::flush();
  ::_exit(code);
}
