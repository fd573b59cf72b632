#pragma once
// Milestones of opening the overlay, for the display probe in bench/.
// MORVANE_TRACE=1 prints each as "morvane-trace <name> <ms>" on stderr, on the
// monotonic clock that other processes read too; otherwise nothing happens.

namespace open_trace {
bool enabled();
void mark(const char *milestone);
} // namespace open_trace
