// Opening the dialog: where its controls stand, what it loads from the model,
// stored values the controls cannot take, dragging, keys and the modal run.

#include "dialog_fixture.h"

#include "core/forms.h"
#include "core/window_helpers.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

TEST_F(DialogTest, ControlsStandWhereTheFormPutsThem) {
  load();
  EXPECT_EQ(dlg->size(), QSize(729, 397));
  // Centred on the 1024 x 768 screen, in integer halves of twips.
  EXPECT_EQ(dlg->pos(), QPoint(147, 185));
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("[ Morvane ] の設定"));
  EXPECT_TRUE(dlg->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(dlg->Image2->geometry(), QRect(0, 0, 729, 22));
  EXPECT_EQ(dlg->ImgExit->geometry(), QRect(708, 4, 15, 15));
  EXPECT_EQ(dlg->Pic_C->geometry(), QRect(0, 20, 729, 377));
  EXPECT_EQ(dlg->Pic_D->geometry(), QRect(16, 32, 425, 289));
  EXPECT_EQ(dlg->Pic_E->geometry(), QRect(456, 32, 253, 193));
  EXPECT_EQ(dlg->Pic_F->geometry(), QRect(456, 272, 253, 49));
  EXPECT_EQ(dlg->Image1->geometry(), QRect(540, 240, 170, 29));
  for (int n = 1; n <= 9; ++n) {
    SCOPED_TRACE(n);
    const int dy = 24 * (n - 1);
    EXPECT_EQ(dlg->Opt_Fst[n]->geometry(), QRect(12, 32 + dy, 13, 13));
    EXPECT_EQ(dlg->F_lbl[n]->geometry(), QRect(32, 32 + dy, 34, 13));
    EXPECT_EQ(dlg->Cmd_Color[n]->geometry(), QRect(72, 28 + dy, 25, 21));
    EXPECT_EQ(dlg->Combo_Width[n]->geometry().topLeft(), QPoint(108, 28 + dy));
    EXPECT_EQ(dlg->Combo_Width[n]->width(), 41);
    EXPECT_EQ(dlg->Combo_Style[n]->geometry().topLeft(), QPoint(160, 28 + dy));
    EXPECT_EQ(dlg->Combo_Style[n]->width(), 77);
    EXPECT_EQ(dlg->Chk_Toimei[n]->geometry(), QRect(248, 32 + dy, 12, 12));
    EXPECT_EQ(dlg->Line2[n]->x1(), 272);
    EXPECT_EQ(dlg->Line2[n]->x2(), 404);
    EXPECT_EQ(dlg->Line2[n]->y(), 36 + dy);
    EXPECT_EQ(dlg->Cmd_Color[n]->text(), QStringLiteral("..."));
    EXPECT_EQ(dlg->Combo_Width[n]->count(), 20);
    EXPECT_EQ(dlg->Combo_Style[n]->itemText(4), QStringLiteral("二点鎖線"));
    EXPECT_EQ(dlg->Combo_Width[n]->parentWidget(), dlg->Pic_D);
  }
  EXPECT_EQ(dlg->F_lbl[1]->text(), QStringLiteral("Ｆ１ →"));
  EXPECT_EQ(dlg->F_lbl[2]->text(), QStringLiteral("F2 →"));
  EXPECT_EQ(dlg->F_lbl[9]->text(), QStringLiteral("F9 →"));
  const QStringList captions = {QStringLiteral("設定変更"), QStringLiteral("初期設定に戻す"),
                                QStringLiteral("ﾍﾙﾌﾟ"), QStringLiteral("ｷｬﾝｾﾙ"),
                                QStringLiteral("保存して終了")};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(dlg->Img_Button[i]->geometry(), QRect(16 + 140 * i, 332, 133, i == 0 ? 21 : 20));
    EXPECT_EQ(dlg->lbl_Button[i]->geometry(), QRect(16 + 140 * i, 336, 133, 13));
    EXPECT_EQ(dlg->lbl_Button[i]->text(), captions[i]);
  }
  EXPECT_EQ(dlg->Opt_Undo[1]->geometry(), QRect(152, 168, 13, 13));
  EXPECT_EQ(dlg->lbl_undo[0]->text(), QStringLiteral("One Drag"));
  EXPECT_EQ(dlg->lbl_undo[1]->text(), QStringLiteral("［ → ］"));
}

