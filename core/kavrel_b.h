#pragma once
// Program-wide state shared by every window: the settings model and the few
// globals the windows hand to each other. Filled once at start-up.

#include <QString>
#include <QtGlobal>

#include <optional>

// Settings model, loaded from and saved to Morvane.ini.
inline qint16 Pen_No = 0;    // current pen 1..9 (F1..F9 change it while drawing)
inline qint16 Undo_Mode = 0; // 0: every drag is an undo step; 1: the Right key closes a step
inline bool Try_Out = false; // floating icon instead of the tray icon
// The floating icon stands in for a tray this desktop lacks: not the user's
// choice, so Try_Out is written as it was.
inline bool Tray_Stand_In = false;
// Floating icon's top-left corner in twips; no value until loaded or set.
inline std::optional<float> Form_Left;
inline std::optional<float> Form_Top;
inline qint32 Pen_Color[10] = {};  // 0x00BBGGRR, or 0x80000000 + system colour number
inline qint16 Pen_Width[10] = {};  // pixels
inline qint16 Pen_Style[10] = {};  // 1 solid, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot
inline qint16 Pen_Toimei[10] = {}; // 1: semi-transparent (mask) pen
// The global key that toggles drawing, in Qt's portable key-sequence text; empty: none.
inline QString Hot_Key;

// Derived at load, never stored: the point that stands for the notification area.
inline float Tray_X = 0;
inline float Tray_Y = 0;

// The resident icons answer the mouse only while this is true.
inline bool Icon_Enabled = false;

// Where windows zoom open from and close into, in pixels.
inline float Zoom_X = 0;
inline float Zoom_Y = 0;

// Undo snapshot ring of the drawing overlay: newest slot 1..6 (0 after Delete).
inline qint16 Undo_Pos = 0;
inline bool Undo_Valid[7] = {};

// A twips position that may never have been given a value counts as 0.
inline float twipsOr0(const std::optional<float> &v) { return v.value_or(0.0f); }

// True when n can index the pen arrays.
inline bool penIndexOk(int n) { return n >= 0 && n <= 9; }
