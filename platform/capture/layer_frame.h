#pragma once
// The frozen picture put on screen straight from the capture's memory file, as
// a surface of the compositor's own above everything (wlroots' layer shell),
// until the overlay's window, an XWayland one that maps with the same
// picture, is up. That first frame skips the X side of the open: the window
// manager's map and XWayland's copy of the whole picture. The surface takes
// no input: the pointer goes through it, the keyboard stays where it was, and
// the overlay's window gets both once it maps.

#include <QSize>

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_shm;
struct zwlr_layer_shell_v1;

namespace layer_frame {
struct Globals {
  wl_display *display = nullptr;
  wl_compositor *compositor = nullptr;
  wl_shm *shm = nullptr;
  zwlr_layer_shell_v1 *shell = nullptr;
};
// Asks for a surface covering `output`, of `size` pixels at scale 1; the
// compositor answers while the open goes on. False when it offers no layer shell.
bool begin(const Globals &g, wl_output *output, const QSize &size);
// Shows the memory file's pixels (0x??RRGGBB words, `stride` bytes a line,
// the pad byte ignored) on that surface, and waits a little for the compositor
// to draw them. False, and the surface gone, when the compositor did not lay
// it out at the size asked for, in time.
bool show(int fd, int stride);
// Takes the surface away: the overlay's own window shows the same by now.
void end();
} // namespace layer_frame
