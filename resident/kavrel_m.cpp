#include "resident/kavrel_m.h"

#include "core/app.h"
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/screen.h"
#include "platform/platform.h"
#include "resident/kavrel_s.h"
#include "resident/kavrel_t.h"
#include "resident/resident_menu.h"
#include "resources/captions.h"

#include <QAction>
#include <QMenu>

namespace {
Kavrel_M *instance = nullptr;
}

Kavrel_M *Load_Kavrel_M() {
  if (!instance)
    instance = new Kavrel_M;
  return instance;
}

Kavrel_M *kavrelM() { return instance; }

void Unload_Kavrel_M() {
  if (!instance)
    return;
  Kavrel_M *m = instance;
  instance = nullptr;
  // Its own menu item may be running right now.
  m->deleteLater();
}

Kavrel_M::Kavrel_M() : QWidget(nullptr, Qt::Tool) {
  popup_ = buildResidentMenu(this, "m_In", captions::m_In(), &Kavrel_M::m_In_Click);
}

Kavrel_M::~Kavrel_M() = default;

void Kavrel_M::m_FreeHand_Click() {
  platform().screenWillChange();
  Unload_Kavrel_M();
  Unload_Kavrel_T();
  Show_Kavrel_G();
}

void Kavrel_M::m_Set_Click() {
  Screen::setMousePointer(11);
  Show_Kavrel_I_Modal();
}

void Kavrel_M::m_Help_Click() { Show_Help(this); }

void Kavrel_M::m_In_Click() {
  Tray_Icon_Add();
  Try_Out = false;
  Tray_Stand_In = false;
  // Asked for a tray that is not there: the floating icon comes back.
  if (Kavrel_S *s = kavrelS())
    s->Tray_Check_Later();
  if (Kavrel_T *t = kavrelT()) {
    Form_Left = t->Left();
    Form_Top = t->Top();
    const float stepX = (Screen::TwipsPerPixelX() * Tray_X - *Form_Left) / 100.0f;
    const float stepY = (Screen::TwipsPerPixelY() * Tray_Y - *Form_Top) / 100.0f;
    for (int i = 0; i < 99; ++i) {
      t->setLeft(t->Left() + stepX);
      t->setTop(t->Top() + stepY);
      platform().showWindowMove(); // let each step be seen
    }
  }
  Unload_Kavrel_M();
  Unload_Kavrel_T();
}

void Kavrel_M::m_Exit_Click() {
  Unload_Kavrel_M();
  Unload_Kavrel_T();
  App_End();
}
