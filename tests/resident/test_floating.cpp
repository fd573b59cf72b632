// The floating desktop icon and its menu: shape, dragging and clamping, the
// mouse while the settings dialog is open, the slides to and from the tray.

#include "core/forms.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "overlay/kavrel_g.h"
#include "resident/kavrel_m.h"
#include "resident/kavrel_s.h"
#include "resident/kavrel_t.h"
#include "resources/captions.h"
#include "resources/resources.h"
#include "support/fake_platform.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class Floating : public ::testing::Test {
protected:
  void SetUp() override {
    Try_Out = false;
    Icon_Enabled = false;
    Form_Left = 6000.0f; // 400 px
    Form_Top = 3000.0f;  // 200 px
    Tray_X = 1024.0f - 69;
    Tray_Y = 768.0f - 24;
    Load_Kavrel_S();
    Try_Out = true;
    fake.tray()->remove();
  }
  void TearDown() override {
    Unload_Kavrel_M();
    Unload_Kavrel_T();
    Unload_Kavrel_G();
    Unload_Kavrel_S();
    flushDeletes();
  }

  Kavrel_T *showIcon() {
    Show_Kavrel_T();
    Kavrel_T *t = kavrelT();
    t->popupMenu = [this](QMenu *m) {
      ++popups;
      lastPopup = m;
      if (!chooseItem.isEmpty())
        m->findChild<QAction *>(chooseItem)->trigger();
    };
    return t;
  }

  // Mouse events on the face with explicit screen positions, as the window moves under them.
  static void send(Kavrel_T *t, QEvent::Type type, Qt::MouseButton button, QPoint global,
                   Qt::MouseButtons held) {
    QWidget *face = t->Pic_B();
    const QPointF local = face->mapFromGlobal(QPointF(global));
    QMouseEvent e(type, local, QPointF(global), button, held, Qt::NoModifier);
    QApplication::sendEvent(face, &e);
  }
  static QPoint centre(Kavrel_T *t) { return t->geometry().center(); }
  static void drag(Kavrel_T *t, QPoint by) {
    const QPoint from = centre(t);
    send(t, QEvent::MouseButtonPress, Qt::LeftButton, from, Qt::LeftButton);
    send(t, QEvent::MouseMove, Qt::NoButton, from + by / 2, Qt::LeftButton);
    send(t, QEvent::MouseMove, Qt::NoButton, from + by, Qt::LeftButton);
    send(t, QEvent::MouseButtonRelease, Qt::LeftButton, from + by, Qt::NoButton);
  }

  FakePlatform fake;
  int popups = 0;
  QMenu *lastPopup = nullptr;
  QString chooseItem;
};

} // namespace

TEST_F(Floating, LoadsRoundAtStoredPlaceWithCrispFace) {
  Kavrel_T *t = showIcon();
  EXPECT_EQ(t->geometry(), QRect(400, 200, 22, 22));
  EXPECT_FLOAT_EQ(t->Width(), 323.0f);
  EXPECT_FLOAT_EQ(t->Height(), 323.0f);
  EXPECT_EQ(t->Pic_B()->geometry(), QRect(0, 0, 21, 21));

  // Round: every row is centred, corners are cut, the middle row is full.
  const QRegion mask = t->mask();
  EXPECT_FALSE(mask.contains(QPoint(0, 0)));
  EXPECT_FALSE(mask.contains(QPoint(21, 21)));
  EXPECT_TRUE(mask.contains(QPoint(0, 11)));
  EXPECT_TRUE(mask.contains(QPoint(21, 11)));
  EXPECT_TRUE(mask.contains(QPoint(11, 0)));
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 22; ++x) {
      EXPECT_EQ(mask.contains(QPoint(x, y)), mask.contains(QPoint(21 - x, y))) << x << "," << y;
      EXPECT_EQ(mask.contains(QPoint(x, y)), mask.contains(QPoint(x, 21 - y))) << x << "," << y;
    }

  // Shrunk without blending: only colours of the program icon and the face.
  QSet<QRgb> palette{0xFFC0C0C0};
  const QImage org = t->Pic_Org();
  for (int y = 0; y < org.height(); ++y)
    for (int x = 0; x < org.width(); ++x)
      palette.insert(org.pixel(x, y));
  const QImage face = t->Pic_B()->Image;
  ASSERT_EQ(face.size(), QSize(21, 21));
  int handPixels = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x) {
      EXPECT_TRUE(palette.contains(face.pixel(x, y))) << x << "," << y;
      handPixels += face.pixel(x, y) != 0xFFC0C0C0;
    }
  EXPECT_GT(handPixels, 50);

  // The strip the face leaves free shows the dark-grey form.
  const QImage shot = t->grab().toImage();
  EXPECT_EQ(shot.pixel(21, 11) & 0xFFFFFF, 0x808080u);
}

