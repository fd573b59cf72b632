#include "resident/kavrel_t.h"

#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/screen.h"
#include "core/window_helpers.h"
#include "platform/platform.h"
#include "resident/kavrel_m.h"
#include "resources/resources.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace {
Kavrel_T *instance = nullptr;

constexpr QRgb formBack = 0x808080; // the thin strip the face does not cover
constexpr QRgb faceBack = 0xC0C0C0;
constexpr int faceSize = 21; // logical pixels
constexpr int orgSize = 36;  // source of the scaled icon
constexpr int scaledSize = 25;

} // namespace

void Show_Kavrel_T() {
  if (!instance) {
    instance = new Kavrel_T;
    instance->Form_Load();
  }
  instance->show();
  // The window manager forgets this on every unmap.
  platform().skipTaskbar(instance);
}

Kavrel_T *kavrelT() { return instance; }

void Unload_Kavrel_T() {
  if (!instance)
    return;
  Kavrel_T *t = instance;
  instance = nullptr;
  t->Timer1()->stop();
  t->hide();
  // It may be unloading from inside one of its own handlers.
  t->deleteLater();
}

Pic_B_Face::Pic_B_Face(Kavrel_T *form) : QWidget(form), form_(form) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void Pic_B_Face::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), QColor(faceBack));
  p.drawImage(0, 0, Image);
}

void Pic_B_Face::mousePressEvent(QMouseEvent *e) {
  form_->Pic_B_MouseDown(mouseButtonCode(e->button()), e->globalPosition().toPoint());
}

void Pic_B_Face::mouseMoveEvent(QMouseEvent *e) {
  form_->Pic_B_MouseMove(e->globalPosition().toPoint(), e->buttons());
}

void Pic_B_Face::mouseReleaseEvent(QMouseEvent *e) {
  form_->Pic_B_MouseUp(mouseButtonCode(e->button()));
}

void Pic_B_Face::mouseDoubleClickEvent(QMouseEvent *e) {
  if (e->button() == Qt::LeftButton)
    form_->Pic_B_DblClick();
}

Kavrel_T::Kavrel_T()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(QStringLiteral("Morvane"));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(formBack));
  setPalette(pal);
  setAutoFillBackground(true);

  pic_b_ = new Pic_B_Face(this);
  pic_b_->resize(faceSize, faceSize);

  timer1_ = new QTimer(this);
  timer1_->setInterval(100);
  connect(timer1_, &QTimer::timeout, this, &Kavrel_T::Timer1_Timer);

  popupMenu = [](QMenu *m) { m->exec(QCursor::pos()); };
}

Kavrel_T::~Kavrel_T() = default;

QRect Kavrel_T::pixelRect() const { return platform().toPixels(geometry()); }

void Kavrel_T::moveToPixels(const QPoint &topLeft) {
  move(platform().toLogical(QRect(topLeft, pixelRect().size())).topLeft());
}

float Kavrel_T::Left() const { return float(pixelRect().x()) * Screen::TwipsPerPixelX(); }

float Kavrel_T::Top() const { return float(pixelRect().y()) * Screen::TwipsPerPixelY(); }

void Kavrel_T::setLeft(float twips) {
  moveToPixels({int(std::lround(twips / Screen::TwipsPerPixelX())), pixelRect().y()});
}

void Kavrel_T::setTop(float twips) {
  moveToPixels({pixelRect().x(), int(std::lround(twips / Screen::TwipsPerPixelY()))});
}

