// The shared-memory screen capture against Qt's own grab, on a real X display.
// Skipped elsewhere; tests/e2e/test_capture.sh runs it under Xvfb.

#include "platform/capture/capture.h"
#include "platform/platform.h"
#include "platform/x11.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QRandomGenerator>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {
// A window of noise: any shift, swap or lost row between two grabs shows.
class Noise : public QWidget {
public:
  Noise() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void paintEvent(QPaintEvent *) override {
    if (pattern.size() != size() * devicePixelRatioF()) {
      pattern = QImage(size() * devicePixelRatioF(), QImage::Format_RGB32);
      QRandomGenerator gen(7);
      for (int y = 0; y < pattern.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(pattern.scanLine(y));
        for (int x = 0; x < pattern.width(); ++x)
          row[x] = 0xff000000u | (gen.generate() & 0xffffffu);
      }
      pattern.setDevicePixelRatio(devicePixelRatioF());
    }
    QPainter(this).drawImage(0, 0, pattern);
  }
  QImage pattern;
};

// A window that shows another colour at every paint: the screen keeps changing.
class Flicker : public QWidget {
public:
  Flicker() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void paintEvent(QPaintEvent *) override {
    ++paints;
    QPainter(this).fillRect(rect(), colour());
  }
  QColor colour() const { return QColor::fromHsv((paints * 47) % 360, 255, 255); }
  int paints = 0;
};

// Whether the server shows `w` now, without a trip through Qt's event loop
// (which would let the window paint itself).
bool viewable(WId w) {
  auto *x = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t *c = x->connection();
  xcb_get_window_attributes_reply_t *a =
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(w)), nullptr);
  const bool on = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
  free(a);
  return on;
}

// Segments of `bytes` this process created that are still alive (attached
// somewhere). Qt's own backing stores are segments too, of other sizes.
int liveSegments(long bytes) {
  std::ifstream f("/proc/sysvipc/shm");
  std::string line;
  std::getline(f, line); // header
  int n = 0;
  while (std::getline(f, line)) {
    std::istringstream in(line);
    long key = 0, id = 0, perms = 0, size = 0, cpid = 0;
    in >> key >> id >> perms >> size >> cpid;
    if (cpid == ::getpid() && size == bytes)
      ++n;
  }
  return n;
}

bool settlesAt(long bytes, int count) {
  for (int i = 0; i < 100 && liveSegments(bytes) != count; ++i)
    QTest::qWait(20);
  return liveSegments(bytes) == count;
}

// Qt's grab of the primary screen, as the capture promises it.
QImage qtGrab() {
  QImage img = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  img = img.convertToFormat(QImage::Format_RGB32);
  img.setDevicePixelRatio(1.0);
  return img;
}

// Pixel for pixel, outside `except`.
void expectSamePixels(const QImage &a, const QImage &b, const QRegion &except = QRegion()) {
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.format(), QImage::Format_RGB32);
  ASSERT_EQ(b.format(), QImage::Format_RGB32);
  int bad = 0;
  QPoint first;
  for (int y = 0; y < a.height(); ++y) {
    const auto *ra = reinterpret_cast<const quint32 *>(a.constScanLine(y));
    const auto *rb = reinterpret_cast<const quint32 *>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x)
      if (ra[x] != rb[x] && !except.contains(QPoint(x, y)) && bad++ == 0)
        first = QPoint(x, y);
  }
  EXPECT_EQ(bad, 0) << "first difference at " << first.x() << "," << first.y();
}

class CaptureX11 : public ::testing::Test {
protected:
  void SetUp() override {
    if (!x11::available())
      GTEST_SKIP() << "needs an X display (QT_QPA_PLATFORM=xcb)";
  }
};

class CaptureX11Shm : public CaptureX11 {
protected:
  void SetUp() override {
    CaptureX11::SetUp();
    if (qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
      GTEST_SKIP() << "shared memory refused";
  }
};
} // namespace

TEST_F(CaptureX11, SharedMemoryGrabEqualsQtGrabPixelForPixel) {
  QScreen *s = QGuiApplication::primaryScreen();
  Noise noise;
  // Across the middle of the primary screen and off its far corner.
  const QRect g = s->geometry();
  noise.setGeometry(QRect(g.center() - QPoint(g.width() / 3, g.height() / 3),
                          QSize(g.width() * 2 / 3 + 40, g.height() * 2 / 3 + 40)));
  noise.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&noise));
  QTest::qWait(200); // the flush reaches the server
  x11::flush();

  // The platform's capture is the same picture, whichever way it takes it.
  expectSamePixels(platform().captureScreen(platform().primaryMonitor()), qtGrab());

  const QRect rect(g.topLeft(), platform().screenPixels());
  const QImage shm = x11::grabRootShm(rect);
  if (qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
    EXPECT_TRUE(shm.isNull()) << "shared memory used although refused";
    return;
  }
  ASSERT_FALSE(shm.isNull()) << "MIT-SHM unavailable on a local Xvfb";
  EXPECT_EQ(shm.size(), rect.size());
  expectSamePixels(shm, qtGrab());
  // Not a plain field: the noise window is in it.
  EXPECT_NE(shm.pixel(shm.width() - 1, shm.height() - 1),
            shm.pixel(shm.width() / 2, shm.height() / 2));
}

