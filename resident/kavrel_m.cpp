#include "resident/kavrel_m.h"

#include "core/forms.h"

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
  m->deleteLater();
}

Kavrel_M::Kavrel_M() : QWidget(nullptr, Qt::Tool) {
  popup_ = new QMenu(QStringLiteral("Popup"), this);
}

Kavrel_M::~Kavrel_M() = default;
