#include "core/open_trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace open_trace {
bool enabled() {
  static const bool on = [] {
    const char *v = std::getenv("MORVANE_TRACE");
    return v && *v && *v != '0';
  }();
  return on;
}

void mark(const char *milestone) {
  if (!enabled())
    return;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  std::fprintf(stderr, "morvane-trace %s %.3f\n", milestone,
               std::chrono::duration<double, std::milli>(now).count());
  std::fflush(stderr);
}
} // namespace open_trace
