// A passive key grab on the X root window: the server hands us the key whatever
// window has the focus. Under XWayland such a grab sees only keys typed into X
// windows, so it is never used there. Every press goes to the root window, ours
// included, so that the key works over the overlay too.

#include "platform/shortcut/shortcut.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

namespace {
constexpr uint16_t usedMods =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
// CapsLock and NumLock must not make the key deaf: each combination is grabbed.
constexpr uint16_t lockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                     XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

xcb_connection_t *connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    return nullptr;
  auto *app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return app ? app->connection() : nullptr;
}

// The X keysym of a Qt key, for the keys a global shortcut sensibly uses.
uint32_t keysymOf(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return 0x61 + uint32_t(key - Qt::Key_A); // the lower-case letter
  if (key >= 0x20 && key <= 0x7e)
    return uint32_t(key); // Latin-1 printable keys share their codes
  if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
    return 0xffbe + uint32_t(key - Qt::Key_F1);
  switch (key) {
  case Qt::Key_Escape:
    return 0xff1b;
  case Qt::Key_Tab:
    return 0xff09;
  case Qt::Key_Backspace:
    return 0xff08;
  case Qt::Key_Return:
    return 0xff0d;
  case Qt::Key_Insert:
    return 0xff63;
  case Qt::Key_Delete:
    return 0xffff;
  case Qt::Key_Pause:
    return 0xff13;
  case Qt::Key_Print:
    return 0xff61;
  case Qt::Key_ScrollLock:
    return 0xff14;
  case Qt::Key_Home:
    return 0xff50;
  case Qt::Key_Left:
    return 0xff51;
  case Qt::Key_Up:
    return 0xff52;
  case Qt::Key_Right:
    return 0xff53;
  case Qt::Key_Down:
    return 0xff54;
  case Qt::Key_PageUp:
    return 0xff55;
  case Qt::Key_PageDown:
    return 0xff56;
  case Qt::Key_End:
    return 0xff57;
  default:
    return 0;
  }
}

xcb_keycode_t keycodeOf(xcb_connection_t *c, uint32_t keysym) {
  const xcb_setup_t *setup = xcb_get_setup(c);
  const int first = setup->min_keycode, count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
      c, xcb_get_keyboard_mapping(c, xcb_keycode_t(first), uint8_t(count)), nullptr);
  if (!map)
    return 0;
  const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
  const int per = map->keysyms_per_keycode;
  xcb_keycode_t found = 0;
  for (int i = 0; i < count * per && !found; ++i)
    if (syms[i] == keysym)
      found = xcb_keycode_t(first + i / per);
  std::free(map);
  return found;
}

class X11Grab : public GlobalShortcut, public QAbstractNativeEventFilter {
public:
  ~X11Grab() override {
    if (QCoreApplication::instance())
      QCoreApplication::instance()->removeNativeEventFilter(this);
  }
  const char *name() const override { return "x11"; }
  bool usable() const override {
    return qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && connection();
  }

  void start(const QKeySequence &key, std::function<void()> pressed) override {
    xcb_connection_t *c = connection();
    const QKeyCombination combo = key[0];
    const QString text = key.toString(QKeySequence::PortableText);
    const uint32_t sym = keysymOf(combo.key());
    code_ = sym ? keycodeOf(c, sym) : 0;
    if (!code_) {
      std::fprintf(stderr, "morvane: the key %s is not on this keyboard; no global key\n",
                   qPrintable(text));
      return;
    }
    mods_ = 0;
    const Qt::KeyboardModifiers m = combo.keyboardModifiers();
    if (m & Qt::ShiftModifier)
      mods_ |= XCB_MOD_MASK_SHIFT;
    if (m & Qt::ControlModifier)
      mods_ |= XCB_MOD_MASK_CONTROL;
    if (m & Qt::AltModifier)
      mods_ |= XCB_MOD_MASK_1;
    if (m & Qt::MetaModifier)
      mods_ |= XCB_MOD_MASK_4;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_void_cookie_t cookies[4];
    for (int i = 0; i < 4; ++i)
      cookies[i] = xcb_grab_key_checked(c, 0, root_, mods_ | lockVariants[i], code_,
                                        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool taken = false;
    for (auto &cookie : cookies)
      if (xcb_generic_error_t *e = xcb_request_check(c, cookie)) {
        taken = true;
        std::free(e);
      }
    if (taken) {
      // Half a grab would fire only with some lock keys on: none at all.
      for (uint16_t v : lockVariants)
        xcb_ungrab_key(c, code_, root_, mods_ | v);
      xcb_flush(c);
      std::fprintf(stderr, "morvane: the key %s is taken by another program; no global key\n",
                   qPrintable(text));
      return;
    }
    pressed_ = std::move(pressed);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override {
    if (type != "xcb_generic_event_t")
      return false;
    auto *ev = static_cast<xcb_generic_event_t *>(message);
    const uint8_t kind = ev->response_type & 0x7f;
    if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
      return false;
    auto *k = reinterpret_cast<xcb_key_press_event_t *>(ev);
    if (k->detail != code_ || k->event != root_ || (k->state & usedMods) != mods_)
      return false;
    if (kind == XCB_KEY_RELEASE) {
      lastRelease_ = k->time;
      return true;
    }
    // A held key repeats as a release and a press at the same moment: one toggle only.
    if (k->time == lastRelease_)
      return true;
    // Not inside Qt's event reading: the command may capture and show windows.
    auto pressed = pressed_;
    QTimer::singleShot(0, [pressed] { pressed(); });
    return true;
  }

private:
  xcb_keycode_t code_ = 0;
  uint16_t mods_ = 0;
  xcb_window_t root_ = 0;
  xcb_timestamp_t lastRelease_ = 0;
  std::function<void()> pressed_;
};
} // namespace

std::unique_ptr<GlobalShortcut> shortcut::makeX11Grab() { return std::make_unique<X11Grab>(); }
