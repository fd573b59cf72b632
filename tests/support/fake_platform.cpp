#include "support/fake_platform.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

FakePlatform::FakePlatform() {
  tmp = new QTemporaryDir;
  dir = tmp->path();
  previous = setPlatform(this);
}

FakePlatform::~FakePlatform() {
  setPlatform(previous);
  delete tmp;
}

std::vector<Monitor> FakePlatform::monitors() const {
  std::vector<Monitor> all{{QRect(origin, screen), ratio}};
  for (const QRect &r : others)
    all.push_back({r, ratio});
  return all;
}

void FakePlatform::watchMonitors(QObject *context, std::function<void()> changed) {
  watchers.emplace_back(context, std::move(changed));
}

void FakePlatform::changeMonitors() {
  const auto now = watchers; // a watcher may add watchers
  for (const auto &w : now)
    if (w.first)
      w.second();
}

QImage FakePlatform::captureScreen(const QRect &area, QWidget *cover) {
  ++captures;
  if (showsFirst && cover)
    cover->winId(); // as the screencopy way, which hands the window its background
  captured = area;
  if (duringCapture)
    duringCapture();
  if (!capture.isNull())
    return capture;
  // Each pixel tells where on the desktop it was taken.
  QImage img(area.size(), QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
    const int dy = y + area.y();
    for (int x = 0; x < img.width(); ++x) {
      const int dx = x + area.x();
      line[x] = qRgb(dx & 0xFF, dy & 0xFF, (dx + dy) & 0xFF);
    }
  }
  return img;
}

void FakePlatform::setTopMost(QWidget *w, bool on) { topMostCalls.emplace_back(w, on); }

void FakePlatform::animateRects(const QRect &from, const QRect &to) {
  animations.emplace_back(from, to);
}

QColor FakePlatform::systemColor(int n) const {
  if (n == 8)
    return windowText;
  if (n == 5)
    return window;
  return QColor(n, n, n);
}

bool FakePlatform::openHelp(const QString &path) {
  helpOpened << path;
  return helpResult;
}

TrayIcon *FakePlatform::createTrayIcon(QObject *parent) {
  lastTray = new FakeTrayIcon(parent);
  lastTray->removeCounter = &trayRemoves;
  return lastTray;
}
