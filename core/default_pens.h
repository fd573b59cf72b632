#pragma once
// The nine factory pens (the default lines Line1(1..9) of the hidden main window).

#include <QtGlobal>

struct DefaultPen {
  qint32 color; // 0x00BBGGRR or system colour
  qint16 width;
  qint16 style;
};

inline constexpr DefaultPen Line1[10] = {
    {0, 0, 0},                               // index 0 is never used
    {65280, 6, 1},                           // green
    {16711680, 10, 1},                       // blue
    {255, 8, 1},                             // red
    {65535, 4, 1},                           // yellow
    {16777215, 6, 1},                        // white
    {static_cast<qint32>(0x80000008), 1, 2}, // window text, dashed
    {16711680, 1, 3},                        // blue, dotted
    {255, 1, 4},                             // red, dash-dot
    {8421376, 1, 5},                         // teal, dash-dot-dot
};

// Pens 2, 3 and 4 are highlighters out of the box.
inline constexpr qint16 defaultToimei(int n) { return (n >= 2 && n <= 4) ? 1 : 0; }

#include "core/kavrel_b.h"

// Puts the whole factory table into the pen arrays (slot 0 stays zero).
inline void setFactoryPens() {
  for (int n = 0; n <= 9; ++n) {
    Pen_Color[n] = Line1[n].color;
    Pen_Width[n] = Line1[n].width;
    Pen_Style[n] = Line1[n].style;
    Pen_Toimei[n] = defaultToimei(n);
  }
}
