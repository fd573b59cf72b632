#pragma once
// Ways of hearing one key combination wherever the focus is. Each way lives in
// a file of its own (shortcut/*.cpp); the first that can work in this session
// is used.

#include <QKeySequence>

#include <functional>
#include <memory>

class GlobalShortcut {
public:
  virtual ~GlobalShortcut() = default;
  virtual const char *name() const = 0;
  // Whether this way can work in the running session at all.
  virtual bool usable() const = 0;
  // Starts listening; `pressed` runs on the event loop at each press. A key
  // another program holds is one line on stderr and nothing more.
  virtual void start(const QKeySequence &key, std::function<void()> pressed) = 0;
};

namespace shortcut {
std::unique_ptr<GlobalShortcut> makeX11Grab(); // X11 sessions, never XWayland
std::unique_ptr<GlobalShortcut> makePortal();  // xdg-desktop-portal's GlobalShortcuts

// `keys` in Qt's portable key-sequence text; empty means no shortcut at all.
// Text that is not one key combination is one line on stderr.
void start(const QString &keys, std::function<void()> pressed);
} // namespace shortcut
