#include "core/screen.h"

#include "platform/platform.h"

namespace Screen {
float TwipsPerPixelX() { return static_cast<float>(platform().twipsPerPixelX()); }
float TwipsPerPixelY() { return static_cast<float>(platform().twipsPerPixelY()); }
int PixelWidth() { return platform().screenPixels().width(); }
int PixelHeight() { return platform().screenPixels().height(); }
float Width() { return static_cast<float>(PixelWidth()) * TwipsPerPixelX(); }
float Height() { return static_cast<float>(PixelHeight()) * TwipsPerPixelY(); }
QRect PixelRect() { return platform().primaryMonitor(); }
float Left() { return static_cast<float>(PixelRect().left()) * TwipsPerPixelX(); }
float Top() { return static_cast<float>(PixelRect().top()) * TwipsPerPixelY(); }
float PixelRatio() { return static_cast<float>(platform().devicePixelRatio()); }
} // namespace Screen

#include <QApplication>
#include <QCursor>

namespace Screen {
void setMousePointer(int pointer) {
  if (pointer == 11) {
    if (!QApplication::overrideCursor())
      QApplication::setOverrideCursor(Qt::WaitCursor);
    return;
  }
  while (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
}
} // namespace Screen
