// Shapes by the modifier held at the press, text at the pointer, and keeping the picture.
#include "overlay_fixture.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTemporaryDir>

#include <vector>

namespace {
struct ShapeCase {
  const char *name;
  Qt::KeyboardModifiers mods;
  bool tab;
  QPoint from, to;
  std::vector<QPoint> on, off; // on the outline; untouched
};

const ShapeCase shapeCases[] = {
    {"line",
     Qt::ShiftModifier,
     false,
     {100, 150},
     {300, 260},
     {{200, 205}, {150, 177}},
     {{200, 170}}},
    {"rectangle",
     Qt::ControlModifier,
     false,
     {100, 150},
     {300, 260},
     {{200, 150}, {300, 205}, {200, 260}, {100, 205}},
     {{200, 205}}},
    {"ellipse",
     {},
     true,
     {100, 150},
     {300, 260},
     {{100, 205}, {300, 205}, {200, 150}, {200, 260}},
     {{200, 205}, {110, 155}}},
    {"arrow",
     Qt::ControlModifier | Qt::ShiftModifier,
     false,
     {100, 170},
     {300, 170},
     {{200, 170}, {292, 165}, {292, 175}},
     {{108, 165}, {108, 175}}},
};
} // namespace

TEST_F(OverlayTest, EachShapeFollowsThePointerWithBothPenKinds) {
  for (const ShapeCase &c : shapeCases) {
    for (Qt::Key pen : {Qt::Key_F1, Qt::Key_F2}) {
      SCOPED_TRACE(std::string(c.name) + (pen == Qt::Key_F1 ? " opaque" : " highlighter"));
      Kavrel_G *g = open();
      key(g, pen);
      // Earlier positions far from the last one: none of them may stay.
      const auto pts = {c.from, QPoint(560, 420), QPoint(450, 30), c.to};
      if (c.tab)
        ellipseDrag(g, g, pts);
      else
        shapeDrag(g, c.mods, pts);
      const QImage shot = g->form().toImage(), clean = g->Display().toImage();
      for (const QPoint &p : c.on) {
        const QRgb under = clean.pixel(p);
        const QRgb want = pen == Qt::Key_F1 ? red : (under & yellow) | 0xFF000000;
        EXPECT_EQ(shot.pixel(p), want) << p.x() << "," << p.y();
      }
      for (const QPoint &p : c.off)
        EXPECT_EQ(shot.pixel(p), clean.pixel(p)) << p.x() << "," << p.y();
      EXPECT_EQ(
          differOutside(shot, clean, QRect(c.from, c.to).normalized().adjusted(-16, -16, 16, 16)),
          0);
      EXPECT_EQ(shown(g, c.on[0].x(), c.on[0].y()), shot.pixel(c.on[0]));
      EXPECT_EQ(Undo_Pos, 2); // one drag, one snapshot
      if (pen == Qt::Key_F2) {
        // Masking is all a highlighter does: each pixel is the capture's or the capture AND yellow.
        int masked = 0;
        for (int y = 0; y < shot.height(); ++y)
          for (int x = 0; x < shot.width(); ++x) {
            const QRgb was = clean.pixel(x, y), now = shot.pixel(x, y);
            masked += now != was;
            ASSERT_TRUE(now == was || now == ((was & yellow) | 0xFF000000)) << x << "," << y;
          }
        EXPECT_GT(masked, 100);
        // The same shape once more darkens nothing further.
        if (c.tab)
          ellipseDrag(g, g, {c.from, c.to});
        else
          shapeDrag(g, c.mods, {c.from, c.to});
        EXPECT_EQ(g->form().toImage(), shot);
      }
      Unload_Kavrel_G();
      flushDeletes();
    }
  }
}

