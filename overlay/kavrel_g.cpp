#include "overlay/kavrel_g.h"

#include "core/app.h"
#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/open_trace.h"
#include "core/screen.h"
#include "core/window_helpers.h"
#include "overlay/first_paint.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "resident/kavrel_s.h"
#include "resources/captions.h"
#include "resources/resources.h"

#include <QBackingStore>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <utility>

namespace {
Kavrel_G *instance = nullptr;

// Colour values the toolkit starts its surfaces with.
constexpr qint32 Silver = 0xC0C0C0;
constexpr qint32 Red = 0x0000FF;
constexpr qint32 ButtonFace = static_cast<qint32>(0x8000000F);
constexpr qint32 WindowBack = static_cast<qint32>(0x80000005);
constexpr qint32 WindowText = static_cast<qint32>(0x80000008);

double ratioOf(const QWidget *w) {
  const double r = w ? w->devicePixelRatioF() : 1.0;
  return r > 0 ? r : 1.0;
}

// Paints the part of `s` under the logical rectangle `rect` of a widget, one
// surface pixel per device pixel, and the silver of the window where `s` ends.
void paintSurface(QPainter &p, const QWidget *w, const Surface &s, const QRect &rect) {
  const double dpr = ratioOf(w);
  QRect px = rect;
  if (dpr != 1.0) {
    const int l = int(std::floor(rect.left() * dpr));
    const int t = int(std::floor(rect.top() * dpr));
    const int r = int(std::ceil((rect.right() + 1) * dpr));
    const int b = int(std::ceil((rect.bottom() + 1) * dpr));
    px = QRect(QPoint(l, t), QPoint(r - 1, b - 1));
    p.scale(1.0 / dpr, 1.0 / dpr);
  }
  const QRect inside = px & QRect(QPoint(0, 0), s.size());
  if (inside != px)
    p.fillRect(px, QColor(resolveColor(Silver)));
  if (!inside.isEmpty())
    s.paint(p, inside);
}

// Where a child widget shows on its top-level window, in device pixels.
QRegion spotOf(const QWidget *child) {
  const QRegion logical =
      (child->mask().isEmpty() ? QRegion(child->rect()) : child->mask()).translated(child->pos());
  const double dpr = ratioOf(child);
  if (dpr == 1.0)
    return logical;
  QRegion px;
  for (const QRect &r : logical)
    px += QRect(qRound(r.x() * dpr), qRound(r.y() * dpr), qRound(r.width() * dpr),
                qRound(r.height() * dpr));
  return px;
}

// The icon the user left, in the tray or floating.
void backToResident() {
  if (Try_Out)
    Show_Kavrel_T();
  else
    Tray_Icon_Add();
}

// The arrows, Delete, F10 and F11: they act on a finished shape or text.
bool ringOrBoardKey(int code) {
  return code == 37 || code == 38 || code == 39 || code == 40 || code == 46 || code == 121 ||
         code == 122;
}

// Qt paints no window on a screen of fewer than 16 bits a pixel (a colour map):
// the overlay would stay black and every paint fail. Said once, then refused.
bool depthSupported() {
  const int depth = platform().colorDepth();
  if (depth >= 16)
    return true;
  static bool said = false;
  if (!said)
    std::fprintf(stderr,
                 "morvane: the screen has %d bits a pixel; drawing needs 16 or more, so the "
                 "overlay does not open\n",
                 depth);
  said = true;
  return false;
}
} // namespace

// ---- loading and unloading ------------------------------------------------

