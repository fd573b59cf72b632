#pragma once
// Pictures compiled into the program.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace resources {
// 32 x 32 pointing hand: the tray icon, the program icon and the overlay's pointer.
QPixmap pointingHand();
QIcon programIcon();
// The overlay's pointer: the pointing hand with its hot spot on the fingertip (12, 1).
QCursor pointingHandCursor();
// 32 x 32 monochrome hand holding a pen: the board's pointer, hot spot on the pen tip (1, 31).
QPixmap penHand();
QCursor penHandCursor();
} // namespace resources
