#include "core/surface.h"

#include "platform/platform.h"

#include <QPainter>
#include <QPen>

#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr int T = Picture::TileSize;
constexpr int Bpp = 4; // Format_RGB32

int columnsFor(QSize s) { return (s.width() + T - 1) / T; }
int rowsFor(QSize s) { return (s.height() + T - 1) / T; }

QRect tileRect(QSize s, int col, int row) {
  return QRect(col * T, row * T, qMin(T, s.width() - col * T), qMin(T, s.height() - row * T));
}

// Calls f(index, tileRect) for every tile of a grid of size s that meets r.
template <typename F> void forEachTile(QSize s, const QRect &r, F f) {
  const QRect area = r & QRect(QPoint(0, 0), s);
  if (area.isEmpty())
    return;
  const int cols = columnsFor(s);
  for (int row = area.top() / T; row <= area.bottom() / T; ++row)
    for (int col = area.left() / T; col <= area.right() / T; ++col)
      f(row * cols + col, tileRect(s, col, row));
}

// Copies the rectangle part (grid coordinates) from tile src to dst, both
// given with their top-left corner in grid coordinates.
void copyRows(const uchar *src, qsizetype srcBpl, QPoint srcOrigin, uchar *dst, qsizetype dstBpl,
              QPoint dstOrigin, const QRect &part) {
  const qsizetype n = qsizetype(part.width()) * Bpp;
  const uchar *s =
      src + (part.top() - srcOrigin.y()) * srcBpl + (part.left() - srcOrigin.x()) * Bpp;
  uchar *d = dst + (part.top() - dstOrigin.y()) * dstBpl + (part.left() - dstOrigin.x()) * Bpp;
  for (int y = 0; y < part.height(); ++y, s += srcBpl, d += dstBpl)
    std::memcpy(d, s, size_t(n));
}

// Whether the segment a-b comes within the rectangle r (Liang-Barsky clip).
bool segmentMeets(QPointF a, QPointF b, const QRectF &r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0)
        return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = qMax(t0, t);
    else
      t1 = qMin(t1, t);
    if (t0 > t1)
      return false;
  }
  return true;
}

void releaseSource(void *info) { delete static_cast<QImage *>(info); }

// One filled tile per colour and size for the whole program: every surface
// that is sized or cleared shares it, so sizing the ten pictures of a 4K
// overlay fills four small tiles once instead of ten screens. The cache holds
// the few colours in use (silver, button face, window) and is only touched
// from the GUI thread.
QImage fillTile(QSize ts, QRgb back) {
  struct Entry {
    QRgb color;
    QImage tile;
  };
  static std::vector<Entry> cache;
  for (const Entry &e : cache)
    if (e.color == back && e.tile.size() == ts)
      return e.tile;
  QImage tile(ts, QImage::Format_RGB32);
  tile.fill(back);
  if (cache.size() >= 16) // sizes and colours of a past screen: let them go
    cache.erase(cache.begin());
  cache.push_back({back, tile});
  return tile;
}

// The tiles of a size-s grid holding src at (0, 0) over the colour back.
// Tiles that src has at the same place and size are shared, not copied, and
// all background-only tiles of one size share one image.
QList<QImage> composeTiles(QSize s, QRgb back, const Picture *src) {
  QList<QImage> out;
  const int cols = columnsFor(s), rows = rowsFor(s);
  if (cols <= 0 || rows <= 0)
    return out;
  out.reserve(qsizetype(cols) * rows);
  const QSize srcSize = src ? src->size() : QSize();
  const int srcCols = columnsFor(srcSize), srcRows = rowsFor(srcSize);
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < cols; ++col) {
      const QRect tr = tileRect(s, col, row);
      const bool inSrc = col < srcCols && row < srcRows;
      if (inSrc && tileRect(srcSize, col, row) == tr) {
        out.append(src->tiles().at(row * srcCols + col));
        continue;
      }
      QImage tile = fillTile(tr.size(), back);
      if (inSrc) {
        const QRect part = tr & tileRect(srcSize, col, row);
        const QImage &from = src->tiles().at(row * srcCols + col);
        copyRows(from.constBits(), from.bytesPerLine(), tileRect(srcSize, col, row).topLeft(),
                 tile.bits(), tile.bytesPerLine(), tr.topLeft(), part);
      }
      out.append(tile);
    }
  }
  return out;
}

QPen penFor(QRgb color, int width, int style) {
  QPen pen{QColor(color)};
  pen.setWidth(width);
  if (width > 1) {
    // Wide pens are always solid; Qt would scale the dashes with the width.
    pen.setStyle(Qt::SolidLine);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
  }
  pen.setCapStyle(Qt::FlatCap);
  // The classic cosmetic pen patterns, in pixels.
  switch (style) {
  case 1:
    pen.setDashPattern({18, 6});
    break;
  case 2:
    pen.setDashPattern({3, 3});
    break;
  case 3:
    pen.setDashPattern({9, 6, 3, 6});
    break;
  case 4:
    pen.setDashPattern({9, 3, 3, 3, 3, 3});
    break;
  default:
    pen.setStyle(Qt::SolidLine);
    break;
  }
  return pen;
}

} // namespace

