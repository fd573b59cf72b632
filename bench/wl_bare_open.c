/* The yardstick of bench/probe_wayland.sh: Morvane's Wayland open done
 * without a toolkit. Connected beforehand, like the resident program; each
 * line on stdin is one open: the output copied through screencopy into a
 * fresh memory file (pages made while the compositor copies), a 13x13 green
 * dot written into it, the file handed to XWayland as a shared pixmap and
 * made the background of a full-screen window, which is then mapped. The
 * next line closes the window again. Prints "capture_ms N" per open: the
 * bare screencopy into a fresh wl_shm buffer.
 *
 *   wl_bare_open <fifo   (WAYLAND_DISPLAY and DISPLAY of the session) */
#define _GNU_SOURCE
#include "wlr-screencopy-unstable-v1-client.h"

#include <wayland-client.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static struct wl_shm *shm;
static struct wl_output *output;
static struct zwlr_screencopy_manager_v1 *manager;

static void global(void *data, struct wl_registry *r, uint32_t id, const char *iface, uint32_t v) {
  (void)data;
  if (!strcmp(iface, zwlr_screencopy_manager_v1_interface.name))
    manager = wl_registry_bind(r, id, &zwlr_screencopy_manager_v1_interface, v < 3 ? v : 3);
  else if (!strcmp(iface, wl_shm_interface.name))
    shm = wl_registry_bind(r, id, &wl_shm_interface, 1);
  else if (!strcmp(iface, wl_output_interface.name) && !output)
    output = wl_registry_bind(r, id, &wl_output_interface, 1);
}
static void global_remove(void *data, struct wl_registry *r, uint32_t id) {
  (void)data, (void)r, (void)id;
}
static const struct wl_registry_listener registry_listener = {global, global_remove};

struct frame {
  uint32_t format, width, height, stride;
  int described, ready, failed;
};
static void on_buffer(void *d, struct zwlr_screencopy_frame_v1 *f, uint32_t format, uint32_t w,
                      uint32_t h, uint32_t stride) {
  struct frame *s = d;
  s->format = format, s->width = w, s->height = h, s->stride = stride;
  if (zwlr_screencopy_frame_v1_get_version(f) < 3)
    s->described = 1;
}
static void on_flags(void *d, struct zwlr_screencopy_frame_v1 *f, uint32_t flags) {
  (void)d, (void)f, (void)flags;
}
static void on_ready(void *d, struct zwlr_screencopy_frame_v1 *f, uint32_t a, uint32_t b,
                     uint32_t c) {
  (void)f, (void)a, (void)b, (void)c;
  ((struct frame *)d)->ready = 1;
}
static void on_failed(void *d, struct zwlr_screencopy_frame_v1 *f) {
  (void)f;
  ((struct frame *)d)->failed = 1;
}
static void on_damage(void *d, struct zwlr_screencopy_frame_v1 *f, uint32_t x, uint32_t y,
                      uint32_t w, uint32_t h) {
  (void)d, (void)f, (void)x, (void)y, (void)w, (void)h;
}
static void on_dmabuf(void *d, struct zwlr_screencopy_frame_v1 *f, uint32_t a, uint32_t w,
                      uint32_t h) {
  (void)d, (void)f, (void)a, (void)w, (void)h;
}
static void on_done(void *d, struct zwlr_screencopy_frame_v1 *f) {
  (void)f;
  ((struct frame *)d)->described = 1;
}
static const struct zwlr_screencopy_frame_v1_listener frame_listener = {
    on_buffer, on_flags, on_ready, on_failed, on_damage, on_dmabuf, on_done};

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static xcb_atom_t atom(xcb_connection_t *c, const char *name) {
  xcb_intern_atom_reply_t *r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
  xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
  free(r);
  return a;
}