TEST_F(Floating, GrowsWithAScaledDesktopRoundWithItsWholeFace) {
  fake.setRatio(1.5); // 144 dpi
  Kavrel_T *t = showIcon();
  EXPECT_EQ(t->pixelRect(), QRect(600, 300, 33, 33));
  EXPECT_EQ(t->geometry(), QRect(400, 200, 22, 22));
  EXPECT_FLOAT_EQ(t->Width(), 323.0f);
  EXPECT_FLOAT_EQ(t->Left(), 6000.0f);
  // The round outline fills the window, the face is painted in device pixels,
  // and the hand reaches as far into it as at 96 dpi, scaled.
  EXPECT_EQ(t->mask().boundingRect(), QRect(0, 0, 22, 22));
  EXPECT_EQ(t->Pic_B()->geometry(), QRect(0, 0, 21, 21));
  const QImage face = t->Pic_B()->Image;
  ASSERT_EQ(face.size(), QSize(32, 32));
  EXPECT_DOUBLE_EQ(face.devicePixelRatio(), 1.5);
  int right = 0;
  for (int y = 0; y < face.height(); ++y)
    for (int x = 0; x < face.width(); ++x)
      if (face.pixel(x, y) != 0xFFC0C0C0)
        right = std::max(right, x);
  EXPECT_GE(right, 26); // 18 at 96 dpi
}

TEST_F(Floating, LivesOnAnyMonitorWhollyOnOneAndComesBackWhenItGoes) {
  Icon_Enabled = true;
  // The primary on the right of another monitor; the icon stored on the left one.
  fake.origin = QPoint(1024, 0);
  fake.others = {QRect(0, 0, 1024, 768)};
  Kavrel_T *t = showIcon();
  EXPECT_EQ(t->pos(), QPoint(400, 200));
  // Dropped across the edge: kept wholly on the monitor holding most of it.
  drag(t, {610, 0});
  EXPECT_EQ(t->pos(), QPoint(1002, 200));
  drag(t, {13, 0});
  EXPECT_EQ(t->pos(), QPoint(1024, 200));
  EXPECT_FLOAT_EQ(*Form_Left, 1024.0f * 15);
  drag(t, {-624, 0});
  EXPECT_EQ(t->pos(), QPoint(400, 200));

  // A double-click draws on the icon's monitor.
  const QPoint at = centre(t);
  fake.cursor = at;
  send(t, QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
  send(t, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  send(t, QEvent::MouseButtonDblClick, Qt::LeftButton, at, Qt::LeftButton);
  ASSERT_NE(kavrelG(), nullptr);
  EXPECT_EQ(kavrelG()->monitor(), QRect(0, 0, 1024, 768));
  EXPECT_EQ(fake.captured, QRect(0, 0, 1024, 768));
  Unload_Kavrel_G();
  flushDeletes();

  // The left monitor unplugged: the icon comes onto the primary, and is stored there.
  t = showIcon();
  EXPECT_EQ(t->pos(), QPoint(400, 200));
  fake.others.clear();
  fake.changeMonitors();
  EXPECT_EQ(t->pos(), QPoint(1024, 200));
  EXPECT_FLOAT_EQ(*Form_Left, 1024.0f * 15);
  EXPECT_FLOAT_EQ(*Form_Top, 3000.0f);
  // An icon stored on a monitor that is gone loads onto the primary.
  Unload_Kavrel_T();
  Form_Left = 6000.0f;
  EXPECT_EQ(showIcon()->pos(), QPoint(1024, 200));
}

TEST_F(Floating, TopmostFromTheFirstTickOnly) {
  Kavrel_T *t = showIcon();
  EXPECT_TRUE(fake.topMostCalls.empty());
  EXPECT_EQ(t->Timer1()->interval(), 100);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.topMostCalls.empty(); }, 3000));
  EXPECT_EQ(fake.topMostCalls.front(), std::make_pair(static_cast<QWidget *>(t), true));
  EXPECT_FALSE(t->testAttribute(Qt::WA_WState_Hidden));
  EXPECT_TRUE(t->windowFlags() & Qt::WindowDoesNotAcceptFocus);
}