void Show_Kavrel_G() {
  open_trace::mark("open-start");
  // A capture may wait for the desktop with the event loop running: a second
  // activation meanwhile neither opens a second overlay nor shows this one early.
  static bool loading = false;
  if (loading)
    return;
  keepLargeBuffersSeparate();
  if (!instance && !depthSupported()) {
    backToResident();
    return;
  }
  if (!instance) {
    loading = true;
    instance = new Kavrel_G;
    instance->Form_Load();
    if (instance && instance->shotDenied() != ShotDenial::None) {
      // The user said no to the desktop's question (or did not answer it):
      // nothing opens, a refusal says where to allow it, and the icon comes
      // back once that is read (a click on it meanwhile would be swallowed
      // by this unfinished load).
      const bool refused = instance->shotDenied() == ShotDenial::Refused;
      Unload_Kavrel_G();
      if (refused)
        platform().notifyUser(nullptr, captions::screenshotsRefused());
      loading = false;
      backToResident();
      return;
    }
    loading = false;
    if (!instance) // unloaded while the capture waited (its monitor went away)
      return;
    // The dot joins the frozen screen that the window maps with.
    platform().prepareFirstFrame(instance, spotOf(instance->Pic_Color()),
                                 resolveColor(instance->Pic_Color()->backColor()));
    if (platform().showsFirstFrame(instance))
      first_paint::hold(instance);
    open_trace::mark("load-done");
  }
  // Full screen covers the taskbar under the window manager and gets every key.
  instance->showFullScreen();
  instance->raise();
  instance->activateWindow();
  instance->Pic_Color()->setFocus();
  platform().skipTaskbar(instance); // lost again at every show
  open_trace::mark("shown");
}

Kavrel_G *kavrelG() { return instance; }

void Unload_Kavrel_G() {
  if (!instance)
    return;
  Kavrel_G *g = instance;
  instance = nullptr;
  g->hide();
  g->deleteLater(); // we may be inside one of its own handlers
}

// ---- the colour dot ---------------------------------------------------------

ColorDot::ColorDot(Kavrel_G *owner) : QWidget(owner), owner_(owner) {
  setObjectName(QStringLiteral("Pic_Color"));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColorDot::setBackColor(qint32 colorValue) {
  backColor_ = colorValue;
  update();
}

bool ColorDot::event(QEvent *e) {
  // Key preview: every key, Tab included, goes to the overlay's handler.
  switch (e->type()) {
  case QEvent::KeyPress:
    owner_->keyPressEvent(static_cast<QKeyEvent *>(e));
    return true;
  case QEvent::KeyRelease:
    owner_->keyReleaseEvent(static_cast<QKeyEvent *>(e));
    return true;
  case QEvent::FocusOut:
    // Tab's release goes to the window that took the focus (Alt+Tab): held no longer.
    owner_->tabHeld_ = false;
    return QWidget::event(e);
  case QEvent::InputMethod:
    owner_->inputMethodInput(static_cast<QInputMethodEvent *>(e));
    return true;
  case QEvent::InputMethodQuery: {
    auto *q = static_cast<QInputMethodQueryEvent *>(e);
    for (int bit = 0; bit < 32; ++bit) {
      const auto query = Qt::InputMethodQuery(1 << bit);
      if (q->queries() & query)
        q->setValue(query, owner_->inputMethodAnswer(query));
    }
    q->accept();
    return true;
  }
  default:
    return QWidget::event(e);
  }
}

void ColorDot::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), QColor(resolveColor(backColor_)));
}

// The dot swallows the mouse: a press on it starts nothing on the overlay below.
void ColorDot::mousePressEvent(QMouseEvent *e) { e->accept(); }
void ColorDot::mouseReleaseEvent(QMouseEvent *e) { e->accept(); }
void ColorDot::mouseMoveEvent(QMouseEvent *e) { e->accept(); }
void ColorDot::mouseDoubleClickEvent(QMouseEvent *e) { e->accept(); }

// ---- the plain board --------------------------------------------------------

