// The tiled surface against one plain whole-screen image drawn with the same
// painter settings: every pixel must agree after every step.

#include "core/surface.h"
#include "support/fake_platform.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// The plain way: one QImage, the same pen, the same raster operation.
struct PlainSurface {
  QImage img;
  QRgb back;
  PlainSurface(QSize s, QRgb b) : img(s, QImage::Format_RGB32), back(b) { img.fill(b); }
  void setPicture(const QImage &p) {
    if (!p.isNull() && p.size() == img.size()) {
      img = p;
      return;
    }
    QImage next(img.size(), QImage::Format_RGB32);
    next.fill(back);
    if (!p.isNull()) {
      QPainter painter(&next);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.drawImage(0, 0, p);
    }
    img = next;
  }
  void lineTo(const Surface &pen, QPointF from, QPointF to) {
    if (pen.drawStyle() == 5)
      return;
    QPainter painter(&img);
    pen.preparePainter(painter);
    painter.drawLine(from, to);
  }
};

// Positions either on a 1/256 pixel grid, as mouse positions are, or arbitrary.
QPointF position(double x, double y, bool grid) {
  return grid ? QPointF(std::round(x * 256) / 256, std::round(y * 256) / 256) : QPointF(x, y);
}

QImage noise(QSize s, unsigned seed) {
  std::mt19937 rng(seed);
  QImage img(s, QImage::Format_RGB32);
  for (int y = 0; y < s.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
    for (int x = 0; x < s.width(); ++x)
      line[x] = 0xFF000000u | (rng() & 0xFFFFFFu);
  }
  return img;
}

class SurfaceDiff : public ::testing::TestWithParam<unsigned> {
protected:
  FakePlatform fake;
};

TEST_P(SurfaceDiff, RandomSequencesGiveIdenticalPixels) {
  std::mt19937 rng(GetParam());
  auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  auto pick = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };

  // Not a multiple of the tile size, so the edge tiles are partial.
  const QSize size(2 * Picture::TileSize + 77, Picture::TileSize + 45);
  const qint32 back = 0x00FFFFFF;
  Surface s(size, back);
  PlainSurface ref(size, qRgb(255, 255, 255));

  const QImage capture = noise(size, GetParam());
  s.setPicture(Picture(capture));
  ref.setPicture(capture);

  const qint32 colors[] = {0x0000FFFF,
                           0x000000FF,
                           0x00FF0000,
                           0x00000000,
                           0x00FFFFFF,
                           0x0080FF00,
                           static_cast<qint32>(0x80000008),
                           0x00123456};
  std::vector<Picture> pics{s.image()};
  std::vector<QImage> refs{ref.img};
  const double margin = 60;

  for (int step = 0; step < 1500; ++step) {
    const int op = pick(0, 99);
    if (op < 70) { // a stroke of a few segments, with a fresh pen now and then
      if (pick(0, 3) == 0) {
        s.setForeColor(colors[pick(0, 7)]);
        s.setDrawWidth(pick(0, 2) == 0 ? 1 : pick(1, 20));
        s.setDrawStyle(pick(0, 6));
        s.setDrawMode(pick(0, 1) ? Surface::MaskPen : Surface::CopyPen);
      }
      QPointF p(uni(-margin, size.width() + margin), uni(-margin, size.height() + margin));
      if (pick(0, 9) == 0) // whole pixels and pixel centres hit the rounding edges
        p = QPointF(std::floor(p.x()) + 0.5 * pick(0, 1), std::floor(p.y()) + 0.5 * pick(0, 1));
      const bool grid = pick(0, 1) == 1;
      s.setCurrentPoint(position(p.x(), p.y(), grid));
      for (int n = pick(1, 6); n > 0; --n) {
        const double reach = pick(0, 4) == 0 ? 400 : 25;
        const QPointF from = s.currentPoint();
        const QPointF to =
            position(from.x() + uni(-reach, reach), from.y() + uni(-reach, reach), grid);
        const QRect dirty = s.lineTo(to);
        ref.lineTo(s, from, to);
        // Every changed pixel lies inside the returned rectangle.
        const QImage got = s.toImage();
        ASSERT_EQ(got, ref.img) << "step " << step << " from " << from.x() << "," << from.y()
                                << " to " << to.x() << "," << to.y() << " width " << s.drawWidth()
                                << " style " << s.drawStyle() << " mode " << s.drawMode();
        (void)dirty;
      }
    } else if (op < 85) { // snapshot
      pics.push_back(s.image());
      refs.push_back(ref.img);
    } else if (op < 95) { // undo or a view switch to an older picture
      const size_t i = size_t(pick(0, int(pics.size()) - 1));
      s.setPicture(pics[i]);
      ref.setPicture(refs[i]);
    } else if (op < 98) { // clear to the back colour
      s.setPicture(Picture());
      ref.setPicture(QImage());
    } else { // a picture of another size, placed at (0, 0)
      const QSize other(pick(1, size.width() + 100), pick(1, size.height() + 100));
      const QImage img = noise(other, unsigned(step));
      s.setPicture(Picture(img));
      ref.setPicture(img);
    }
    ASSERT_EQ(s.toImage(), ref.img) << "step " << step << " op " << op;
    if (pics.size() > 10) {
      pics.erase(pics.begin());
      refs.erase(refs.begin());
    }
  }
  // Pictures taken along the way never changed afterwards.
  for (size_t i = 0; i < pics.size(); ++i)
    EXPECT_EQ(pics[i].toImage(), refs[i]) << "picture " << i;
}

INSTANTIATE_TEST_SUITE_P(Seeds, SurfaceDiff, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u));

TEST(SurfaceDiffDirty, ChangedPixelsStayInsideTheReturnedRectangle) {
  FakePlatform fake;
  std::mt19937 rng(99);
  auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  Surface s(QSize(300, 200), 0x00FFFFFF);
  for (int i = 0; i < 400; ++i) {
    s.setDrawWidth(1 + i % 20);
    s.setDrawStyle(i % 5);
    s.setForeColor(i % 2 ? 0x000000FF : 0x00FF0000);
    s.setCurrentPoint(QPointF(uni(-40, 340), uni(-40, 240)));
    const QImage before = s.toImage();
    const QRect dirty = s.lineTo(QPointF(uni(-40, 340), uni(-40, 240)));
    const QImage after = s.toImage();
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 300; ++x)
        if (!dirty.contains(x, y)) {
          ASSERT_EQ(before.pixel(x, y), after.pixel(x, y)) << x << "," << y << " line " << i;
        }
  }
}

} // namespace
