// Opening and leaving the overlay: capture, surfaces, ring seed, dot, and the two ways out.
#include "overlay_fixture.h"

#include "core/app.h"
#include "resident/kavrel_s.h"
#include "resident/kavrel_t.h"

TEST_F(OverlayTest, OpeningFreezesTheScreenAndSeedsTheRing) {
  fp.tppX = fp.tppY = 12; // 120 dpi: sizes still come out in pixels
  Undo_Pos = 4;
  Undo_Valid[3] = true;
  Kavrel_G *g = open();
  EXPECT_EQ(fp.captures, 1);
  EXPECT_FLOAT_EQ(g->Scr_Width(), 640.0f);
  EXPECT_FLOAT_EQ(g->Scr_Height(), 480.0f);
  for (const Surface *s : std::initializer_list<const Surface *>{
           &g->form(), &g->Display(), &g->Pic_Save(), &g->Pic_Dmy(1), &g->Pic_Dmy(6),
           &g->Pic_Muji()->surface})
    EXPECT_EQ(s->size(), QSize(640, 480));
  EXPECT_EQ(g->Display().toImage(), fp.capture);
  EXPECT_TRUE(same(g->form(), g->Display()));
  EXPECT_TRUE(same(g->Pic_Dmy(1), g->Display()));
  EXPECT_EQ(Undo_Pos, 1);
  for (int i = 1; i <= 6; ++i)
    EXPECT_EQ(Undo_Valid[i], i == 1) << i;
  EXPECT_FALSE(g->Break_Saved());
  EXPECT_EQ(g->Muji_Mode(), 0);
  EXPECT_FALSE(g->Pic_Muji()->isVisible());
  ASSERT_FALSE(fp.topMostCalls.empty());
  EXPECT_EQ(fp.topMostCalls.back(), std::make_pair(static_cast<QWidget *>(g), true));
  // The first frame is the capture itself.
  EXPECT_EQ(shown(g, 300, 100), white);
  EXPECT_EQ(shown(g, 300, 220), qRgb(0, 0, 0));
  EXPECT_EQ(shown(g, 300, 260), qRgb(0, 0, 255));
}

TEST_F(OverlayTest, OpensOnThePointersMonitorAndClosesWhenItIsUnplugged) {
  // The primary on the right of another monitor; the capture tells where it was taken.
  fp.origin = QPoint(640, 0);
  fp.others = {QRect(0, 0, 640, 480)};
  fp.capture = QImage();
  fp.cursor = QPoint(700, 100);
  Kavrel_G *g = open();
  EXPECT_EQ(g->monitor(), QRect(640, 0, 640, 480));
  EXPECT_EQ(g->normalGeometry(), QRect(640, 0, 640, 480)); // before going full screen
  EXPECT_EQ(fp.captured, QRect(640, 0, 640, 480));
  EXPECT_EQ(at(g->Display(), 0, 0), qRgb(640 & 0xFF, 0, 640 & 0xFF));
  EXPECT_FLOAT_EQ(g->Scr_Width(), 640.0f);
  key(g, Qt::Key_Space);
  flushDeletes();

  fp.cursor = QPoint(100, 100);
  g = open();
  EXPECT_EQ(g->normalGeometry(), QRect(0, 0, 640, 480));
  EXPECT_EQ(fp.captured, QRect(0, 0, 640, 480));
  EXPECT_EQ(at(g->Display(), 5, 7), qRgb(5, 7, 12));
  // Another monitor going leaves it open; its own going closes it as Space does.
  fp.others.push_back(QRect(1280, 0, 800, 600));
  fp.changeMonitors();
  EXPECT_EQ(kavrelG(), g);
  fp.others = {QRect(1280, 0, 800, 600)};
  fp.changeMonitors();
  EXPECT_EQ(kavrelG(), nullptr);
  flushDeletes();

  // At 144 dpi the window is in logical pixels, every surface in device pixels.
  fp.others.clear();
  fp.origin = QPoint(0, 0);
  fp.setRatio(1.5);
  g = open();
  EXPECT_EQ(g->normalGeometry(), QRect(0, 0, 427, 320));
  EXPECT_EQ(g->form().size(), QSize(640, 480));
  EXPECT_EQ(g->Display().size(), QSize(640, 480));
}

TEST_F(OverlayTest, ColourDotIsARoundPenColouredFocusHolder) {
  Kavrel_G *g = open();
  ColorDot *dot = g->Pic_Color();
  EXPECT_EQ(dot->geometry(), QRect(0, 0, 13, 13));
  EXPECT_EQ(dot->backColor(), Pen_Color[1]);
  EXPECT_TRUE(dot->isVisible());
  EXPECT_EQ(g->focusWidget(), dot);
  const QRegion m = dot->mask();
  EXPECT_EQ(m.boundingRect(), QRect(0, 0, 12, 12));
  EXPECT_TRUE(m.contains(QPoint(6, 6)));
  EXPECT_FALSE(m.contains(QPoint(0, 0)));
  EXPECT_FALSE(m.contains(QPoint(11, 11)));
  EXPECT_TRUE(m.contains(QPoint(0, 6)) && m.contains(QPoint(11, 6)) && m.contains(QPoint(6, 0)) &&
              m.contains(QPoint(6, 11)));
  // Painted over the capture in the pen colour.
  EXPECT_EQ(shown(g, 6, 6), red);
  EXPECT_EQ(shown(g, 12, 12), white);
  // A press on the dot starts nothing; dragging on from it draws nothing.
  QTest::mousePress(dot, Qt::LeftButton, {}, QPoint(6, 6));
  EXPECT_FALSE(g->Pen_Down());
  QTest::mouseMove(dot, QPoint(200, 50));
  QTest::mouseRelease(dot, Qt::LeftButton, {}, QPoint(200, 50));
  EXPECT_TRUE(same(g->form(), g->Display()));
  EXPECT_EQ(Undo_Pos, 1);
}

