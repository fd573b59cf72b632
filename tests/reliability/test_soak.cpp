// Many openings of the overlay in one process: every cycle of open, draw, undo,
// board and close must give back all it took. Under LeakSanitizer a leak fails
// the run at exit; here the live QObjects and windows are counted directly.
#include "core/default_pens.h"
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "overlay/kavrel_g.h"
#include "resident/kavrel_s.h"
#include "support/fake_platform.h"

#include <QApplication>
#include <QTest>

#include <atomic>

#include <gtest/gtest.h>

// Qt's tool hooks (what object inspectors use): called from every QObject's
// constructor and destructor once set.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace {
constexpr int AddQObjectHook = 3;
constexpr int RemoveQObjectHook = 4;
std::atomic<long> liveObjects{0};

// Counts QObjects created and destroyed while it exists.
class ObjectCounter {
public:
  ObjectCounter() {
    savedAdd_ = qtHookData[AddQObjectHook];
    savedRemove_ = qtHookData[RemoveQObjectHook];
    qtHookData[AddQObjectHook] = reinterpret_cast<quintptr>(&added);
    qtHookData[RemoveQObjectHook] = reinterpret_cast<quintptr>(&removed);
  }
  ~ObjectCounter() {
    qtHookData[AddQObjectHook] = savedAdd_;
    qtHookData[RemoveQObjectHook] = savedRemove_;
  }
  long live() const { return liveObjects.load(); }

private:
  static void added(QObject *) { ++liveObjects; }
  static void removed(QObject *) { --liveObjects; }
  quintptr savedAdd_, savedRemove_;
};

struct Census {
  long objects;
  int widgets;
  int topLevels;
};

class Soak : public ::testing::Test {
protected:
  void SetUp() override {
    fp.screen = QSize(320, 240);
    setFactoryPens();
    Pen_No = 1;
    Undo_Mode = 0;
    Try_Out = false;
    s = Load_Kavrel_S();
  }
  void TearDown() override {
    Unload_Kavrel_G();
    flush();
    if (kavrelS())
      Unload_Kavrel_S();
  }

  static void flush() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  static void drag(QWidget *w, QPoint from, QPoint to) {
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QTest::mouseMove(w, (from + to) / 2);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
  }

  // One user session: tray press, two strokes, undo, board with a stroke, back, Space.
  void cycle(int i) {
    fp.tray()->send(TrayMsg::LButtonDown);
    Kavrel_G *g = kavrelG();
    ASSERT_NE(g, nullptr) << "cycle " << i;
    ASSERT_TRUE(g->isVisible());
    ASSERT_FALSE(fp.tray()->added);
    const int y = 20 + i % 200;
    drag(g, QPoint(30, y), QPoint(200, y));
    drag(g, QPoint(40, y + 5), QPoint(60, y + 30));
    QTest::keyClick(g->Pic_Color(), Qt::Key_Left);
    QTest::keyClick(g->Pic_Color(), Qt::Key_F10);
    ASSERT_TRUE(g->Pic_Muji()->isVisible());
    drag(g->Pic_Muji(), QPoint(100, y), QPoint(150, y + 10));
    QTest::keyClick(g->Pic_Color(), Qt::Key_F11);
    ASSERT_FALSE(g->Pic_Muji()->isVisible());
    QTest::keyClick(g->Pic_Color(), Qt::Key_Space);
    ASSERT_EQ(kavrelG(), nullptr);
    ASSERT_TRUE(fp.tray()->added);
    flush();
  }

  static Census census(const ObjectCounter &c) {
    return {c.live(), int(QApplication::allWidgets().size()),
            int(QApplication::topLevelWidgets().size())};
  }

  FakePlatform fp;
  Kavrel_S *s = nullptr;
};
} // namespace

TEST_F(Soak, ThreeHundredOverlayCyclesGiveBackEverything) {
  // The offscreen platform complains at every raise(); 300 cycles of that is only noise.
  static QtMessageHandler previous = nullptr;
  previous = qInstallMessageHandler([](QtMsgType t, const QMessageLogContext &c, const QString &m) {
    if (!m.contains(QLatin1String("does not support raise")))
      previous(t, c, m);
  });
  ObjectCounter counter;
  // The first cycles create what Qt keeps for the life of the program (styles, caches).
  for (int i = 0; i < 10; ++i)
    ASSERT_NO_FATAL_FAILURE(cycle(i));
  const Census before = census(counter);
  // The counter sees the overlay's objects come and go.
  fp.tray()->send(TrayMsg::LButtonDown);
  EXPECT_GT(counter.live(), before.objects + 2);
  QTest::keyClick(kavrelG()->Pic_Color(), Qt::Key_Space);
  flush();
  EXPECT_EQ(counter.live(), before.objects);
  for (int i = 10; i < 300; ++i)
    ASSERT_NO_FATAL_FAILURE(cycle(i));
  const Census after = census(counter);
  EXPECT_EQ(after.objects, before.objects) << "live QObjects grew";
  EXPECT_EQ(after.widgets, before.widgets) << "widgets grew";
  EXPECT_EQ(after.topLevels, before.topLevels) << "top-level windows grew";
  // Nothing of the overlay survives its closing.
  for (QWidget *w : QApplication::allWidgets())
    EXPECT_EQ(qobject_cast<Kavrel_G *>(w->window()), nullptr) << w->objectName().toStdString();
  qInstallMessageHandler(previous);
}
