#include "platform/x11.h"

#include "platform/memory.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

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

namespace {
// The default screen when `rect` lies within its root and MIT-SHM can carry
// its pixels as Format_RGB32; null otherwise.
const xcb_screen_t *shmScreenFor(xcb_connection_t *c, const QRect &rect) {
  static const bool refused = qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
  if (refused || !c || rect.isEmpty())
    return nullptr;
  const xcb_query_extension_reply_t *ext = xcb_get_extension_data(c, &xcb_shm_id);
  const xcb_screen_t *screen = defaultScreen(c);
  if (!ext || !ext->present || !screen || !rootIsRgb32(c, screen))
    return nullptr;
  // The root's size now: the setup block keeps the size of the connection's start.
  xcb_get_geometry_reply_t *geo =
      xcb_get_geometry_reply(c, xcb_get_geometry(c, screen->root), nullptr);
  if (!geo)
    return nullptr;
  const bool inside = rect == (rect & QRect(0, 0, geo->width, geo->height));
  free(geo);
  return inside ? screen : nullptr;
}

// A private segment of `bytes` attached on both sides; false when either refuses.
// Owner-only: a server on another machine cannot attach it and refuses the request.
bool attachSegment(xcb_connection_t *c, size_t bytes, void **address, xcb_shm_seg_t *seg) {
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0)
    return false;
  *address = shmat(id, nullptr, 0);
  if (*address == reinterpret_cast<void *>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  *seg = xcb_generate_id(c);
  xcb_generic_error_t *err = xcb_request_check(c, xcb_shm_attach_checked(c, *seg, id, 0));
  // Both sides are attached (or the server never will be): the segment goes
  // away with the last detach, even if this process dies.
  shmctl(id, IPC_RMID, nullptr);
  if (err) {
    free(err);
    shmdt(*address);
    return false;
  }
  return true;
}

// The pad byte of a depth-24 pixel is whatever the server kept there;
// Format_RGB32 wants it opaque.
void makeOpaque(void *address, size_t bytes) {
  auto *px = static_cast<quint32 *>(address);
  const size_t n = bytes / 4;
  for (size_t i = 0; i < n; ++i)
    px[i] |= 0xff000000u;
}

// Copies `drawable` (at `origin`) into the attached segment; true when the
// server filled it. The caller's side of the segment is mapped meanwhile.
bool shmGet(xcb_connection_t *c, xcb_drawable_t drawable, QPoint origin, QSize size,
            xcb_shm_seg_t seg, void *address, size_t bytes) {
  const xcb_shm_get_image_cookie_t cookie =
      xcb_shm_get_image(c, drawable, qint16(origin.x()), qint16(origin.y()), quint16(size.width()),
                        quint16(size.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, seg, 0);
  xcb_flush(c);
  // While the server copies, map the segment's pages here in one go, on the
  // other core: a fault per page costs more than the copy itself at 4K.
  populatePages(address, bytes);
  xcb_generic_error_t *err = nullptr;
  xcb_shm_get_image_reply_t *reply = xcb_shm_get_image_reply(c, cookie, &err);
  const bool ok = reply && !err && reply->size >= bytes;
  free(reply);
  free(err);
  return ok;
}

// The one frozen copy whose pixels have not been fetched yet.
struct Frozen {
  xcb_window_t window = XCB_WINDOW_NONE;
  xcb_pixmap_t pixmap = XCB_PIXMAP_NONE;
  xcb_shm_seg_t seg = 0;
  // Checked when the pixels are fetched: a round trip now would hold up the map.
  xcb_void_cookie_t attached{}, made{}, given{};
  // The screen's pixels under the spot drawn into the background (markFrozen).
  xcb_pixmap_t corner = XCB_PIXMAP_NONE;
  QRect cornerRect;
  quint8 depth = 0;
  void *address = nullptr;
  size_t bytes = 0;
  QSize size;
};
Frozen pending;

// Errors of requests nobody will check, forgotten rather than queued forever.
void forget(xcb_connection_t *c, std::initializer_list<xcb_void_cookie_t> cookies) {
  for (const xcb_void_cookie_t &k : cookies)
    if (k.sequence)
      xcb_discard_reply(c, k.sequence);
}

// Lets go of the pending copy's server side: the pixmap stays alive as long
// as the window keeps it as its background.
void dropPending(xcb_connection_t *c) {
  if (c && pending.pixmap != XCB_PIXMAP_NONE) {
    forget(c, {pending.attached, pending.made, pending.given});
    if (pending.corner != XCB_PIXMAP_NONE)
      xcb_free_pixmap(c, pending.corner);
    xcb_free_pixmap(c, pending.pixmap);
    xcb_shm_detach(c, pending.seg);
    xcb_flush(c);
  }
  pending = Frozen();
}

void releaseFrozen(void *address) {
  if (pending.address == address)
    dropPending(conn()); // never completed: the window went before its first paint
  shmdt(address);
}
} // namespace

QImage grabRootShm(const QRect &rect) {
  xcb_connection_t *c = conn();
  const xcb_screen_t *screen = shmScreenFor(c, rect);
  if (!screen)
    return {};
  const qsizetype bytesPerLine = qsizetype(rect.width()) * 4;
  const size_t bytes = size_t(bytesPerLine) * size_t(rect.height());
  void *address = nullptr;
  xcb_shm_seg_t seg = 0;
  if (!attachSegment(c, bytes, &address, &seg))
    return {};
  const bool ok = shmGet(c, screen->root, rect.topLeft(), rect.size(), seg, address, bytes);
  xcb_shm_detach(c, seg);
  xcb_flush(c);
  if (!ok) {
    shmdt(address);
    return {};
  }
  makeOpaque(address, bytes);
  return QImage(static_cast<uchar *>(address), rect.width(), rect.height(), bytesPerLine,
                QImage::Format_RGB32, detachSegment, address);
}

QImage freezeRootUnder(WId window, const QRect &rect) {
  xcb_connection_t *c = conn();
  const xcb_screen_t *screen = shmScreenFor(c, rect);
  if (!screen || !window)
    return {};
  if (pending.window != XCB_WINDOW_NONE)
    completeFrozen(); // one at a time; an earlier one is read now
  const qsizetype bytesPerLine = qsizetype(rect.width()) * 4;
  const size_t bytes = size_t(bytesPerLine) * size_t(rect.height());
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0)
    return {};
  void *address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void *>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return {};
  }
  Frozen f;
  f.window = static_cast<xcb_window_t>(window);
  f.seg = xcb_generate_id(c);
  f.attached = xcb_shm_attach_checked(c, f.seg, id, 0);
  xcb_flush(c);
  // Linux lets the server attach a segment marked for removal while we hold it.
  shmctl(id, IPC_RMID, nullptr);
  f.pixmap = xcb_generate_id(c);
  f.made = xcb_create_pixmap_checked(c, screen->root_depth, f.pixmap, screen->root,
                                     quint16(rect.width()), quint16(rect.height()));
  // Every window's pixels, not just the root's own; no exposure events back.
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t gcValues[] = {XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS, 0};
  xcb_create_gc(c, gc, f.pixmap, XCB_GC_SUBWINDOW_MODE | XCB_GC_GRAPHICS_EXPOSURES, gcValues);
  xcb_copy_area(c, screen->root, f.pixmap, gc, qint16(rect.x()), qint16(rect.y()), 0, 0,
                quint16(rect.width()), quint16(rect.height()));
  xcb_free_gc(c, gc);
  f.given = xcb_change_window_attributes_checked(c, f.window, XCB_CW_BACK_PIXMAP, &f.pixmap);
  xcb_flush(c);
  f.address = address;
  f.bytes = bytes;
  f.size = rect.size();
  f.depth = screen->root_depth;
  pending = f;
  return QImage(static_cast<uchar *>(address), rect.width(), rect.height(), bytesPerLine,
                QImage::Format_RGB32, releaseFrozen, address);
}

