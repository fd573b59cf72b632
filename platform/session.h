#pragma once
// The process's place in the desktop session: one instance per user, and the
// ways the session asks it to end.

#include <functional>

#include <QString>

namespace session {
// A folder that only this user can enter, for the lock and the command
// channel: the session's runtime folder when it is the user's own and closed
// to others, else $XDG_CONFIG_HOME/morvane (made 0700). Checked to be a real
// folder of this user's, not a link; empty when no such folder can be had.
QString privateDir();
// The single-instance lock, morvane.lock in privateDir() (mode 0600); it dies
// with the process. Failed when no lock can be had there (no private folder, a
// file that cannot be opened): one line on stderr has then named it and why.
enum class InstanceLock { Acquired, AlreadyRunning, Failed };
InstanceLock acquireInstanceLock();
// Runs `handler` on the event loop when SIGTERM, SIGINT or SIGHUP arrives, or
// when the application is asked to quit (how the session manager's Die, the end
// of the session, arrives). A session checkpoint does not run it.
void onEndOfSession(std::function<void()> handler);
// Before QApplication: in a locale whose text is not UTF-8 (the POSIX locale of
// a bare system), character handling switches to C.UTF-8, so the Japanese
// window titles reach the window manager and typed text reaches the program
// intact. Everything else about the user's locale stays.
void useUtf8Text();
} // namespace session
