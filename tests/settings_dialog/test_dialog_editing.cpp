// Editing in the dialog: widths and styles, the colour chooser, the
// semi-transparent check, the start pen and the undo option.

#include "dialog_fixture.h"

#include "platform/translations.h"
#include "settings_dialog/color_chooser.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTranslator>

namespace {
// Picks entry `index` of a list as the user does.
void choose(QComboBox *box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}
} // namespace

TEST_F(DialogTest, WideningAPenMakesItSolidAndNarrowingFreesTheStyle) {
  load();
  // Pen 7 is 1 px dotted.
  ASSERT_EQ(dlg->Combo_Style[7]->currentText(), QStringLiteral("点線"));
  choose(dlg->Combo_Width[7], 4);
  EXPECT_EQ(dlg->Line2[7]->borderWidth(), 5);
  EXPECT_EQ(dlg->Line2[7]->borderStyle(), 1);
  EXPECT_EQ(dlg->Combo_Style[7]->currentText(), QStringLiteral("実線"));
  EXPECT_FALSE(dlg->Combo_Style[7]->isEnabled());

  choose(dlg->Combo_Width[7], 0);
  EXPECT_EQ(dlg->Line2[7]->borderWidth(), 1);
  EXPECT_TRUE(dlg->Combo_Style[7]->isEnabled());
  EXPECT_EQ(dlg->Combo_Style[7]->currentText(), QStringLiteral("実線"));
  choose(dlg->Combo_Style[7], 1);
  EXPECT_EQ(dlg->Line2[7]->borderStyle(), 2);
  // Edits stay in the dialog until a button saves them.
  EXPECT_EQ(Pen_Style[7], 3);
  EXPECT_EQ(Pen_Width[7], 1);
  EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(DialogTest, ColourChoiceAndCancel) {
  load();
  std::optional<qint32> answer = 0x123456;
  int calls = 0;
  dlg->chooseColor = [&](Kavrel_I *owner) {
    EXPECT_EQ(owner, dlg);
    ++calls;
    return answer;
  };
  QTest::mouseClick(dlg->Cmd_Color[5], Qt::LeftButton);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(dlg->Line2[5]->borderColor(), 0x123456);
  EXPECT_TRUE(dlg->Cmd_Color[5]->styleSheet().contains(QStringLiteral("#563412")));

  answer.reset();
  dlg->Cmd_Color_Click(5);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(dlg->Line2[5]->borderColor(), 0x123456);
  EXPECT_TRUE(dlg->Cmd_Color[5]->styleSheet().contains(QStringLiteral("#563412")));
  EXPECT_EQ(Pen_Color[5], 16777215);
}

TEST_F(DialogTest, ColourChooserOffersBasicAndSystemColoursOnlyAndKeepsNothing) {
  load();
  int shown = 0;
  // Picks `pick` (a basic colour) and OK, or cancels when it is invalid.
  auto answer = [&](QColor pick) {
    QTimer::singleShot(0, [&, pick] {
      auto *cd = qobject_cast<ColorChooser *>(QApplication::activeModalWidget());
      ASSERT_NE(cd, nullptr);
      ++shown;
      EXPECT_EQ(cd->parentWidget(), dlg);
      EXPECT_EQ(cd->windowTitle(), QStringLiteral("色の設定"));
      EXPECT_EQ(cd->selectedColor(), QColor(0, 0, 0)); // no initial colour
      ASSERT_EQ(cd->basicSwatches().size(), 48);
      ASSERT_EQ(cd->customSwatches().size(), 16);
      for (int k = 0; k < 16; ++k)
        EXPECT_EQ(cd->customSwatches()[k]->color(), fp.systemColor(k)) << k;
      // Nothing to define a colour with: no fields, and the one button for it disabled.
      EXPECT_TRUE(cd->findChildren<QLineEdit *>().isEmpty());
      EXPECT_TRUE(cd->findChildren<QAbstractSpinBox *>().isEmpty());
      for (QPushButton *b : cd->findChildren<QPushButton *>())
        EXPECT_EQ(b->isEnabled(), b == cd->okButton() || b == cd->cancelButton()) << b->text().toStdString();
      if (!pick.isValid()) {
        QTest::mouseClick(cd->cancelButton(), Qt::LeftButton);
        return;
      }
      for (ColorSwatch *s : cd->basicSwatches())
        if (s->color() == pick)
          QTest::mouseClick(s, Qt::LeftButton);
      EXPECT_EQ(cd->selectedColor(), pick);
      QTest::mouseClick(cd->okButton(), Qt::LeftButton);
    });
  };
  answer(QColor());
  dlg->Cmd_Color_Click(2);
  EXPECT_EQ(dlg->Line2[2]->borderColor(), 16711680);
  answer(QColor(255, 128, 0));
  dlg->Cmd_Color_Click(2);
  EXPECT_EQ(dlg->Line2[2]->borderColor(), 0x0080FF);
  EXPECT_EQ(shown, 2);
  // Nothing of the chooser is kept in Qt's own settings file.
  EXPECT_FALSE(
      QFile::exists(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                    QStringLiteral("/QtProject.conf")));
}

TEST(QtTexts, StandardTextsOfQtAreJapanese) {
  QTranslator *t = translations::installQtJapanese();
  ASSERT_NE(t, nullptr) << "Qt's Japanese translation is not installed";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
  EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("コピー(&C)"));
  QCoreApplication::removeTranslator(t);
  delete t;
}

