#include "core/surface.h"
#include "support/fake_platform.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr int T = Picture::TileSize;

QImage filled(QSize s, QRgb c) {
  QImage img(s, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

class SurfaceTest : public ::testing::Test {
protected:
  FakePlatform fake;
};

TEST_F(SurfaceTest, MaskPenAndsWithWhatIsUnderIt) {
  // White, black and blue bands under one semi-transparent yellow stroke.
  QImage bands = filled(QSize(90, 30), qRgb(255, 255, 255));
  QPainter(&bands).fillRect(30, 0, 30, 30, Qt::black);
  QPainter(&bands).fillRect(60, 0, 30, 30, QColor(0, 0, 255));
  Surface s(bands.size());
  s.setPicture(Picture(bands));
  s.setForeColor(0x0000FFFF); // yellow, 0x00BBGGRR
  s.setDrawWidth(10);
  s.setDrawMode(Surface::MaskPen);
  s.setCurrentPoint(QPointF(0, 15));
  s.lineTo(QPointF(89, 15));
  s.lineTo(QPointF(0, 15)); // again over the same spot: no further change
  const QImage out = s.toImage();
  EXPECT_EQ(out.pixel(15, 15), qRgb(255, 255, 0));
  EXPECT_EQ(out.pixel(45, 15), qRgb(0, 0, 0));
  EXPECT_EQ(out.pixel(75, 15), qRgb(0, 0, 0));
  EXPECT_EQ(out.pixel(15, 2), qRgb(255, 255, 255)); // outside the 10 px line
}

TEST_F(SurfaceTest, DashesOnlyAtWidthOne) {
  auto row = [](int width) {
    Surface s(QSize(200, 20), 0x00FFFFFF);
    s.setForeColor(0);
    s.setDrawWidth(width);
    s.setDrawStyle(1); // dash
    s.setCurrentPoint(QPointF(10, 10));
    s.lineTo(QPointF(190, 10));
    int ink = 0;
    const QImage img = s.toImage();
    for (int x = 20; x < 180; ++x)
      ink += img.pixel(x, 10) == qRgb(0, 0, 0);
    return ink;
  };
  const int thin = row(1);
  EXPECT_GT(thin, 40);
  EXPECT_LT(thin, 160);   // gaps
  EXPECT_EQ(row(6), 160); // solid
}

TEST_F(SurfaceTest, TransparentStyleDrawsNothingButMovesThePoint) {
  Surface s(QSize(50, 50), 0x00FFFFFF);
  s.setDrawStyle(5);
  s.setDrawWidth(8);
  s.setCurrentPoint(QPointF(5, 5));
  EXPECT_TRUE(s.lineTo(QPointF(40, 40)).isEmpty());
  EXPECT_EQ(s.currentPoint(), QPointF(40, 40));
  EXPECT_EQ(s.toImage(), filled(QSize(50, 50), qRgb(255, 255, 255)));
}

TEST_F(SurfaceTest, SystemColourIsResolvedWhenDrawing) {
  Surface s(QSize(40, 40), 0x00FFFFFF);
  s.setForeColor(static_cast<qint32>(0x80000008));
  s.setDrawWidth(3);
  fake.windowText = QColor(10, 20, 30);
  s.setCurrentPoint(QPointF(5, 10));
  s.lineTo(QPointF(35, 10));
  fake.windowText = QColor(200, 0, 100);
  s.setCurrentPoint(QPointF(5, 30));
  s.lineTo(QPointF(35, 30));
  EXPECT_EQ(s.toImage().pixel(20, 10), qRgb(10, 20, 30));
  EXPECT_EQ(s.toImage().pixel(20, 30), qRgb(200, 0, 100));
}

TEST_F(SurfaceTest, SettersRefuseOutOfRangeValues) {
  Surface s(QSize(10, 10));
  EXPECT_FALSE(s.setDrawWidth(0));
  EXPECT_FALSE(s.setDrawWidth(32768));
  EXPECT_FALSE(s.setDrawStyle(7));
  EXPECT_FALSE(s.setDrawStyle(-1));
  EXPECT_FALSE(s.setDrawMode(0));
  EXPECT_FALSE(s.setDrawMode(17));
  EXPECT_EQ(s.drawWidth(), 1);
  EXPECT_EQ(s.drawStyle(), 0);
  EXPECT_EQ(s.drawMode(), Surface::CopyPen);
  EXPECT_TRUE(s.setDrawWidth(20));
  EXPECT_TRUE(s.setDrawMode(Surface::MaskPen));
  EXPECT_EQ(s.drawWidth(), 20);
  EXPECT_EQ(s.drawMode(), Surface::MaskPen);
}

TEST_F(SurfaceTest, PicturesOfOtherSizesAndTheEmptyPicture) {
  const QSize size(T + 30, T + 10);
  Surface s(size, 0x000000FF); // red back colour
  s.setPicture(Picture(filled(QSize(T + 50, 20), qRgb(0, 255, 0))));
  QImage want = filled(size, qRgb(255, 0, 0));
  QPainter(&want).fillRect(0, 0, size.width(), 20, QColor(0, 255, 0));
  EXPECT_EQ(s.toImage(), want);

  s.setPicture(Picture());
  EXPECT_EQ(s.toImage(), filled(size, qRgb(255, 0, 0)));

  // Resizing keeps what fits and fills the rest with the back colour.
  s.setPicture(Picture(filled(size, qRgb(0, 0, 255))));
  s.resize(QSize(2 * T + 5, 40));
  want = filled(QSize(2 * T + 5, 40), qRgb(255, 0, 0));
  QPainter(&want).fillRect(0, 0, size.width(), 40, QColor(0, 0, 255));
  EXPECT_EQ(s.toImage(), want);
  EXPECT_EQ(s.image().size(), QSize(2 * T + 5, 40));
}

TEST_F(SurfaceTest, CaptureIsSharedAndDrawingCopiesOnlyTouchedTiles) {
  const QSize size(3 * T + 7, 2 * T + 3);
  QImage capture = filled(size, qRgb(40, 80, 120));
  const uchar *begin = capture.constBits();
  const uchar *end = begin + capture.sizeInBytes();
  const Picture display(capture);
  // Every tile reads the capture's own buffer: no copy was made.
  for (const QImage &t : display.tiles())
    EXPECT_TRUE(t.constBits() >= begin && t.constBits() < end);

  Surface s(size);
  s.setPicture(display);
  const Picture before = s.image();
  s.setForeColor(0x00FFFFFF);
  s.setDrawWidth(4);
  s.setCurrentPoint(QPointF(T - 10, 20)); // crosses one vertical tile edge
  s.lineTo(QPointF(T + 10, 20));
  const Picture after = s.image();
  int copied = 0;
  for (int i = 0; i < after.tiles().size(); ++i)
    copied += after.tiles()[i].constBits() != before.tiles()[i].constBits();
  EXPECT_EQ(copied, 2);
  // Earlier pictures and the capture itself keep their pixels.
  EXPECT_EQ(before.toImage(), filled(size, qRgb(40, 80, 120)));
  EXPECT_EQ(display.toImage(), capture);
  EXPECT_EQ(capture.pixel(T, 20), qRgb(40, 80, 120));
  EXPECT_EQ(after.toImage().pixel(T, 20), qRgb(255, 255, 255));

  // A mask stroke that changes nothing copies nothing.
  s.setDrawMode(Surface::MaskPen);
  s.setCurrentPoint(QPointF(2 * T + 5, 100));
  s.lineTo(QPointF(2 * T + 40, 140));
  const Picture again = s.image();
  for (int i = 0; i < again.tiles().size(); ++i)
    EXPECT_EQ(again.tiles()[i].constBits(), after.tiles()[i].constBits());
}

// Sizing fills no screen: every surface of one back colour shares one tile per
// tile size, and drawing on one surface leaves the others' back colour alone.
TEST_F(SurfaceTest, SizedSurfacesShareOneBackColourTile) {
  const QSize size(4 * T + 9, 3 * T);
  Surface a(size, 0x00336699), b(QSize(), 0x00336699), other(size, 0x000000FF);
  b.resize(size);
  std::set<const uchar *> buffers;
  for (const Surface *s : {&a, &b}) {
    const Picture p = s->image();
    for (const QImage &t : p.tiles())
      buffers.insert(t.constBits());
  }
  EXPECT_EQ(buffers.size(), 2u); // inner tiles and the narrow right-hand column
  const Picture red = other.image();
  EXPECT_EQ(buffers.count(red.tiles().front().constBits()), 0u);

  a.setForeColor(0x00FFFFFF);
  a.setDrawWidth(3);
  a.setCurrentPoint(QPointF(5, 5));
  a.lineTo(QPointF(60, 5));
  const QRgb back = qRgb(0x99, 0x66, 0x33);
  EXPECT_EQ(a.toImage().pixel(30, 5), qRgb(255, 255, 255));
  EXPECT_EQ(b.toImage(), filled(size, back));
  EXPECT_EQ(Surface(size, 0x00336699).toImage(), filled(size, back));
}

TEST_F(SurfaceTest, CaptureOutlivesItsOwnerAndOddFormatsConvert) {
  Picture p;
  {
    QImage argb(QSize(T + 1, 3), QImage::Format_ARGB32);
    argb.fill(qRgb(1, 2, 3));
    p = Picture(argb);
  }
  const QImage back = p.toImage();
  EXPECT_EQ(back.format(), QImage::Format_RGB32);
  EXPECT_EQ(back.pixel(T, 2), qRgb(1, 2, 3));
  EXPECT_TRUE(Picture(QImage()).isEmpty());
}

TEST_F(SurfaceTest, PaintCopiesOnlyTheAskedRectangle) {
  const QSize size(2 * T + 20, T + 20);
  QImage content(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      content.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
  Surface s(size);
  s.setPicture(Picture(content));
  QImage screen = filled(size, qRgb(0, 0, 0));
  const QRect r(T - 7, T - 9, T + 3, 25);
  {
    QPainter p(&screen);
    s.paint(p, r);
  }
  std::set<int> wrong;
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) {
      const QRgb want = r.contains(x, y) ? content.pixel(x, y) : qRgb(0, 0, 0);
      if (screen.pixel(x, y) != want)
        wrong.insert(y * size.width() + x);
    }
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " pixels differ";
}

} // namespace