int main(void) {
  struct wl_display *d = wl_display_connect(NULL);
  xcb_connection_t *x = xcb_connect(NULL, NULL);
  if (!d || xcb_connection_has_error(x)) {
    fprintf(stderr, "wl_bare_open: no Wayland or X display\n");
    return 1;
  }
  struct wl_registry *reg = wl_display_get_registry(d);
  wl_registry_add_listener(reg, &registry_listener, NULL);
  wl_display_roundtrip(d);
  if (!manager || !shm || !output) {
    fprintf(stderr, "wl_bare_open: no screencopy\n");
    return 1;
  }
  const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const xcb_atom_t state = atom(x, "_NET_WM_STATE"), full = atom(x, "_NET_WM_STATE_FULLSCREEN");
  printf("ready\n");
  fflush(stdout);
  char line[64];
  while (fgets(line, sizeof line, stdin)) {
    const double t0 = now_ms();
    struct frame f = {0};
    struct zwlr_screencopy_frame_v1 *frame =
        zwlr_screencopy_manager_v1_capture_output(manager, 0, output);
    zwlr_screencopy_frame_v1_add_listener(frame, &frame_listener, &f);
    while (!f.described && !f.failed && wl_display_dispatch(d) >= 0) {
    }
    const size_t bytes = (size_t)f.stride * f.height;
    const int fd = memfd_create("bare", MFD_CLOEXEC);
    if (f.failed || fd < 0 || ftruncate(fd, (off_t)bytes) != 0)
      return 1;
    uint32_t *px = mmap(NULL, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    struct wl_shm_pool *pool = wl_shm_create_pool(shm, fd, (int32_t)bytes);
    struct wl_buffer *buf = wl_shm_pool_create_buffer(pool, 0, (int32_t)f.width, (int32_t)f.height,
                                                      (int32_t)f.stride, f.format);
    wl_shm_pool_destroy(pool);
    zwlr_screencopy_frame_v1_copy(frame, buf);
    wl_display_flush(d);
    madvise(px, bytes, MADV_POPULATE_WRITE);
    while (!f.ready && !f.failed && wl_display_dispatch(d) >= 0) {
    }
    const double captured = now_ms();
    wl_buffer_destroy(buf);
    zwlr_screencopy_frame_v1_destroy(frame);
    for (uint32_t y = 0; y < 13 && y < f.height; ++y)
      for (uint32_t i = 0; i < 13 && i < f.width; ++i)
        px[y * (f.stride / 4) + i] = 0xff00ff00u;

    const xcb_shm_seg_t seg = xcb_generate_id(x);
    xcb_shm_attach_fd(x, seg, dup(fd), 0);
    const xcb_pixmap_t pixmap = xcb_generate_id(x);
    xcb_shm_create_pixmap(x, pixmap, screen->root, (uint16_t)f.width, (uint16_t)f.height,
                          screen->root_depth, seg, 0);
    const xcb_window_t w = xcb_generate_id(x);
    const uint32_t values[] = {pixmap};
    xcb_create_window(x, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, (uint16_t)f.width,
                      (uint16_t)f.height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXMAP, values);
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, w, state, XCB_ATOM_ATOM, 32, 1, &full);
    xcb_map_window(x, w);
    // sway takes full screen from a request, as Qt's showFullScreen sends it.
    xcb_client_message_event_t ev;
    memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = state;
    ev.data.data32[0] = 1; /* add */
    ev.data.data32[1] = full;
    ev.data.data32[3] = 1;
    xcb_send_event(x, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   (const char *)&ev);
    xcb_flush(x);
    printf("capture_ms %.1f open_ms %.1f\n", captured - t0, now_ms() - t0);
    fflush(stdout);
    if (!fgets(line, sizeof line, stdin))
      break;
    xcb_destroy_window(x, w);
    xcb_free_pixmap(x, pixmap);
    xcb_shm_detach(x, seg);
    xcb_flush(x);
    munmap(px, bytes);
    close(fd);
  }
  return 0;
}
