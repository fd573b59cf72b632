// The five buttons: what each writes to the model and the settings file, in
// which order, and how the dialog closes.

#include "dialog_fixture.h"

#include "core/forms.h"
#include "resident/kavrel_s.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {
QStringList dialogKeyOrder() {
  QStringList keys = {QStringLiteral("First_Kind"), QStringLiteral("Undo")};
  for (int n = 1; n <= 9; ++n)
    for (const char *k : {"BorderColor", "BorderWidth", "BorderStyle", "DrawMode"})
      keys << QLatin1String(k) + QString::number(n);
  return keys;
}

void click(QWidget *w, Qt::MouseButton b = Qt::LeftButton) {
  QTest::mousePress(w, b);
  QTest::mouseRelease(w, b);
}
} // namespace

TEST_F(DialogTest, SavingWithoutEditsWritesWhatTheDialogShows) {
  Pen_No = 4;
  Pen_Width[8] = 6; // a wide dash-dot pen: shown and saved solid
  load();
  click(dlg->lbl_Button[0]);
  EXPECT_EQ(kavrelI(), nullptr);
  EXPECT_TRUE(Icon_Enabled);
  EXPECT_EQ(iniKeys(), dialogKeyOrder());
  EXPECT_EQ(iniValue("Section", "First_Kind"), "4");
  EXPECT_EQ(iniValue("Section", "Undo"), "0");
  EXPECT_EQ(iniValue("F8", "BorderWidth8"), "6");
  EXPECT_EQ(iniValue("F8", "BorderStyle8"), "1");
  EXPECT_EQ(Pen_Style[8], 1);
  EXPECT_EQ(iniValue("F6", "BorderColor6"), "-2147483640");
  EXPECT_EQ(iniValue("F6", "BorderStyle6"), "2");
  EXPECT_EQ(iniValue("F9", "BorderColor9"), "8421376");
  EXPECT_EQ(iniValue("F3", "DrawMode3"), "1");
  EXPECT_EQ(iniValue("F5", "DrawMode5"), "0");
  // Closed by zooming back into the tray point.
  ASSERT_EQ(fp.animations.size(), 2u);
  EXPECT_EQ(fp.animations[1].second, QRect(955, 744, 0, 0));
  EXPECT_TRUE(fp.notices.isEmpty());

  // A save that cannot be written tells the user, once.
  ASSERT_TRUE(QFile::remove(iniPath()));
  ASSERT_TRUE(QDir().mkdir(iniPath()));
  load();
  click(dlg->lbl_Button[0]);
  EXPECT_EQ(fp.notices, QStringList{QStringLiteral("設定を保存できませんでした。\n") + iniPath()});
}

TEST_F(DialogTest, SavingCommitsEveryEditToModelAndFile) {
  load();
  dlg->chooseColor = [](Kavrel_I *) { return std::optional<qint32>(0x00FF8000); };
  dlg->Cmd_Color_Click(1);
  dlg->Combo_Width[9]->setCurrentIndex(11);
  emit dlg->Combo_Width[9]->activated(11);
  dlg->Chk_Toimei_MouseDown(4);
  dlg->Opt_Fst_MouseDown(9);
  dlg->lbl_undo_MouseDown(1);
  click(dlg->lbl_Button[0], Qt::RightButton);
  EXPECT_EQ(Pen_Color[1], 0x00FF8000);
  EXPECT_EQ(iniValue("F1", "BorderColor1"), QString::number(0x00FF8000));
  EXPECT_EQ(iniValue("F9", "BorderWidth9"), "12");
  EXPECT_EQ(iniValue("F9", "BorderStyle9"), "1");
  EXPECT_EQ(iniValue("F4", "DrawMode4"), "0");
  EXPECT_EQ(Pen_No, 9);
  EXPECT_EQ(Undo_Mode, 1);
  EXPECT_EQ(iniValue("Section", "First_Kind"), "9");
  EXPECT_EQ(iniValue("Section", "Undo"), "1");
  // The next opening shows the saved values, not anything left over.
  load();
  EXPECT_EQ(dlg->Combo_Width[9]->currentText(), "12");
  EXPECT_EQ(dlg->Sel_First, 9);
  EXPECT_EQ(dlg->Line2[1]->borderColor(), 0x00FF8000);
}

