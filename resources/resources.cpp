#include "resources/resources.h"

#include "resources/images/pen_hand.xpm"
#include "resources/images/pointing_hand.xpm"

namespace resources {
QPixmap pointingHand() { return QPixmap(pointing_hand); }
QIcon programIcon() {
  // One icon for the program's life: every new QIcon is a new key in Qt's
  // pixmap cache, which the tray icon made anew at each return would fill.
  static const QIcon *icon = new QIcon(pointingHand());
  return *icon;
}
QCursor pointingHandCursor() { return QCursor(pointingHand(), 12, 1); }
QPixmap penHand() { return QPixmap(pen_hand); }
QCursor penHandCursor() { return QCursor(penHand(), 1, 31); }
} // namespace resources
