// The plain board: on, off, its pen, its own mouse handling, and what it leaves alone.
#include "overlay_fixture.h"

class BoardTest : public OverlayTest {
protected:
  void SetUp() override {
    OverlayTest::SetUp();
    fp.window = QColor(250, 250, 240); // the window colour, not the capture's white
  }
  const QRgb paper = qRgb(250, 250, 240);
};

TEST_F(BoardTest, F10ShowsABlankBoardUnderTheDotAndF11LeavesTheOverlayAsItWas) {
  Kavrel_G *g = open();
  stroke(g, 50);
  const QImage drawn = g->form().toImage();
  key(g, Qt::Key_F10);
  MujiBoard *b = g->Pic_Muji();
  EXPECT_EQ(g->Muji_Mode(), 1);
  EXPECT_TRUE(b->isVisible());
  EXPECT_EQ(b->geometry(), g->rect());
  EXPECT_EQ(b->cursor().hotSpot(), QPoint(1, 31));
  EXPECT_EQ(g->cursor().hotSpot(), QPoint(12, 1));
  EXPECT_EQ(shown(g, 70, 50), paper);
  EXPECT_EQ(shown(g, 6, 6), red); // the dot stays on top
  drag(b, {QPoint(100, 300), QPoint(200, 300)});
  EXPECT_EQ(at(b->surface, 150, 300), red);
  EXPECT_EQ(shown(g, 150, 300), red);
  EXPECT_EQ(g->form().toImage(), drawn);
  EXPECT_EQ(Undo_Pos, 2); // the board records nothing
  key(g, Qt::Key_F11);
  EXPECT_EQ(g->Muji_Mode(), 0);
  EXPECT_FALSE(b->isVisible());
  EXPECT_EQ(shown(g, 70, 50), red);
  EXPECT_EQ(shown(g, 150, 300), white);
  key(g, Qt::Key_F10);
  EXPECT_EQ(at(b->surface, 150, 300), paper);
  drag(b, {QPoint(100, 300), QPoint(200, 300)});
  key(g, Qt::Key_F10); // again while on: blank again
  EXPECT_EQ(at(b->surface, 150, 300), paper);
}

TEST_F(BoardTest, PenKeysOnTheBoardChangeOnlyTheBoardsPen) {
  Kavrel_G *g = open();
  key(g, Qt::Key_F10);
  key(g, Qt::Key_F5); // white, 6 px
  EXPECT_EQ(g->Pic_Muji()->surface.foreColor(), Pen_Color[5]);
  EXPECT_EQ(g->Pic_Color()->backColor(), Pen_Color[5]);
  EXPECT_EQ(shown(g, 6, 6), white);
  key(g, Qt::Key_F11);
  EXPECT_EQ(g->Pic_Color()->backColor(), Pen_Color[5]); // the dot keeps the board's colour
  stroke(g, 50);
  EXPECT_EQ(at(g->form(), 70, 50), red); // the overlay still draws in pen 1
  key(g, Qt::Key_F1);
  EXPECT_EQ(g->Pic_Color()->backColor(), Pen_Color[1]);
}

TEST_F(BoardTest, HighlighterOnTheBoard) {
  Kavrel_G *g = open();
  key(g, Qt::Key_F10);
  key(g, Qt::Key_F2); // yellow mask pen
  MujiBoard *b = g->Pic_Muji();
  drag(b, {QPoint(100, 100), QPoint(200, 100)});
  EXPECT_EQ(at(b->surface, 150, 100), qRgb(250, 250, 0));
}

TEST_F(BoardTest, OtherButtonsAndDeleteClearOnlyTheBoardAndArrowsDoNothing) {
  Undo_Mode = 1;
  Kavrel_G *g = open();
  stroke(g, 50);
  key(g, Qt::Key_Right);
  const QImage drawn = g->form().toImage();
  key(g, Qt::Key_F10);
  MujiBoard *b = g->Pic_Muji();
  drag(b, {QPoint(100, 300), QPoint(200, 300)});
  QTest::mouseClick(b, Qt::RightButton, {}, QPoint(400, 400));
  EXPECT_EQ(at(b->surface, 150, 300), paper);
  EXPECT_EQ(shown(g, 150, 300), paper);
  drag(b, {QPoint(100, 300), QPoint(200, 300)});
  key(g, Qt::Key_Delete);
  EXPECT_EQ(at(b->surface, 150, 300), paper);
  for (Qt::Key k : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Down, Qt::Key_Right})
    key(g, k);
  EXPECT_EQ(g->form().toImage(), drawn);
  EXPECT_EQ(Undo_Pos, 2);
  EXPECT_TRUE(Undo_Valid[2]);
  EXPECT_TRUE(Undo_Valid[1]);
}