TEST_F(DialogTest, CheckToggleWithAnyButton) {
  load();
  ASSERT_EQ(dlg->Sel_Toimei[3], 1);
  QTest::mousePress(dlg->Chk_Toimei[3], Qt::RightButton);
  EXPECT_EQ(dlg->Sel_Toimei[3], 0);
  EXPECT_TRUE(samePicture(dlg->Chk_Toimei[3]->picture(), dlg->Img_Ra[0]));
  QTest::mousePress(dlg->Chk_Toimei[3], Qt::LeftButton);
  EXPECT_EQ(dlg->Sel_Toimei[3], 1);
  EXPECT_TRUE(samePicture(dlg->Chk_Toimei[3]->picture(), dlg->Img_Ra[1]));
  QTest::mousePress(dlg->Chk_Toimei[8], Qt::MiddleButton);
  EXPECT_EQ(dlg->Sel_Toimei[8], 1);
  EXPECT_EQ(Pen_Toimei[8], 0);
}

TEST_F(DialogTest, StartPenByRadioOrLabel) {
  load();
  QTest::mousePress(dlg->F_lbl[6], Qt::RightButton);
  EXPECT_EQ(dlg->Sel_First, 6);
  EXPECT_TRUE(samePicture(dlg->Opt_Fst[6]->picture(), dlg->Img_Opt_On));
  EXPECT_TRUE(samePicture(dlg->Opt_Fst[1]->picture(), dlg->Img_Opt_Off));
  EXPECT_EQ(dlg->F_lbl[6]->palette().color(QPalette::WindowText), QColor(0, 0, 255));

  QTest::mousePress(dlg->Opt_Fst[2], Qt::LeftButton);
  EXPECT_EQ(dlg->Sel_First, 2);
  EXPECT_EQ(dlg->F_lbl[6]->palette().color(QPalette::WindowText), QColor(0, 0, 0));
  EXPECT_EQ(dlg->F_lbl[2]->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  for (int n = 1; n <= 9; ++n)
    EXPECT_EQ(samePicture(dlg->Opt_Fst[n]->picture(), dlg->Img_Opt_On), n == 2) << n;
  // The row that is already the start pen stays selected and turns blue.
  dlg->F_lbl_MouseDown(2);
  EXPECT_EQ(dlg->Sel_First, 2);
  EXPECT_EQ(Pen_No, 1);
}

TEST_F(DialogTest, UndoOptionByRadioOrCaption) {
  load();
  QTest::mousePress(dlg->lbl_undo[1], Qt::RightButton);
  EXPECT_EQ(dlg->Sel_Undo, 1);
  EXPECT_TRUE(samePicture(dlg->Opt_Undo[1]->picture(), dlg->Img_Opt_On));
  EXPECT_TRUE(samePicture(dlg->Opt_Undo[0]->picture(), dlg->Img_Opt_Off));
  QTest::mousePress(dlg->Opt_Undo[0], Qt::LeftButton);
  EXPECT_EQ(dlg->Sel_Undo, 0);
  QTest::mousePress(dlg->lbl_undo[0], Qt::LeftButton);
  EXPECT_EQ(dlg->Sel_Undo, 0);
  EXPECT_TRUE(samePicture(dlg->Opt_Undo[0]->picture(), dlg->Img_Opt_On));
  EXPECT_EQ(Undo_Mode, 0);
}
