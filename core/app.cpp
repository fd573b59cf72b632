#include "core/app.h"

#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/settings.h"
#include "platform/command_channel.h"
#include "platform/dbus_service.h"
#include "platform/platform.h"
#include "platform/session.h"
#include "platform/shortcut/shortcut.h"
#include "platform/translations.h"
#include "platform/wayland.h"
#include "resident/commands.h"
#include "resources/captions.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

#ifndef MORVANE_VERSION
#define MORVANE_VERSION "?"
#endif

namespace {
using command_channel::Command;

const char usage[] = "Usage: morvane [--draw | --toggle | --settings | --quit]\n"
                     "Without an option: starts the program in the tray (or as its floating\n"
                     "icon); a second start ends at once. With one, hands it to the running\n"
                     "program:\n"
                     "  --draw      start drawing\n"
                     "  --toggle    start drawing, or end it when it is open\n"
                     "  --settings  open the settings\n"
                     "  --quit      end the program\n"
                     "--draw, --toggle and --settings start the program when none runs.\n"
                     "  --help      this text\n"
                     "  --version   the program's version\n";

// Hands the command to the running instance. nullopt: this process becomes the
// instance and runs the command itself; a value: the exit status.
std::optional<int> handOver(Command c) {
  if (command_channel::send(c))
    return 0;
  switch (session::acquireInstanceLock()) {
  case session::InstanceLock::Acquired:
    break;
  case session::InstanceLock::Failed:
    return 1;
  case session::InstanceLock::AlreadyRunning:
    // An instance is starting: its channel opens in a moment.
    for (int i = 0; i < 30; ++i) {
      ::usleep(100 * 1000);
      if (command_channel::send(c))
        return 0;
    }
    std::fprintf(stderr, "morvane: the running instance does not answer\n");
    return 1;
  }
  if (c == Command::Quit) {
    std::fprintf(stderr, "morvane: no instance is running\n");
    return 1;
  }
  return std::nullopt;
}
} // namespace

namespace {
// The end of the session (a signal, the session manager's Die) can arrive inside
// a modal loop: a message box, a menu, the settings dialog, the colour chooser.
// Those loops are closed first, the innermost first, and the program ends once
// they have unwound: deleting windows from under a running loop frees objects
// the loop still uses. A loop that will not close is given two seconds.
void endOfSession(int triesLeft) {
  if (QThread::currentThread()->loopLevel() > 1 && triesLeft > 0) {
    if (QWidget *popup = QApplication::activePopupWidget()) {
      popup->close();
    } else if (QWidget *modal = QApplication::activeModalWidget()) {
      if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
      else
        modal->close();
    }
    QTimer::singleShot(10, qApp, [triesLeft] { endOfSession(triesLeft - 1); });
    return;
  }
  App_End();
}
} // namespace

int Main(int argc, char **argv) {
  // Read before anything else: a command process creates no window, no tray
  // and no settings model. Arguments of Qt's own pass through.
  std::optional<Command> command;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("morvane %s\n", MORVANE_VERSION);
      return 0;
    }
    if (!std::strncmp(argv[i], "--", 2))
      if (const auto c = command_channel::fromName(argv[i] + 2))
        command = c;
  }
  if (command) {
    if (const auto code = handOver(*command))
      return *code;
  } else {
    // A second copy ends at once and silently, before it touches anything; a
    // lock that cannot be had at all has been named on stderr.
    switch (session::acquireInstanceLock()) {
    case session::InstanceLock::Acquired:
      break;
    case session::InstanceLock::AlreadyRunning:
      return 0;
    case session::InstanceLock::Failed:
      return 1;
    }
  }

  session::useUtf8Text();
  // Qt reads its platform when QApplication is built: the choice comes first.
  const wayland::Route route = wayland::chooseWindowSystem();
  if (route == wayland::Route::Impossible)
    return 1;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Morvane"));
  QApplication::setQuitOnLastWindowClosed(false);
  translations::installQtJapanese();
  if (route == wayland::Route::MessageOnly) {
    platform().notifyUser(nullptr, captions::noXWayland());
    // Not through QApplication's teardown: Qt 6.4's Wayland client can wait
    // for ever there on its own event thread.
    platform().endProcess(1);
  }

  Load_Settings();
  Load_Kavrel_S();
  // Ways in besides the icons, all through the same commands.
  if (!command_channel::listen(Run_Command))
    std::fprintf(stderr, "morvane: no command channel (no private folder for its socket)\n");
  dbus_service::start(Run_Command);
  shortcut::start(Hot_Key, [] { Run_Command(Command::Toggle); });
  if (command)
    QTimer::singleShot(0, [c = *command] { Run_Command(c); });

  // Logging off, SIGTERM, SIGINT and SIGHUP close the main window like an exit command.
  session::onEndOfSession([] { endOfSession(200); });
  const int code = app.exec();
  // The loop ended without an exit command: the three keys are still saved, once.
  Unload_Kavrel_S();
  platform().endProcess(code);
  return code; // not reached
}

void App_End() {
  Unload_Kavrel_S();
  platform().endProcess(0);
  std::_Exit(0); // endProcess does not return; this keeps the promise if one ever did
}
