// Editing the pen table and the undo option: only the dialog's working state
// changes here; the settings model and the file change when a button saves.

#include "settings_dialog/kavrel_i.h"

#include "core/surface.h"
#include "platform/platform.h"
#include "settings_dialog/color_chooser.h"
#include "settings_dialog/dialog_widgets.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>

std::optional<qint32> Kavrel_I::runColorDialog(Kavrel_I *owner) {
  // The custom colours are the current system colours 0..15, rebuilt every time.
  QList<QColor> custom;
  for (int k = 0; k < 16; ++k)
    custom << platform().systemColor(k);
  // On the heap: the dialog may be unloaded, and its children deleted, while the
  // chooser's loop runs.
  QPointer<ColorChooser> dlg = new ColorChooser(owner, custom);
  const bool accepted = dlg->exec() == QDialog::Accepted && dlg;
  const QColor c = dlg ? dlg->selectedColor() : QColor();
  delete dlg.data();
  if (!accepted)
    return std::nullopt;
  return qint32(c.red() | (c.green() << 8) | (c.blue() << 16));
}

void Kavrel_I::showColor(int n) {
  const QColor c(resolveColor(Line2[n]->borderColor()));
  // Keep the dots readable on dark and light pens alike.
  const QString text = c.lightness() < 110 ? QStringLiteral("white") : QStringLiteral("black");
  Cmd_Color[n]->setStyleSheet(
      QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid #6b7d90;"
                     " border-radius: 2px; padding: 0 0 4px 0; }"
                     "QPushButton:pressed { border: 2px solid #2e5a85; }")
          .arg(c.name(), text));
}

void Kavrel_I::Cmd_Color_Click(int n) {
  if (n < 1 || n > 9 || !chooseColor)
    return;
  const std::optional<qint32> chosen = chooseColor(this);
  if (!chosen)
    return;
  if (Line2[n]->setBorderColor(*chosen))
    showColor(n);
}

bool Kavrel_I::selectWidth(int n, int index) {
  if (n < 1 || n > 9 || index < 0 || index >= Combo_Width[n]->count())
    return false;
  Combo_Width[n]->setCurrentIndex(index);
  Combo_Width_Click(n);
  return true;
}

bool Kavrel_I::selectStyle(int n, int index) {
  if (n < 1 || n > 9 || index < 0 || index >= Combo_Style[n]->count())
    return false;
  Combo_Style[n]->setCurrentIndex(index);
  Combo_Style_Click(n);
  return true;
}

void Kavrel_I::Combo_Width_Click(int n) {
  if (n < 1 || n > 9 || Combo_Width[n]->currentIndex() < 0)
    return;
  Line2[n]->setBorderWidth(Combo_Width[n]->currentIndex() + 1);
  if (Line2[n]->borderWidth() == 1) {
    Combo_Style[n]->setEnabled(true);
  } else {
    // Only a 1 px pen can be dashed or dotted.
    Combo_Style[n]->setEnabled(false);
    selectStyle(n, 0);
  }
}

void Kavrel_I::Combo_Style_Click(int n) {
  if (n < 1 || n > 9 || Combo_Style[n]->currentIndex() < 0)
    return;
  Line2[n]->setBorderStyle(Combo_Style[n]->currentIndex() + 1);
}

void Kavrel_I::Chk_Toimei_MouseDown(int n) {
  if (n < 1 || n > 9)
    return;
  Sel_Toimei[n] ^= 1;
  // A damaged flag (not 0 or 1) still toggles its low bit; the picture stays.
  if (Sel_Toimei[n] == 0 || Sel_Toimei[n] == 1)
    Chk_Toimei[n]->setPicture(Img_Ra[Sel_Toimei[n]]);
}

void Kavrel_I::F_lbl_MouseDown(int n) {
  if (n < 1 || n > 9)
    return;
  Sel_First = qint16(n);
  for (int k = 1; k <= 9; ++k) {
    QPalette pal = F_lbl[k]->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
    F_lbl[k]->setPalette(pal);
    Opt_Fst[k]->setPicture(Img_Opt_Off);
  }
  QPalette pal = F_lbl[n]->palette();
  pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
  F_lbl[n]->setPalette(pal);
  Opt_Fst[n]->setPicture(Img_Opt_On);
}

void Kavrel_I::Opt_Fst_MouseDown(int n) { F_lbl_MouseDown(n); }

void Kavrel_I::Opt_Undo_MouseDown(int i) {
  if (i != 0 && i != 1)
    return;
  Opt_Undo[i]->setPicture(Img_Opt_On);
  Opt_Undo[i ^ 1]->setPicture(Img_Opt_Off);
  Sel_Undo = qint16(i);
}

void Kavrel_I::lbl_undo_MouseDown(int i) { Opt_Undo_MouseDown(i); }