MujiBoard::MujiBoard(Kavrel_G *owner)
    : QWidget(owner), surface(QSize(), WindowBack), owner_(owner) {
  setObjectName(QStringLiteral("Pic_Muji"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_StaticContents);
  setFocusPolicy(Qt::NoFocus);
  setCursor(resources::penHandCursor());
  surface.setForeColor(WindowText);
}

void MujiBoard::paintEvent(QPaintEvent *e) {
  QPainter p(this);
  paintSurface(p, this, surface, e->rect());
  owner_->notice().paint(p, this, e->rect());
}

void MujiBoard::mousePressEvent(QMouseEvent *e) {
  if (!mouseButtonCode(e->button()))
    return;
  const QPointF px = owner_->toPixels(this, e->position());
  owner_->setPressModifiers(e->modifiers());
  owner_->Pic_Muji_MouseDown(mouseButtonCode(e->button()), px.x(), px.y());
}

void MujiBoard::mouseMoveEvent(QMouseEvent *e) {
  const QPointF px = owner_->toPixels(this, e->position());
  owner_->Pic_Muji_MouseMove(mouseButtonCode(e->button()), px.x(), px.y());
}

void MujiBoard::mouseReleaseEvent(QMouseEvent *e) {
  if (!mouseButtonCode(e->button()))
    return;
  const QPointF px = owner_->toPixels(this, e->position());
  owner_->Pic_Muji_MouseUp(mouseButtonCode(e->button()), px.x(), px.y());
}

// ---- the overlay ------------------------------------------------------------

Kavrel_G::Kavrel_G()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      form_(QSize(), Silver), display_(QSize(), ButtonFace), picSave_(QSize(), ButtonFace) {
  setObjectName(QStringLiteral("Kavrel_G"));
  setWindowTitle(QStringLiteral("Morvane"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_StaticContents);
  setFocusPolicy(Qt::NoFocus);
  setCursor(resources::pointingHandCursor());
  form_.setForeColor(Red);
  for (Surface &s : picDmy_)
    s.setBackColor(ButtonFace);
  notice_ = new Notice(this);
  muji_ = new MujiBoard(this);
  muji_->hide();
  dot_ = new ColorDot(this); // created last, so it lies above the board
}

Kavrel_G::~Kavrel_G() {
  if (instance == this)
    instance = nullptr;
  // The pictures' tiles and the painter's helper threads leave tens of
  // megabytes free in the allocator; the resident program hands them back once
  // the overlay's members are gone. One shot, no timer left.
  QTimer::singleShot(0, [] { returnFreeMemory(); });
}

void Kavrel_G::Form_Load() {
  // 1. The window covers the monitor that holds the pointer: the primary for the
  // tray, the floating icon's or the menu's own monitor otherwise.
  monitor_ = platform().monitorAt(platform().cursorPixel());
  setGeometry(platform().toLogical(monitor_));
  // 2. Its size in pixels (on the primary: Screen.Width / TwipsPerPixelX).
  scrWidth_ = float(monitor_.width());
  scrHeight_ = float(monitor_.height());
  const QSize scr(qRound(scrWidth_), qRound(scrHeight_));
  form_.resize(scr);
  // 3.
  display_.resize(scr);
  picSave_.resize(scr);
  // 4.
  breakSaved_ = 0;
  // 5.
  for (int i = 1; i <= 6; ++i) {
    picDmy_[i].resize(scr);
    Undo_Valid[i] = false;
  }
  // 6.
  muji_->surface.resize(scr);
  muji_->setGeometry(rect());
  // 7. One copy of the whole monitor, taken before the window is ever shown.
  const QImage shot = platform().captureScreen(monitor_, this);
  open_trace::mark("captured");
  if (shot.isNull())
    denied_ = platform().captureDenial();
  else
    display_.setPicture(Picture(shot));
  // 8. Seed the ring with the clean capture.
  picDmy_[1].setPicture(display_.image());
  Undo_Pos = 1;
  Undo_Valid[1] = true;
  // 9.
  form_.setPicture(display_.image());
  // 10.
  Apply_Pen(form_);
  // 11. The dot: 195 twips square, clipped to a disc 12 pixels across.
  const double dpr = platform().devicePixelRatio();
  const double tx = Screen::TwipsPerPixelX() > 0 ? Screen::TwipsPerPixelX() : 15.0;
  const double ty = Screen::TwipsPerPixelY() > 0 ? Screen::TwipsPerPixelY() : 15.0;
  dot_->setGeometry(0, 0, qMax(1, qRound(195.0 / tx / dpr)), qMax(1, qRound(195.0 / ty / dpr)));
  dot_->setMask(ellipticRegion(qMax(1, qRound(12.0 / dpr)), qMax(1, qRound(12.0 / dpr))));
  // 12. No input method composes keys on the dot.
  dot_->setAttribute(Qt::WA_InputMethodEnabled, false);
  // 13.
  mujiMode_ = 0;
  // 14.
  Set_TopMost(this, true);
  // Watched only from here: a capture that waits runs the event loop, and the
  // overlay must not be unloaded under its own load. A monitor that went
  // meanwhile is noticed now.
  platform().watchMonitors(this, [this] { Monitors_Changed(); });
  Monitors_Changed();
}

// A monitor unplugged or rearranged under the overlay: its picture no longer
// matches any screen, so leave as Space does.
void Kavrel_G::Monitors_Changed() {
  for (const Monitor &m : platform().monitors())
    if (m.pixels == monitor_)
      return;
  if (instance == this)
    Return_To_Resident();
}

void Kavrel_G::Apply_Pen(Surface &surface) {
  const int n = Pen_No;
  // A refused value keeps the surface's previous one; a pen number that cannot
  // index the table applies nothing, and the dot shows the surface's colour.
  if (penIndexOk(n)) {
    surface.setForeColor(Pen_Color[n]);
    surface.setDrawWidth(Pen_Width[n]);
    surface.setDrawStyle(Pen_Style[n] - 1);
    surface.setDrawMode(Pen_Toimei[n] == 1 ? Surface::MaskPen : Surface::CopyPen);
  }
  dot_->setBackColor(surface.foreColor());
}

void Kavrel_G::Record_Snapshot() {
  int pos = Undo_Pos + 1;
  if (pos > 6 || pos < 1)
    pos = 1;
  Undo_Pos = qint16(pos);
  Undo_Valid[pos] = true;
  picDmy_[pos].setPicture(form_.image());
}

void Kavrel_G::Step_Back() {
  const int p = Undo_Pos;
  if (p < 1 || p > 6)
    return;
  if (Undo_Mode == 0) {
    // The newest slot is what is on screen: go to the one before it.
    const int q = p == 1 ? 6 : p - 1;
    if (!Undo_Valid[q])
      return;
    Undo_Valid[p] = false;
    Undo_Pos = qint16(q);
    showPicture(picDmy_[q].image());
  } else {
    // The newest slot is the last break: go back to it first.
    if (!Undo_Valid[p])
      return;
    Undo_Valid[p] = false;
    Undo_Pos = qint16(p == 1 ? 6 : p - 1);
    showPicture(picDmy_[p].image());
  }
}

void Kavrel_G::Return_To_Resident() {
  backToResident();
  Unload_Kavrel_G();
}

void Kavrel_G::showPicture(const Picture &p) {
  form_.setPicture(p);
  update();
}

void Kavrel_G::clearStrokes() {
  showPicture(display_.image());
  for (int i = 1; i <= 6; ++i)
    Undo_Valid[i] = false;
}

void Kavrel_G::clearAll() {
  showPicture(display_.image());
  Undo_Pos = 0;
  for (int i = 1; i <= 6; ++i)
    Undo_Valid[i] = false;
}

void Kavrel_G::keyboardBreak() {
  Record_Snapshot();
  picSave_.setPicture(form_.image());
  breakSaved_ = -1;
}

void Kavrel_G::clearBoard() {
  muji_->surface.setPicture(Picture());
  muji_->update();
}

void Kavrel_G::mujiOn() {
  mujiMode_ = 1;
  Apply_Pen(muji_->surface);
  clearBoard();
  muji_->show();
  dot_->raise();
}

void Kavrel_G::mujiOff() {
  mujiMode_ = 0;
  muji_->hide();
}

// ---- keys -----------------------------------------------------------------

void Kavrel_G::Form_KeyDown(int keyCode) {
  const bool boardOff = mujiMode_ == 0;
  if (keyCode == 27) {
    Unload_Kavrel_G();
    App_End();
  } else if (keyCode == 32) {
    Return_To_Resident();
  } else if (keyCode == 37) {
    if (boardOff)
      Step_Back();
  } else if (keyCode == 38) {
    if (boardOff && breakSaved_)
      showPicture(display_.image());
  } else if (keyCode == 39) {
    if (boardOff && Undo_Mode == 1)
      keyboardBreak();
  } else if (keyCode == 40) {
    if (boardOff && breakSaved_)
      showPicture(picSave_.image());
  } else if (keyCode == 46) {
    if (boardOff)
      clearAll();
    else
      clearBoard();
  } else if (keyCode >= 112 && keyCode <= 120) {
    Pen_No = qint16(keyCode - 111);
    if (boardOff)
      Apply_Pen(form_);
    else
      Apply_Pen(muji_->surface);
  } else if (keyCode == 121) {
    mujiOn();
  } else if (keyCode == 122) {
    mujiOff();
  }
}

int Kavrel_G::windowsKeyCode(int qtKey) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
    return 112 + (qtKey - Qt::Key_F1);
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
    return qtKey; // the same codes in both
  switch (qtKey) {
  case Qt::Key_Escape:
    return 27;
  case Qt::Key_Space:
    return 32;
  case Qt::Key_Left:
    return 37;
  case Qt::Key_Up:
    return 38;
  case Qt::Key_Right:
    return 39;
  case Qt::Key_Down:
    return 40;
  case Qt::Key_Delete:
    return 46;
  case Qt::Key_Backspace:
    return 8;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return 9;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 13;
  case Qt::Key_Insert:
    return 45;
  default:
    return 0;
  }
}

void Kavrel_G::keyPressEvent(QKeyEvent *e) {
  e->accept();
  awaitPixels();
  if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab)
    tabHeld_ = true; // held at a left press: an ellipse
  if (text_.active() && typingKey(e))
    return;
  const int code = windowsKeyCode(e->key());
  // The ring and board keys act on a finished shape.
  if (shape_.active() && ringOrBoardKey(code))
    endShape();
  if (exportKey(e))
    return;
  if (code == 'T' && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
      !shape_.active()) {
    startText();
    return;
  }
  // Auto-repeats run the command again; Shift, Ctrl and Alt change nothing.
  Form_KeyDown(code);
}

