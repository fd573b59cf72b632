// wlroots compositors (sway, Hyprland, river, Wayfire): the output under the
// overlay copied by the compositor itself into a memory file of ours, through
// its screencopy protocol. No helper program, no file format, no pipe; and on
// an unscaled output the same pages become the overlay's background in
// XWayland (MIT-SHM) and the drawing copy's pixels, so the picture is never
// copied by Morvane at all.

#include "platform/capture/capture.h"
#include "platform/capture/layer_frame.h"
#include "platform/capture/wayland_wait.h"
#include "platform/memory.h"
#include "platform/wayland.h"
#include "platform/x11.h"

#include "wlr-layer-shell-unstable-v1-client.h"
#include "wlr-screencopy-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
constexpr int AnswerMs = 3000;

// A stage of the capture on the open's trace (MORVANE_TRACE=1), on its clock.
void stage(const char *name) {
  if (capture::tracing())
    std::fprintf(stderr, "morvane-trace %s %.3f\n", name,
                 std::chrono::duration<double, std::milli>(
                     std::chrono::steady_clock::now().time_since_epoch())
                     .count());
}

struct Output {
  wl_output *proxy = nullptr;
  zxdg_output_v1 *xdg = nullptr;
  uint32_t id = 0;
  QPoint position;     // wl_output's own; wlroots always says (0, 0)
  QPoint logical;      // the compositor's layout (xdg-output): XWayland's root coordinates
  bool placed = false; // logical was given
  QSize mode;          // the output's own pixels
  int scale = 1;
  int transform = WL_OUTPUT_TRANSFORM_NORMAL;
  QString name;
};

// The one connection to the compositor, made at the first capture and kept
// for the session; dropped after a failure, so the next capture starts clean.
struct Connection {
  wl_display *display = nullptr;
  wl_registry *registry = nullptr;
  wl_shm *shm = nullptr;
  zwlr_screencopy_manager_v1 *manager = nullptr;
  zxdg_output_manager_v1 *layout = nullptr;
  wl_compositor *compositor = nullptr;   // for the first frame's surface
  zwlr_layer_shell_v1 *layers = nullptr; // and its place above everything
  std::vector<std::unique_ptr<Output>> outputs;

  ~Connection() {
    layer_frame::end();
    if (layers)
      zwlr_layer_shell_v1_destroy(layers);
    if (compositor)
      wl_compositor_destroy(compositor);
    for (auto &o : outputs) {
      if (o->xdg)
        zxdg_output_v1_destroy(o->xdg);
      wl_output_destroy(o->proxy);
    }
    if (layout)
      zxdg_output_manager_v1_destroy(layout);
    if (manager)
      zwlr_screencopy_manager_v1_destroy(manager);
    if (shm)
      wl_shm_destroy(shm);
    if (registry)
      wl_registry_destroy(registry);
    if (display)
      wl_display_disconnect(display);
  }
};
std::unique_ptr<Connection> connection;

// ---- outputs ---------------------------------------------------------------

void outputGeometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                    const char *, const char *, int32_t transform) {
  static_cast<Output *>(data)->position = QPoint(x, y);
  static_cast<Output *>(data)->transform = transform;
}
void outputMode(void *data, wl_output *, uint32_t flags, int32_t w, int32_t h, int32_t) {
  if (flags & WL_OUTPUT_MODE_CURRENT)
    static_cast<Output *>(data)->mode = QSize(w, h);
}
void outputDone(void *, wl_output *) {}
void outputScale(void *data, wl_output *, int32_t factor) {
  static_cast<Output *>(data)->scale = qMax(1, factor);
}
void outputName(void *data, wl_output *, const char *name) {
  static_cast<Output *>(data)->name = QString::fromUtf8(name);
}
void outputDescription(void *, wl_output *, const char *) {}
const wl_output_listener outputListener = {outputGeometry, outputMode, outputDone,
                                           outputScale,    outputName, outputDescription};

