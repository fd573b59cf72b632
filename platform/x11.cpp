#include "platform/x11.h"

#include "platform/memory.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
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

// The X screen the display name selects (":0.1" is screen 1), as Qt opened it.
const xcb_screen_t *defaultScreen(xcb_connection_t *c) {
  int number = 0;
  char *host = nullptr;
  int display = 0;
  if (xcb_parse_display(nullptr, &host, &display, &number) == 0)
    number = 0;
  free(host);
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; it.rem; ++i, xcb_screen_next(&it))
    if (i == number)
      return it.data;
  it = xcb_setup_roots_iterator(xcb_get_setup(c));
  return it.rem ? it.data : nullptr;
}

// True when the root's pixels are 32-bit words 0x??RRGGBB in this machine's
// byte order: what Format_RGB32 holds, so the shared segment needs no conversion.
bool rootIsRgb32(xcb_connection_t *c, const xcb_screen_t *s) {
  const xcb_setup_t *setup = xcb_get_setup(c);
  const auto order =
      Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
  if (setup->image_byte_order != order || (s->root_depth != 24 && s->root_depth != 32))
    return false;
  bool bpp32 = false;
  for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
    if (f.data->depth == s->root_depth)
      bpp32 = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
  if (!bpp32)
    return false;
  for (auto d = xcb_screen_allowed_depths_iterator(s); d.rem; xcb_depth_next(&d))
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
      if (v.data->visual_id == s->root_visual)
        return v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00 &&
               v.data->blue_mask == 0xff;
  return false;
}

void detachSegment(void *address) { shmdt(address); }

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

bool startMove(WId window, const QPoint &anchor) {
  xcb_connection_t *c = conn();
  if (!c || !window)
    return false;
  const xcb_atom_t moveResize = atom(c, "_NET_WM_MOVERESIZE");
  bool supported = false;
  if (xcb_get_property_reply_t *r = xcb_get_property_reply(
          c, xcb_get_property(c, 0, rootOf(c), atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0, 4096),
          nullptr)) {
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(r));
    const int n = xcb_get_property_value_length(r) / int(sizeof(xcb_atom_t));
    for (int i = 0; i < n && !supported; ++i)
      supported = atoms[i] == moveResize;
    free(r);
  }
  if (!supported)
    return false;
  xcb_client_message_event_t ev;
  std::memset(&ev, 0, sizeof ev);
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = static_cast<xcb_window_t>(window);
  ev.type = moveResize;
  // The press position, not the pointer's present one: the window keeps the
  // offset it had under the pointer at the press.
  ev.data.data32[0] = static_cast<uint32_t>(anchor.x());
  ev.data.data32[1] = static_cast<uint32_t>(anchor.y());
  ev.data.data32[2] = 8; // _NET_WM_MOVERESIZE_MOVE
  ev.data.data32[3] = 1; // left button
  ev.data.data32[4] = 1; // source: application
  // The window manager needs the pointer that our press grabbed.
  xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  xcb_send_event(c, 0, rootOf(c),
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char *>(&ev));
  xcb_flush(c);
  return true;
}

Qt::MouseButtons pointerButtons() {
  xcb_connection_t *c = conn();
  if (!c)
    return Qt::NoButton;
  xcb_query_pointer_reply_t *r =
      xcb_query_pointer_reply(c, xcb_query_pointer(c, rootOf(c)), nullptr);
  if (!r)
    return Qt::NoButton;
  Qt::MouseButtons held;
  if (r->mask & XCB_BUTTON_MASK_1)
    held |= Qt::LeftButton;
  if (r->mask & XCB_BUTTON_MASK_2)
    held |= Qt::MiddleButton;
  if (r->mask & XCB_BUTTON_MASK_3)
    held |= Qt::RightButton;
  free(r);
  return held;
}

QImage grabRootShm(const QRect &rect) {
  static const bool refused = qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
  xcb_connection_t *c = conn();
  if (refused || !c || rect.isEmpty())
    return {};
  const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_shm_id);
  const xcb_screen_t *screen = defaultScreen(c);
  if (!ext || !ext->present || !screen || !rootIsRgb32(c, screen))
    return {};
  // The root's size now: the setup block keeps the size of the connection's start.
  xcb_get_geometry_reply_t *geo =
      xcb_get_geometry_reply(c, xcb_get_geometry(c, screen->root), nullptr);
  if (!geo)
    return {};
  const QRect area = rect & QRect(0, 0, geo->width, geo->height);
  free(geo);
  if (area != rect)
    return {};

  const qsizetype bytesPerLine = qsizetype(area.width()) * 4;
  const size_t bytes = size_t(bytesPerLine) * size_t(area.height());
  // Owner-only: a server on another machine cannot attach it and refuses the request.
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0)
    return {};
  void *address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void *>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return {};
  }
  const xcb_shm_seg_t seg = xcb_generate_id(c);
  xcb_generic_error_t *err = xcb_request_check(c, xcb_shm_attach_checked(c, seg, id, 0));
  // Both sides are attached (or the server never will be): the segment goes
  // away with the last detach, even if this process dies.
  shmctl(id, IPC_RMID, nullptr);
  if (err) {
    free(err);
    shmdt(address);
    return {};
  }
  const xcb_shm_get_image_cookie_t cookie =
      xcb_shm_get_image(c, screen->root, qint16(area.x()), qint16(area.y()), quint16(area.width()),
                        quint16(area.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, seg, 0);
  xcb_flush(c);
  // While the server copies, map the segment's pages here in one go, on the
  // other core: a fault per page costs more than the copy itself at 4K.
  populatePages(address, bytes);
  xcb_shm_get_image_reply_t *reply = xcb_shm_get_image_reply(c, cookie, &err);
  xcb_shm_detach(c, seg);
  xcb_flush(c);
  const bool ok = reply && !err && reply->size >= bytes;
  free(reply);
  free(err);
  if (!ok) {
    shmdt(address);
    return {};
  }
  // The pad byte of a depth-24 pixel is whatever the server kept there;
  // Format_RGB32 wants it opaque.
  auto *px = static_cast<quint32 *>(address);
  const size_t n = bytes / 4;
  for (size_t i = 0; i < n; ++i)
    px[i] |= 0xff000000u;
  return QImage(static_cast<uchar *>(address), area.width(), area.height(), bytesPerLine,
                QImage::Format_RGB32, detachSegment, address);
}
} // namespace x11
