#pragma once
// The runtime's Screen object: the primary monitor's size in twips and twips per
// pixel, and where that monitor lies on the desktop.

#include <QRect>

namespace Screen {
float Width();  // twips
float Height(); // twips
float TwipsPerPixelX();
float TwipsPerPixelY();
int PixelWidth();  // device pixels
int PixelHeight(); // device pixels
// The primary monitor in device pixels, desktop coordinates; (0, 0) with one monitor.
QRect PixelRect();
float Left(); // twips
float Top();  // twips
// Device pixels per logical pixel on the primary monitor (1 at 96 dpi).
float PixelRatio();
} // namespace Screen

namespace Screen {
// Screen.MousePointer: 11 hourglass over the whole program, 0 the default pointer.
void setMousePointer(int pointer);
} // namespace Screen
