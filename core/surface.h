#pragma once
// A picture surface: a persistent back-buffer with a pen and a current point.
// Pictures taken from it with image() are independent values: later drawing on
// the surface never changes them, and copying them is cheap.

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QtGlobal>

class QPainter;

class Picture {
public:
  Picture() = default; // the empty picture: assigning it leaves only the back colour
  explicit Picture(const QImage &image);
  bool isEmpty() const { return image_.isNull(); }
  QSize size() const { return image_.size(); }
  QImage toImage() const { return image_; }

private:
  friend class Surface;
  QImage image_;
};

// Colour values: 0x00BBGGRR, or 0x80000000 + n for system colour n (resolved when used).
QRgb resolveColor(qint32 colorValue);

class Surface {
public:
  enum DrawModeValue { MaskPen = 9, CopyPen = 13 };

  explicit Surface(QSize size = QSize(), qint32 backColor = 0xC0C0C0);

  QSize size() const { return size_; }
  // Width/Height: the back-buffer takes the new size; what fits stays.
  void resize(QSize size);

  qint32 backColor() const { return backColor_; }
  void setBackColor(qint32 colorValue);

  // Picture (set): replaces the whole content with p at (0, 0) over the back colour.
  void setPicture(const Picture &p);
  // Image (get): the current content, background plus strokes.
  Picture image() const;

  // Pen members. A setter returns false and keeps the old value when the
  // surface refuses the value, as the toolkit does.
  qint32 foreColor() const { return foreColor_; }
  bool setForeColor(qint32 colorValue);
  int drawWidth() const { return drawWidth_; }
  bool setDrawWidth(int w); // 1..32767
  int drawStyle() const { return drawStyle_; }
  bool setDrawStyle(int s); // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 none, 6 inside
  int drawMode() const { return drawMode_; }
  bool setDrawMode(int m); // 1..16; 9 mask pen and 13 copy pen are the ones in use

  QPointF currentPoint() const { return current_; }
  void setCurrentPoint(QPointF p) { current_ = p; }

  // Draws from the current point to p with the pen and moves the current point
  // there. Returns the rectangle of pixels that may have changed.
  QRect lineTo(QPointF p);

  // Paints the part `rect` of the content at the same place on the painter.
  void paint(QPainter &painter, const QRect &rect) const;

  // The content as one image (tests, and the rare whole copies).
  QImage toImage() const { return image_; }

private:
  QSize size_;
  qint32 backColor_;
  qint32 foreColor_ = 0;
  int drawWidth_ = 1;
  int drawStyle_ = 0;
  int drawMode_ = CopyPen;
  QPointF current_;
  QImage image_;
};
