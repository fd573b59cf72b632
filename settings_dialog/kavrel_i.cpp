#include "settings_dialog/kavrel_i.h"

#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/screen.h"

namespace {
Kavrel_I *instance = nullptr;
}

Kavrel_I *kavrelI() { return instance; }

void Show_Kavrel_I_Modal() {
  if (instance)
    return;
  Kavrel_I dlg;
  instance = &dlg;
  dlg.Form_Load();
  dlg.exec();
  instance = nullptr;
  Icon_Enabled = true;
}

Kavrel_I::Kavrel_I() : QDialog(nullptr, Qt::FramelessWindowHint) {}
Kavrel_I::~Kavrel_I() = default;
void Kavrel_I::Form_Load() {
  Icon_Enabled = false;
  Screen::setMousePointer(0);
}
