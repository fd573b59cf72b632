#include "core/app.h"

#include "core/forms.h"
#include "core/settings.h"
#include "platform/platform.h"
#include "platform/session.h"
#include "platform/translations.h"
#include "platform/wayland.h"
#include "resources/captions.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>

#include <cstdlib>

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
  // A second copy ends at once and silently, before it touches anything; a lock
  // that cannot be had at all has been named on stderr.
  switch (session::acquireInstanceLock()) {
  case session::InstanceLock::Acquired:
    break;
  case session::InstanceLock::AlreadyRunning:
    return 0;
  case session::InstanceLock::Failed:
    return 1;
  }

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
