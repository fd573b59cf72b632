#pragma once
// How windows come and go: the zoom outline from and to the zoom point, and the topmost band.

class QWidget;

void Zoom_Open(QWidget *window);
void Zoom_Close(QWidget *window);
void Set_TopMost(QWidget *form, bool flag);

// The window's rectangle in screen device pixels (frame included).
#include <QRect>
QRect windowRect(QWidget *window);
// Zoom_X, Zoom_Y as the empty rectangle the animation starts or ends at.
QRect zoomPointRect();
