#pragma once
// Straight lines, arrows, rectangles and ellipses, chosen by what is held at
// the left press, drawn with the surface's pen and previewed while the pointer
// moves: each position restores only the tiles the last one changed.

#include "core/surface.h"

#include <QList>
#include <QPolygonF>
#include <QRegion>

namespace shapes {

enum class Kind { None, Line, Rectangle, Ellipse, Arrow };

// Shift line, Ctrl rectangle, Tab ellipse, Ctrl+Shift arrow; nothing held: freehand.
Kind kindFor(Qt::KeyboardModifiers modifiers, bool tabHeld);

// The polylines of a shape from `from` to `to` for a pen `penWidth` wide; the
// arrow's head is at `to`. A shape of no extent has none.
QList<QPolygonF> outline(Kind kind, QPointF from, QPointF to, int penWidth);

// One shape being dragged on a surface.
class Preview {
public:
  bool active() const { return kind_ != Kind::None; }
  Kind kind() const { return kind_; }
  // Remembers the surface's picture under the shape (shared tiles, no copy).
  void begin(Surface &surface, Kind kind, QPointF from);
  // The shape now ends at `to`; returns the pixels to repaint.
  QRegion moveTo(QPointF to);
  // The last position stays in the picture; returns the pixels to repaint.
  QRegion finish();

private:
  Surface *surface_ = nullptr;
  Kind kind_ = Kind::None;
  QPointF from_, to_;
  Picture under_;
  QRegion drawn_; // the tiles the current position changed
};

} // namespace shapes
