// The key table: undo in both modes, keyboard breaks, clean/last-break views, Delete, pens.
#include "overlay_fixture.h"

#include <QKeyEvent>

namespace {
// Row of the i-th stroke; its pixel at x 70 tells whether the stroke is on screen.
int row(int i) { return 30 + 20 * i; }
} // namespace

class UndoTest : public OverlayTest {
protected:
  bool has(Kavrel_G *g, int i) { return at(g->form(), 70, row(i)) == red; }
  // Which of strokes 1..n are on screen, as a string of 0 and 1.
  std::string strokes(Kavrel_G *g, int n) {
    std::string s;
    for (int i = 1; i <= n; ++i)
      s += has(g, i) ? '1' : '0';
    return s;
  }
};

TEST_F(UndoTest, OneDragFiveStepsBackThenNothing) {
  Kavrel_G *g = open();
  for (int i = 1; i <= 6; ++i)
    stroke(g, row(i));
  EXPECT_EQ(Undo_Pos, 1); // 2..6 then wrapped to 1
  const char *expected[] = {"111110", "111100", "111000", "110000", "100000"};
  for (const char *e : expected) {
    key(g, Qt::Key_Left);
    EXPECT_EQ(strokes(g, 6), e);
    EXPECT_EQ(shown(g, 70, row(2)), e[1] == '1' ? red : white);
  }
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 6), "100000");
}

TEST_F(UndoTest, OneDragExampleFromAnOpening) {
  Kavrel_G *g = open();
  key(g, Qt::Key_Left); // slot 6 is invalid: nothing
  EXPECT_EQ(Undo_Pos, 1);
  stroke(g, row(1)); // A -> slot 2
  stroke(g, row(2)); // B -> slot 3
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 2), "10");
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 2), "00");
  EXPECT_TRUE(same(g->form(), g->Display()));
  key(g, Qt::Key_Left);
  EXPECT_EQ(Undo_Pos, 1);
  stroke(g, row(3)); // C -> slot 2
  EXPECT_EQ(Undo_Pos, 2);
  EXPECT_EQ(strokes(g, 3), "001");
}

TEST_F(UndoTest, KeyboardBreakExampleAndLeftRightAfterOpening) {
  Undo_Mode = 1;
  Kavrel_G *g = open();
  stroke(g, row(1));
  key(g, Qt::Key_Left); // restores slot 1, the clean capture
  EXPECT_TRUE(same(g->form(), g->Display()));
  key(g, Qt::Key_Left);
  EXPECT_TRUE(same(g->form(), g->Display()));
  Unload_Kavrel_G();
  flushDeletes();

  g = open();
  stroke(g, row(1)); // A
  key(g, Qt::Key_Right);
  EXPECT_TRUE(g->Break_Saved());
  EXPECT_EQ(Undo_Pos, 2);
  EXPECT_TRUE(same(g->Pic_Save(), g->form()));
  stroke(g, row(2)); // B
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 2), "10");
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 2), "00");
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 2), "00");
}

TEST_F(UndoTest, SevenBreaksWrapTheRing) {
  Undo_Mode = 1;
  Kavrel_G *g = open();
  for (int i = 1; i <= 7; ++i) {
    stroke(g, row(i));
    key(g, Qt::Key_Right);
  }
  EXPECT_EQ(Undo_Pos, 2);
  const char *expected[] = {"1111111", "1111110", "1111100", "1111000", "1110000", "1100000"};
  for (const char *e : expected) {
    key(g, Qt::Key_Left);
    EXPECT_EQ(strokes(g, 7), e);
  }
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 7), "1100000");
}

TEST_F(UndoTest, DeleteClearsAllAndLeftThenDoesNothing) {
  Kavrel_G *g = open();
  stroke(g, row(1));
  key(g, Qt::Key_Delete);
  EXPECT_TRUE(same(g->form(), g->Display()));
  EXPECT_EQ(shown(g, 70, row(1)), white);
  EXPECT_EQ(Undo_Pos, 0);
  for (int i = 1; i <= 6; ++i)
    EXPECT_FALSE(Undo_Valid[i]);
  key(g, Qt::Key_Left);
  EXPECT_EQ(Undo_Pos, 0);
  stroke(g, row(2)); // goes to slot 1 and cannot be undone
  EXPECT_EQ(Undo_Pos, 1);
  key(g, Qt::Key_Left);
  EXPECT_EQ(strokes(g, 2), "01");
}

TEST_F(UndoTest, UpAndDownSwitchBetweenCleanScreenAndLastBreak) {
  Kavrel_G *g = open();
  stroke(g, row(1));
  key(g, Qt::Key_Right); // One Drag mode: no break
  key(g, Qt::Key_Up);
  key(g, Qt::Key_Down);
  EXPECT_FALSE(g->Break_Saved());
  EXPECT_EQ(Undo_Pos, 2);
  EXPECT_EQ(strokes(g, 1), "1");
  Unload_Kavrel_G();
  flushDeletes();

  Undo_Mode = 1;
  g = open();
  stroke(g, row(1));
  key(g, Qt::Key_Up); // before any break: nothing
  key(g, Qt::Key_Down);
  EXPECT_EQ(strokes(g, 1), "1");
  key(g, Qt::Key_Right);
  stroke(g, row(2));
  key(g, Qt::Key_Up);
  EXPECT_TRUE(same(g->form(), g->Display()));
  key(g, Qt::Key_Down);
  EXPECT_EQ(strokes(g, 2), "10");
  EXPECT_EQ(shown(g, 70, row(1)), red);
  EXPECT_EQ(Undo_Pos, 2); // the ring is untouched
}

TEST_F(UndoTest, RepeatsAndModifiersRunTheKeyAgainOtherKeysDoNothing) {
  Kavrel_G *g = open();
  for (int i = 1; i <= 3; ++i)
    stroke(g, row(i));
  QKeyEvent rep(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(g->Pic_Color(), &rep);
  QCoreApplication::sendEvent(g->Pic_Color(), &rep);
  EXPECT_EQ(strokes(g, 3), "100");
  key(g, Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(strokes(g, 3), "000");
  stroke(g, row(1));
  const QImage before = g->form().toImage();
  const int pos = Undo_Pos;
  for (Qt::Key k : {Qt::Key_F12, Qt::Key_A, Qt::Key_Return, Qt::Key_Tab, Qt::Key_Backspace})
    key(g, k);
  EXPECT_EQ(g->form().toImage(), before);
  EXPECT_EQ(Undo_Pos, pos);
  EXPECT_EQ(Pen_No, 1);
  EXPECT_EQ(g->focusWidget(), g->Pic_Color());
  key(g, Qt::Key_F4, Qt::AltModifier);
  EXPECT_EQ(Pen_No, 4);
  EXPECT_EQ(g->Pic_Color()->backColor(), Pen_Color[4]);
}

TEST(OverlayKeys, QtKeysBecomeWindowsCodes) {
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_Escape), 27);
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_Space), 32);
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_Down), 40);
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_Delete), 46);
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_F1), 112);
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_F11), 122);
  EXPECT_EQ(Kavrel_G::windowsKeyCode(Qt::Key_F12), 123);
}
