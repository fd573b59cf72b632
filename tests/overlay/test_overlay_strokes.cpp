// Freehand strokes: pen pixels, the press/move/release state machine and what releases record.
#include "overlay_fixture.h"

#include "overlay/first_paint.h"

#include <QPalette>

TEST_F(OverlayTest, DragDrawsUnderThePointerAndRepaintsIt) {
  Kavrel_G *g = open();
  drag(g, {QPoint(100, 100), QPoint(200, 100), QPoint(200, 150)});
  EXPECT_EQ(at(g->form(), 150, 100), red);
  EXPECT_EQ(at(g->form(), 200, 125), red);
  EXPECT_EQ(at(g->form(), 150, 104), white);
  EXPECT_EQ(at(g->form(), 96, 100), white); // round end, 3 px wide
  EXPECT_EQ(shown(g, 150, 100), red);
  EXPECT_EQ(shown(g, 200, 125), red);
  EXPECT_TRUE(same(g->Display(), g->Pic_Dmy(1))); // the capture is never drawn on
  EXPECT_EQ(at(g->Display(), 150, 100), white);
}

TEST_F(OverlayTest, HighlighterMasksWhatItCrosses) {
  Kavrel_G *g = open();
  key(g, Qt::Key_F2); // yellow, semi-transparent
  drag(g, {QPoint(100, 150), QPoint(100, 300)});
  EXPECT_EQ(at(g->form(), 100, 160), qRgb(255, 255, 0)); // white becomes yellow
  EXPECT_EQ(at(g->form(), 100, 220), qRgb(0, 0, 0));     // black stays black
  EXPECT_EQ(at(g->form(), 100, 260), qRgb(0, 0, 0));     // blue becomes black
  const QImage once = g->form().toImage();
  drag(g, {QPoint(100, 150), QPoint(100, 300)});
  EXPECT_EQ(g->form().toImage(), once); // a second pass changes nothing
}

TEST_F(OverlayTest, DashesOnlyAtOnePixel) {
  Pen_Color[8] = 0x0000FF;
  Pen_Width[8] = 1;
  Pen_Style[8] = 2; // dash
  Pen_Color[9] = 0x0000FF;
  Pen_Width[9] = 6;
  Pen_Style[9] = 2;
  Kavrel_G *g = open();
  auto gapsOnRow = [&](int y) {
    int gaps = 0;
    for (int x = 60; x <= 340; ++x)
      gaps += at(g->form(), x, y) != red;
    return gaps;
  };
  key(g, Qt::Key_F8);
  drag(g, {QPoint(50, 100), QPoint(350, 100)});
  EXPECT_GT(gapsOnRow(100), 30);
  key(g, Qt::Key_F9);
  drag(g, {QPoint(50, 130), QPoint(350, 130)});
  EXPECT_EQ(gapsOnRow(130), 0);
}

TEST_F(OverlayTest, SystemColourPenFollowsThePalette) {
  fp.windowText = QColor(10, 120, 30);
  Kavrel_G *g = open();
  key(g, Qt::Key_F6); // window text, 1 px
  drag(g, {QPoint(50, 100), QPoint(51, 100)});
  EXPECT_EQ(at(g->form(), 50, 100), qRgb(10, 120, 30));
  EXPECT_EQ(shown(g, 6, 6), qRgb(10, 120, 30));
  fp.windowText = QColor(200, 0, 200);
  drag(g, {QPoint(50, 110), QPoint(51, 110)});
  EXPECT_EQ(at(g->form(), 50, 110), qRgb(200, 0, 200));
}

TEST_F(OverlayTest, ClickWithoutMovementDrawsNothingButTakesASlot) {
  Kavrel_G *g = open();
  QTest::mouseClick(g, Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_TRUE(same(g->form(), g->Display()));
  EXPECT_EQ(Undo_Pos, 2);
  EXPECT_TRUE(Undo_Valid[2]);
  EXPECT_TRUE(same(g->Pic_Dmy(2), g->Display()));
  // Moving with no button pressed draws nothing.
  QTest::mouseMove(g, QPoint(300, 300));
  EXPECT_TRUE(same(g->form(), g->Display()));
}

TEST_F(OverlayTest, RightOrMiddlePressWipesAndKeepsThePosition) {
  for (Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
    Kavrel_G *g = open();
    stroke(g, 50);
    stroke(g, 70);
    ASSERT_EQ(Undo_Pos, 3);
    QTest::mousePress(g, b, {}, QPoint(300, 300));
    EXPECT_TRUE(same(g->form(), g->Display()));
    EXPECT_EQ(Undo_Pos, 3);
    for (int i = 1; i <= 6; ++i)
      EXPECT_FALSE(Undo_Valid[i]);
    QTest::mouseRelease(g, b, {}, QPoint(300, 300));
    EXPECT_EQ(Undo_Pos, 4); // the cleared screen is the newest snapshot
    EXPECT_TRUE(same(g->Pic_Dmy(4), g->Display()));
    key(g, Qt::Key_Left); // the strokes before the wipe are gone for good
    EXPECT_EQ(Undo_Pos, 4);
    EXPECT_TRUE(same(g->form(), g->Display()));
    Unload_Kavrel_G();
    flushDeletes();
  }
}

TEST_F(OverlayTest, RightPressDuringALeftDragEndsTheStroke) {
  Kavrel_G *g = open();
  QTest::mousePress(g, Qt::LeftButton, {}, QPoint(50, 50));
  QTest::mouseMove(g, QPoint(150, 50));
  EXPECT_EQ(at(g->form(), 100, 50), red);
  QTest::mousePress(g, Qt::RightButton, {}, QPoint(150, 50));
  EXPECT_TRUE(same(g->form(), g->Display()));
  EXPECT_TRUE(g->Pen_Down());
  QTest::mouseRelease(g, Qt::RightButton, {}, QPoint(150, 50));
  EXPECT_FALSE(g->Pen_Down());
  QTest::mouseMove(g, QPoint(150, 150)); // left still held: nothing more is drawn
  EXPECT_TRUE(same(g->form(), g->Display()));
  QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(150, 150));
  EXPECT_EQ(Undo_Pos, 3); // both releases recorded
}

