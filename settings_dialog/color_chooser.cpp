#include "settings_dialog/color_chooser.h"

#include "platform/platform.h"
#include "resources/dialog_captions.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

namespace {
// The 48 basic colours, six rows of eight, as the classic desktop chooser lays them out.
constexpr QRgb basicColors[48] = {
    0xFF8080, 0xFFFF80, 0x80FF80, 0x00FF80, 0x80FFFF, 0x0080FF, 0xFF80C0, 0xFF80FF, //
    0xFF0000, 0xFFFF00, 0x80FF00, 0x00FF40, 0x00FFFF, 0x0080C0, 0x8080C0, 0xFF00FF, //
    0x804040, 0xFF8040, 0x00FF00, 0x008080, 0x004080, 0x8080FF, 0x800040, 0xFF0080, //
    0x800000, 0xFF8000, 0x008000, 0x008040, 0x0000FF, 0x0000A0, 0x800080, 0x8000FF, //
    0x400000, 0x804000, 0x004000, 0x004040, 0x000080, 0x000040, 0x400040, 0x400080, //
    0x000000, 0x808000, 0x808040, 0x808080, 0x408080, 0xC0C0C0, 0x400040, 0xFFFFFF, //
};

QGridLayout *grid(const QList<ColorSwatch *> &swatches) {
  auto *g = new QGridLayout;
  g->setSpacing(4);
  for (int i = 0; i < swatches.size(); ++i)
    g->addWidget(swatches[i], i / 8, i % 8);
  return g;
}
} // namespace

ColorSwatch::ColorSwatch(const QColor &color, QWidget *parent)
    : QAbstractButton(parent), color_(color) {
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
  setFixedSize(sizeHint());
}

void ColorSwatch::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  // A thick dark frame marks the chosen colour; a sunken edge the others.
  if (isChecked()) {
    p.fillRect(r, Qt::black);
    p.fillRect(r.adjusted(2, 2, -2, -2), Qt::white);
    p.fillRect(r.adjusted(3, 3, -3, -3), color_);
  } else {
    p.fillRect(r.adjusted(2, 2, -2, -2), color_);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(r.adjusted(1, 1, -2, -2));
  }
  if (hasFocus()) {
    QStyleOptionFocusRect o;
    o.initFrom(this);
    o.rect = r;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, &p, this);
  }
}

ColorChooser::ColorChooser(QWidget *owner, const QList<QColor> &custom)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  namespace cap = captions::dialog;
  setWindowTitle(cap::colorTitle());
  if (owner)
    setFont(owner->font());
  // Part of the settings dialog, which has no task bar button either.
  platform().skipTaskbar(this);

  auto *group = new QButtonGroup(this);
  group->setExclusive(true);
  for (QRgb c : basicColors)
    basic_ << new ColorSwatch(QColor(c), this);
  for (const QColor &c : custom)
    custom_ << new ColorSwatch(c, this);
  for (ColorSwatch *s : basic_ + custom_)
    group->addButton(s);
  // No initial colour: the choice starts at black.
  basic_[40]->setChecked(true);

  auto *basicLabel = new QLabel(cap::colorBasic(), this);
  basicLabel->setBuddy(basic_[40]);
  auto *customLabel = new QLabel(cap::colorCustom(), this);
  customLabel->setBuddy(custom_.value(0));
  // Shown as the classic chooser shows it, but unavailable: colours are picked, not defined.
  auto *define = new QPushButton(cap::colorDefine(), this);
  define->setEnabled(false);

  auto *ok = new QPushButton(cap::colorOk(), this);
  auto *cancel = new QPushButton(cap::colorCancel(), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  ok_ = ok;
  cancel_ = cancel;

  auto *buttons = new QHBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto *v = new QVBoxLayout(this);
  v->addWidget(basicLabel);
  v->addLayout(grid(basic_));
  v->addSpacing(8);
  v->addWidget(customLabel);
  v->addLayout(grid(custom_));
  v->addSpacing(8);
  v->addWidget(define);
  v->addLayout(buttons);
  v->setSizeConstraint(QLayout::SetFixedSize);
}

QColor ColorChooser::selectedColor() const {
  for (ColorSwatch *s : basic_ + custom_)
    if (s->isChecked())
      return s->color();
  return QColor(0, 0, 0);
}
