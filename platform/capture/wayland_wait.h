#pragma once
// Waiting on a Wayland connection of Morvane's own (not Qt's): the capture's
// and the first frame's.

#include <QDeadlineTimer>

#include <wayland-client.h>

#include <cerrno>

#include <poll.h>

namespace capture {
// Dispatches the compositor's events until done() or the deadline. A
// compositor that stops answering must not stop Morvane: every wait is a poll
// with a timeout. False on the deadline or a broken connection.
template <class Done> bool waitFor(wl_display *d, const QDeadlineTimer &deadline, Done done) {
  while (!done()) {
    if (wl_display_prepare_read(d) != 0) {
      if (wl_display_dispatch_pending(d) < 0)
        return false;
      continue;
    }
    if (wl_display_flush(d) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(d);
      return false;
    }
    pollfd p = {wl_display_get_fd(d), POLLIN, 0};
    const int r = poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
    if (r <= 0) {
      wl_display_cancel_read(d);
      if (r < 0 && errno == EINTR)
        continue;
      return false;
    }
    if (wl_display_read_events(d) < 0 || wl_display_dispatch_pending(d) < 0)
      return false;
  }
  return true;
}
} // namespace capture
