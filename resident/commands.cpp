#include "resident/commands.h"

#include "core/app.h"
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "overlay/kavrel_g.h"
#include "resident/kavrel_m.h"
#include "resident/kavrel_s.h"
#include "resident/kavrel_t.h"

#include <QApplication>
#include <QWidget>

using command_channel::Command;

void Run_Command(Command c) {
  if (!Icon_Enabled)
    return;
  Kavrel_G *g = kavrelG();
  if (c == Command::Quit) {
    Unload_Kavrel_G();
    Unload_Kavrel_M();
    Unload_Kavrel_T();
    App_End();
  }
  if (g) {
    // Not yet shown: its capture is still waiting and the load must finish first.
    if (c == Command::Toggle && g->isVisible())
      g->Form_KeyDown(32);
    return;
  }
  Kavrel_S *s = kavrelS();
  if (!s)
    return;
  // An icon's menu left open would sit over the overlay or the dialog.
  if (QWidget *popup = QApplication::activePopupWidget())
    popup->close();
  if (c == Command::Settings) {
    s->m_Set_Click();
  } else if (Kavrel_T *t = kavrelT()) {
    t->Pic_B_DblClick();
  } else {
    s->m_FreeHand_Click();
  }
}