TEST_F(DialogTest, PanelsAreCoveredWithTheTile) {
  load();
  EXPECT_EQ(dlg->Pic_Mbl.size(), QSize(740, 30));
  for (Panel *p : {dlg->Pic_C, dlg->Pic_D, dlg->Pic_E, dlg->Pic_F}) {
    const QImage &img = p->image();
    ASSERT_EQ(img.size(), p->size());
    EXPECT_EQ(img.pixel(0, 0), dlg->Pic_Mbl.pixel(0, 0));
    EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1),
              dlg->Pic_Mbl.pixel((img.width() - 1) % 740, (img.height() - 1) % 30));
  }
}

TEST_F(DialogTest, LoadsTheModelIntoTheControls) {
  Pen_No = 4; // the overlay switched to F4 since start-up
  Undo_Mode = 1;
  Pen_Width[3] = 8;
  Pen_Style[3] = 3;
  Pen_Style[9] = 5;
  load();
  EXPECT_FALSE(Icon_Enabled);
  EXPECT_EQ(dlg->Sel_First, 4);
  EXPECT_TRUE(samePicture(dlg->Opt_Fst[4]->picture(), dlg->Img_Opt_On));
  EXPECT_TRUE(samePicture(dlg->Opt_Fst[1]->picture(), dlg->Img_Opt_Off));
  EXPECT_TRUE(samePicture(dlg->Opt_Undo[1]->picture(), dlg->Img_Opt_On));
  EXPECT_TRUE(samePicture(dlg->Opt_Undo[0]->picture(), dlg->Img_Opt_Off));
  // A wide dotted pen opens solid, with the style list disabled.
  EXPECT_EQ(dlg->Combo_Width[3]->currentText(), QStringLiteral("8"));
  EXPECT_EQ(dlg->Combo_Style[3]->currentText(), QStringLiteral("実線"));
  EXPECT_FALSE(dlg->Combo_Style[3]->isEnabled());
  EXPECT_EQ(dlg->Line2[3]->borderStyle(), 1);
  EXPECT_EQ(dlg->Combo_Style[9]->currentText(), QStringLiteral("二点鎖線"));
  EXPECT_TRUE(dlg->Combo_Style[9]->isEnabled());
  EXPECT_EQ(dlg->Line2[6]->borderColor(), -2147483640);
  EXPECT_TRUE(samePicture(dlg->Chk_Toimei[2]->picture(), dlg->Img_Ra[1]));
  EXPECT_TRUE(samePicture(dlg->Chk_Toimei[5]->picture(), dlg->Img_Ra[0]));
  EXPECT_EQ(dlg->F_lbl[4]->palette().color(QPalette::WindowText), QColor(0, 0, 0));
  // Zoomed out of the tray point.
  ASSERT_EQ(fp.animations.size(), 1u);
  EXPECT_EQ(fp.animations[0].first, QRect(955, 744, 0, 0));
  EXPECT_EQ(fp.animations[0].second, QRect(147, 185, 729, 397));
}

TEST_F(DialogTest, ZoomsFromTheFloatingIconCorner) {
  Try_Out = true;
  load();
  ASSERT_EQ(fp.animations.size(), 1u);
  EXPECT_EQ(fp.animations[0].first, QRect(867, 20, 0, 0));
  Unload_Kavrel_I();
  ASSERT_EQ(fp.animations.size(), 2u);
  EXPECT_EQ(fp.animations[1].second, QRect(867, 20, 0, 0));
  EXPECT_TRUE(Icon_Enabled);
  EXPECT_EQ(kavrelI(), nullptr);
}

TEST_F(DialogTest, StoredValuesTheControlsCannotTakeLeaveThemAsTheyWere) {
  Pen_Width[2] = 0;
  Pen_Style[5] = 9;
  Pen_Toimei[6] = 7;
  Pen_Color[1] = 0x7F000000;
  Pen_Width[4] = 30;
  Pen_No = 12;
  Undo_Mode = 3;
  load();
  EXPECT_EQ(dlg->Combo_Width[2]->currentText(), QStringLiteral("1"));
  EXPECT_EQ(dlg->Line2[2]->borderWidth(), 1);
  EXPECT_TRUE(dlg->Combo_Style[2]->isEnabled());
  EXPECT_EQ(dlg->Combo_Style[5]->currentText(), QStringLiteral("実線"));
  EXPECT_EQ(dlg->Line2[5]->borderStyle(), 1);
  EXPECT_EQ(dlg->Line2[1]->borderColor(), 0);
  // A width beyond the list keeps the line's width but still forces solid.
  EXPECT_EQ(dlg->Line2[4]->borderWidth(), 30);
  EXPECT_EQ(dlg->Combo_Width[4]->currentText(), QStringLiteral("1"));
  EXPECT_FALSE(dlg->Combo_Style[4]->isEnabled());
  EXPECT_EQ(dlg->Sel_First, 12);
  for (int n = 1; n <= 9; ++n)
    EXPECT_TRUE(samePicture(dlg->Opt_Fst[n]->picture(), dlg->Img_Opt_Off));
  EXPECT_EQ(dlg->Sel_Undo, 3);
  // The damaged flag keeps the picture the row had; toggling flips its low bit only.
  EXPECT_EQ(dlg->Sel_Toimei[6], 7);
  const QPixmap before = dlg->Chk_Toimei[6]->picture();
  dlg->Chk_Toimei_MouseDown(6);
  EXPECT_EQ(dlg->Sel_Toimei[6], 6);
  EXPECT_TRUE(samePicture(dlg->Chk_Toimei[6]->picture(), before));
  // Handlers given an index beyond the arrays do nothing.
  dlg->F_lbl_MouseDown(12);
  dlg->Chk_Toimei_MouseDown(0);
  dlg->Opt_Undo_MouseDown(2);
  dlg->lbl_Button_MouseDown(7);
  EXPECT_FALSE(dlg->selectWidth(10, 0));
  EXPECT_EQ(dlg->Sel_First, 12);
}