void placed(void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
  static_cast<Output *>(data)->logical = QPoint(x, y);
  static_cast<Output *>(data)->placed = true;
}
void xdgSize(void *, zxdg_output_v1 *, int32_t, int32_t) {}
void xdgDone(void *, zxdg_output_v1 *) {}
void xdgName(void *, zxdg_output_v1 *, const char *) {}
void xdgDescription(void *, zxdg_output_v1 *, const char *) {}
const zxdg_output_v1_listener xdgListener = {placed, xdgSize, xdgDone, xdgName, xdgDescription};

void watchLayout(Connection &c, Output &o) {
  if (!c.layout || o.xdg)
    return;
  o.xdg = zxdg_output_manager_v1_get_xdg_output(c.layout, o.proxy);
  zxdg_output_v1_add_listener(o.xdg, &xdgListener, &o);
}

void global(void *data, wl_registry *registry, uint32_t id, const char *interface,
            uint32_t version) {
  auto *c = static_cast<Connection *>(data);
  if (!std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) && !c->manager) {
    c->manager = static_cast<zwlr_screencopy_manager_v1 *>(wl_registry_bind(
        registry, id, &zwlr_screencopy_manager_v1_interface, qMin<uint32_t>(version, 3)));
  } else if (!std::strcmp(interface, zxdg_output_manager_v1_interface.name) && !c->layout) {
    c->layout = static_cast<zxdg_output_manager_v1 *>(
        wl_registry_bind(registry, id, &zxdg_output_manager_v1_interface, 1));
    for (auto &o : c->outputs)
      watchLayout(*c, *o);
  } else if (!std::strcmp(interface, zwlr_layer_shell_v1_interface.name) && !c->layers) {
    c->layers = static_cast<zwlr_layer_shell_v1 *>(
        wl_registry_bind(registry, id, &zwlr_layer_shell_v1_interface, 1));
  } else if (!std::strcmp(interface, wl_compositor_interface.name) && !c->compositor) {
    c->compositor =
        static_cast<wl_compositor *>(wl_registry_bind(registry, id, &wl_compositor_interface, 1));
  } else if (!std::strcmp(interface, wl_shm_interface.name) && !c->shm) {
    c->shm = static_cast<wl_shm *>(wl_registry_bind(registry, id, &wl_shm_interface, 1));
  } else if (!std::strcmp(interface, wl_output_interface.name)) {
    auto o = std::make_unique<Output>();
    o->id = id;
    // Version 4 names the output as XWayland names its screen.
    o->proxy = static_cast<wl_output *>(
        wl_registry_bind(registry, id, &wl_output_interface, qMin<uint32_t>(version, 4)));
    wl_output_add_listener(o->proxy, &outputListener, o.get());
    watchLayout(*c, *o);
    c->outputs.push_back(std::move(o));
  }
}
void globalRemove(void *data, wl_registry *, uint32_t id) {
  auto &outs = static_cast<Connection *>(data)->outputs;
  for (auto it = outs.begin(); it != outs.end(); ++it)
    if ((*it)->id == id) {
      if ((*it)->xdg)
        zxdg_output_v1_destroy((*it)->xdg);
      wl_output_destroy((*it)->proxy);
      outs.erase(it);
      return;
    }
}
const wl_registry_listener registryListener = {global, globalRemove};

// ---- waiting ---------------------------------------------------------------

using capture::waitFor;

void synced(void *data, wl_callback *, uint32_t) { *static_cast<bool *>(data) = true; }
const wl_callback_listener syncListener = {synced};

bool roundTrip(wl_display *d, const QDeadlineTimer &deadline) {
  bool done = false;
  wl_callback *cb = wl_display_sync(d);
  wl_callback_add_listener(cb, &syncListener, &done);
  const bool ok = waitFor(d, deadline, [&] { return done; });
  wl_callback_destroy(cb);
  return ok;
}

// The connection, made now if need be; null with `why` said when the
// compositor cannot be reached or offers no screencopy.
Connection *connect(const QDeadlineTimer &deadline, QString &why) {
  if (connection)
    return connection.get();
  auto c = std::make_unique<Connection>();
  c->display = wl_display_connect(nullptr);
  if (!c->display) {
    why = QStringLiteral("no connection to the Wayland compositor");
    return nullptr;
  }
  c->registry = wl_display_get_registry(c->display);
  wl_registry_add_listener(c->registry, &registryListener, c.get());
  // The globals, then the outputs' descriptions.
  if (!roundTrip(c->display, deadline) || !roundTrip(c->display, deadline)) {
    why = QStringLiteral("the compositor did not answer within 3 s");
    return nullptr;
  }
  if (!c->manager || !c->shm) {
    why = QStringLiteral("the compositor offers no screencopy");
    return nullptr;
  }
  connection = std::move(c);
  return connection.get();
}

