#include "resident/kavrel_s.h"

#include "core/app.h"
#include "core/forms.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "core/open_trace.h"
#include "core/screen.h"
#include "core/settings.h"
#include "platform/platform.h"
#include "resident/kavrel_t.h"
#include "resident/resident_menu.h"
#include "resources/captions.h"
#include "resources/resources.h"

#include <QAction>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include <cstdio>

namespace {
Kavrel_S *instance = nullptr;
constexpr int TrayCheckMs = 5000;
} // namespace

Kavrel_S *Load_Kavrel_S() {
  if (!instance) {
    instance = new Kavrel_S;
    instance->Form_Load();
  }
  return instance;
}

Kavrel_S *kavrelS() { return instance; }

void Unload_Kavrel_S() {
  if (!instance)
    return;
  Kavrel_S *s = instance;
  s->Form_QueryUnload();
  instance = nullptr;
  delete s;
}

Kavrel_S::Kavrel_S() : QWidget(nullptr, Qt::Tool) {
  setWindowTitle(captions::tip());
  setWindowIcon(resources::programIcon());
  tray_ = platform().createTrayIcon(this);
  connect(tray_, &TrayIcon::mouseMessage, this, &Kavrel_S::Form_MouseMove);

  popup_ = buildResidentMenu(this, "m_Out", captions::m_Out(), &Kavrel_S::m_Out_Click);
  // The tray follows the primary monitor when monitors come and go.
  platform().watchMonitors(this, [] { Derive_Tray_Point(); });

  popupMenu = [](QMenu *m) { m->exec(QCursor::pos()); };
}

Kavrel_S::~Kavrel_S() = default;

void Kavrel_S::Form_Load() {
  Icon_Enabled = true;
  Tray_Stand_In = false;
  if (Try_Out) {
    Show_Kavrel_T();
  } else {
    Tray_Icon_Add();
    Tray_Check_Later();
  }
  hide();
}

// A tray host may come up a little after us at the session's start.
void Kavrel_S::Tray_Check_Later() { QTimer::singleShot(TrayCheckMs, this, &Kavrel_S::Tray_Check); }

// A desktop without any tray (GNOME without its AppIndicator extension, a bare
// window manager) would show Morvane nowhere: the floating icon stands in.
void Kavrel_S::Tray_Check() {
  if (Try_Out || platform().trayAvailable())
    return;
  if (!Icon_Enabled || !tray_->isAdded()) {
    Tray_Check_Later(); // drawing or the settings dialog: once the icon is back
    return;
  }
  std::fprintf(stderr, "morvane: this desktop shows no system tray: the floating icon stands in\n");
  Tray_Icon_Delete();
  Try_Out = true;
  Tray_Stand_In = true;
  Show_Kavrel_T();
}

void Kavrel_S::Form_MouseMove(int code) {
  if (!Icon_Enabled)
    return;
  switch (code) {
  case TrayMsg::LButtonDown:
    open_trace::mark("tray-pressed");
    platform().screenWillChange(); // the frozen screen is without the icon
    Tray_Icon_Delete();
    Show_Kavrel_G();
    break;
  case TrayMsg::RButtonUp:
    popupMenu(popup_);
    break;
  default:
    break;
  }
}

void Kavrel_S::Form_QueryUnload() {
  using settings_text::fromBoolean;
  using settings_text::fromSingle;
  Tray_Icon_Delete();
  const QString file = iniPath();
  const QString sec = QStringLiteral("Section");
  // A position that never got a value is written empty: the next start reads it as missing.
  Ini_Write(sec, QStringLiteral("Form_Left"), Form_Left ? fromSingle(*Form_Left) : QString(), file);
  Ini_Write(sec, QStringLiteral("Form_Top"), Form_Top ? fromSingle(*Form_Top) : QString(), file);
  Ini_Write(sec, QStringLiteral("Try_Out"), fromBoolean(Try_Out && !Tray_Stand_In), file);
}

void Kavrel_S::Tray_Icon_Add() { tray_->add(resources::programIcon(), captions::tip()); }

void Kavrel_S::Tray_Icon_Delete() { tray_->remove(); }

void Kavrel_S::m_FreeHand_Click() {
  platform().screenWillChange();
  Tray_Icon_Delete();
  Show_Kavrel_G();
}

void Kavrel_S::m_Set_Click() {
  Screen::setMousePointer(11);
  Show_Kavrel_I_Modal();
}

void Kavrel_S::m_Help_Click() { Show_Help(this); }

void Kavrel_S::m_Out_Click() {
  Tray_Icon_Delete();
  Try_Out = true;
  Show_Kavrel_T();
  Kavrel_T *t = kavrelT();
  if (!t)
    return;
  const float tx = Screen::TwipsPerPixelX() * Tray_X;
  const float ty = Screen::TwipsPerPixelY() * Tray_Y;
  t->setLeft(tx);
  t->setTop(ty);
  const float stepX = (tx - twipsOr0(Form_Left)) / 100.0f;
  const float stepY = (ty - twipsOr0(Form_Top)) / 100.0f;
  for (int i = 0; i < 99; ++i) {
    t->setLeft(t->Left() - stepX);
    t->setTop(t->Top() - stepY);
    platform().showWindowMove(); // let each step be seen
  }
  t->setLeft(twipsOr0(Form_Left));
  t->setTop(twipsOr0(Form_Top));
}

void Kavrel_S::m_Exit_Click() { App_End(); }

void Tray_Icon_Add() {
  if (Kavrel_S *s = kavrelS())
    s->Tray_Icon_Add();
}

void Tray_Icon_Delete() {
  if (Kavrel_S *s = kavrelS())
    s->Tray_Icon_Delete();
}

void Show_Help(QWidget *owner) {
  const QString path = platform().appPath() + QStringLiteral("/Morvane.html");
  if (platform().openHelp(path))
    return;
  // A page that is there but would not open means no program could show it.
  platform().notifyUser(owner, QFileInfo(path).isFile() ? captions::helpNoViewer(path)
                                                        : captions::helpMissing(path));
}
