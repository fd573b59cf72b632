#include "core/app.h"

#include "core/forms.h"
#include "core/settings.h"
#include "platform/platform.h"
#include "platform/session.h"
#include "platform/translations.h"
#include "platform/wayland.h"
#include "resources/captions.h"

#include <QApplication>

#include <cstdlib>

int Main(int argc, char **argv) {
  // A second copy ends at once and silently, before it touches anything.
  if (!session::acquireSingleInstance())
    return 0;

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

  // Logging off, SIGTERM, SIGINT and SIGHUP close the main window like an exit command.
  session::onEndOfSession([] { App_End(); });
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
