#pragma once
// Opens the real overlay on Qt's offscreen platform over a scripted capture and
// drives it with QTest mouse and key events.

#include "core/default_pens.h"
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "overlay/kavrel_g.h"
#include "support/fake_platform.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

class OverlayTest : public ::testing::Test {
protected:
  void SetUp() override {
    fp.screen = QSize(640, 480);
    fp.capture = makeCapture();
    setFactoryPens();
    // Pen 1: opaque red, 3 px. Pen 2: yellow highlighter, 6 px.
    Pen_Color[1] = 0x0000FF;
    Pen_Width[1] = 3;
    Pen_Color[2] = 0x00FFFF;
    Pen_Width[2] = 6;
    Pen_No = 1;
    Undo_Mode = 0;
    Try_Out = false;
  }

  void TearDown() override {
    Unload_Kavrel_G();
    flushDeletes();
  }

  static void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // White, with a black band (y 200..239) and a blue band (y 240..279).
  QImage makeCapture() const {
    QImage img(fp.screen, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.fillRect(0, 200, img.width(), 40, Qt::black);
    p.fillRect(0, 240, img.width(), 40, QColor(0, 0, 255));
    return img;
  }

  Kavrel_G *open() {
    Show_Kavrel_G();
    Kavrel_G *g = kavrelG();
    EXPECT_TRUE(g);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(g));
    return g;
  }

  // A left drag along the given points, one move per point.
  static void drag(QWidget *w, std::initializer_list<QPoint> pts,
                   Qt::MouseButton b = Qt::LeftButton) {
    auto it = pts.begin();
    QTest::mousePress(w, b, {}, *it);
    QPoint last = *it;
    for (++it; it != pts.end(); ++it) {
      QTest::mouseMove(w, *it);
      last = *it;
    }
    QTest::mouseRelease(w, b, {}, last);
  }
  // A drag with modifiers held at the press (a shape), one move per point.
  static void shapeDrag(QWidget *w, Qt::KeyboardModifiers m, std::initializer_list<QPoint> pts) {
    auto it = pts.begin();
    QTest::mousePress(w, Qt::LeftButton, m, *it);
    QPoint last = *it;
    for (++it; it != pts.end(); ++it)
      QTest::mouseMove(w, last = *it);
    QTest::mouseRelease(w, Qt::LeftButton, m, last);
  }
  // The same with Tab held: an ellipse.
  static void ellipseDrag(Kavrel_G *g, QWidget *w, std::initializer_list<QPoint> pts) {
    QTest::keyPress(g->Pic_Color(), Qt::Key_Tab);
    shapeDrag(w, {}, pts);
    QTest::keyRelease(g->Pic_Color(), Qt::Key_Tab);
  }
  // Pixels of a and b that differ outside the rectangle `except`.
  static int differOutside(const QImage &a, const QImage &b, const QRect &except) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        n += !except.contains(x, y) && a.pixel(x, y) != b.pixel(x, y);
    return n;
  }
  // Pixels of colour c in the rectangle r of s.
  static int count(const Surface &s, const QRect &r, QRgb c) {
    const QImage img = s.toImage();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        n += img.pixel(x, y) == c;
    return n;
  }

  // One horizontal stroke on row y: the strokes of a test told apart by their rows.
  void stroke(QWidget *w, int y) { drag(w, {QPoint(20, y), QPoint(120, y)}); }

  static void key(Kavrel_G *g, Qt::Key k, Qt::KeyboardModifiers m = {}) {
    QTest::keyClick(g->Pic_Color(), k, m);
  }

  static QRgb at(const Surface &s, int x, int y) { return s.toImage().pixel(x, y); }
  static bool same(const Surface &a, const Surface &b) { return a.toImage() == b.toImage(); }
  // What is on screen, read back through the widget's own painting.
  static QRgb shown(QWidget *w, int x, int y) {
    return w->grab(QRect(x, y, 1, 1)).toImage().pixel(0, 0);
  }

  FakePlatform fp;
  const QRgb red = qRgb(255, 0, 0);
  const QRgb white = qRgb(255, 255, 255);
  const QRgb yellow = qRgb(255, 255, 0);
  const QRgb black = qRgb(0, 0, 0);
};
