#include "core/window_helpers.h"

#include "core/kavrel_b.h"
#include "platform/platform.h"

#include <QWidget>

#include <cmath>

QRect windowRect(QWidget *window) {
  if (!window)
    return {};
  const double dpr = platform().devicePixelRatio();
  const QRect g = window->frameGeometry();
  return QRect(qRound(g.x() * dpr), qRound(g.y() * dpr), qRound(g.width() * dpr),
               qRound(g.height() * dpr));
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
