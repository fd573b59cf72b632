#include "core/surface.h"

#include "platform/platform.h"

#include <QPainter>
#include <QPen>

#include <cmath>

QRgb resolveColor(qint32 colorValue) {
  const quint32 v = static_cast<quint32>(colorValue);
  if (v & 0x80000000u)
    return platform().systemColor(int(v & 0xFFu)).rgb();
  return qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

Picture::Picture(const QImage &image)
    : image_(image.format() == QImage::Format_RGB32 ? image
                                                    : image.convertToFormat(QImage::Format_RGB32)) {
}

Surface::Surface(QSize size, qint32 backColor) : backColor_(backColor) { resize(size); }

void Surface::resize(QSize size) {
  size = size.expandedTo(QSize(0, 0));
  if (size == size_ && !image_.isNull())
    return;
  QImage next(size, QImage::Format_RGB32);
  next.fill(resolveColor(backColor_));
  if (!image_.isNull()) {
    QPainter p(&next);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, image_);
  }
  size_ = size;
  image_ = next;
}

void Surface::setBackColor(qint32 colorValue) { backColor_ = colorValue; }

void Surface::setPicture(const Picture &pic) {
  if (!pic.isEmpty() && pic.size() == size_) {
    image_ = pic.image_; // shared until drawn on
    return;
  }
  QImage next(size_, QImage::Format_RGB32);
  next.fill(resolveColor(backColor_));
  if (!pic.isEmpty()) {
    QPainter p(&next);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, pic.image_);
  }
  image_ = next;
}

Picture Surface::image() const {
  Picture p;
  p.image_ = image_;
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

static QPen penFor(QRgb color, int width, int style) {
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

QRect Surface::lineTo(QPointF to) {
  const QPointF from = current_;
  current_ = to;
  if (drawStyle_ == 5 || image_.isNull())
    return {};
  QPainter p(&image_);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (drawMode_ == MaskPen)
    p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  p.setPen(penFor(resolveColor(foreColor_), drawWidth_, drawStyle_));
  p.drawLine(from, to);
  p.end();
  const int pad = drawWidth_ / 2 + 2;
  return QRectF(from, to).normalized().toAlignedRect().adjusted(-pad, -pad, pad, pad) &
         QRect(QPoint(0, 0), size_);
}

void Surface::paint(QPainter &painter, const QRect &rect) const {
  painter.drawImage(rect.topLeft(), image_, rect);
}