TEST_F(OverlayTest, ShapesOnTheBoardAndAPlainDragStaysFreehand) {
  Kavrel_G *g = open();
  key(g, Qt::Key_F10);
  shapeDrag(g->Pic_Muji(), Qt::ShiftModifier, {QPoint(50, 50), QPoint(400, 400), QPoint(250, 50)});
  const Surface &board = g->Pic_Muji()->surface;
  EXPECT_EQ(at(board, 150, 50), red);
  EXPECT_NE(at(board, 225, 225), red); // the earlier position is gone
  EXPECT_TRUE(same(g->form(), g->Display()));
  key(g, Qt::Key_F11);
  // Without a modifier the drag is the freehand path, corner included.
  drag(g, {QPoint(50, 300), QPoint(150, 400), QPoint(250, 300)});
  EXPECT_EQ(at(g->form(), 150, 400), red);
  EXPECT_NE(at(g->form(), 150, 300), red);
  // Tab pressed, then the focus leaves (Alt+Tab) and takes Tab's release along.
  QTest::keyPress(g->Pic_Color(), Qt::Key_Tab);
  QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QCoreApplication::sendEvent(g->Pic_Color(), &out);
  drag(g, {QPoint(350, 300), QPoint(450, 400), QPoint(550, 300)});
  EXPECT_EQ(at(g->form(), 450, 400), red) << "still an ellipse after the focus left";
}

TEST_F(OverlayTest, AShapeIsOneUndoStepInBothModes) {
  Kavrel_G *g = open();
  stroke(g, 50);
  shapeDrag(g, Qt::ControlModifier, {QPoint(100, 100), QPoint(300, 180)});
  EXPECT_EQ(Undo_Pos, 3);
  key(g, Qt::Key_Left);
  EXPECT_EQ(at(g->form(), 200, 100), white);
  EXPECT_EQ(at(g->form(), 70, 50), red);
  // An undo key during the drag ends the shape first, so it undoes that shape;
  // the release then records nothing more.
  QTest::mousePress(g, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 300));
  QTest::mouseMove(g, QPoint(300, 300));
  key(g, Qt::Key_Left);
  EXPECT_EQ(at(g->form(), 200, 300), white);
  QTest::mouseMove(g, QPoint(300, 350));
  QTest::mouseRelease(g, Qt::LeftButton, {}, QPoint(300, 350));
  EXPECT_EQ(Undo_Pos, 2);
  EXPECT_EQ(at(g->form(), 300, 330), white);
  EXPECT_EQ(at(g->form(), 70, 50), red);
  Unload_Kavrel_G();
  flushDeletes();

  Undo_Mode = 1; // the shape joins the open step
  g = open();
  stroke(g, 50);
  key(g, Qt::Key_Right);
  shapeDrag(g, Qt::ControlModifier | Qt::ShiftModifier, {QPoint(100, 100), QPoint(300, 100)});
  stroke(g, 150);
  EXPECT_EQ(Undo_Pos, 2);
  key(g, Qt::Key_Left);
  EXPECT_EQ(at(g->form(), 200, 100), white);
  EXPECT_EQ(at(g->form(), 70, 150), white);
  EXPECT_EQ(at(g->form(), 70, 50), red);
}

