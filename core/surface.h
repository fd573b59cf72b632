#pragma once
// A picture surface: a persistent back-buffer with a pen and a current point.
// Pictures taken from it with image() are independent values: later drawing on
// the surface never changes them, and copying them is cheap.
//
// Pixels are held in square tiles that pictures and surfaces share; drawing
// copies only the tiles whose pixels it changes, so snapshots, undo and
// clearing cost tile references, not screen copies.

#include <QImage>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

class Picture {
public:
  // Edge of a tile in pixels. Tiles on the right and bottom edges are smaller.
  static constexpr int TileSize = 128;

  Picture() = default; // the empty picture: assigning it leaves only the back colour
  // Shares the pixels of image (a capture, say) instead of copying them; the
  // tiles are read-only views that keep image's buffer alive.
  explicit Picture(const QImage &image);
  bool isEmpty() const { return tiles_.isEmpty(); }
  QSize size() const { return size_; }
  QImage toImage() const;

  // The tiles, row by row, each Format_RGB32 (memory accounting, tests).
  const QList<QImage> &tiles() const { return tiles_; }
  int tileColumns() const { return (size_.width() + TileSize - 1) / TileSize; }

private:
  friend class Surface;
  QSize size_;
  QList<QImage> tiles_;
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

  // Draws with `draw` on a painter prepared with the pen (surface coordinates),
  // where only pixels within the pen's reach of the polylines `paths` change.
  // Returns the pixels that may have changed, within the tiles that did.
  QRegion drawAlong(const QList<QPolygonF> &paths, const std::function<void(QPainter &)> &draw);
  // The same for a drawing that may fill any pixel of `area` (text).
  QRegion drawIn(const QRect &area, const std::function<void(QPainter &)> &draw);
  // While held, the scratch of a large drawing stays for the next one (a shape
  // redrawn at every mouse move); releasing lets its megabytes go.
  void holdScratch(bool hold);
  // Puts back the tiles of `p` (same size) that meet `region`: references, not copies.
  void restoreFrom(const Picture &p, const QRegion &region);

  // Puts this surface's pen, raster operation and rendering hints on a painter.
  void preparePainter(QPainter &painter) const;

  // Paints the part `rect` of the content at the same place on the painter.
  void paint(QPainter &painter, const QRect &rect) const;

  // The content as one image (tests, and the rare whole copies).
  QImage toImage() const { return image().toImage(); }

private:
  // Draws into a scratch copy of `box`, gathered from the part of each tile
  // that `reach` gives (empty: the pen cannot get there); changed rows go back
  // into their tiles. Returns the parts that changed.
  QRegion drawBox(const QRect &box, const std::function<QRect(const QRect &)> &reach,
                  const std::function<void(QPainter &)> &draw);

  QSize size_;
  qint32 backColor_;
  qint32 foreColor_ = 0;
  int drawWidth_ = 1;
  int drawStyle_ = 0;
  int drawMode_ = CopyPen;
  QPointF current_;
  QList<QImage> tiles_;              // row by row; see Picture
  std::shared_ptr<uchar[]> scratch_; // pixels under the segment being drawn
  size_t scratchSize_ = 0;
  size_t keepScratch_ = size_t(1) << 20;
  std::vector<QRect> parts_; // per tile of the box being drawn
};
