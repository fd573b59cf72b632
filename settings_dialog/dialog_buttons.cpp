// The five buttons at the foot of the dialog and the two routines that write
// the settings file.

#include "settings_dialog/kavrel_i.h"

#include "core/app.h"
#include "core/default_pens.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "platform/platform.h"
#include "resident/kavrel_s.h"
#include "resources/dialog_captions.h"
#include "settings_dialog/dialog_widgets.h"

#include <QCoreApplication>

namespace {
enum Button { SaveButton = 0, DefaultsButton, HelpButton, CancelButton, QuitButton };

const QString section = QStringLiteral("Section");
QString penSection(int n) { return QStringLiteral("F") + QString::number(n); }
QString penKey(const char *name, int n) { return QLatin1String(name) + QString::number(n); }
} // namespace

void Kavrel_I::lbl_Button_MouseDown(int i) {
  if (i < 0 || i > 4)
    return;
  Img_Button[i]->setPicture(Img_On);
}

void Kavrel_I::lbl_Button_MouseUp(int i) {
  if (i < 0 || i > 4)
    return;
  Img_Button[i]->setPicture(Img_Off);
  // Let the released picture show before a long action.
  Img_Button[i]->repaint();
  QCoreApplication::processEvents();
  switch (i) {
  case SaveButton:
    Save_Settings();
    Unload_Kavrel_I();
    break;
  case DefaultsButton:
    Restore_Defaults();
    Unload_Kavrel_I();
    break;
  case HelpButton:
    Show_Help(this);
    break;
  case CancelButton:
    Unload_Kavrel_I();
    break;
  case QuitButton:
    Save_Settings();
    Quit_Flag = true;
    Unload_Kavrel_I();
    App_End();
  }
}

// Each global is set just before its key is written, so model and file agree.
void Kavrel_I::Save_Settings() {
  const QString file = iniPath();
  bool ok = true;
  Pen_No = Sel_First;
  ok &= Ini_Write(section, QStringLiteral("First_Kind"), QString::number(Pen_No), file);
  Undo_Mode = Sel_Undo;
  ok &= Ini_Write(section, QStringLiteral("Undo"), QString::number(Undo_Mode), file);
  for (int n = 1; n <= 9; ++n) {
    const QString sec = penSection(n);
    Pen_Color[n] = Line2[n]->borderColor();
    ok &= Ini_Write(sec, penKey("BorderColor", n), QString::number(Pen_Color[n]), file);
    Pen_Width[n] = qint16(Line2[n]->borderWidth());
    ok &= Ini_Write(sec, penKey("BorderWidth", n), QString::number(Pen_Width[n]), file);
    Pen_Style[n] = qint16(Line2[n]->borderStyle());
    ok &= Ini_Write(sec, penKey("BorderStyle", n), QString::number(Pen_Style[n]), file);
    Pen_Toimei[n] = Sel_Toimei[n];
    ok &= Ini_Write(sec, penKey("DrawMode", n), QString::number(Pen_Toimei[n]), file);
  }
  if (!ok)
    platform().notifyUser(this, captions::dialog::notSaved(file));
}

void Kavrel_I::Restore_Defaults() {
  const QString file = iniPath();
  bool ok = true;
  Pen_No = 1;
  ok &= Ini_Write(section, QStringLiteral("First_Kind"), QString::number(Pen_No), file);
  Undo_Mode = 0;
  ok &= Ini_Write(section, QStringLiteral("Undo"), QString::number(Undo_Mode), file);
  for (int n = 1; n <= 9; ++n) {
    const QString sec = penSection(n);
    Pen_Color[n] = Line1[n].color;
    ok &= Ini_Write(sec, penKey("BorderColor", n), QString::number(Pen_Color[n]), file);
    Pen_Width[n] = Line1[n].width;
    ok &= Ini_Write(sec, penKey("BorderWidth", n), QString::number(Pen_Width[n]), file);
    Pen_Style[n] = Line1[n].style;
    ok &= Ini_Write(sec, penKey("BorderStyle", n), QString::number(Pen_Style[n]), file);
    Pen_Toimei[n] = defaultToimei(n);
    ok &= Ini_Write(sec, penKey("DrawMode", n), QString::number(Pen_Toimei[n]), file);
  }
  if (!ok)
    platform().notifyUser(this, captions::dialog::notSaved(file));
}
