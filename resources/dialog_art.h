#pragma once
// Pictures of the settings dialog, painted once at first use.

#include <QPixmap>

namespace resources::dialog {
QPixmap backgroundTile(); // 740 x 30, the textured background of the dialog's panels
QPixmap titleStrip();     // 729 x 22
QPixmap exitGlyph();      // 15 x 15 close glyph of the title strip
QPixmap buttonNormal();   // 133 x 21
QPixmap buttonPressed();  // 133 x 21
QPixmap radioOn();        // 13 x 13
QPixmap radioOff();       // 13 x 13
QPixmap checkOff();       // 12 x 12 empty box
QPixmap checkOn();        // 12 x 12 filled blue box
QPixmap bullet();         // 11 x 11
QPixmap decoration();     // 170 x 29
QPixmap mouseIcon();      // 32 x 32
QPixmap keyboardIcon();   // 32 x 32
} // namespace resources::dialog
