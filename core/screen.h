#pragma once
// The runtime's Screen object: primary screen size in twips and twips per pixel.

namespace Screen {
float Width();  // twips
float Height(); // twips
float TwipsPerPixelX();
float TwipsPerPixelY();
int PixelWidth();  // device pixels
int PixelHeight(); // device pixels
} // namespace Screen

namespace Screen {
// Screen.MousePointer: 11 hourglass over the whole program, 0 the default pointer.
void setMousePointer(int pointer);
} // namespace Screen