TEST_F(OverlayTest, KeyboardBreakModeReleasesRecordNothing) {
  Undo_Mode = 1;
  Kavrel_G *g = open();
  stroke(g, 50);
  QTest::mouseClick(g, Qt::RightButton, {}, QPoint(10, 10));
  EXPECT_EQ(Undo_Pos, 1);
  EXPECT_FALSE(Undo_Valid[2]);
}

TEST_F(OverlayTest, PenKeyInTheMiddleOfADragChangesTheRestOfTheStroke) {
  Kavrel_G *g = open();
  QTest::mousePress(g, Qt::LeftButton, {}, QPoint(50, 100));
  QTest::mouseMove(g, QPoint(150, 100));
  key(g, Qt::Key_F2);
  QTest::mouseMove(g, QPoint(250, 100));
  QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(250, 100));
  EXPECT_EQ(at(g->form(), 100, 100), red);
  EXPECT_EQ(at(g->form(), 200, 100), qRgb(255, 255, 0));
}

namespace {
// Collects the rectangles the widget is asked to repaint.
struct PaintSpy : QObject {
  QRegion painted;
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint)
      painted += static_cast<QPaintEvent *>(e)->region();
    return false;
  }
};
} // namespace

// Where a compositor shows the first frame from the window's background, the
// overlay's own full paint waits: for a press, or a while after the exposure.
TEST_F(OverlayTest, TheFirstPaintWaitsWhileTheDesktopShowsTheFirstFrame) {
  fp.showsFirst = true;
  Show_Kavrel_G();
  Kavrel_G *g = kavrelG();
  ASSERT_TRUE(g);
  PaintSpy spy;
  g->installEventFilter(&spy);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(g));
  QCoreApplication::processEvents();
  EXPECT_TRUE(first_paint::held(g));
  EXPECT_TRUE(spy.painted.isEmpty());
  // The press lets the whole window paint, and the stroke is on it.
  QTest::mousePress(g, Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_FALSE(first_paint::held(g));
  QTest::mouseMove(g, QPoint(200, 100));
  QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(200, 100));
  QTRY_VERIFY(spy.painted.contains(g->rect()));
  EXPECT_EQ(at(g->form(), 150, 100), red);
  EXPECT_EQ(shown(g, 150, 100), red);
  // Later strokes repaint only what they change.
  spy.painted = QRegion();
  drag(g, {QPoint(300, 300), QPoint(310, 300)});
  QTRY_VERIFY(!spy.painted.isEmpty());
  EXPECT_LT(spy.painted.boundingRect().width(), 100);
  Unload_Kavrel_G();
  QCoreApplication::processEvents();

  // Without a press, the window paints by itself soon after it is exposed.
  Show_Kavrel_G();
  g = kavrelG();
  ASSERT_TRUE(g);
  spy.painted = QRegion();
  g->installEventFilter(&spy);
  QTRY_VERIFY_WITH_TIMEOUT(spy.painted.contains(g->rect()), 3000);
  g->removeEventFilter(&spy);
}

TEST_F(OverlayTest, AMouseMoveRepaintsOnlyItsSegment) {
  Kavrel_G *g = open();
  QTest::mousePress(g, Qt::LeftButton, {}, QPoint(100, 100));
  QCoreApplication::processEvents();
  PaintSpy spy;
  g->installEventFilter(&spy);
  QTest::mouseMove(g, QPoint(130, 110));
  QTRY_VERIFY(!spy.painted.isEmpty());
  g->removeEventFilter(&spy);
  const QRect r = spy.painted.boundingRect();
  EXPECT_TRUE(r.contains(QRect(QPoint(98, 98), QPoint(132, 112)))) << r.x() << "," << r.y();
  EXPECT_LT(r.width() * r.height(), 60 * 40);
  QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(130, 110));
}