void markFrozen(WId window, const QRegion &spot, QRgb rgb) {
  xcb_connection_t *c = conn();
  if (!c || pending.window == XCB_WINDOW_NONE || pending.window != window ||
      pending.corner != XCB_PIXMAP_NONE)
    return;
  Frozen &f = pending;
  const QRegion inside = spot & QRect(QPoint(0, 0), f.size);
  if (inside.isEmpty())
    return;
  // Keep the screen's pixels under the spot for the picture, then paint it.
  f.cornerRect = inside.boundingRect();
  f.corner = xcb_generate_id(c);
  xcb_create_pixmap(c, f.depth, f.corner, f.pixmap, quint16(f.cornerRect.width()),
                    quint16(f.cornerRect.height()));
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t values[] = {rgb & 0xffffffu, 0}; // the root's visual is 0xRRGGBB
  xcb_create_gc(c, gc, f.pixmap, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values);
  xcb_copy_area(c, f.pixmap, f.corner, gc, qint16(f.cornerRect.x()), qint16(f.cornerRect.y()), 0, 0,
                quint16(f.cornerRect.width()), quint16(f.cornerRect.height()));
  std::vector<xcb_rectangle_t> rects;
  for (const QRect &r : inside)
    rects.push_back({qint16(r.x()), qint16(r.y()), quint16(r.width()), quint16(r.height())});
  xcb_poly_fill_rectangle(c, f.pixmap, gc, uint32_t(rects.size()), rects.data());
  xcb_free_gc(c, gc);
  xcb_flush(c);
}