void Kavrel_G::keyReleaseEvent(QKeyEvent *e) {
  e->accept();
  if ((e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) && !e->isAutoRepeat())
    tabHeld_ = false;
}

// ---- shapes, text and export ---------------------------------------------

void Kavrel_G::repaintPixels(QWidget *w, const QRegion &pixels) {
  if (!w)
    return;
  for (const QRect &r : pixels)
    w->update(toLogical(w, r));
}

bool Kavrel_G::beginShape(double x, double y) {
  const shapes::Kind kind = shapes::kindFor(pressModifiers_, tabHeld_);
  pressModifiers_ = {};
  if (kind == shapes::Kind::None)
    return false;
  editHost_ = drawingWidget();
  shape_.begin(drawingSurface(), kind, QPointF(x, y));
  return true;
}

void Kavrel_G::endShape() {
  if (!shape_.active())
    return;
  const bool onForm = editHost_ == this;
  repaintPixels(editHost_, shape_.finish());
  // The button is still down: its release must not record a second step.
  penDown_ = 0;
  swallowRelease_ = true;
  if (onForm && Undo_Mode == 0)
    Record_Snapshot();
}

void Kavrel_G::startText() {
  endShapeOrText();
  editHost_ = drawingWidget();
  const QPoint at = platform().cursorPixel() - monitor_.topLeft();
  const int width = penIndexOk(Pen_No) ? Pen_Width[Pen_No] : 1;
  const int size = TextEntry::pixelSizeFor(width, platform().devicePixelRatio());
  repaintPixels(editHost_, text_.begin(drawingSurface(), QPointF(at), size));
  // The input method composes only while text is typed.
  dot_->setAttribute(Qt::WA_InputMethodEnabled, true);
}

