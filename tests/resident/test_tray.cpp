// The hidden main window: tray icon life, the mouse mapping, the menu and shutdown.
#include "core/app.h"
#include "core/forms.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "core/settings.h"
#include "platform/session.h"
#include "resident/kavrel_s.h"
#include "support/fake_platform.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>

#include <gtest/gtest.h>

namespace {
QByteArray readIni() {
  QFile f(iniPath());
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Tray : public ::testing::Test {
protected:
  FakePlatform fake;
  Kavrel_S *s = nullptr;
  int popups = 0;
  void SetUp() override {
    Try_Out = false;
    Form_Left.reset();
    Form_Top.reset();
    Load_Settings();
    s = Load_Kavrel_S();
    s->popupMenu = [this](QMenu *) { ++popups; };
  }
  void TearDown() override {
    Unload_Kavrel_G();
    Unload_Kavrel_T();
    if (kavrelS())
      Unload_Kavrel_S();
  }
};
} // namespace

TEST_F(Tray, LoadRegistersTheIconWithItsTip) {
  ASSERT_NE(fake.tray(), nullptr);
  EXPECT_TRUE(fake.tray()->added);
  EXPECT_EQ(fake.tray()->tip, "Morvane");
  EXPECT_TRUE(Icon_Enabled);
  EXPECT_FALSE(s->isVisible());
}

TEST_F(Tray, LeftPressStartsDrawingAndOtherMessagesDoNothing) {
  for (int code : {TrayMsg::MouseMove, TrayMsg::LButtonUp, TrayMsg::RButtonDown,
                   TrayMsg::LButtonDblClk, TrayMsg::MButtonDown, TrayMsg::MButtonUp})
    fake.tray()->send(code);
  EXPECT_TRUE(fake.tray()->added);
  EXPECT_EQ(popups, 0);
  EXPECT_EQ(kavrelG(), nullptr);

  fake.tray()->send(TrayMsg::LButtonDown);
  EXPECT_FALSE(fake.tray()->added);
  EXPECT_NE(kavrelG(), nullptr);
}

TEST_F(Tray, RightReleaseOpensTheMenu) {
  fake.tray()->send(TrayMsg::RButtonDown);
  EXPECT_EQ(popups, 0);
  fake.tray()->send(TrayMsg::RButtonUp);
  EXPECT_EQ(popups, 1);
}

TEST_F(Tray, DisabledIconIgnoresTheMouse) {
  Icon_Enabled = false;
  fake.tray()->send(TrayMsg::LButtonDown);
  fake.tray()->send(TrayMsg::RButtonUp);
  EXPECT_TRUE(fake.tray()->added);
  EXPECT_EQ(popups, 0);
  EXPECT_EQ(kavrelG(), nullptr);
  // The menu's own command does not look at Icon_Enabled.
  s->m_FreeHand_Click();
  EXPECT_FALSE(fake.tray()->added);
  EXPECT_NE(kavrelG(), nullptr);
}

TEST_F(Tray, MenuItemsAndCaptions) {
  QStringList seen;
  for (QAction *a : s->m_Popup()->actions())
    seen << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(seen, QStringList({"Morvane...", "-", "設定変更...", "-", "ﾍﾙﾌﾟ...", "-",
                               "ｱｲｺﾝをﾀｽｸﾄﾚｲの外に", "-", "終了"}));
  for (QAction *a : s->m_Popup()->actions()) {
    EXPECT_TRUE(a->isEnabled());
    EXPECT_FALSE(a->isChecked());
  }
}

TEST_F(Tray, HelpOpensThePageBesideTheProgramOrSaysWhereItLooked) {
  s->m_Help_Click();
  ASSERT_EQ(fake.helpOpened.size(), 1);
  EXPECT_EQ(fake.helpOpened[0], fake.dir + "/Morvane.html");
  EXPECT_TRUE(fake.notices.isEmpty());
  fake.helpResult = false;
  s->m_Help_Click();
  ASSERT_EQ(fake.notices.size(), 1);
  EXPECT_EQ(fake.notices[0], "ヘルプファイルが見つかりません。\n" + fake.dir + "/Morvane.html");
  // The page is there but nothing would open it: that is what the user is told.
  QFile page(fake.dir + "/Morvane.html");
  ASSERT_TRUE(page.open(QIODevice::WriteOnly));
  page.close();
  s->m_Help_Click();
  ASSERT_EQ(fake.notices.size(), 2);
  EXPECT_EQ(fake.notices[1], "ヘルプを開くプログラムがありません。\n" + fake.dir + "/Morvane.html");
}

TEST_F(Tray, ExitWritesTheThreeKeysInOrderAndEnds) {
  QPointer<FakeTrayIcon> tray = fake.tray();
  ASSERT_TRUE(tray->added);
  const int removes = fake.trayRemoves;
  EXPECT_THROW(s->m_Exit_Click(), ProcessEnded);
  EXPECT_EQ(kavrelS(), nullptr);
  // Removed before the window went, and gone with it.
  EXPECT_TRUE(tray.isNull());
  EXPECT_EQ(fake.trayRemoves, removes + 1);
  EXPECT_EQ(readIni(), "[Section]\nForm_Left=14837\nForm_Top=200\nTry_Out=False\n");
}

TEST_F(Tray, SessionCheckpointChangesNothingItsEndEndsTheProgram) {
  int ends = 0;
  session::onEndOfSession([&] { ++ends; });
  // A checkpoint reaches the program only through these two signals: nothing listens.
  EXPECT_FALSE(QObject::disconnect(qGuiApp, &QGuiApplication::commitDataRequest, nullptr, nullptr));
  EXPECT_FALSE(QObject::disconnect(qGuiApp, &QGuiApplication::saveStateRequest, nullptr, nullptr));
  // The session manager's Die arrives as a quit request, taken before Qt closes windows.
  QEvent quit(QEvent::Quit);
  EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &quit));
  session::onEndOfSession(nullptr);
  EXPECT_EQ(ends, 1);
}

TEST_F(Tray, PositionsThatNeverGotAValueAreWrittenEmpty) {
  Form_Left.reset();
  Form_Top.reset();
  Try_Out = true;
  EXPECT_THROW(App_End(), ProcessEnded);
  EXPECT_EQ(readIni(), "[Section]\nForm_Left=\nForm_Top=\nTry_Out=True\n");
  // ...which the next start reads as missing, so the defaults come back.
  Load_Settings();
  EXPECT_FLOAT_EQ(*Form_Left, 14837.0f);
  EXPECT_FLOAT_EQ(*Form_Top, 200.0f);
}

TEST_F(Tray, WithoutAnyTrayTheFloatingIconStandsInAndTheFileKeepsTheTray) {
  // A tray: nothing changes.
  s->Tray_Check();
  EXPECT_EQ(kavrelT(), nullptr);
  fake.trayShown = false;
  // Not while drawing (the icon is out of the tray then).
  s->Tray_Icon_Delete();
  s->Tray_Check();
  EXPECT_EQ(kavrelT(), nullptr);
  s->Tray_Icon_Add();
  s->Tray_Check();
  ASSERT_NE(kavrelT(), nullptr);
  EXPECT_FALSE(fake.tray()->added);
  EXPECT_TRUE(Try_Out);
  // The user chose the tray: that choice is what is written.
  EXPECT_THROW(s->m_Exit_Click(), ProcessEnded);
  EXPECT_EQ(readIni(), "[Section]\nForm_Left=14837\nForm_Top=200\nTry_Out=False\n");
}