void completeFrozen() {
  xcb_connection_t *c = conn();
  if (!c || pending.window == XCB_WINDOW_NONE)
    return;
  const Frozen f = pending;
  // Once the window is on screen its background has done its work: later
  // exposures are repainted from the window's own pixels.
  bool shown = false;
  if (xcb_get_window_attributes_reply_t *a =
          xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, f.window), nullptr)) {
    shown = a->map_state == XCB_MAP_STATE_VIEWABLE;
    free(a);
  }
  pending.attached = pending.made = pending.given = xcb_void_cookie_t{};
  const auto failed = [c](xcb_void_cookie_t k) {
    xcb_generic_error_t *e = xcb_request_check(c, k);
    free(e);
    return e != nullptr;
  };
  const bool shm = !failed(f.attached); // refused by a server on another machine
  const bool made = !failed(f.made);    // no memory for the pixmap in the server
  failed(f.given);
  bool ok = made && shm && shmGet(c, f.pixmap, QPoint(0, 0), f.size, f.seg, f.address, f.bytes);
  if (made && !ok) {
    // The pixmap through the socket, slower but the same picture.
    if (xcb_get_image_reply_t *r = xcb_get_image_reply(
            c,
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, f.pixmap, 0, 0, quint16(f.size.width()),
                          quint16(f.size.height()), ~0u),
            nullptr)) {
      if (size_t(xcb_get_image_data_length(r)) >= f.bytes) {
        std::memcpy(f.address, xcb_get_image_data(r), f.bytes);
        ok = true;
      }
      free(r);
    }
  }
  if (ok && f.corner != XCB_PIXMAP_NONE) {
    // The spot is the window's, not the screen's: put the screen's pixels back.
    const QRect r = f.cornerRect;
    xcb_get_image_reply_t *img =
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, f.corner, 0, 0,
                                          quint16(r.width()), quint16(r.height()), ~0u),
                            nullptr);
    const size_t row = size_t(r.width()) * 4;
    ok = img && size_t(xcb_get_image_data_length(img)) >= row * size_t(r.height());
    if (ok)
      for (int y = 0; y < r.height(); ++y)
        std::memcpy(static_cast<uchar *>(f.address) +
                        (size_t(r.y() + y) * size_t(f.size.width()) + size_t(r.x())) * 4,
                    xcb_get_image_data(img) + size_t(y) * row, row);
    free(img);
  }
  if (!ok) {
    std::fprintf(stderr, "morvane: the frozen screen could not be read back\n");
    std::memset(f.address, 0, f.bytes);
  }
  makeOpaque(f.address, f.bytes);
  if (shown) {
    const uint32_t none = XCB_BACK_PIXMAP_NONE;
    xcb_change_window_attributes(c, f.window, XCB_CW_BACK_PIXMAP, &none);
  }
  dropPending(c);
}