void Kavrel_G::endText() {
  if (!text_.active())
    return;
  const bool onForm = editHost_ == this;
  const bool empty = text_.text().isEmpty();
  repaintPixels(editHost_, text_.end());
  dot_->setAttribute(Qt::WA_InputMethodEnabled, false);
  if (onForm && !empty && Undo_Mode == 0)
    Record_Snapshot();
}

void Kavrel_G::endShapeOrText() {
  endShape();
  endText();
}

bool Kavrel_G::typingKey(QKeyEvent *e) {
  const int code = windowsKeyCode(e->key());
  if (code == 27) { // ends the text, not the program
    endText();
    return true;
  }
  if (code == 13) {
    repaintPixels(editHost_, text_.newLine());
    return true;
  }
  if (code == 8) {
    repaintPixels(editHost_, text_.backspace());
    return true;
  }
  if (code >= 112 && code <= 120) {
    Form_KeyDown(code);
    repaintPixels(editHost_, text_.penChanged());
    return true;
  }
  // The ring, board and export keys act on the finished text.
  if (ringOrBoardKey(code) || (e->modifiers() & Qt::ControlModifier)) {
    endText();
    return false;
  }
  QString typed = e->text();
  typed.removeIf([](QChar c) { return !c.isPrint(); });
  repaintPixels(editHost_, text_.insert(typed));
  return true;
}

