#include "platform/capture/layer_frame.h"

#include "platform/capture/wayland_wait.h"

#include "wlr-layer-shell-unstable-v1-client.h"

#include <QTimer>

#include <wayland-client.h>

namespace {
constexpr int ConfigureMs = 100;
// The X map waits for this frame: once XWayland is busy mapping the overlay,
// the compositor (whose X window manager waits on XWayland) draws nothing else.
constexpr int DrawnMs = 100;
// The overlay's first paint takes the surface away (at the first press or key,
// or soon after the window's exposure); should the window never be exposed,
// the screen is not left frozen under a surface nobody can close.
constexpr int LongestMs = 3000;

struct State {
  layer_frame::Globals g;
  wl_surface *surface = nullptr;
  zwlr_layer_surface_v1 *layer = nullptr;
  wl_buffer *buffer = nullptr;
  QSize size;
  uint32_t serial = 0;
  QSize laidOut;
  bool configured = false;
  bool closed = false; // by the compositor (its output went away)
  unsigned generation = 0;
};
State state;

void configure(void *, zwlr_layer_surface_v1 *, uint32_t serial, uint32_t w, uint32_t h) {
  state.serial = serial;
  state.laidOut = QSize(int(w), int(h));
  state.configured = true;
}
void closed(void *, zwlr_layer_surface_v1 *) { state.closed = true; }
const zwlr_layer_surface_v1_listener listener = {configure, closed};

void drawn(void *data, wl_callback *, uint32_t) { *static_cast<bool *>(data) = true; }
const wl_callback_listener drawnListener = {drawn};
} // namespace

namespace layer_frame {

bool begin(const Globals &g, wl_output *output, const QSize &size) {
  end();
  if (!g.display || !g.compositor || !g.shm || !g.shell || !output)
    return false;
  state.g = g;
  state.size = size;
  state.surface = wl_compositor_create_surface(g.compositor);
  wl_region *none = wl_compositor_create_region(g.compositor);
  wl_surface_set_input_region(state.surface, none);
  wl_region_destroy(none);
  state.layer = zwlr_layer_shell_v1_get_layer_surface(
      g.shell, state.surface, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "morvane-frozen");
  zwlr_layer_surface_v1_add_listener(state.layer, &listener, nullptr);
  zwlr_layer_surface_v1_set_anchor(
      state.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                       ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_exclusive_zone(state.layer, -1); // over the bar too
  zwlr_layer_surface_v1_set_keyboard_interactivity(state.layer, 0);
  wl_surface_commit(state.surface); // no buffer yet: asks for the layout
  wl_display_flush(g.display);
  return true;
}

bool show(int fd, int stride) {
  if (!state.layer)
    return false;
  if (!capture::waitFor(state.g.display, QDeadlineTimer(ConfigureMs),
                        [] { return state.configured || state.closed; }) ||
      state.closed || state.laidOut != state.size) {
    end();
    return false;
  }
  zwlr_layer_surface_v1_ack_configure(state.layer, state.serial);
  const int w = state.size.width(), h = state.size.height();
  wl_shm_pool *pool = wl_shm_create_pool(state.g.shm, fd, stride * h);
  state.buffer = wl_shm_pool_create_buffer(pool, 0, w, h, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  wl_surface_attach(state.surface, state.buffer, 0, 0);
  wl_surface_damage(state.surface, 0, 0, w, h);
  bool done = false;
  wl_callback *frame = wl_surface_frame(state.surface);
  wl_callback_add_listener(frame, &drawnListener, &done);
  wl_surface_commit(state.surface);
  capture::waitFor(state.g.display, QDeadlineTimer(DrawnMs), [&] { return done; });
  wl_callback_destroy(frame);
  QTimer::singleShot(LongestMs, [generation = state.generation] {
    if (generation == state.generation)
      end();
  });
  return true;
}

void end() {
  if (!state.surface)
    return;
  zwlr_layer_surface_v1_destroy(state.layer);
  wl_surface_destroy(state.surface);
  if (state.buffer)
    wl_buffer_destroy(state.buffer);
  wl_display_flush(state.g.display);
  const unsigned next = state.generation + 1;
  state = State();
  state.generation = next;
}
} // namespace layer_frame