TEST_F(OverlayTest, TextIsTypedAtThePointerAndEscEndsOnlyTheText) {
  fp.cursor = QPoint(100, 60);
  Kavrel_G *g = open();
  const QRect box(90, 50, 300, 120);
  key(g, Qt::Key_T);
  ASSERT_TRUE(g->Typing());
  EXPECT_GT(count(g->form(), box, red), 0); // the caret
  QTest::keyClicks(g->Pic_Color(), "Hi T"); // Space and T type
  key(g, Qt::Key_Return);
  QTest::keyClicks(g->Pic_Color(), "xy");
  key(g, Qt::Key_Backspace);
  EXPECT_EQ(g->textEntry().text(), QStringLiteral("Hi T\nx"));
  key(g, Qt::Key_F2); // the pen changes the text's colour; text is opaque
  EXPECT_EQ(count(g->form(), box, red), 0);
  EXPECT_GT(count(g->form(), box, yellow), 20);
  key(g, Qt::Key_F1);
  key(g, Qt::Key_Escape);
  EXPECT_EQ(kavrelG(), g); // still open
  EXPECT_FALSE(g->Typing());
  EXPECT_EQ(Undo_Pos, 2);
  const int glyphs = count(g->form(), box, red);
  EXPECT_GT(glyphs, 40);
  EXPECT_EQ(differOutside(g->form().toImage(), g->Display().toImage(), box), 0);
  key(g, Qt::Key_Left);
  EXPECT_TRUE(same(g->form(), g->Display()));

  // Japanese through the input method: the preedit shows, the commit stays.
  fp.cursor = QPoint(100, 300);
  const QRect box2(90, 290, 300, 80);
  key(g, Qt::Key_T);
  EXPECT_TRUE(g->Pic_Color()->testAttribute(Qt::WA_InputMethodEnabled));
  QInputMethodEvent pre(QStringLiteral("にほん"), {});
  QCoreApplication::sendEvent(g->Pic_Color(), &pre);
  EXPECT_GT(count(g->form(), box2, red), 40);
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("日本語"));
  QCoreApplication::sendEvent(g->Pic_Color(), &commit);
  EXPECT_EQ(g->textEntry().text(), QStringLiteral("日本語"));
  QInputMethodQueryEvent q(Qt::ImCursorRectangle);
  QCoreApplication::sendEvent(g->Pic_Color(), &q);
  EXPECT_GT(q.value(Qt::ImCursorRectangle).toRectF().left(), 110);
  QTest::mouseClick(g, Qt::LeftButton, {}, QPoint(500, 450)); // ends the text, draws nothing
  EXPECT_FALSE(g->Typing());
  EXPECT_FALSE(g->Pic_Color()->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_GT(count(g->form(), box2, red), 40);
  EXPECT_EQ(Undo_Pos, 2);

  // An empty text leaves nothing, not even a step.
  const QImage before = g->form().toImage();
  key(g, Qt::Key_T);
  key(g, Qt::Key_Escape);
  EXPECT_EQ(g->form().toImage(), before);
  EXPECT_EQ(Undo_Pos, 2);
}

class ExportTest : public OverlayTest {
protected:
  void SetUp() override {
    OverlayTest::SetUp();
    ASSERT_TRUE(home.isValid());
    oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
  }
  void TearDown() override {
    qputenv("HOME", oldHome);
    qunsetenv("XDG_CONFIG_HOME");
    OverlayTest::TearDown();
  }
  QTemporaryDir home;
  QByteArray oldHome;
};

TEST_F(ExportTest, CopyAndSaveGiveThePictureAndSayWhatHappened) {
  Kavrel_G *g = open();
  shapeDrag(g, Qt::ControlModifier, {QPoint(100, 100), QPoint(300, 180)});
  const QImage picture = g->form().toImage();
  key(g, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), picture);
  EXPECT_TRUE(g->notice().visible());

  key(g, Qt::Key_S, Qt::ControlModifier);
  const QDir folder(home.filePath("Pictures/Morvane"));
  const QStringList files = folder.entryList({"*.png"}, QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_EQ(QImage(folder.filePath(files[0])).convertToFormat(QImage::Format_RGB32), picture);
  EXPECT_TRUE(g->notice().text().contains(files[0]));
  EXPECT_EQ(g->form().toImage(), picture); // the notice is not in the picture
  key(g, Qt::Key_S, Qt::ControlModifier);  // a second save in the same second keeps both
  EXPECT_EQ(folder.entryList({"*.png"}, QDir::Files).size(), 2);

  // On the board, the board is the picture.
  key(g, Qt::Key_F10);
  drag(g->Pic_Muji(), {QPoint(10, 400), QPoint(200, 400)});
  key(g, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
            g->Pic_Muji()->surface.toImage());
}

TEST_F(ExportTest, ASaveThatCannotBeWrittenSaysSoAndLeavesNothing) {
  // A file where the folder should be: the write fails even for root.
  QFile blocker(home.filePath("Pictures"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  Kavrel_G *g = open();
  key(g, Qt::Key_S, Qt::ControlModifier);
  EXPECT_TRUE(g->notice().text().contains(QStringLiteral("保存できませんでした")));
  EXPECT_EQ(QFileInfo(home.filePath("Pictures")).size(), 0);
  EXPECT_EQ(kavrelG(), g);
  // A failed write of a file leaves no part of it.
  const auto r = exporting::savePng(g->form().toImage(), home.filePath("Pictures/x.png"));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 1);
}
