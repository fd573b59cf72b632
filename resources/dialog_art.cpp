#include "resources/dialog_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

// The dialog's artwork is drawn in code rather than shipped as bitmaps: it stays
// crisp, small and easy to retouch. Each picture is painted once; the images
// outlive the application object, so they are kept as QImage, not QPixmap.
namespace resources::dialog {
namespace {

const QColor navy(31, 58, 95);
const QColor teal(46, 125, 140);
const QColor ink(60, 72, 88);

QPixmap blank(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

QPixmap makeTile() {
  // Soft paper: a warm grey with faint deterministic grain. Every pixel is
  // independent, so the tile repeats without seams.
  QImage img(740, 30, QImage::Format_RGB32);
  quint32 seed = 0x2545F491u;
  for (int y = 0; y < img.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = int((seed >> 24) % 7) - 3;
      const int fibre = ((x * 7 + y * 13) % 97 == 0) ? -5 : 0;
      line[x] = qRgb(238 + grain + fibre, 237 + grain + fibre, 230 + grain + fibre);
    }
  }
  return QPixmap::fromImage(img);
}

QPixmap makeTitle() {
  QPixmap p(729, 22);
  QPainter g(&p);
  QLinearGradient lg(0, 0, 729, 0);
  lg.setColorAt(0, navy);
  lg.setColorAt(0.65, teal);
  lg.setColorAt(1, QColor(88, 160, 170));
  g.fillRect(p.rect(), lg);
  QLinearGradient shine(0, 0, 0, 22);
  shine.setColorAt(0, QColor(255, 255, 255, 60));
  shine.setColorAt(0.5, QColor(255, 255, 255, 10));
  shine.setColorAt(1, QColor(0, 0, 0, 40));
  g.fillRect(p.rect(), shine);
  g.setPen(QColor(255, 255, 255, 90));
  g.drawLine(0, 0, 728, 0);
  return p;
}

QPixmap makeExit() {
  QPixmap p = blank(15, 15);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(QColor(255, 255, 255, 150), 1));
  g.setBrush(QColor(255, 255, 255, 40));
  g.drawRoundedRect(QRectF(0.5, 0.5, 14, 14), 3, 3);
  g.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
  g.drawLine(QPointF(4.5, 4.5), QPointF(10.5, 10.5));
  g.drawLine(QPointF(10.5, 4.5), QPointF(4.5, 10.5));
  return p;
}

QPixmap makeButton(bool pressed) {
  QPixmap p = blank(133, 21);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QLinearGradient lg(0, 0, 0, 21);
  if (pressed) {
    lg.setColorAt(0, QColor(176, 196, 210));
    lg.setColorAt(1, QColor(214, 226, 234));
  } else {
    lg.setColorAt(0, QColor(252, 252, 249));
    lg.setColorAt(0.5, QColor(236, 240, 242));
    lg.setColorAt(1, QColor(212, 221, 228));
  }
  g.setBrush(lg);
  g.setPen(pressed ? QColor(60, 90, 120) : QColor(122, 143, 163));
  g.drawRoundedRect(QRectF(0.5, 0.5, 132, 20), 4, 4);
  g.setPen(pressed ? QColor(0, 0, 0, 40) : QColor(255, 255, 255, 200));
  g.drawLine(QPointF(4, 1.5), QPointF(129, 1.5));
  return p;
}

QPixmap makeRadio(bool on) {
  QPixmap p = blank(13, 13);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QRadialGradient rg(QPointF(5, 5), 7);
  rg.setColorAt(0, Qt::white);
  rg.setColorAt(1, QColor(222, 228, 232));
  g.setBrush(rg);
  g.setPen(QPen(QColor(98, 118, 140), 1));
  g.drawEllipse(QRectF(0.5, 0.5, 12, 12));
  if (on) {
    QRadialGradient dot(QPointF(5.5, 5.5), 4);
    dot.setColorAt(0, QColor(90, 170, 230));
    dot.setColorAt(1, QColor(20, 80, 170));
    g.setPen(Qt::NoPen);
    g.setBrush(dot);
    g.drawEllipse(QRectF(3.5, 3.5, 6, 6));
  }
  return p;
}

QPixmap makeCheck(bool on) {
  QPixmap p = blank(12, 12);
  QPainter g(&p);
  g.setPen(QColor(98, 118, 140));
  g.setBrush(Qt::white);
  g.drawRect(0, 0, 11, 11);
  if (on) {
    QLinearGradient lg(0, 2, 0, 10);
    lg.setColorAt(0, QColor(70, 140, 230));
    lg.setColorAt(1, QColor(20, 70, 180));
    g.fillRect(2, 2, 8, 8, lg);
  }
  return p;
}

QPixmap makeBullet() {
  QPixmap p = blank(11, 11);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QPainterPath diamond;
  diamond.moveTo(5.5, 0.5);
  diamond.lineTo(10.5, 5.5);
  diamond.lineTo(5.5, 10.5);
  diamond.lineTo(0.5, 5.5);
  diamond.closeSubpath();
  QLinearGradient lg(0, 0, 11, 11);
  lg.setColorAt(0, QColor(88, 170, 180));
  lg.setColorAt(1, navy);
  g.setPen(Qt::NoPen);
  g.setBrush(lg);
  g.drawPath(diamond);
  g.setBrush(QColor(255, 255, 255, 140));
  g.drawEllipse(QRectF(3.5, 3.5, 3, 3));
  return p;
}

QPixmap makeDecoration() {
  // A card with the default pens as brush strokes and the program's name.
  QPixmap p = blank(170, 29);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QLinearGradient lg(0, 0, 170, 0);
  lg.setColorAt(0, QColor(250, 250, 246));
  lg.setColorAt(1, QColor(226, 236, 238));
  g.setBrush(lg);
  g.setPen(QColor(170, 185, 195));
  g.drawRoundedRect(QRectF(0.5, 0.5, 169, 28), 6, 6);
  const QColor pens[] = {QColor(0, 200, 0), QColor(0, 0, 255), QColor(255, 0, 0),
                         QColor(240, 210, 0)};
  for (int i = 0; i < 4; ++i) {
    QPainterPath s;
    const double y = 7 + i * 5;
    s.moveTo(8, y + 2);
    s.cubicTo(20, y - 4, 32, y + 6, 46, y);
    g.setPen(QPen(pens[i], 2.6, Qt::SolidLine, Qt::RoundCap));
    g.setBrush(Qt::NoBrush);
    g.drawPath(s);
  }
  QFont f(QStringLiteral("DejaVu Serif"));
  f.setPixelSize(17);
  f.setItalic(true);
  f.setBold(true);
  g.setFont(f);
  g.setPen(QColor(255, 255, 255));
  g.drawText(QRectF(55, 1, 110, 28), Qt::AlignCenter, QStringLiteral("Morvane"));
  g.setPen(navy);
  g.drawText(QRectF(54, 0, 110, 28), Qt::AlignCenter, QStringLiteral("Morvane"));
  return p;
}

QPixmap makeMouse() {
  QPixmap p = blank(32, 32);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  QLinearGradient lg(6, 0, 26, 0);
  lg.setColorAt(0, Qt::white);
  lg.setColorAt(1, QColor(200, 210, 220));
  g.setBrush(lg);
  g.setPen(QPen(ink, 1.2));
  g.drawRoundedRect(QRectF(8.5, 5.5, 15, 23), 7.5, 7.5);
  g.drawLine(QPointF(8.5, 14.5), QPointF(23.5, 14.5));
  g.drawLine(QPointF(16, 5.5), QPointF(16, 14.5));
  g.setPen(Qt::NoPen);
  g.setBrush(teal);
  g.drawRoundedRect(QRectF(15, 8, 2, 4), 1, 1);
  g.setPen(QPen(ink, 1.2));
  g.setBrush(Qt::NoBrush);
  g.drawArc(QRectF(12, -2, 8, 8), 180 * 16, 180 * 16);
  return p;
}

QPixmap makeKeyboard() {
  QPixmap p = blank(32, 32);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(ink, 1.2));
  QLinearGradient lg(0, 9, 0, 25);
  lg.setColorAt(0, Qt::white);
  lg.setColorAt(1, QColor(200, 210, 220));
  g.setBrush(lg);
  g.drawRoundedRect(QRectF(1.5, 9.5, 29, 15), 2.5, 2.5);
  g.setPen(Qt::NoPen);
  g.setBrush(ink);
  for (int row = 0; row < 2; ++row)
    for (int k = 0; k < 6; ++k)
      g.drawRect(QRectF(4 + k * 4.2 + row * 1.5, 12 + row * 4, 2.6, 2.4));
  g.setBrush(teal);
  g.drawRect(QRectF(9, 20.5, 14, 2.2));
  return p;
}

} // namespace

#define MORVANE_PICTURE(name, maker)                                                               \
  QPixmap name() {                                                                                 \
    static const QImage pic = (maker).toImage();                                                   \
    return QPixmap::fromImage(pic);                                                                \
  }

MORVANE_PICTURE(backgroundTile, makeTile())
MORVANE_PICTURE(titleStrip, makeTitle())
MORVANE_PICTURE(exitGlyph, makeExit())
MORVANE_PICTURE(buttonNormal, makeButton(false))
MORVANE_PICTURE(buttonPressed, makeButton(true))
MORVANE_PICTURE(radioOn, makeRadio(true))
MORVANE_PICTURE(radioOff, makeRadio(false))
MORVANE_PICTURE(checkOff, makeCheck(false))
MORVANE_PICTURE(checkOn, makeCheck(true))
MORVANE_PICTURE(bullet, makeBullet())
MORVANE_PICTURE(decoration, makeDecoration())
MORVANE_PICTURE(mouseIcon, makeMouse())
MORVANE_PICTURE(keyboardIcon, makeKeyboard())

#undef MORVANE_PICTURE
} // namespace resources::dialog