void Kavrel_G::inputMethodInput(QInputMethodEvent *e) {
  e->accept();
  if (text_.active())
    repaintPixels(editHost_, text_.inputMethod(*e));
}

QVariant Kavrel_G::inputMethodAnswer(Qt::InputMethodQuery query) const {
  switch (query) {
  case Qt::ImEnabled:
    return text_.active();
  case Qt::ImCursorRectangle:
    return text_.active() && editHost_ ? QRectF(toLogical(editHost_, text_.caretRect())) : QRectF();
  case Qt::ImCursorPosition:
  case Qt::ImAnchorPosition:
    return int(text_.text().size());
  case Qt::ImSurroundingText:
    return text_.text();
  case Qt::ImHints:
    return int(Qt::ImhMultiLine);
  default:
    return {};
  }
}

bool Kavrel_G::exportKey(QKeyEvent *e) {
  if (!(e->modifiers() & Qt::ControlModifier) || (e->key() != Qt::Key_C && e->key() != Qt::Key_S))
    return false;
  endShapeOrText();
  // On the board, the board with its drawing is the picture.
  const QImage picture = drawingSurface().toImage();
  if (e->key() == Qt::Key_C) {
    notice_->show(exporting::copyToClipboard(picture));
  } else if (!(e->modifiers() & Qt::ShiftModifier)) {
    notice_->show(exporting::saveToPictures(picture).message);
  } else {
    const QString folder = exporting::defaultFolder();
    QDir().mkpath(folder);
    QPointer<Kavrel_G> self(this);
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("名前を付けて保存"),
        QDir(folder).filePath(exporting::defaultName(QDateTime::currentDateTime())),
        QStringLiteral("PNG (*.png)"));
    if (!self || path.isEmpty()) // gone meanwhile, or cancelled
      return true;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
      path += QStringLiteral(".png");
    notice_->show(exporting::savePng(picture, path).message);
  }
  return true;
}

// ---- mouse ----------------------------------------------------------------

QPointF Kavrel_G::toPixels(const QWidget *w, QPointF logical) const {
  const double dpr = ratioOf(w);
  return QPointF(qRound(logical.x() * dpr), qRound(logical.y() * dpr));
}

