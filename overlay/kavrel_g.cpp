#include "overlay/kavrel_g.h"

#include "core/forms.h"

namespace {
Kavrel_G *instance = nullptr;
}

void Show_Kavrel_G() {
  if (!instance) {
    instance = new Kavrel_G;
    instance->Form_Load();
  }
  instance->show();
}

Kavrel_G *kavrelG() { return instance; }

void Unload_Kavrel_G() {
  if (!instance)
    return;
  Kavrel_G *g = instance;
  instance = nullptr;
  g->hide();
  g->deleteLater();
}

Kavrel_G::Kavrel_G() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint) {}
Kavrel_G::~Kavrel_G() = default;
void Kavrel_G::Form_Load() {}
