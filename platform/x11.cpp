#include "platform/x11.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstring>

namespace x11 {
namespace {
xcb_connection_t *conn() {
  if (QGuiApplication::platformName() != QLatin1String("xcb"))
    return nullptr;
  auto *app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return app ? app->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name) {
  xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  if (!r)
    return XCB_ATOM_NONE;
  xcb_atom_t a = r->atom;
  free(r);
  return a;
}

xcb_window_t rootOf(xcb_connection_t *c) {
  const xcb_setup_t *setup = xcb_get_setup(c);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
  return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

// _NET_WM_STATE request as EWMH defines it: action 0 remove, 1 add.
void wmState(xcb_connection_t *c, xcb_window_t w, int action, xcb_atom_t a1, xcb_atom_t a2 = 0) {
  xcb_client_message_event_t ev;
  std::memset(&ev, 0, sizeof ev);
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = w;
  ev.type = atom(c, "_NET_WM_STATE");
  ev.data.data32[0] = static_cast<uint32_t>(action);
  ev.data.data32[1] = a1;
  ev.data.data32[2] = a2;
  ev.data.data32[3] = 1; // source: application
  xcb_send_event(c, 0, rootOf(c),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char *>(&ev));
}
} // namespace

bool available() { return conn() != nullptr; }

void setAbove(WId window, bool on) {
  xcb_connection_t *c = conn();
  if (!c || !window)
    return;
  const auto w = static_cast<xcb_window_t>(window);
  const xcb_atom_t above = atom(c, "_NET_WM_STATE_ABOVE");
  if (on) {
    wmState(c, w, 1, above);
  } else {
    // icewm ignores a lone removal of ABOVE; a BELOW round trip makes it take effect.
    wmState(c, w, 0, above);
    const xcb_atom_t below = atom(c, "_NET_WM_STATE_BELOW");
    wmState(c, w, 1, below);
    wmState(c, w, 0, below);
  }
  // Raise within the band as well, so a window that was covered comes back on top.
  const uint32_t mode = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
  xcb_flush(c);
}

void setSkipTaskbar(WId window) {
  xcb_connection_t *c = conn();
  if (!c || !window)
    return;
  wmState(c, static_cast<xcb_window_t>(window), 1, atom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
          atom(c, "_NET_WM_STATE_SKIP_PAGER"));
  xcb_flush(c);
}

quint32 trayOwner() {
  xcb_connection_t *c = conn();
  if (!c)
    return 0;
  xcb_get_selection_owner_reply_t *r = xcb_get_selection_owner_reply(
      c, xcb_get_selection_owner(c, atom(c, "_NET_SYSTEM_TRAY_S0")), nullptr);
  if (!r)
    return 0;
  quint32 owner = r->owner;
  free(r);
  return owner;
}

void flush() {
  if (xcb_connection_t *c = conn())
    xcb_flush(c);
}
} // namespace x11
