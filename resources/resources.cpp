#include "resources/resources.h"

#include "resources/images/pointing_hand.xpm"

namespace resources {
QPixmap pointingHand() { return QPixmap(pointing_hand); }
QIcon programIcon() { return QIcon(pointingHand()); }
QCursor pointingHandCursor() { return QCursor(pointingHand(), 12, 1); }
} // namespace resources