namespace {
// The one memory file shared as a window's background (shareUnder).
struct Shared {
  xcb_window_t window = XCB_WINDOW_NONE;
  xcb_pixmap_t pixmap = XCB_PIXMAP_NONE;
  xcb_shm_seg_t seg = 0;
  xcb_void_cookie_t attached{}, made{}, given{};
};
Shared shared;

// MIT-SHM 1.2 (segments passed as file descriptors) with shared pixmaps in
// Z format: asked once a connection.
bool sharesPixmapsByFd(xcb_connection_t *c) {
  static xcb_connection_t *asked = nullptr;
  static bool answer = false;
  if (asked == c)
    return answer;
  asked = c;
  answer = false;
  if (xcb_shm_query_version_reply_t *v =
          xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr)) {
    answer = v->shared_pixmaps && v->pixmap_format == XCB_IMAGE_FORMAT_Z_PIXMAP &&
             (v->major_version > 1 || (v->major_version == 1 && v->minor_version >= 2));
    free(v);
  }
  return answer;
}
} // namespace

bool shareUnder(WId window, int fd, QSize size) {
  xcb_connection_t *c = conn();
  const xcb_screen_t *screen = shmScreenFor(c, QRect(QPoint(0, 0), size));
  if (!screen || !window || fd < 0 || !sharesPixmapsByFd(c))
    return false;
  releaseShared(); // one at a time
  // xcb closes the descriptor it sends; the caller keeps its own.
  const int sent = dup(fd);
  if (sent < 0)
    return false;
  Shared s;
  s.window = static_cast<xcb_window_t>(window);
  s.seg = xcb_generate_id(c);
  s.attached = xcb_shm_attach_fd_checked(c, s.seg, sent, 0);
  s.pixmap = xcb_generate_id(c);
  s.made = xcb_shm_create_pixmap_checked(c, s.pixmap, screen->root, quint16(size.width()),
                                         quint16(size.height()), screen->root_depth, s.seg, 0);
  s.given = xcb_change_window_attributes_checked(c, s.window, XCB_CW_BACK_PIXMAP, &s.pixmap);
  xcb_flush(c);
  shared = s;
  return true;
}

void releaseShared() {
  xcb_connection_t *c = conn();
  if (shared.window == XCB_WINDOW_NONE)
    return;
  const Shared s = shared;
  shared = Shared();
  if (!c)
    return;
  // Looked at only now: a round trip before the map would hold it up. A
  // refusal left the window without the picture for its first frame, which
  // the window's own paint then brings.
  forget(c, {s.attached, s.made, s.given});
  bool shown = false;
  if (xcb_get_window_attributes_reply_t *a =
          xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, s.window), nullptr)) {
    shown = a->map_state == XCB_MAP_STATE_VIEWABLE;
    free(a);
  }
  // A window still to map keeps the pixmap, and with it the pages, until it
  // goes; one on screen repaints from its own pixels from now on.
  if (shown) {
    const uint32_t none = XCB_BACK_PIXMAP_NONE;
    xcb_change_window_attributes(c, s.window, XCB_CW_BACK_PIXMAP, &none);
  }
  xcb_free_pixmap(c, s.pixmap);
  xcb_shm_detach(c, s.seg);
  xcb_flush(c);
}
} // namespace x11
