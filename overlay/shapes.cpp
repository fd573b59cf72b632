#include "overlay/shapes.h"

#include <QPainter>

#include <cmath>

namespace shapes {

Kind kindFor(Qt::KeyboardModifiers m, bool tabHeld) {
  const bool shift = m & Qt::ShiftModifier, ctrl = m & Qt::ControlModifier;
  if (ctrl && shift)
    return Kind::Arrow;
  if (ctrl)
    return Kind::Rectangle;
  if (shift)
    return Kind::Line;
  if (tabHeld)
    return Kind::Ellipse;
  return Kind::None;
}

QList<QPolygonF> outline(Kind kind, QPointF a, QPointF b, int penWidth) {
  if (a == b || kind == Kind::None)
    return {};
  switch (kind) {
  case Kind::Line:
    return {QPolygonF{a, b}};
  case Kind::Rectangle:
    return {QPolygonF{a, QPointF(b.x(), a.y()), b, QPointF(a.x(), b.y()), a}};
  case Kind::Ellipse: {
    // A polygon fine enough that no vertex is a pixel apart from the curve;
    // the pen draws and reaches exactly what is listed.
    const QPointF c = (a + b) / 2;
    const double rx = std::abs(b.x() - a.x()) / 2, ry = std::abs(b.y() - a.y()) / 2;
    const int n = qBound(24, int((rx + ry) * 1.6), 1440);
    QPolygonF poly;
    poly.reserve(n + 1);
    for (int i = 0; i <= n; ++i) {
      const double t = 2 * M_PI * i / n;
      poly << QPointF(c.x() + rx * std::cos(t), c.y() + ry * std::sin(t));
    }
    return {poly};
  }
  case Kind::Arrow: {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double len = std::hypot(dx, dy);
    // The head grows with the pen and never outgrows the shaft.
    const double head = qMin(len * 0.5, qMax(12.0, 4.0 * penWidth));
    const double ux = dx / len, uy = dy / len;
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    const QPointF left(b.x() - head * (ux * c - uy * s), b.y() - head * (uy * c + ux * s));
    const QPointF right(b.x() - head * (ux * c + uy * s), b.y() - head * (uy * c - ux * s));
    return {QPolygonF{a, b}, QPolygonF{left, b, right}};
  }
  case Kind::None:
    break;
  }
  return {};
}

void Preview::begin(Surface &surface, Kind kind, QPointF from) {
  surface_ = &surface;
  kind_ = kind;
  from_ = to_ = from;
  under_ = surface.image();
  drawn_ = QRegion();
  surface.holdScratch(true);
}

QRegion Preview::moveTo(QPointF to) {
  if (!active())
    return {};
  to_ = to;
  QRegion dirty = drawn_;
  surface_->restoreFrom(under_, drawn_);
  const QList<QPolygonF> paths = outline(kind_, from_, to_, surface_->drawWidth());
  // A pixel crossed twice is masked twice with one colour, which changes
  // nothing further: the highlighter's shapes need no mask of their own.
  drawn_ = surface_->drawAlong(paths, [&](QPainter &p) {
    for (const QPolygonF &poly : paths)
      p.drawPolyline(poly);
  });
  return dirty + drawn_;
}

QRegion Preview::finish() {
  if (!active())
    return {};
  const QRegion dirty = drawn_;
  surface_->holdScratch(false);
  kind_ = Kind::None;
  under_ = Picture();
  drawn_ = QRegion();
  surface_ = nullptr;
  return dirty;
}

} // namespace shapes