TEST_F(Floating, DragStoresPositionAndKeepsIconOnScreen) {
  Icon_Enabled = true;
  Kavrel_T *t = showIcon();

  drag(t, {100, 50});
  EXPECT_EQ(t->pos(), QPoint(500, 250));
  EXPECT_FLOAT_EQ(*Form_Left, 7500.0f);
  EXPECT_FLOAT_EQ(*Form_Top, 3750.0f);

  drag(t, {0, -400}); // above the top edge
  EXPECT_EQ(t->pos(), QPoint(500, 0));
  EXPECT_FLOAT_EQ(*Form_Top, 0.0f);

  drag(t, {-700, 0}); // left of the left edge
  EXPECT_EQ(t->pos(), QPoint(0, 0));
  EXPECT_FLOAT_EQ(*Form_Left, 0.0f);

  drag(t, {0, 900}); // past the bottom edge: flush against it
  EXPECT_EQ(t->y() + t->height(), 768);
  EXPECT_FLOAT_EQ(*Form_Top, float(t->y() * 15));

  drag(t, {1200, 0}); // past the right edge: flush against it
  EXPECT_EQ(t->x() + t->width(), 1024);
  EXPECT_FLOAT_EQ(*Form_Left, float(t->x() * 15));

  // Both edges at once, past the corner.
  drag(t, {-2000, -2000});
  EXPECT_EQ(t->pos(), QPoint(0, 0));
}

