#include "resources/resources.h"

#include "resources/images/pen_hand.xpm"
#include "resources/images/pointing_hand.xpm"

namespace resources {
QPixmap pointingHand() { return QPixmap(pointing_hand); }
QIcon programIcon() { return QIcon(pointingHand()); }
QCursor pointingHandCursor() { return QCursor(pointingHand(), 12, 1); }
QPixmap penHand() { return QPixmap(pen_hand); }
QCursor penHandCursor() { return QCursor(penHand(), 1, 31); }
} // namespace resources