void Kavrel_T::Form_Load() {
  const float tppX = Screen::TwipsPerPixelX();
  const float tppY = Screen::TwipsPerPixelY();
  // The icon grows with the desktop's scale: 21 logical pixels (pixels at 96 dpi)
  // plus 8 twips, so it keeps the size a hand can hit at every scale.
  const float ratio = Screen::PixelRatio() > 0 ? Screen::PixelRatio() : 1.0f;

  // A little over 21 pixels each way; the window covers the fraction with a whole pixel.
  width_ = tppX * 21.0f * ratio + 8.0f;
  height_ = tppY * 21.0f * ratio + 8.0f;
  setFixedSize(int(std::ceil(width_ / tppX / ratio - 1e-3)),
               int(std::ceil(height_ / tppY / ratio - 1e-3)));
  // At a fractional scale the window manager sizes a window in whole steps of
  // the scale from its base size; from this size, no step is needed. Qt hands
  // the base size on only to a window that exists.
  winId();
  setBaseSize(size());

  setLeft(twipsOr0(Form_Left));
  setTop(twipsOr0(Form_Top));

  pic_b_->move(0, 0);

  // The program icon sits top-left on a larger source and is shrunk without blending,
  // so the face shows the crisp hand in its top-left 22 x 22 pixels. On a scaled
  // desktop the face is painted in device pixels, the shrink scaled alike.
  pic_org_ = QImage(orgSize, orgSize, QImage::Format_RGB32);
  pic_org_.fill(QColor(faceBack));
  {
    QPainter p(&pic_org_);
    p.drawPixmap(0, 0, resources::pointingHand());
  }
  const int scaledPx = int(std::lround(scaledSize * ratio));
  const QImage scaled =
      pic_org_.scaled(scaledPx, scaledPx, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  const int facePx = int(std::ceil(faceSize * ratio - 1e-3));
  pic_b_->Image = QImage(facePx, facePx, QImage::Format_RGB32);
  pic_b_->Image.fill(QColor(faceBack));
  {
    QPainter p(&pic_b_->Image);
    p.drawImage(0, 0, scaled);
  }
  pic_b_->Image.setDevicePixelRatio(ratio);
  pic_b_->update();

  // The round outline in the window's own (logical) pixels.
  const int unitX = std::max(1, int(std::nearbyint(tppX * ratio)));
  const int unitY = std::max(1, int(std::nearbyint(tppY * ratio)));
  const int w = int(std::nearbyint(width_)) / unitX;
  const int h = int(std::nearbyint(height_)) / unitY;
  setMask(ellipticRegion(w + 1, h + 1));

  // A stored position on no monitor (a larger screen, a projector gone) would
  // leave no icon to click at all.
  if (platform().monitorHolding(pixelRect()).isEmpty()) {
    Keep_On_Screen();
    Form_Left = Left();
    Form_Top = Top();
  }
  platform().watchMonitors(this, [this] { Monitors_Changed(); });

  // The first tick, not the load, puts the icon into the topmost band.
  timer1_->start();
}

void Kavrel_T::Keep_On_Screen() {
  QRect m = platform().monitorHolding(pixelRect());
  if (m.isEmpty())
    m = Screen::PixelRect();
  const float tx = Screen::TwipsPerPixelX(), ty = Screen::TwipsPerPixelY();
  const float left = float(m.left()) * tx, top = float(m.top()) * ty;
  const float right = float(m.left() + m.width()) * tx;
  const float bottom = float(m.top() + m.height()) * ty;
  // The whole pixels the window covers: at 96 dpi the same places as its exact
  // twips size, on a scaled desktop no pixel past the edge.
  const float width = std::max(Width(), float(pixelRect().width()) * tx);
  const float height = std::max(Height(), float(pixelRect().height()) * ty);
  if (Top() < top)
    setTop(top);
  if (Left() < left)
    setLeft(left);
  if (float(height + Top()) > bottom)
    setTop(bottom - height);
  if (float(width + Left()) > right)
    setLeft(right - width);
}

// Monitors came or went: an icon left on none, or across an edge, is brought back.
void Kavrel_T::Monitors_Changed() {
  if (instance != this) // unloading; its place is no longer the icon's
    return;
  const QPoint before = pos();
  Keep_On_Screen();
  if (pos() != before) {
    Form_Left = Left();
    Form_Top = Top();
  }
}

void Kavrel_T::Pic_B_MouseDown(int button, const QPoint &globalPos) {
  if (!Icon_Enabled || button != 1)
    return;
  Icon_Drag(globalPos);
}

void Kavrel_T::Icon_Drag(const QPoint &globalPos) {
  if (drag_ != Drag::None) // a release the window manager swallowed
    End_Drag();
  // The move starts only once the pointer travels: a window manager's move taken
  // at the press would swallow the second click of a quick double-click.
  drag_ = Drag::Pressed;
  pressGlobal_ = globalPos;
  pressWindowPos_ = pos();
}

void Kavrel_T::Pic_B_MouseMove(const QPoint &globalPos, Qt::MouseButtons held) {
  if (drag_ == Drag::Pressed) {
    if (!(held & Qt::LeftButton) ||
        (globalPos - pressGlobal_).manhattanLength() < QApplication::startDragDistance())
      return;
    if (platform().startSystemMove(this, pressGlobal_)) {
      drag_ = Drag::System;
      return;
    }
    // No window manager: follow the pointer ourselves.
    drag_ = Drag::Manual;
  }
  if (drag_ == Drag::Manual)
    move(pressWindowPos_ + (globalPos - pressGlobal_));
}

void Kavrel_T::End_Drag() {
  drag_ = Drag::None;
  Keep_On_Screen();
  Form_Left = Left();
  Form_Top = Top();
}

void Kavrel_T::Pic_B_MouseUp(int button) {
  // The end of a drag belongs to its press, which already passed the Icon_Enabled test.
  if (button == 1 && drag_ != Drag::None) {
    End_Drag();
    return;
  }
  if (!Icon_Enabled || button != 2)
    return;
  Kavrel_M *m = Load_Kavrel_M();
  // Just past the primary monitor's bottom-right corner.
  const QRect scr = Screen::PixelRect();
  m->move(platform()
              .toLogical(QRect(scr.topLeft() + QPoint(scr.width(), scr.height()), QSize(0, 0)))
              .topLeft());
  // A chosen item may unload this window; nothing here touches it afterwards.
  popupMenu(m->m_Popup());
}

void Kavrel_T::Pic_B_DblClick() {
  if (!Icon_Enabled)
    return;
  platform().screenWillChange(); // the frozen screen is without the icon
  hide();
  // Lets the desktop under the icon repaint before the overlay captures the screen.
  QCoreApplication::processEvents();
  Unload_Kavrel_T();
  Show_Kavrel_G();
}

void Kavrel_T::Timer1_Timer() {
  // The window manager's move may keep the release from us: end the drag once
  // the button is up.
  if (drag_ == Drag::System && !(platform().mouseButtons() & Qt::LeftButton))
    End_Drag();
  Set_TopMost(this, true);
}