TEST_F(OverlayTest, SecondOpeningTakesANewCaptureAndKeepsOnlyThePen) {
  Kavrel_G *g = open();
  key(g, Qt::Key_F3);
  stroke(g, 50);
  key(g, Qt::Key_Space);
  EXPECT_EQ(kavrelG(), nullptr);
  flushDeletes();
  fp.capture.fill(Qt::green);
  g = open();
  EXPECT_EQ(fp.captures, 2);
  EXPECT_EQ(at(g->form(), 70, 50), qRgb(0, 255, 0));
  EXPECT_EQ(Pen_No, 3);
  EXPECT_EQ(g->Pic_Color()->backColor(), Pen_Color[3]);
  EXPECT_EQ(g->form().drawWidth(), Pen_Width[3]);
  EXPECT_EQ(Undo_Pos, 1);
}

// A capture that waits for the desktop runs the event loop: a second activation
// meanwhile neither shows the half-loaded overlay nor starts a second capture.
TEST_F(OverlayTest, ActivationDuringTheCaptureOpensNothingMore) {
  bool shownEarly = true;
  fp.duringCapture = [&] {
    fp.duringCapture = nullptr;
    Show_Kavrel_G();
    shownEarly = kavrelG() && kavrelG()->isVisible();
  };
  Show_Kavrel_G();
  EXPECT_FALSE(shownEarly);
  EXPECT_EQ(fp.captures, 1);
  ASSERT_NE(kavrelG(), nullptr);
  EXPECT_TRUE(kavrelG()->isVisible());
  key(kavrelG(), Qt::Key_Space);
  flushDeletes();

  // Its monitor unplugged while the capture waits: the waiting loop deletes what
  // was unloaded meanwhile, so the load must not be unloaded under itself; the
  // overlay leaves once loaded.
  fp.others = {QRect(1024, 0, 640, 480)};
  fp.cursor = QPoint(1100, 100);
  fp.duringCapture = [&] {
    fp.duringCapture = nullptr;
    fp.others.clear();
    fp.changeMonitors();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  Show_Kavrel_G();
  EXPECT_EQ(kavrelG(), nullptr);
}

TEST_F(OverlayTest, SpaceBringsBackTheTrayIconOrTheFloatingIcon) {
  Load_Kavrel_S();
  ASSERT_TRUE(fp.tray());
  fp.tray()->send(TrayMsg::LButtonDown); // the tray press opens the overlay
  Kavrel_G *g = kavrelG();
  ASSERT_TRUE(g);
  EXPECT_FALSE(fp.tray()->isAdded());
  key(g, Qt::Key_Space);
  EXPECT_TRUE(fp.tray()->isAdded());
  EXPECT_EQ(fp.tray()->tip, QStringLiteral("Morvane"));
  EXPECT_EQ(kavrelG(), nullptr);
  flushDeletes();

  Try_Out = true;
  fp.tray()->remove();
  g = open();
  key(g, Qt::Key_Space);
  EXPECT_FALSE(fp.tray()->isAdded());
  EXPECT_TRUE(kavrelT());
  Unload_Kavrel_T();
  flushDeletes();

  // A window manager's close (Alt+F4) acts as Space.
  Try_Out = false;
  g = open();
  g->close();
  EXPECT_TRUE(fp.tray()->isAdded());
  EXPECT_EQ(kavrelG(), nullptr);
  Unload_Kavrel_S();
  flushDeletes();
}

TEST_F(OverlayTest, EscEndsTheProgram) {
  Kavrel_G *g = open();
  EXPECT_THROW(g->Form_KeyDown(27), ProcessEnded);
  EXPECT_EQ(kavrelG(), nullptr);
}

TEST_F(OverlayTest, BadPenNumbersAndRefusedAttributesKeepThePreviousPen) {
  Kavrel_G *g = open();
  Pen_No = 12;
  g->Apply_Pen(g->form());
  Pen_No = -3;
  g->Apply_Pen(g->form());
  EXPECT_EQ(g->form().foreColor(), Pen_Color[1]);
  EXPECT_EQ(g->form().drawWidth(), 3);
  EXPECT_EQ(g->Pic_Color()->backColor(), Pen_Color[1]);
  // Width 0 and style 9 are refused; the colour and mode still change.
  Pen_Width[7] = 0;
  Pen_Style[7] = 9;
  Pen_Toimei[7] = 1;
  key(g, Qt::Key_F7);
  EXPECT_EQ(g->form().foreColor(), Pen_Color[7]);
  EXPECT_EQ(g->form().drawWidth(), 3);
  EXPECT_EQ(g->form().drawStyle(), 0);
  EXPECT_EQ(g->form().drawMode(), int(Surface::MaskPen));
}
