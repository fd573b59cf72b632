#include "support/fake_platform.h"

#include <QPainter>
#include <QTemporaryDir>

FakePlatform::FakePlatform() {
  tmp = new QTemporaryDir;
  dir = tmp->path();
  previous = setPlatform(this);
}

FakePlatform::~FakePlatform() {
  setPlatform(previous);
  delete tmp;
}

QImage FakePlatform::captureScreen() {
  ++captures;
  if (duringCapture)
    duringCapture();
  if (!capture.isNull())
    return capture;
  QImage img(screen, QImage::Format_RGB32);
  for (int y = 0; y < img.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      line[x] = qRgb(x & 0xFF, y & 0xFF, (x + y) & 0xFF);
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