TEST_F(CaptureX11Shm, SegmentLivesAsLongAsTheLastImageSharingIt) {
  const QRect rect(QGuiApplication::primaryScreen()->geometry().topLeft(),
                   platform().screenPixels());
  const long bytes = long(rect.width()) * rect.height() * 4;
  const int before = liveSegments(bytes);
  QImage view;
  {
    QImage shm = x11::grabRootShm(rect);
    ASSERT_FALSE(shm.isNull());
    EXPECT_EQ(liveSegments(bytes), before + 1);
    view = shm; // shares the buffer, as a picture's tiles do
  }
  EXPECT_EQ(liveSegments(bytes), before + 1);
  const QRgb corner = view.pixel(view.width() - 1, view.height() - 1); // still readable
  EXPECT_EQ(qAlpha(corner), 255);
  view = QImage();
  // The server lets go when it gets to the detach request.
  EXPECT_TRUE(settlesAt(bytes, before));
  // Many captures in a row leave nothing behind.
  for (int i = 0; i < 5; ++i)
    EXPECT_FALSE(x11::grabRootShm(rect).isNull());
  EXPECT_TRUE(settlesAt(bytes, before));
}

TEST_F(CaptureX11Shm, RectangleOutsideTheRootIsRefused) {
  const QSize root = QGuiApplication::primaryScreen()->virtualSize();
  EXPECT_TRUE(x11::grabRootShm(QRect(QPoint(root.width() - 10, 0), QSize(20, 20))).isNull());
  EXPECT_TRUE(x11::grabRootShm(QRect()).isNull());
  // A part of the screen is fine, at its own place.
  const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
  const QImage part = x11::grabRootShm(QRect(origin + QPoint(10, 20), QSize(30, 40)));
  ASSERT_FALSE(part.isNull());
  EXPECT_EQ(part.size(), QSize(30, 40));
  expectSamePixels(part, qtGrab().copy(QRect(10, 20, 30, 40)));
}

// The first frame the server paints when the overlay maps and the picture the
// program draws on are one copy, taken at the freeze, however the screen
// changes between the freeze, the map and the fetch of the pixels.
TEST_F(CaptureX11Shm, FirstFrameOnScreenAndPictureAreOneCopyWhileTheScreenChanges) {
  const QRect g = QGuiApplication::primaryScreen()->geometry();
  const QRect area(g.topLeft(), platform().screenPixels());
  Flicker flicker;
  flicker.setGeometry(QRect(g.topLeft() + QPoint(g.width() / 4, g.height() / 4), g.size() / 2));
  flicker.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&flicker));
  flicker.repaint();
  x11::flush();
  QTest::qWait(100);
  const QColor frozen = flicker.colour();

  // A cover that never paints by itself: what shows on it is the server's.
  QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  cover.setAttribute(Qt::WA_OpaquePaintEvent);
  cover.setAttribute(Qt::WA_NoSystemBackground);
  cover.setGeometry(area);
  const QImage atFreeze = x11::grabRootShm(area);
  const QImage picture = platform().captureScreen(platform().primaryMonitor(), &cover);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(capture::keptName(), QStringLiteral("x11-shm"));
  // A spot of the cover's own (the colour dot) on its first frame, not in the picture.
  const QRegion spot = QRegion(QRect(3, 4, 5, 6)) + QRect(9, 2, 2, 2);
  platform().prepareFirstFrame(&cover, spot, qRgb(1, 2, 3));
  flicker.repaint(); // the screen changes before the cover maps...
  x11::flush();
  cover.show();
  x11::flush();
  for (int i = 0; i < 200 && !viewable(cover.winId()); ++i) {
    flicker.repaint(); // ...and while it maps
    x11::flush();
    QThread::msleep(5);
  }
  ASSERT_TRUE(viewable(cover.winId())) << "the cover never mapped";
  const QImage firstFrame = x11::grabRootShm(area);
  ASSERT_FALSE(firstFrame.isNull());
  flicker.repaint(); // and again before the pixels are fetched
  x11::flush();
  platform().firstPaint(&cover);

  expectSamePixels(picture, atFreeze);
  expectSamePixels(firstFrame, picture, spot);
  const QPoint mid = flicker.geometry().center() - g.topLeft();
  EXPECT_EQ(picture.pixel(mid), frozen.rgb()) << "not the screen at the freeze";
  EXPECT_NE(flicker.colour().rgb(), frozen.rgb()) << "the screen never changed";
  for (const QRect &r : spot) {
    EXPECT_EQ(firstFrame.pixel(r.topLeft()), qRgb(1, 2, 3));
    EXPECT_EQ(firstFrame.pixel(r.bottomRight()), qRgb(1, 2, 3));
  }
  EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 255);
}

// A cover closed before its first paint leaves no segment and no pixmap behind,
// and the next opening works.
TEST_F(CaptureX11Shm, CoverClosedBeforeItsFirstPaintLeavesNothing) {
  const QRect area(QGuiApplication::primaryScreen()->geometry().topLeft(),
                   platform().screenPixels());
  const long bytes = long(area.width()) * area.height() * 4;
  const int before = liveSegments(bytes);
  for (int i = 0; i < 3; ++i) {
    QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    cover.setGeometry(area);
    QImage picture = platform().captureScreen(platform().primaryMonitor(), &cover);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(liveSegments(bytes), before + 1);
  }
  EXPECT_TRUE(settlesAt(bytes, before));
  QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
  cover.setGeometry(area);
  const QImage picture = platform().captureScreen(platform().primaryMonitor(), &cover);
  platform().prepareFirstFrame(&cover, QRect(0, 0, 4, 4), qRgb(255, 0, 0));
  platform().firstPaint(&cover);
  expectSamePixels(picture, qtGrab());
}