QRgb resolveColor(qint32 colorValue) {
  const quint32 v = static_cast<quint32>(colorValue);
  if (v & 0x80000000u)
    return platform().systemColor(int(v & 0xFFu)).rgb();
  return qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

Picture::Picture(const QImage &image) {
  if (image.isNull())
    return;
  const QImage src =
      image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
  size_ = src.size();
  const int cols = columnsFor(size_), rows = rowsFor(size_);
  tiles_.reserve(qsizetype(cols) * rows);
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < cols; ++col) {
      const QRect tr = tileRect(size_, col, row);
      // A read-only view: drawing on it makes a private copy of that tile only.
      tiles_.append(QImage(src.constScanLine(tr.top()) + qsizetype(tr.left()) * Bpp, tr.width(),
                           tr.height(), src.bytesPerLine(), QImage::Format_RGB32, releaseSource,
                           new QImage(src)));
    }
  }
}

QImage Picture::toImage() const {
  if (tiles_.isEmpty())
    return QImage();
  QImage out(size_, QImage::Format_RGB32);
  forEachTile(size_, QRect(QPoint(0, 0), size_), [&](int i, const QRect &tr) {
    const QImage &t = tiles_.at(i);
    copyRows(t.constBits(), t.bytesPerLine(), tr.topLeft(), out.bits(), out.bytesPerLine(),
             QPoint(0, 0), tr);
  });
  return out;
}

Surface::Surface(QSize size, qint32 backColor) : backColor_(backColor) { resize(size); }

void Surface::resize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (size == size_ && !tiles_.isEmpty())
    return;
  Picture old = image();
  tiles_ = composeTiles(size, resolveColor(backColor_), &old);
  size_ = size;
}

void Surface::setBackColor(qint32 colorValue) { backColor_ = colorValue; }

void Surface::setPicture(const Picture &pic) {
  if (!pic.isEmpty() && pic.size() == size_) {
    tiles_ = pic.tiles_; // shared until drawn on
    return;
  }
  tiles_ = composeTiles(size_, resolveColor(backColor_), pic.isEmpty() ? nullptr : &pic);
}

Picture Surface::image() const {
  Picture p;
  p.size_ = size_;
  p.tiles_ = tiles_;
  return p;
}

bool Surface::setForeColor(qint32 colorValue) {
  foreColor_ = colorValue;
  return true;
}

bool Surface::setDrawWidth(int w) {
  if (w < 1 || w > 32767)
    return false;
  drawWidth_ = w;
  return true;
}

bool Surface::setDrawStyle(int s) {
  if (s < 0 || s > 6)
    return false;
  drawStyle_ = s;
  return true;
}

bool Surface::setDrawMode(int m) {
  if (m < 1 || m > 16)
    return false;
  drawMode_ = m;
  return true;
}

void Surface::preparePainter(QPainter &p) const {
  p.setRenderHint(QPainter::Antialiasing, false);
  if (drawMode_ == MaskPen)
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  p.setPen(penFor(resolveColor(foreColor_), drawWidth_, drawStyle_));
}

QRect Surface::lineTo(QPointF to) {
  const QPointF from = current_;
  current_ = to;
  if (drawStyle_ == 5 || tiles_.isEmpty())
    return {};
  // The scratch edges lie at least two pixels away from the line except where
  // they are the screen's own edges, so the rasteriser clips exactly as it
  // would on one whole-screen image.
  const int pad = drawWidth_ / 2 + 2;
  const QRect box = QRectF(from, to).normalized().toAlignedRect().adjusted(-pad, -pad, pad, pad) &
                    QRect(QPoint(0, 0), size_);
  if (box.isEmpty())
    return {};
  // A long diagonal's box holds many tiles the pen cannot reach; they are
  // neither gathered nor compared.
  drawBox(
      box,
      [&](const QRect &tr) {
        return segmentMeets(from, to, QRectF(tr).adjusted(-pad, -pad, pad, pad)) ? tr & box
                                                                                 : QRect();
      },
      [&](QPainter &p) { p.drawLine(from, to); });
  return box;
}

