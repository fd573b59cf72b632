#include "settings_dialog/dialog_widgets.h"

#include "core/surface.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget *parent, bool stretch) : QWidget(parent), stretch_(stretch) {}

void PictureBox::setPicture(const QPixmap &p) {
  picture_ = p;
  update();
}

void PictureBox::paintEvent(QPaintEvent *) {
  if (picture_.isNull())
    return;
  QPainter g(this);
  if (stretch_) {
    g.setRenderHint(QPainter::SmoothPixmapTransform);
    g.drawPixmap(rect(), picture_);
  } else {
    g.drawPixmap(0, 0, picture_);
  }
}

void PictureBox::mousePressEvent(QMouseEvent *e) { emit mouseDown(e->button()); }
void PictureBox::mouseMoveEvent(QMouseEvent *) { emit mouseMove(); }
void PictureBox::mouseReleaseEvent(QMouseEvent *e) { emit mouseUp(e->button()); }

void ClickLabel::mousePressEvent(QMouseEvent *e) { emit mouseDown(e->button()); }
void ClickLabel::mouseReleaseEvent(QMouseEvent *e) { emit mouseUp(e->button()); }

Panel::Panel(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

QImage &Panel::image() {
  if (image_.size() == size())
    return image_;
  QImage next(size(), QImage::Format_RGB32);
  next.fill(Qt::white);
  if (!image_.isNull()) {
    QPainter g(&next);
    g.drawImage(0, 0, image_);
  }
  image_ = next;
  return image_;
}

void Panel::paintEvent(QPaintEvent *e) {
  QPainter g(this);
  g.drawImage(e->rect(), image(), e->rect());
  if (framed_) {
    const int r = width() - 1, b = height() - 1;
    g.setPen(QColor(150, 160, 170));
    g.drawLine(0, 0, r, 0);
    g.drawLine(0, 0, 0, b);
    g.setPen(Qt::white);
    g.drawLine(1, b, r, b);
    g.drawLine(r, 1, r, b);
  }
}

PreviewLine::PreviewLine(QWidget *parent, int x1, int x2, int y)
    : QWidget(parent), x1_(x1), x2_(x2), y_(y) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  place();
}

// Room for the widest pen of the lists (20 px) and its round ends.
static constexpr int lineMargin = 11;

void PreviewLine::place() {
  setGeometry(x1_ - lineMargin, y_ - lineMargin, x2_ - x1_ + 2 * lineMargin, 2 * lineMargin + 1);
}

void PreviewLine::setY(int y) {
  y_ = y;
  place();
}

bool PreviewLine::setBorderColor(qint32 colorValue) {
  const quint32 v = static_cast<quint32>(colorValue);
  const bool system = (v & 0x80000000u) && (v & 0x7FFFFFFFu) <= 30;
  if (!system && (v & 0xFF000000u))
    return false;
  color_ = colorValue;
  update();
  return true;
}

bool PreviewLine::setBorderWidth(int w) {
  if (w < 1 || w > 32767)
    return false;
  width_ = w;
  update();
  return true;
}

bool PreviewLine::setBorderStyle(int s) {
  if (s < 1 || s > 5)
    return false;
  style_ = s;
  update();
  return true;
}

void PreviewLine::paintEvent(QPaintEvent *) {
  static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                        Qt::DashDotDotLine};
  QPainter g(this);
  // A wide pen always draws solid; Qt would stretch the dashes instead.
  const Qt::PenStyle ps = width_ > 1 ? Qt::SolidLine : styles[style_ - 1];
  QPen pen(QColor(resolveColor(color_)), width_, ps, width_ > 1 ? Qt::RoundCap : Qt::FlatCap);
  g.setPen(pen);
  g.drawLine(QPointF(lineMargin, lineMargin + 0.5),
             QPointF(width() - lineMargin, lineMargin + 0.5));
}
