#include "resident/kavrel_t.h"

#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/screen.h"

#include <cmath>

namespace {
Kavrel_T *instance = nullptr;
}

void Show_Kavrel_T() {
  if (!instance) {
    instance = new Kavrel_T;
    instance->Form_Load();
  }
  instance->show();
}

Kavrel_T *kavrelT() { return instance; }

void Unload_Kavrel_T() {
  if (!instance)
    return;
  Kavrel_T *t = instance;
  instance = nullptr;
  t->hide();
  t->deleteLater();
}

Kavrel_T::Kavrel_T()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {}

Kavrel_T::~Kavrel_T() = default;

void Kavrel_T::Form_Load() {
  setLeft(twipsOr0(Form_Left));
  setTop(twipsOr0(Form_Top));
  resize(22, 22);
}

float Kavrel_T::Left() const { return float(x()) * Screen::TwipsPerPixelX(); }
float Kavrel_T::Top() const { return float(y()) * Screen::TwipsPerPixelY(); }
float Kavrel_T::Width() const { return float(width()) * Screen::TwipsPerPixelX(); }
float Kavrel_T::Height() const { return float(height()) * Screen::TwipsPerPixelY(); }
void Kavrel_T::setLeft(float twips) {
  move(int(std::lround(twips / Screen::TwipsPerPixelX())), y());
}
void Kavrel_T::setTop(float twips) {
  move(x(), int(std::lround(twips / Screen::TwipsPerPixelY())));
}