QRect Kavrel_G::toLogical(const QWidget *w, const QRect &pixels) const {
  const double dpr = ratioOf(w);
  if (dpr == 1.0 || pixels.isEmpty())
    return pixels;
  const int l = int(std::floor(pixels.left() / dpr));
  const int t = int(std::floor(pixels.top() / dpr));
  const int r = int(std::ceil((pixels.right() + 1) / dpr));
  const int b = int(std::ceil((pixels.bottom() + 1) / dpr));
  return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

void Kavrel_G::Form_MouseDown(int button, double x, double y) {
  swallowRelease_ = false;
  if (button == 1) {
    if (text_.active()) { // the click ends the text and draws nothing
      endText();
      swallowRelease_ = true;
      return;
    }
    penDown_ = -1;
    if (!beginShape(x, y))
      form_.setCurrentPoint(QPointF(x, y)); // nothing drawn: a click leaves no mark
  } else {
    // A right press wipes a shape being dragged as it wipes a stroke; the
    // releases then record as they do for strokes.
    if (shape_.active())
      form_.setCurrentPoint(QPointF(x, y));
    repaintPixels(this, shape_.finish());
    endText();
    clearStrokes(); // Undo_Pos and Pen_Down stay as they are
  }
}

void Kavrel_G::Form_MouseMove(int, double x, double y) {
  if (shape_.active()) {
    repaintPixels(this, shape_.moveTo(QPointF(x, y)));
    return;
  }
  if (!penDown_)
    return;
  update(toLogical(this, form_.lineTo(QPointF(x, y))));
}

void Kavrel_G::Form_MouseUp(int, double, double) {
  if (std::exchange(swallowRelease_, false))
    return;
  repaintPixels(this, shape_.finish());
  penDown_ = 0;
  if (Undo_Mode != 0)
    return;
  Record_Snapshot();
}

void Kavrel_G::Pic_Muji_MouseDown(int button, double x, double y) {
  swallowRelease_ = false;
  if (button == 1) {
    if (text_.active()) {
      endText();
      swallowRelease_ = true;
      return;
    }
    penDown_ = -1;
    if (!beginShape(x, y))
      muji_->surface.setCurrentPoint(QPointF(x, y));
  } else {
    if (shape_.active())
      muji_->surface.setCurrentPoint(QPointF(x, y));
    repaintPixels(muji_, shape_.finish());
    endText();
    clearBoard();
  }
}

void Kavrel_G::Pic_Muji_MouseMove(int, double x, double y) {
  if (shape_.active()) {
    repaintPixels(muji_, shape_.moveTo(QPointF(x, y)));
    return;
  }
  if (!penDown_)
    return;
  muji_->update(toLogical(muji_, muji_->surface.lineTo(QPointF(x, y))));
}

void Kavrel_G::Pic_Muji_MouseUp(int, double, double) {
  swallowRelease_ = false;
  repaintPixels(muji_, shape_.finish());
  penDown_ = 0;
}

void Kavrel_G::paintEvent(QPaintEvent *e) {
  if (!painted_) {
    painted_ = true;
    awaitPixels();
    open_trace::mark("pixels");
    // The window's backing store is fresh memory: map it in one go rather
    // than page by page under the first full-screen paint.
    QBackingStore *store = backingStore();
    QPaintDevice *device = store ? store->paintDevice() : nullptr;
    if (device && device->devType() == QInternal::Image) {
      const auto *image = static_cast<const QImage *>(device);
      populatePages(image->constBits(), size_t(image->sizeInBytes()));
    }
    open_trace::mark("store-ready");
  }
  {
    QPainter p(this);
    paintSurface(p, this, form_, e->rect());
    notice_->paint(p, this, e->rect()); // on the window only, never in the picture
  }
  if (!framed_ && open_trace::enabled()) {
    framed_ = true;
    open_trace::mark("first-paint");
    // Queued: it runs once the painted frame has been handed to the display.
    QMetaObject::invokeMethod(
        this, [] { open_trace::mark("first-frame"); }, Qt::QueuedConnection);
  }
}

// The window may have mapped with the frozen screen and the dot already on it
// (painted by the window system): the capture's own pixels arrive now, before
// the first paint, stroke or key reads them. Later calls cost nothing.
void Kavrel_G::awaitPixels() {
  first_paint::release(this); // what comes next is drawn over a complete window
  platform().firstPaint(this);
}

void Kavrel_G::resizeEvent(QResizeEvent *) { muji_->setGeometry(rect()); }

// A window manager's close (Alt+F4, a task switcher) would leave no way back: act as Space.
void Kavrel_G::closeEvent(QCloseEvent *e) {
  e->ignore();
  if (kavrelG() == this)
    Return_To_Resident();
}

void Kavrel_G::mousePressEvent(QMouseEvent *e) {
  const int b = mouseButtonCode(e->button());
  if (!b)
    return;
  awaitPixels();
  const QPointF px = toPixels(this, e->position());
  pressModifiers_ = e->modifiers();
  Form_MouseDown(b, px.x(), px.y());
}

void Kavrel_G::mouseMoveEvent(QMouseEvent *e) {
  const QPointF px = toPixels(this, e->position());
  Form_MouseMove(mouseButtonCode(e->button()), px.x(), px.y());
}

void Kavrel_G::mouseReleaseEvent(QMouseEvent *e) {
  const int b = mouseButtonCode(e->button());
  if (!b)
    return;
  const QPointF px = toPixels(this, e->position());
  Form_MouseUp(b, px.x(), px.y());
}
