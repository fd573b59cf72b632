#pragma once
// How windows come and go: the zoom outline from and to the zoom point, and the topmost band.

class QWidget;

void Zoom_Open(QWidget *window);
void Zoom_Close(QWidget *window);
void Set_TopMost(QWidget *form, bool flag);

#include <QRect>
#include <QRegion>
#include <Qt>

// An ellipse inside w x h pixels, built row by row and mirror-symmetric: Qt's
// own ellipse region is lopsided at icon sizes.
QRegion ellipticRegion(int w, int h);
// Mouse button of an event as the handlers count them (1 left, 2 right, 4 middle), 0 for others.
int mouseButtonCode(Qt::MouseButton b);

// The window's rectangle in screen device pixels (frame included).
QRect windowRect(QWidget *window);
// Zoom_X, Zoom_Y as the empty rectangle the animation starts or ends at.
QRect zoomPointRect();
