#pragma once
// The process's place in the desktop session: one instance per user, and the
// ways the session asks it to end.

#include <functional>

namespace session {
// True for the first instance of this user; the lock dies with the process.
bool acquireSingleInstance();
// Runs `handler` on the event loop when SIGTERM, SIGINT or SIGHUP arrives, or
// when the application is asked to quit (how the session manager's Die, the end
// of the session, arrives). A session checkpoint does not run it.
void onEndOfSession(std::function<void()> handler);
} // namespace session
