// Extreme screens, through the real platform layer: Qt's offscreen platform is
// given one screen of the wanted size from a config file, in a child run of this
// same program (the platform is chosen once per process).
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "overlay/kavrel_g.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {
const char *ChildVar = "MORVANE_TEST_SCREEN";

// Runs the child test on a screen of w x h; returns its output when it failed.
QString runOnScreen(int w, int h) {
  QTemporaryDir dir;
  const QString cfg = dir.filePath(QStringLiteral("screens.json"));
  QFile f(cfg);
  if (!f.open(QIODevice::WriteOnly))
    return QStringLiteral("cannot write %1").arg(cfg);
  f.write(QStringLiteral(R"({"screens":[{"name":"s","x":0,"y":0,"width":%1,"height":%2,)"
                         R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
              .arg(w)
              .arg(h)
              .toUtf8());
  f.close();
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + cfg);
  env.insert(QLatin1String(ChildVar), QStringLiteral("%1x%2").arg(w).arg(h));
  p.setProcessEnvironment(env);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QCoreApplication::applicationFilePath(),
          {QStringLiteral("--gtest_filter=ScreenChild.OverlayWorks")});
  if (!p.waitForFinished(120000))
    return QStringLiteral("the child did not finish");
  const QString out = QString::fromLocal8Bit(p.readAll());
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 ||
      !out.contains(QLatin1String("[  PASSED  ] 1 test")))
    return QStringLiteral("exit %1\n%2").arg(p.exitCode()).arg(out);
  return {};
}
} // namespace

// The child: open the overlay on whatever screen this process has, draw, board, undo, close.
TEST(ScreenChild, OverlayWorks) {
  const QByteArray want = qgetenv(ChildVar);
  if (want.isEmpty())
    GTEST_SKIP() << "runs only as the child of ScreenSizes";
  const QList<QByteArray> wh = want.split('x');
  const QSize size(wh.value(0).toInt(), wh.value(1).toInt());
  ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().size(), size);
  Pen_No = 1;
  Pen_Color[1] = 0x0000FF;
  Pen_Width[1] = 3;
  Undo_Mode = 0;
  Try_Out = false;
  Show_Kavrel_G();
  Kavrel_G *g = kavrelG();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->form().size(), size);
  EXPECT_EQ(g->Display().size(), size);
  EXPECT_EQ(g->geometry(), QRect(QPoint(0, 0), size));
  const QPoint a(size.width() / 4, size.height() / 2), b(size.width() * 3 / 4, size.height() / 2);
  QTest::mousePress(g, Qt::LeftButton, {}, a);
  QTest::mouseMove(g, b);
  QTest::mouseRelease(g, Qt::LeftButton, {}, b);
  QTest::keyClick(g->Pic_Color(), Qt::Key_F10);
  QTest::mousePress(g->Pic_Muji(), Qt::LeftButton, {}, a);
  QTest::mouseMove(g->Pic_Muji(), b);
  QTest::mouseRelease(g->Pic_Muji(), Qt::LeftButton, {}, b);
  QTest::keyClick(g->Pic_Color(), Qt::Key_F11);
  QTest::keyClick(g->Pic_Color(), Qt::Key_Left);
  QCoreApplication::processEvents();
  QTest::keyClick(g->Pic_Color(), Qt::Key_Space);
  EXPECT_EQ(kavrelG(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ScreenSizes, OnePixelAndEightKScreensDoNotCrash) {
  for (const QSize s : {QSize(1, 1), QSize(7680, 4320)}) {
    const QString err = runOnScreen(s.width(), s.height());
    EXPECT_TRUE(err.isEmpty()) << s.width() << "x" << s.height() << ": " << err.toStdString();
  }
}