// ---- the output under the overlay ------------------------------------------

// The X screen over `area` and its rectangle in X pixels.
const QScreen *screenOver(const QRect &area, QRect &rect) {
  const QPoint centre = area.center();
  for (const QScreen *s : QGuiApplication::screens()) {
    rect = QRect(s->geometry().topLeft(), s->geometry().size() * s->devicePixelRatio());
    if (rect.contains(centre))
      return s;
  }
  rect = area;
  return nullptr;
}

// A newer XWayland names its screens after the outputs (an older one
// XWAYLAND0, 1...), and puts them where the compositor's layout does: the
// name first, then the layout's position, the only output when there is one.
const Output *outputFor(const Connection &c, const QScreen *screen, const QRect &rect) {
  if (screen)
    for (const auto &o : c.outputs)
      if (!o->name.isEmpty() && o->name == screen->name())
        return o.get();
  // Where the compositor tells the layout, that alone: wlroots gives every
  // wl_output the position (0, 0).
  bool anyPlaced = false;
  for (const auto &o : c.outputs)
    if (o->placed) {
      anyPlaced = true;
      if (o->logical == rect.topLeft())
        return o.get();
    }
  if (!anyPlaced)
    for (const auto &o : c.outputs)
      if (o->position == rect.topLeft())
        return o.get();
  return c.outputs.size() == 1 ? c.outputs.front().get() : nullptr;
}

// ---- one capture -----------------------------------------------------------

struct Shot;
// The shot shared with XWayland as a window's background, until completeUnder.
struct Pending {
  Shot *shot = nullptr; // owned by the image over it
  QWidget *cover = nullptr;
  QImage under; // the screen's pixels under the dot
  QRect underRect;
};
// Never destroyed: the last image over a shot may go during the program's
// exit, after the static objects, and its ~Shot still looks here.
Pending &pending = *new Pending;

// A capture's memory file, mapped; freed with the last image over it.
struct Shot {
  int fd = -1;
  void *address = MAP_FAILED;
  size_t bytes = 0;
  QSize size;
  int stride = 0;
  bool upsideDown = false;
  wl_output *output = nullptr; // where it was copied from
  ~Shot() {
    if (pending.shot == this) { // the window went before its first paint
      layer_frame::end();
      x11::releaseShared();
      pending = Pending();
    }
    if (address != MAP_FAILED)
      munmap(address, bytes);
    if (fd >= 0)
      close(fd);
  }
};

struct FrameState {
  uint32_t format = 0;
  QSize size;
  uint32_t stride = 0;
  bool offered = false; // an shm buffer in a pixel layout of Format_RGB32
  bool described = false;
  uint32_t flags = 0;
  bool ready = false;
  bool failed = false;
};