QRegion Surface::drawAlong(const QList<QPolygonF> &paths,
                           const std::function<void(QPainter &)> &draw) {
  if (drawStyle_ == 5 || tiles_.isEmpty())
    return {};
  const int pad = drawWidth_ / 2 + 2;
  QRectF bounds;
  for (const QPolygonF &poly : paths)
    bounds |= poly.boundingRect().adjusted(0, 0, 1e-9, 1e-9);
  const QRect box =
      bounds.toAlignedRect().adjusted(-pad, -pad, pad, pad) & QRect(QPoint(0, 0), size_);
  if (box.isEmpty())
    return {};
  // Only the strip of a tile that a segment's padded box covers is gathered:
  // a rectangle's edge crosses a tile in a band a pen wide, not its 128 rows.
  return drawBox(
      box,
      [&](const QRect &tr) {
        const QRectF near = QRectF(tr).adjusted(-pad, -pad, pad, pad);
        QRect part;
        const auto add = [&](QPointF a, QPointF b) {
          if (segmentMeets(a, b, near))
            part |= QRectF(a, b).normalized().toAlignedRect().adjusted(-pad, -pad, pad, pad) & tr;
        };
        for (const QPolygonF &poly : paths) {
          if (poly.size() == 1)
            add(poly.first(), poly.first());
          for (qsizetype i = 1; i < poly.size(); ++i)
            add(poly.at(i - 1), poly.at(i));
        }
        return part & box;
      },
      draw);
}

QRegion Surface::drawIn(const QRect &area, const std::function<void(QPainter &)> &draw) {
  const QRect box = area & QRect(QPoint(0, 0), size_);
  if (box.isEmpty() || tiles_.isEmpty())
    return {};
  return drawBox(
      box, [&](const QRect &tr) { return tr & box; }, draw);
}

void Surface::holdScratch(bool hold) {
  keepScratch_ = hold ? ~size_t(0) : size_t(1) << 20;
  if (!hold && scratchSize_ > keepScratch_) {
    scratch_.reset();
    scratchSize_ = 0;
  }
}

void Surface::restoreFrom(const Picture &p, const QRegion &region) {
  if (p.size() != size_ || p.tiles_.size() != tiles_.size())
    return;
  for (const QRect &r : region)
    forEachTile(size_, r, [&](int i, const QRect &) { tiles_[i] = p.tiles_.at(i); });
}

QRegion Surface::drawBox(const QRect &box, const std::function<QRect(const QRect &)> &reach,
                         const std::function<void(QPainter &)> &draw) {
  // Drawn into a scratch copy of the pixels around it; the changed rows go
  // back into their tiles.
  const qsizetype bpl = qsizetype(box.width()) * Bpp;
  const size_t bytes = size_t(bpl) * size_t(box.height());
  if (scratchSize_ < bytes) {
    scratch_.reset(new uchar[bytes]); // left uninitialised: only gathered pixels are drawn on
    scratchSize_ = bytes;
  }
  uchar *buf = scratch_.get();
  // The parts, tile by tile, as the same walk meets them again below.
  std::vector<QRect> &parts = parts_;
  parts.clear();
  forEachTile(size_, box, [&](int i, const QRect &tr) {
    const QRect part = reach(tr);
    parts.push_back(part);
    if (part.isEmpty())
      return;
    const QImage &t = std::as_const(tiles_).at(i);
    copyRows(t.constBits(), t.bytesPerLine(), tr.topLeft(), buf, bpl, box.topLeft(), part);
  });
  {
    QImage scratch(buf, box.width(), box.height(), bpl, QImage::Format_RGB32);
    QPainter p(&scratch);
    p.translate(-box.left(), -box.top());
    preparePainter(p);
    draw(p);
  }
  // Only tiles whose pixels really changed are detached.
  QRegion changed;
  size_t k = 0;
  forEachTile(size_, box, [&](int i, const QRect &tr) {
    const QRect part = parts[k++];
    if (part.isEmpty())
      return;
    const QImage &t = std::as_const(tiles_).at(i);
    const qsizetype n = qsizetype(part.width()) * Bpp;
    const uchar *s = buf + (part.top() - box.top()) * bpl + (part.left() - box.left()) * Bpp;
    int y = 0;
    for (; y < part.height(); ++y, s += bpl)
      if (std::memcmp(t.constScanLine(part.top() - tr.top() + y) + (part.left() - tr.left()) * Bpp,
                      s, size_t(n)) != 0)
        break;
    if (y == part.height())
      return;
    changed += part;
    QImage &w = tiles_[i];
    for (; y < part.height(); ++y, s += bpl)
      std::memcpy(w.scanLine(part.top() - tr.top() + y) + (part.left() - tr.left()) * Bpp, s,
                  size_t(n));
  });
  if (scratchSize_ > keepScratch_) { // a rare long segment: do not keep its megabytes
    scratch_.reset();
    scratchSize_ = 0;
  }
  return changed;
}

void Surface::paint(QPainter &painter, const QRect &rect) const {
  forEachTile(size_, rect, [&](int i, const QRect &tr) {
    const QRect part = tr & rect;
    painter.drawImage(part.topLeft(), tiles_.at(i), part.translated(-tr.topLeft()));
  });
}