TEST_F(DialogTest, TitleStripDragsWithTheLeftButtonOnly) {
  load();
  fp.cursor = QPoint(300, 190);
  dlg->Image2_MouseDown(Qt::RightButton);
  fp.cursor = QPoint(350, 260);
  dlg->Image2_MouseMove();
  EXPECT_EQ(dlg->pos(), QPoint(147, 185));
  dlg->Image2_MouseUp();

  fp.cursor = QPoint(300, 190);
  QTest::mousePress(dlg->Image2, Qt::LeftButton, {}, QPoint(153, 5));
  EXPECT_TRUE(dlg->Drag_On);
  EXPECT_EQ(dlg->Drag_DX, 153);
  fp.cursor = QPoint(350, 260);
  dlg->Image2_MouseMove();
  EXPECT_EQ(dlg->pos(), QPoint(197, 255));
  QTest::mouseRelease(dlg->Image2, Qt::LeftButton, {}, QPoint(153, 5));
  fp.cursor = QPoint(10, 10);
  dlg->Image2_MouseMove();
  EXPECT_EQ(dlg->pos(), QPoint(197, 255));
}

TEST_F(DialogTest, EnterEscAndCloseDoNothing) {
  load();
  dlg->show();
  QTest::keyClick(dlg, Qt::Key_Escape);
  QTest::keyClick(dlg, Qt::Key_Return);
  QTest::keyClick(dlg->Combo_Width[1], Qt::Key_Escape);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->close());
  EXPECT_EQ(kavrelI(), dlg);
  EXPECT_FALSE(Icon_Enabled);
}

TEST_F(DialogTest, ModalRunEndsWithCancelAndReenablesTheIcons) {
  bool sawDialog = false;
  QTimer::singleShot(0, [&] {
    Kavrel_I *d = kavrelI();
    sawDialog = d && d->isVisible() && !Icon_Enabled;
    if (d) {
      QTest::mousePress(d->lbl_Button[3], Qt::LeftButton);
      QTest::mouseRelease(d->lbl_Button[3], Qt::LeftButton);
    }
  });
  Show_Kavrel_I_Modal();
  EXPECT_TRUE(sawDialog);
  EXPECT_EQ(kavrelI(), nullptr);
  EXPECT_TRUE(Icon_Enabled);
  EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(DialogTest, CentredOnThePrimaryMonitorOfAScaledDesktopAndShrinksOntoItsButton) {
  // Two monitors at 144 dpi, the primary on the right.
  fp.setRatio(1.5);
  fp.screen = QSize(1920, 1080);
  fp.origin = QPoint(1920, 0);
  fp.others = {QRect(0, 0, 1920, 1080)};
  load();
  const QRect r = windowRect(dlg);
  EXPECT_EQ(r.size(), QSize(1094, 596)); // 729 x 397 logical pixels
  const QPoint off = r.center() - QRect(1920, 0, 1920, 1080).center();
  EXPECT_LE(off.manhattanLength(), 2) << off.x() << "," << off.y();
  // The save-and-quit outline ends on "保存して終了", scaled alike.
  dlg->Quit_Flag = true;
  fp.animations.clear();
  Unload_Kavrel_I();
  ASSERT_EQ(fp.animations.size(), 1u);
  EXPECT_EQ(fp.animations[0].first, r);
  EXPECT_EQ(fp.animations[0].second, QRect(r.left() + 864, r.top() + 498, 200, 44));
}