void frameBuffer(void *data, zwlr_screencopy_frame_v1 *frame, uint32_t format, uint32_t w,
                 uint32_t h, uint32_t stride) {
  auto *f = static_cast<FrameState *>(data);
  // Both are 0x??RRGGBB words in this machine's order, as Format_RGB32.
  if (format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888) {
    f->format = format;
    f->size = QSize(int(w), int(h));
    f->stride = stride;
    f->offered = true;
  }
  // Before version 3 this one event is all the description there is.
  if (zwlr_screencopy_frame_v1_get_version(frame) < 3)
    f->described = true;
}
void frameFlags(void *data, zwlr_screencopy_frame_v1 *, uint32_t flags) {
  static_cast<FrameState *>(data)->flags = flags;
}
void frameReady(void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
  static_cast<FrameState *>(data)->ready = true;
}
void frameFailed(void *data, zwlr_screencopy_frame_v1 *) {
  static_cast<FrameState *>(data)->failed = true;
}
void frameDamage(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void frameDmabuf(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {}
void frameBufferDone(void *data, zwlr_screencopy_frame_v1 *) {
  static_cast<FrameState *>(data)->described = true;
}
const zwlr_screencopy_frame_v1_listener frameListener = {
    frameBuffer, frameFlags, frameReady, frameFailed, frameDamage, frameDmabuf, frameBufferDone};

// ---- the screen after a change of Morvane's own -----------------------------
// Morvane takes its icon off the screen just before it captures, but the
// program that drew it (the bar's tray, XWayland) redraws in its own time, so
// a plain copy of the compositor's next frame may still show the icon. A tiny
// copy "with damage" of each output first leaves the compositor's record of
// what changed since empty; the capture then asks for the first frame that
// changes anything, which is that redraw, and waits a bounded time for it.
constexpr int ArmMs = 150;    // for the tiny copies, so a stopped compositor costs little
constexpr int ChangeMs = 100; // for the redraw: a host that never redraws costs no more
struct Armed {
  std::vector<uint32_t> outputs; // wl_output names
  QDeadlineTimer until;          // a change that came to nothing is soon forgotten
};
Armed armed;

void arm(Connection &c) {
  armed = Armed();
  if (zwlr_screencopy_manager_v1_get_version(c.manager) < 2)
    return; // no copy with damage
  struct Tiny {
    uint32_t output = 0;
    zwlr_screencopy_frame_v1 *frame = nullptr;
    wl_buffer *buffer = nullptr;
    FrameState f;
  };
  std::vector<Tiny> tiny(c.outputs.size());
  for (size_t i = 0; i < tiny.size(); ++i) {
    tiny[i].output = c.outputs[i]->id;
    tiny[i].frame = zwlr_screencopy_manager_v1_capture_output_region(
        c.manager, 0, c.outputs[i]->proxy, 0, 0, 1, 1);
    zwlr_screencopy_frame_v1_add_listener(tiny[i].frame, &frameListener, &tiny[i].f);
  }
  const QDeadlineTimer deadline(ArmMs);
  const auto all = [&](auto done) {
    return std::all_of(tiny.begin(), tiny.end(), [&](const Tiny &t) { return done(t.f); });
  };
  if (waitFor(c.display, deadline,
              [&] { return all([](const FrameState &f) { return f.described || f.failed; }); })) {
    for (Tiny &t : tiny) {
      // A few bytes the compositor writes to and nobody reads.
      const size_t bytes = size_t(t.f.stride) * size_t(qMax(0, t.f.size.height()));
      if (t.f.failed || !t.f.offered || bytes == 0 || bytes > (1u << 20)) {
        t.f.failed = true;
        continue;
      }
      const int fd = memfd_create("morvane-mark", MFD_CLOEXEC);
      if (fd < 0 || ftruncate(fd, off_t(bytes)) != 0) {
        if (fd >= 0)
          close(fd);
        t.f.failed = true;
        continue;
      }
      wl_shm_pool *pool = wl_shm_create_pool(c.shm, fd, int32_t(bytes));
      close(fd); // the request carries its own copy of it
      t.buffer = wl_shm_pool_create_buffer(pool, 0, t.f.size.width(), t.f.size.height(),
                                           int32_t(t.f.stride), t.f.format);
      wl_shm_pool_destroy(pool);
      zwlr_screencopy_frame_v1_copy_with_damage(t.frame, t.buffer);
    }
    if (waitFor(c.display, deadline,
                [&] { return all([](const FrameState &f) { return f.ready || f.failed; }); })) {
      for (const Tiny &t : tiny)
        if (t.f.ready)
          armed.outputs.push_back(t.output);
      armed.until = QDeadlineTimer(1000);
    }
  }
  for (Tiny &t : tiny) {
    if (t.buffer)
      wl_buffer_destroy(t.buffer);
    zwlr_screencopy_frame_v1_destroy(t.frame);
  }
  stage(armed.outputs.empty() ? "screencopy-unarmed" : "screencopy-armed");
}

// Whether the copy of `output` waits for a change, once: the record is spent.
bool awaitsChange(const Output &output) {
  const bool waits =
      !armed.until.hasExpired() &&
      std::find(armed.outputs.begin(), armed.outputs.end(), output.id) != armed.outputs.end();
  armed = Armed();
  return waits;
}

// Copies `output` into a fresh memory file; null with `why` said on failure.
std::unique_ptr<Shot> copyOutput(Connection &c, const Output &output,
                                 const QDeadlineTimer &deadline, QString &why) {
  FrameState f;
  zwlr_screencopy_frame_v1 *frame =
      zwlr_screencopy_manager_v1_capture_output(c.manager, 0, output.proxy);
  zwlr_screencopy_frame_v1_add_listener(frame, &frameListener, &f);
  wl_buffer *buffer = nullptr;
  auto shot = std::make_unique<Shot>();
  const auto fail = [&](const QString &reason) {
    why = reason;
    if (buffer)
      wl_buffer_destroy(buffer);
    zwlr_screencopy_frame_v1_destroy(frame);
    return nullptr;
  };
  const QString late = QStringLiteral("the compositor gave no picture within 3 s");
  if (!waitFor(c.display, deadline, [&] { return f.described || f.failed; }))
    return fail(late);
  stage("screencopy-described");
  if (f.failed)
    return fail(QStringLiteral("the compositor refused the copy"));
  // X's limit on a pixmap's sides, and a pool size that fits its 32 bits.
  if (!f.offered || f.size.isEmpty() || f.size.width() > 32767 || f.size.height() > 32767 ||
      f.stride < uint32_t(f.size.width()) * 4 ||
      uint64_t(f.stride) * uint64_t(f.size.height()) > uint64_t(INT32_MAX))
    return fail(QStringLiteral("the compositor offers no shared-memory buffer Morvane can read"));
  shot->size = f.size;
  shot->stride = int(f.stride);
  shot->output = output.proxy;
  shot->bytes = size_t(f.stride) * size_t(f.size.height());
  shot->fd = memfd_create("morvane-screen", MFD_CLOEXEC);
  if (shot->fd < 0 || ftruncate(shot->fd, off_t(shot->bytes)) != 0)
    return fail(QStringLiteral("no memory for the picture"));
  shot->address = mmap(nullptr, shot->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, shot->fd, 0);
  if (shot->address == MAP_FAILED)
    return fail(QStringLiteral("no memory for the picture"));
  wl_shm_pool *pool = wl_shm_create_pool(c.shm, shot->fd, int32_t(shot->bytes));
  buffer = wl_shm_pool_create_buffer(pool, 0, f.size.width(), f.size.height(), int32_t(f.stride),
                                     f.format);
  wl_shm_pool_destroy(pool);
  const bool change = awaitsChange(output);
  if (change)
    zwlr_screencopy_frame_v1_copy_with_damage(frame, buffer);
  else
    zwlr_screencopy_frame_v1_copy(frame, buffer);
  wl_display_flush(c.display);
  // While the compositor copies, make the file's pages here in one go: a
  // fault per fresh page is most of a 4K capture's cost.
  populatePages(shot->address, shot->bytes);
  stage("screencopy-paged");
  if (change) {
    // Nothing changed within the bound (the icon's host shows nothing, or
    // drew before the mark): the screen as it is then, by a plain copy.
    const QDeadlineTimer bound(qMin<qint64>(ChangeMs, deadline.remainingTime()));
    if (!waitFor(c.display, bound, [&] { return f.ready || f.failed; }) && !deadline.hasExpired()) {
      stage("screencopy-unchanged");
      zwlr_screencopy_frame_v1_destroy(frame);
      const FrameState wanted = f;
      f = FrameState();
      frame = zwlr_screencopy_manager_v1_capture_output(c.manager, 0, output.proxy);
      zwlr_screencopy_frame_v1_add_listener(frame, &frameListener, &f);
      if (!waitFor(c.display, deadline, [&] { return f.described || f.failed; }))
        return fail(late);
      if (!f.failed &&
          (f.format != wanted.format || f.size != wanted.size || f.stride != wanted.stride))
        return fail(QStringLiteral("the output changed while it was copied"));
      if (!f.failed)
        zwlr_screencopy_frame_v1_copy(frame, buffer);
    }
  }
  if (!waitFor(c.display, deadline, [&] { return f.ready || f.failed; }))
    return fail(late);
  stage("screencopy-copied");
  if (f.failed)
    return fail(QStringLiteral("the compositor failed to copy the screen"));
  shot->upsideDown = f.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
  wl_buffer_destroy(buffer);
  zwlr_screencopy_frame_v1_destroy(frame);
  return shot;
}

// The pad byte of an XRGB pixel is whatever the compositor left there;
// Format_RGB32 wants it opaque.
void makeOpaque(void *address, size_t bytes) {
  auto *px = static_cast<quint32 *>(address);
  // Read before written: a compositor that left them opaque costs no stores.
  for (size_t i = 0, n = bytes / 4; i < n; ++i)
    if (px[i] < 0xff000000u)
      px[i] |= 0xff000000u;
}

void releaseShot(void *shot) { delete static_cast<Shot *>(shot); }

// The image over the shot's pages; the image owns the shot.
QImage wrap(std::unique_ptr<Shot> shot) {
  Shot *s = shot.release();
  return QImage(static_cast<uchar *>(s->address), s->size.width(), s->size.height(), s->stride,
                QImage::Format_RGB32, releaseShot, s);
}

// The pages as an image that does not own them.
QImage pagesOf(Shot *s) {
  return QImage(static_cast<uchar *>(s->address), s->size.width(), s->size.height(), s->stride,
                QImage::Format_RGB32);
}

// A picture for the drawing copy alone, opaque and the right way up.
QImage finish(std::unique_ptr<Shot> shot) {
  makeOpaque(shot->address, shot->bytes);
  const bool flip = shot->upsideDown;
  QImage img = wrap(std::move(shot));
  return flip ? img.mirrored(false, true) : img;
}

class ScreencopyCapture : public ScreenCapture {
public:
  const char *name() const override { return "screencopy"; }
  bool usable() const override {
    return wayland::isSession() && (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                                    !qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"));
  }

  QImage grab(const QRect &area, QString &why) override {
    QRect screenRect;
    std::unique_ptr<Shot> shot = capture(area, screenRect, why);
    return shot ? fit(finish(std::move(shot)), area, screenRect) : QImage();
  }

  // On an output whose pixels are XWayland's own the pages go to the server
  // as they are: the overlay maps with them, and its picture is them too.
  QImage grabUnder(QWidget *cover, const QRect &area, QString &why) override {
    if (pending.shot)
      completeUnder(pending.cover); // one at a time
    QRect screenRect;
    std::unique_ptr<Shot> shot = capture(area, screenRect, why);
    if (!shot)
      return {};
    if (area == screenRect && shot->size == area.size() && shot->stride == area.width() * 4 &&
        !shot->upsideDown && x11::shareUnder(cover->winId(), shot->fd, shot->size)) {
      pending.shot = shot.get();
      pending.cover = cover;
      // The compositor lays the first frame's surface out while the form loads.
      layer_frame::begin(
          {connection->display, connection->compositor, connection->shm, connection->layers},
          shot->output, shot->size);
      if (capture::tracing())
        std::fprintf(stderr, "morvane-trace screencopy-shared %dx%d\n", area.width(),
                     area.height());
      return wrap(std::move(shot)); // made opaque by completeUnder, after the map
    }
    return fit(finish(std::move(shot)), area, screenRect);
  }

  // The pages are the server's background: the dot goes into them directly,
  // and the screen's pixels under it are put back once the window is up.
  // The first frame then goes on screen at once, before the X window maps.
  void markUnder(QWidget *cover, const QRegion &spot, QRgb rgb) override {
    if (!pending.shot || cover != pending.cover || !pending.under.isNull())
      return;
    const QRegion inside = spot & QRect(QPoint(0, 0), pending.shot->size);
    if (!inside.isEmpty()) {
      QImage pages = pagesOf(pending.shot);
      pending.underRect = inside.boundingRect();
      pending.under = pages.copy(pending.underRect);
      for (const QRect &r : inside)
        for (int y = r.top(); y <= r.bottom(); ++y) {
          auto *line = reinterpret_cast<QRgb *>(pages.scanLine(y));
          std::fill(line + r.left(), line + r.right() + 1, rgb | 0xff000000u);
        }
    }
    if (layer_frame::show(pending.shot->fd, pending.shot->stride))
      stage("screencopy-layer-shown");
  }

  void completeUnder(QWidget *cover) override {
    if (!pending.shot || cover != pending.cover)
      return;
    const Pending p = pending;
    pending = Pending();
    layer_frame::end(); // before its pixels change back
    if (!p.under.isNull()) {
      QImage pages = pagesOf(p.shot);
      for (int y = 0; y < p.under.height(); ++y)
        std::memcpy(pages.scanLine(p.underRect.top() + y) + size_t(p.underRect.left()) * 4,
                    p.under.constScanLine(y), size_t(p.under.width()) * 4);
    }
    makeOpaque(p.shot->address, p.shot->bytes);
    x11::releaseShared();
  }

  void beforeOwnChange() override {
    QString why;
    if (!connect(QDeadlineTimer(ArmMs), why)) {
      connection.reset(); // the capture tries again, with its own deadline
      return;
    }
    arm(*connection);
  }

  // XWayland's copy of the background goes to the compositor, which shows it.
  bool showsUnder(const QWidget *cover) const override {
    return pending.shot && cover == pending.cover;
  }

private:
  // The output under `area` copied whole; `screenRect` is its X screen's
  // rectangle. Any failure drops the connection: a compositor that did not
  // answer may still answer the old request later.
  std::unique_ptr<Shot> capture(const QRect &area, QRect &screenRect, QString &why) {
    const QDeadlineTimer deadline(AnswerMs);
    Connection *c = connect(deadline, why);
    if (!c) {
      connection.reset();
      return nullptr;
    }
    const QScreen *screen = screenOver(area, screenRect);
    // Outputs added since the connection was made have been described by now.
    if (!roundTrip(c->display, deadline)) {
      why = QStringLiteral("the compositor did not answer within 3 s");
      connection.reset();
      return nullptr;
    }
    const Output *output = outputFor(*c, screen, screenRect);
    if (capture::tracing())
      for (const auto &o : c->outputs)
        std::fprintf(stderr, "morvane-trace screencopy-output %s at %d,%d%s for %s at %d,%d\n",
                     qPrintable(o->name), o->logical.x(), o->logical.y(),
                     o.get() == output ? " (chosen)" : "",
                     screen ? qPrintable(screen->name()) : "none", screenRect.x(), screenRect.y());
    if (!output) {
      why = QStringLiteral("no output of the compositor lies under the overlay");
      return nullptr;
    }
    // The copy comes in the output's own orientation; grim turns it, this does not.
    if (output->transform != WL_OUTPUT_TRANSFORM_NORMAL) {
      why = QStringLiteral("the output is rotated or flipped");
      return nullptr;
    }
    std::unique_ptr<Shot> shot = copyOutput(*c, *output, deadline, why);
    if (!shot)
      connection.reset();
    return shot;
  }

  // `whole` is the output of the X screen at `screenRect`: the part under
  // `area`, at one pixel per X pixel. A scaled output's pixels are finer
  // than XWayland's; the compositor scales the overlay up again like every
  // X window, so the picture lands where the desktop was.
  static QImage fit(const QImage &whole, const QRect &area, const QRect &screenRect) {
    const QImage &img = whole;
    if (img.size() == area.size() && area == screenRect)
      return img; // no copy
    const double rx = double(img.width()) / screenRect.width();
    const double ry = double(img.height()) / screenRect.height();
    const QRect source = QRectF((area.x() - screenRect.x()) * rx, (area.y() - screenRect.y()) * ry,
                                area.width() * rx, area.height() * ry)
                             .toAlignedRect() &
                         img.rect();
    QImage part = img.copy(source);
    if (part.size() != area.size())
      part = part.scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (part.format() != QImage::Format_RGB32)
      part = part.convertToFormat(QImage::Format_RGB32);
    return part;
  }
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeScreencopy() {
  return std::make_unique<ScreencopyCapture>();
}
