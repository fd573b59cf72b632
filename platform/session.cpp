#include "platform/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLockFile>
#include <QSocketNotifier>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace session {
namespace {
int signalPipe[2] = {-1, -1};
std::function<void()> endHandler;

// Async-signal-safe: only writes one byte; the event loop does the rest.
extern "C" void onSignal(int) {
  const int saved = errno;
  const char b = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &b, 1);
  errno = saved;
}

// Takes any quit request to the application before Qt starts closing windows.
class QuitWatch : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject *o, QEvent *e) override {
    if (e->type() != QEvent::Quit || o != QCoreApplication::instance() || !endHandler)
      return false;
    endHandler();
    return true;
  }
};

// The fallback private folder: $XDG_CONFIG_HOME/morvane.
QString configDir() {
  // A relative or empty XDG_CONFIG_HOME is invalid and must be ignored.
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!config.startsWith(QLatin1Char('/')))
    config = QDir::homePath() + QStringLiteral("/.config");
  return QDir::cleanPath(config + QStringLiteral("/morvane"));
}
// A real folder (not a link) owned by this user that nobody else may enter.
bool isPrivateFolder(const QString &path) {
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
    return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}
} // namespace

QString privateDir() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (runtime.startsWith(QLatin1Char('/')) && isPrivateFolder(runtime))
    return runtime;
  const QString dir = configDir();
  QDir().mkpath(QFileInfo(dir).path());
  ::mkdir(QFile::encodeName(dir).constData(), 0700);
  return isPrivateFolder(dir) ? dir : QString();
}

InstanceLock acquireInstanceLock() {
  static QLockFile *lock = nullptr;
  if (lock)
    return InstanceLock::Acquired;
  const QString dir = privateDir();
  if (dir.isEmpty()) {
    std::fprintf(stderr,
                 "morvane: no place for the lock: %s is not a folder of this user's closed to "
                 "others\n",
                 qPrintable(configDir()));
    return InstanceLock::Failed;
  }
  const QString path = dir + QStringLiteral("/morvane.lock");
  auto *l = new QLockFile(path);
  // A lock left by a crashed instance is taken over at once.
  l->setStaleLockTime(0);
  // Created for this user alone.
  const mode_t oldMask = ::umask(077);
  const bool locked = l->tryLock(0);
  ::umask(oldMask);
  if (locked) {
    lock = l;
    return InstanceLock::Acquired;
  }
  const QLockFile::LockError error = l->error();
  delete l;
  if (error == QLockFile::LockFailedError)
    return InstanceLock::AlreadyRunning;
  std::fprintf(stderr, "morvane: cannot take the lock %s: %s\n", qPrintable(path),
               error == QLockFile::PermissionError ? "permission denied"
                                                   : "cannot create the file");
  return InstanceLock::Failed;
}

void onEndOfSession(std::function<void()> handler) {
  endHandler = std::move(handler);
  if (signalPipe[0] < 0 && ::pipe(signalPipe) == 0) {
    for (int fd : signalPipe)
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    auto *n = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(n, &QSocketNotifier::activated, qApp, [] {
      char b;
      [[maybe_unused]] ssize_t r = ::read(signalPipe[0], &b, 1);
      if (endHandler)
        endHandler();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP})
      ::sigaction(s, &sa, nullptr);
  }
  // The session manager's "save yourself" (commitDataRequest, saveStateRequest)
  // also comes for a mere checkpoint, and must change nothing. Its Die, the real
  // end of the session, arrives as a quit request to the application.
  static QuitWatch *watch = nullptr;
  if (!watch) {
    watch = new QuitWatch(qApp);
    qApp->installEventFilter(watch);
  }
}

void useUtf8Text() {
  std::setlocale(LC_ALL, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
    return;
  // QApplication sets the locale from the environment again: the change goes
  // there. LC_ALL would override LC_CTYPE, so its value moves to LANG.
  const char *all = std::getenv("LC_ALL");
  if (all && *all) {
    ::setenv("LANG", all, 1);
    ::unsetenv("LC_ALL");
  }
  ::setenv("LC_CTYPE", "C.UTF-8", 1);
  std::setlocale(LC_ALL, "");
}
} // namespace session
