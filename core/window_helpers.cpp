#include "core/window_helpers.h"

#include "core/kavrel_b.h"
#include "platform/platform.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

QRect windowRect(QWidget *window) {
  if (!window)
    return {};
  return platform().toPixels(window->frameGeometry());
}

// Rounded to the nearest whole pixel, an exact half to the even neighbour.
QRect zoomPointRect() {
  const int x = static_cast<int>(std::nearbyint(Zoom_X));
  const int y = static_cast<int>(std::nearbyint(Zoom_Y));
  return QRect(x, y, 0, 0);
}

void Zoom_Open(QWidget *window) {
  if (window)
    platform().animateRects(zoomPointRect(), windowRect(window));
}

void Zoom_Close(QWidget *window) {
  if (window)
    platform().animateRects(windowRect(window), zoomPointRect());
}

void Set_TopMost(QWidget *form, bool flag) { platform().setTopMost(form, flag); }

QRegion ellipticRegion(int w, int h) {
  QRegion r;
  if (w <= 0 || h <= 0)
    return r;
  const double a = w / 2.0, b = h / 2.0;
  for (int row = 0; row < h; ++row) {
    const double t = (row + 0.5 - b) / b;
    const double dx = a * std::sqrt(std::max(0.0, 1.0 - t * t));
    const int left = int(std::lround(a - dx));
    const int right = w - left; // mirror image, so both sides match
    if (right > left)
      r += QRect(left, row, right - left, 1);
  }
  return r;
}

int mouseButtonCode(Qt::MouseButton b) {
  switch (b) {
  case Qt::LeftButton:
    return 1;
  case Qt::RightButton:
    return 2;
  case Qt::MiddleButton:
    return 4;
  default:
    return 0;
  }
}