TEST_F(Floating, WindowManagerMoveStartsPastDragDistanceAndEndsWithoutRelease) {
  Icon_Enabled = true;
  fake.windowManagerMoves = true;
  Kavrel_T *t = showIcon();
  const QPoint at = centre(t);
  const int near = QApplication::startDragDistance() - 1;
  send(t, QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
  send(t, QEvent::MouseMove, Qt::NoButton, at + QPoint(near, 0), Qt::LeftButton);
  EXPECT_EQ(fake.systemMoves, 0);
  send(t, QEvent::MouseMove, Qt::NoButton, at + QPoint(30, 0), Qt::LeftButton);
  EXPECT_EQ(fake.systemMoves, 1);

  // The window manager drops the icon past the right edge and keeps the release.
  t->move(1010, -5);
  fake.buttonsHeld = Qt::LeftButton;
  t->Timer1_Timer();
  EXPECT_FLOAT_EQ(*Form_Left, 6000.0f); // still moving
  fake.buttonsHeld = Qt::NoButton;
  t->Timer1_Timer();
  EXPECT_EQ(t->pos(), QPoint(1002, 0));
  EXPECT_FLOAT_EQ(*Form_Left, 1002.0f * 15);
  EXPECT_FLOAT_EQ(*Form_Top, 0.0f);
}

TEST_F(Floating, ClickWithoutMovingStoresUnchangedPosition) {
  Icon_Enabled = true;
  Form_Left = 6007.0f; // stored twips between two pixels
  Kavrel_T *t = showIcon();
  const QPoint before = t->pos();
  drag(t, {0, 0});
  EXPECT_EQ(t->pos(), before);
  EXPECT_FLOAT_EQ(*Form_Left, 6000.0f); // the window's own whole-pixel position
  EXPECT_FLOAT_EQ(*Form_Top, 3000.0f);
}

TEST_F(Floating, SettingsDialogOpenMeansMouseIsIgnored) {
  Icon_Enabled = false;
  Form_Left = 6007.0f;
  Kavrel_T *t = showIcon();
  const QPoint at = centre(t);

  drag(t, {120, 80});
  EXPECT_EQ(t->pos(), QPoint(400, 200));
  EXPECT_FLOAT_EQ(*Form_Left, 6007.0f); // nothing stored either

  send(t, QEvent::MouseButtonPress, Qt::RightButton, at, Qt::RightButton);
  send(t, QEvent::MouseButtonRelease, Qt::RightButton, at, Qt::NoButton);
  EXPECT_EQ(popups, 0);
  EXPECT_EQ(kavrelM(), nullptr);

  send(t, QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
  send(t, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  send(t, QEvent::MouseButtonDblClick, Qt::LeftButton, at, Qt::LeftButton);
  send(t, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  EXPECT_EQ(kavrelT(), t);
  EXPECT_TRUE(t->isVisible());
  EXPECT_EQ(kavrelG(), nullptr);
}

TEST_F(Floating, MenuOpensOnRightReleaseOnly) {
  Icon_Enabled = true;
  Kavrel_T *t = showIcon();
  const QPoint at = centre(t);

  send(t, QEvent::MouseButtonPress, Qt::RightButton, at, Qt::RightButton);
  EXPECT_EQ(popups, 0);
  send(t, QEvent::MouseButtonPress, Qt::MiddleButton, at, Qt::MiddleButton);
  send(t, QEvent::MouseButtonRelease, Qt::MiddleButton, at, Qt::NoButton);
  EXPECT_EQ(popups, 0);
  EXPECT_EQ(t->pos(), QPoint(400, 200));

  send(t, QEvent::MouseButtonRelease, Qt::RightButton, at, Qt::NoButton);
  ASSERT_EQ(popups, 1);
  Kavrel_M *m = kavrelM();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(lastPopup, m->m_Popup());
  EXPECT_FALSE(m->isVisible());
  EXPECT_EQ(m->pos(), QPoint(1024, 768));

  QStringList captions;
  for (QAction *a : m->m_Popup()->actions())
    captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(captions, (QStringList{"Morvane...", "-", "設定変更...", "-", "ﾍﾙﾌﾟ...", "-",
                                   "ｱｲｺﾝをﾀｽｸﾄﾚｲに", "-", "終了"}));

  // Stays loaded across later right-clicks.
  send(t, QEvent::MouseButtonRelease, Qt::RightButton, at, Qt::NoButton);
  EXPECT_EQ(popups, 2);
  EXPECT_EQ(kavrelM(), m);
}

TEST_F(Floating, DoubleClickStoresThenStartsDrawing) {
  Icon_Enabled = true;
  Form_Left = 6007.0f;
  fake.windowManagerMoves = true;
  QPointer<Kavrel_T> t = showIcon();
  const QPoint at = centre(t);
  send(t, QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
  send(t, QEvent::MouseMove, Qt::NoButton, at + QPoint(1, 1), Qt::LeftButton); // a hand's jitter
  send(t, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  send(t, QEvent::MouseButtonDblClick, Qt::LeftButton, at, Qt::LeftButton);
  // The pointer never went to the window manager, which would keep the second click.
  EXPECT_EQ(fake.systemMoves, 0);
  EXPECT_FLOAT_EQ(*Form_Left, 6000.0f); // the first press ran the drag routine
  EXPECT_EQ(kavrelT(), nullptr);
  EXPECT_NE(kavrelG(), nullptr);
  EXPECT_TRUE(Try_Out);
  // The release of the double-click still reaches the unloading window safely.
  send(t, QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  flushDeletes();
  EXPECT_TRUE(t.isNull());

  // Drawing ends: the icon comes back where it was left.
  Unload_Kavrel_G();
  Show_Kavrel_T();
  EXPECT_EQ(kavrelT()->pos(), QPoint(400, 200));
}

TEST_F(Floating, ReturnToTraySlidesTowardsTrayPoint) {
  Icon_Enabled = true;
  QPointer<Kavrel_T> t = showIcon();
  chooseItem = QStringLiteral("m_In");
  send(t, QEvent::MouseButtonRelease, Qt::RightButton, centre(t), Qt::NoButton);

  EXPECT_FALSE(Try_Out);
  EXPECT_TRUE(fake.tray()->added);
  EXPECT_FLOAT_EQ(*Form_Left, 6000.0f);
  EXPECT_FLOAT_EQ(*Form_Top, 3000.0f);
  EXPECT_EQ(kavrelT(), nullptr);
  EXPECT_EQ(kavrelM(), nullptr);
  // 99 steps of a hundredth, each whole pixels: (14325 - 6000) / 100 twips = 5.55 px -> 6 px,
  // (11160 - 3000) / 100 twips = 5.44 px -> 5 px.
  ASSERT_FALSE(t.isNull());
  EXPECT_EQ(t->pos(), QPoint(400 + 99 * 6, 200 + 99 * 5));
  EXPECT_FALSE(t->isVisible());
  flushDeletes();
  EXPECT_TRUE(t.isNull());
}

TEST_F(Floating, ReturnToTrayFromTrayPointOrBeyond) {
  Icon_Enabled = true;
  Form_Left = 955.0f * 15;
  Form_Top = 744.0f * 15;
  QPointer<Kavrel_T> t = showIcon();
  Load_Kavrel_M()->m_In_Click();
  EXPECT_EQ(t->pos(), QPoint(955, 744)); // no distance, no move
  Unload_Kavrel_T();
  flushDeletes();

  // Right of and below the point: the steps are negative.
  Tray_X = 100;
  Tray_Y = 100;
  Try_Out = true;
  t = showIcon();
  Load_Kavrel_M()->m_In_Click();
  EXPECT_EQ(t->pos(), QPoint(955 - 99 * 9, 744 - 99 * 6));
}

TEST_F(Floating, SwitchToTrayAndBackReturnsToPlaceBeforeSlide) {
  Icon_Enabled = true;
  Kavrel_T *t = showIcon();
  drag(t, {-150, 90});
  const QPoint dragged = t->pos();
  Load_Kavrel_M()->m_In_Click();
  flushDeletes();
  EXPECT_FALSE(Try_Out);
  EXPECT_TRUE(fake.tray()->added);

  std::vector<QPoint> slide;
  fake.onWindowMoveShown = [&] { slide.push_back(kavrelT()->pos()); };
  kavrelS()->m_Out_Click();
  fake.onWindowMoveShown = nullptr;
  // 99 steps out of the tray point (955, 744) towards (250, 290): (14325 - 3750) / 100
  // twips = 7.05 px -> 7 px, (11160 - 4350) / 100 twips = 4.54 px -> 5 px each.
  ASSERT_EQ(slide.size(), 99u);
  EXPECT_EQ(slide.front(), QPoint(955 - 7, 744 - 5));
  EXPECT_EQ(slide.back(), QPoint(955 - 99 * 7, 744 - 99 * 5));
  EXPECT_TRUE(Try_Out);
  EXPECT_FALSE(fake.tray()->added);
  ASSERT_NE(kavrelT(), nullptr);
  EXPECT_EQ(kavrelT()->pos(), dragged);
  EXPECT_TRUE(kavrelT()->isVisible());
}

TEST_F(Floating, PositionFromALargerScreenIsBroughtBack) {
  Form_Left = 30000.0f; // wholly right of a 1024-pixel screen
  Form_Top = -5000.0f;
  Kavrel_T *t = showIcon();
  EXPECT_EQ(t->pos(), QPoint(1002, 0));
  EXPECT_FLOAT_EQ(*Form_Left, 1002.0f * 15);
  EXPECT_FLOAT_EQ(*Form_Top, 0.0f);
  Unload_Kavrel_T();

  Form_Left = 5000.0f;
  Form_Top = 13000.0f; // wholly below
  t = showIcon();
  EXPECT_EQ(t->pos(), QPoint(333, 746));
  Unload_Kavrel_T();

  // Partly visible positions are kept exactly, in the file as well.
  Form_Left = 15200.0f;
  Form_Top = -200.0f;
  t = showIcon();
  EXPECT_EQ(t->pos(), QPoint(1013, -13));
  EXPECT_FLOAT_EQ(*Form_Left, 15200.0f);
  EXPECT_FLOAT_EQ(*Form_Top, -200.0f);

  // The switch out of the tray then ends on screen too.
  Unload_Kavrel_T();
  Form_Left = -9000.0f;
  Try_Out = false;
  kavrelS()->m_Out_Click();
  EXPECT_EQ(kavrelT()->pos(), QPoint(0, 0));
}

TEST_F(Floating, MenuCommandsUnloadBothWindows) {
  Icon_Enabled = true;
  QPointer<Kavrel_T> t = showIcon();
  chooseItem = QStringLiteral("m_FreeHand");
  send(t, QEvent::MouseButtonRelease, Qt::RightButton, centre(t), Qt::NoButton);
  EXPECT_EQ(kavrelT(), nullptr);
  EXPECT_EQ(kavrelM(), nullptr);
  EXPECT_NE(kavrelG(), nullptr);
  EXPECT_TRUE(Try_Out); // drawing ends back in floating mode
  flushDeletes();
  EXPECT_TRUE(t.isNull());
  Unload_Kavrel_G();

  t = showIcon();
  chooseItem = QStringLiteral("m_Help");
  send(t, QEvent::MouseButtonRelease, Qt::RightButton, centre(t), Qt::NoButton);
  ASSERT_EQ(fake.helpOpened.size(), 1);
  EXPECT_TRUE(fake.helpOpened.front().endsWith("/Morvane.html"));
  EXPECT_NE(kavrelM(), nullptr);
  EXPECT_EQ(kavrelT(), t);
}

TEST_F(Floating, ExitWritesFloatingStateAndPosition) {
  Icon_Enabled = true;
  Kavrel_T *t = showIcon();
  drag(t, {30, 40});
  EXPECT_THROW(Load_Kavrel_M()->m_Exit_Click(), ProcessEnded);
  EXPECT_EQ(kavrelT(), nullptr);
  EXPECT_EQ(kavrelM(), nullptr);
  EXPECT_EQ(kavrelS(), nullptr);
  const QString file = iniPath();
  EXPECT_EQ(Ini_Read("Section", "Try_Out", file), QStringLiteral("True"));
  EXPECT_EQ(Ini_Read("Section", "Form_Left", file), QStringLiteral("6450"));
  EXPECT_EQ(Ini_Read("Section", "Form_Top", file), QStringLiteral("3600"));
}