TEST_F(DialogTest, RestoreDefaultsWritesTheFactoryTable) {
  Pen_No = 7;
  Undo_Mode = 1;
  Pen_Color[6] = 255;
  Pen_Width[2] = 3;
  Pen_Toimei[3] = 0;
  Pen_Toimei[9] = 1;
  load();
  dlg->Chk_Toimei_MouseDown(1);
  click(dlg->lbl_Button[1]);
  EXPECT_EQ(kavrelI(), nullptr);
  EXPECT_EQ(iniKeys(), dialogKeyOrder());
  EXPECT_EQ(iniValue("Section", "First_Kind"), "1");
  EXPECT_EQ(iniValue("Section", "Undo"), "0");
  for (int n = 1; n <= 9; ++n) {
    const QString s = QStringLiteral("F%1").arg(n);
    EXPECT_EQ(iniValue(s, QStringLiteral("BorderColor%1").arg(n)), QString::number(Line1[n].color));
    EXPECT_EQ(iniValue(s, QStringLiteral("BorderWidth%1").arg(n)), QString::number(Line1[n].width));
    EXPECT_EQ(iniValue(s, QStringLiteral("BorderStyle%1").arg(n)), QString::number(Line1[n].style));
    EXPECT_EQ(iniValue(s, QStringLiteral("DrawMode%1").arg(n)), QString::number(defaultToimei(n)));
    EXPECT_EQ(Pen_Toimei[n], defaultToimei(n));
  }
  EXPECT_EQ(iniValue("F6", "BorderColor6"), "-2147483640");
  EXPECT_EQ(Pen_No, 1);
  EXPECT_EQ(Undo_Mode, 0);
  load();
  EXPECT_TRUE(samePicture(dlg->Opt_Fst[1]->picture(), dlg->Img_Opt_On));
  EXPECT_TRUE(samePicture(dlg->Opt_Undo[0]->picture(), dlg->Img_Opt_On));
}

TEST_F(DialogTest, CancelLeavesModelAndFileUnchanged) {
  Ini_Write("Section", "First_Kind", "3", iniPath());
  Pen_No = 3;
  load();
  dlg->chooseColor = [](Kavrel_I *) { return std::optional<qint32>(0x000000FF); };
  dlg->Cmd_Color_Click(1);
  dlg->selectWidth(6, 9);
  dlg->Chk_Toimei_MouseDown(2);
  dlg->F_lbl_MouseDown(8);
  dlg->Opt_Undo_MouseDown(1);
  click(dlg->lbl_Button[3]);
  EXPECT_EQ(kavrelI(), nullptr);
  EXPECT_TRUE(Icon_Enabled);
  EXPECT_EQ(iniKeys(), QStringList{"First_Kind"});
  EXPECT_EQ(Pen_No, 3);
  EXPECT_EQ(Undo_Mode, 0);
  EXPECT_EQ(Pen_Color[1], 65280);
  EXPECT_EQ(Pen_Width[6], 1);
  EXPECT_EQ(Pen_Toimei[2], 1);
  load();
  EXPECT_EQ(dlg->Line2[1]->borderColor(), 65280);
  EXPECT_EQ(dlg->Sel_First, 3);
}

TEST_F(DialogTest, PressShowsThePressedPictureAndHelpKeepsTheDialogOpen) {
  load();
  QTest::mousePress(dlg->lbl_Button[2], Qt::LeftButton);
  EXPECT_TRUE(samePicture(dlg->Img_Button[2]->picture(), dlg->Img_On));
  EXPECT_TRUE(fp.helpOpened.isEmpty());
  QTest::mouseRelease(dlg->lbl_Button[2], Qt::LeftButton);
  EXPECT_TRUE(samePicture(dlg->Img_Button[2]->picture(), dlg->Img_Off));
  ASSERT_EQ(fp.helpOpened.size(), 1);
  EXPECT_EQ(kavrelI(), dlg);
  click(dlg->lbl_Button[2], Qt::RightButton);
  EXPECT_EQ(fp.helpOpened.size(), 2);
  EXPECT_FALSE(QFile::exists(iniPath()));
  // The picture under the caption has no action of its own.
  click(dlg->Img_Button[0]);
  EXPECT_EQ(kavrelI(), dlg);
}

TEST_F(DialogTest, SaveAndQuitSavesShrinksOntoTheButtonAndEndsTheProgram) {
  Load_Kavrel_S();
  load();
  dlg->move(100, 50);
  fp.animations.clear();
  dlg->F_lbl_MouseDown(2);
  QTest::mousePress(dlg->lbl_Button[4], Qt::LeftButton);
  EXPECT_THROW(dlg->lbl_Button_MouseUp(4), ProcessEnded);
  EXPECT_EQ(kavrelI(), nullptr);
  EXPECT_EQ(kavrelS(), nullptr);
  ASSERT_EQ(fp.animations.size(), 1u);
  EXPECT_EQ(fp.animations[0].first, QRect(100, 50, 729, 397));
  EXPECT_EQ(fp.animations[0].second, QRect(676, 382, 133, 29));
  EXPECT_EQ(Pen_No, 2);
  QStringList expected = dialogKeyOrder();
  // The resident window's three keys join its section after the dialog's two.
  expected.insert(2, "Form_Left");
  expected.insert(3, "Form_Top");
  expected.insert(4, "Try_Out");
  EXPECT_EQ(iniKeys(), expected);
  EXPECT_EQ(iniValue("Section", "First_Kind"), "2");
  EXPECT_EQ(iniValue("Section", "Try_Out"), "False");
}
