#include "platform/platform.h"

#include "platform/capture/capture.h"
#include "platform/qt_tray_icon.h"
#include "platform/x11.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
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

std::vector<Monitor> Platform::monitors() const {
  std::vector<Monitor> list;
  QScreen *first = primary();
  auto add = [&list](QScreen *s) {
    const double r = s->devicePixelRatio() > 0 ? s->devicePixelRatio() : 1.0;
    // On X11 Qt keeps a screen's device origin and scales only its size.
    const QRect g = s->geometry();
    const QSize px(qRound(g.width() * r), qRound(g.height() * r));
    list.push_back({QRect(g.topLeft(), px.expandedTo({1, 1})), r});
  };
  if (first)
    add(first);
  for (QScreen *s : QGuiApplication::screens())
    if (s != first)
      add(s);
  if (list.empty())
    list.push_back({QRect(0, 0, 1, 1), 1.0});
  return list;
}

void Platform::watchMonitors(QObject *context, std::function<void()> changed) {
  if (!context || !qGuiApp)
    return;
  // Queued: Qt is still rearranging its screens while it signals.
  auto notify = [context, changed] {
    QMetaObject::invokeMethod(context, changed, Qt::QueuedConnection);
  };
  auto watch = [context, notify](QScreen *s) {
    QObject::connect(s, &QScreen::geometryChanged, context, notify);
  };
  for (QScreen *s : QGuiApplication::screens())
    watch(s);
  QObject::connect(qGuiApp, &QGuiApplication::screenAdded, context, [watch, notify](QScreen *s) {
    watch(s);
    notify();
  });
  QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, context, notify);
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, context, notify);
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

QRect Platform::primaryMonitor() const { return monitors().front().pixels; }

double Platform::devicePixelRatio() const {
  const double r = monitors().front().ratio;
  return r > 0 ? r : 1.0;
}

QRect Platform::monitorAt(const QPoint &pixel) const {
  const std::vector<Monitor> all = monitors();
  for (const Monitor &m : all)
    if (m.pixels.contains(pixel))
      return m.pixels;
  return all.front().pixels;
}

QRect Platform::monitorHolding(const QRect &pixels) const {
  QRect best;
  qint64 most = 0;
  for (const Monitor &m : monitors()) {
    const QRect common = m.pixels & pixels;
    const qint64 area = qint64(common.width()) * common.height();
    if (area > most) {
      most = area;
      best = m.pixels;
    }
  }
  return best;
}

namespace {
double ratioOf(const Monitor &m) { return m.ratio > 0 ? m.ratio : 1.0; }

QRect logicalOf(const Monitor &m) {
  const double r = ratioOf(m);
  return QRect(m.pixels.topLeft(),
               QSize(qRound(m.pixels.width() / r), qRound(m.pixels.height() / r)));
}

// The monitor whose rectangle (as `rectOf` gives it) holds p, else the primary.
template <class RectOf>
const Monitor &monitorFor(const std::vector<Monitor> &all, const QPoint &p, RectOf rectOf) {
  for (const Monitor &m : all)
    if (rectOf(m).contains(p))
      return m;
  return all.front();
}

QRect scaled(const QRect &r, const QPoint &origin, double f) {
  const QPointF tl = QPointF(r.topLeft() - origin) * f;
  return QRect(origin + tl.toPoint(), QSize(qRound(r.width() * f), qRound(r.height() * f)));
}
} // namespace

QRect Platform::toLogical(const QRect &pixels) const {
  const std::vector<Monitor> all = monitors();
  const QPoint at = pixels.topLeft() + QPoint(pixels.width() / 2, pixels.height() / 2);
  const Monitor &m = monitorFor(all, at, [](const Monitor &x) { return x.pixels; });
  return scaled(pixels, m.pixels.topLeft(), 1.0 / ratioOf(m));
}

QRect Platform::toPixels(const QRect &logical) const {
  const std::vector<Monitor> all = monitors();
  const QPoint at = logical.topLeft() + QPoint(logical.width() / 2, logical.height() / 2);
  const Monitor &m = monitorFor(all, at, logicalOf);
  return scaled(logical, m.pixels.topLeft(), ratioOf(m));
}

QPoint Platform::cursorPixel() const { return toPixels(QRect(cursorPos(), QSize(0, 0))).topLeft(); }

QImage Platform::captureScreen(const QRect &area, QWidget *cover) {
  return capture::grab(area, cover);
}

void Platform::prepareFirstFrame(QWidget *cover, const QRegion &spot, QRgb rgb) {
  capture::markUnder(cover, spot, rgb);
}

void Platform::firstPaint(QWidget *cover) { capture::completeUnder(cover); }

void Platform::screenWillChange() { capture::beforeOwnChange(); }

ShotDenial Platform::captureDenial() const { return capture::lastDenial(); }

bool Platform::showsFirstFrame(const QWidget *cover) const { return capture::showsUnder(cover); }

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
    QRect logical = toLogical(r);
    logical.setSize(logical.size().expandedTo({2, 2}));
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

int Platform::colorDepth() const {
  const QScreen *s = QGuiApplication::primaryScreen();
  return s ? s->depth() : 24;
}

void Platform::showWindowMove() {
  if (!x11::available())
    return;
  x11::flush();
  QThread::usleep(2000);
}

QPoint Platform::cursorPos() const { return QCursor::pos(); }

bool Platform::startSystemMove(QWidget *w, const QPoint &pressed) {
  QWindow *h = w ? w->windowHandle() : nullptr;
  if (!h)
    return false;
  // Qt's own move anchors at the present pointer, so a move that starts after
  // the pointer travelled would leave the window behind by that distance.
  if (x11::available())
    return x11::startMove(w->winId(), toPixels(QRect(pressed, QSize(0, 0))).topLeft());
  return h->startSystemMove();
}

Qt::MouseButtons Platform::mouseButtons() const {
  if (x11::available())
    return x11::pointerButtons();
  return QGuiApplication::mouseButtons();
}

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
  // On the heap: if the owner is deleted while the box is up, the box goes with
  // it and its loop ends, instead of a window freeing an object on this stack.
  QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Information, QStringLiteral("Morvane"),
                                              text, QMessageBox::Ok, owner);
  box->exec();
  delete box.data();
}

QString Platform::appPath() const { return QCoreApplication::applicationDirPath(); }

bool Platform::appPathWritable() const {
  // access() also answers false on a read-only file system.
  return ::access(QFile::encodeName(appPath()).constData(), W_OK | X_OK) == 0;
}

QString Platform::settingsDir() const {
  if (appPathWritable())
    return appPath();
  // A relative or empty XDG_CONFIG_HOME is invalid and must be ignored.
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!config.startsWith(QLatin1Char('/')))
    config = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(config + QStringLiteral("/morvane"));
}

TrayIcon *Platform::createTrayIcon(QObject *parent) { return new QtTrayIcon(parent); }

bool Platform::trayAvailable() const {
  if (QSystemTrayIcon::isSystemTrayAvailable())
    return true;
  // A StatusNotifierItem watcher takes the icon even while no host shows it
  // yet (kded5 before plasmashell): that is a tray, soon shown.
  QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
  return bus && bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

void Platform::endProcess(int code) {
  std::fflush(nullptr);
  if (x11::available())
    x11::flush();
  ::_exit(code);
}
