// The desktop's screenshot portal (GNOME, KDE Plasma, wlroots desktops with
// xdg-desktop-portal-wlr): org.freedesktop.portal.Screenshot over D-Bus. The
// answer comes later, as the Response signal of a request object, and names a
// PNG file that the portal wrote for us.
//
// The first time, a portal whose back end checks permissions (GNOME's, KDE's)
// asks the user "Allow Applications to Take Screenshots?" and keeps the answer
// in its permission store, under the empty app id for programs outside a
// sandbox. While that question can be on screen the user is given time to
// answer; a "no" is told apart from a failure through the same store.

#include "platform/capture/capture.h"
#include "platform/wayland.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int AnswerMs = 3000;
// While the desktop may be asking the user: a person reads the question first.
constexpr int QuestionMs = 60000;
constexpr int StoreMs = 1000;
// A late answer's file is still removed, up to this long after we gave up.
constexpr int LateAnswerMs = 60000;
const QString Service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString DesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString StoreService = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString StorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
const QString ImplPrefix = QStringLiteral("org.freedesktop.impl.portal.desktop.");

// What the permission store says about screenshots by programs outside a sandbox.
enum class Stored { Unknown, Yes, No, Unset };

QDBusMessage storeLookup() {
  QDBusMessage m = QDBusMessage::createMethodCall(StoreService, StorePath, StoreService,
                                                  QStringLiteral("Lookup"));
  m << QStringLiteral("screenshot") << QStringLiteral("screenshot");
  return m;
}

Stored storedOf(const QDBusMessage &reply) {
  if (reply.type() == QDBusMessage::ErrorMessage)
    // A store without the entry has never been asked; without a store at all
    // nothing is remembered, and nothing can be told.
    return reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound")
               ? Stored::Unset
               : Stored::Unknown;
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
    return Stored::Unknown;
  QMap<QString, QStringList> apps;
  reply.arguments().constFirst().value<QDBusArgument>() >> apps;
  if (!apps.contains(QString()))
    return Stored::Unset;
  const QString first = apps.value(QString()).value(0);
  return first == QLatin1String("yes")  ? Stored::Yes
         : first == QLatin1String("no") ? Stored::No
                                        : Stored::Unset;
}

// Whether a back end on the bus asks before a screenshot: version 2 of its
// Screenshot interface has the portal check the store (and ask) first.
bool backEndAsks(QDBusConnection &bus) {
  QDBusConnectionInterface *names = bus.interface();
  if (!names)
    return false;
  for (const QString &name : names->registeredServiceNames().value()) {
    if (!name.startsWith(ImplPrefix))
      continue;
    QDBusMessage get = QDBusMessage::createMethodCall(
        name, DesktopPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.impl.portal.Screenshot") << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, StoreMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
        reply.arguments().constFirst().value<QDBusVariant>().variant().toUInt() >= 2)
      return true;
  }
  return false;
}

// A file's age may lag the clock by a tick of the file system's coarse time.
constexpr qint64 ClockSlackNs = 1000000000;

qint64 nowNs() {
  timespec t{};
  ::clock_gettime(CLOCK_REALTIME, &t);
  return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QString canonicalDir(const QString &dir) {
  return dir.isEmpty() ? QString() : QFileInfo(dir).canonicalFilePath();
}

// The folders the portals save their pictures in: the Pictures folder and below
// it (GNOME, KDE), the home folder, the temporary and the runtime folder
// (wlroots' portal writes /tmp/out.png whatever our TMPDIR says).
bool inPortalFolder(const QString &folder) {
  const QString pictures =
      canonicalDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
  if (!pictures.isEmpty() && (folder == pictures || folder.startsWith(pictures + QLatin1Char('/'))))
    return true;
  for (const QString &d : {QDir::homePath(), QDir::tempPath(), QStringLiteral("/tmp"),
                           qEnvironmentVariable("XDG_RUNTIME_DIR")})
    if (!d.isEmpty() && folder == canonicalDir(d))
      return true;
  return false;
}

// The answer's file is removed only when it is plainly the portal's fresh
// picture for our request: any process on the session bus can send an answer
// to a request path, and must not make us delete the user's other files.
// Called only after an answer 0 whose picture decoded.
void removeShot(const QString &uri, qint64 askedNs) {
  const QUrl url(uri);
  if (!url.isLocalFile())
    return;
  const QString path = url.toLocalFile();
  // No "..", "." or doubled slashes: the name is taken as it stands.
  if (!path.startsWith(QLatin1Char('/')) || QDir::cleanPath(path) != path)
    return;
  struct stat st;
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_uid != ::getuid())
    return;
  // Written after we asked: an older file is someone's own.
  const qint64 written = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (written < askedNs - ClockSlackNs)
    return;
  if (!inPortalFolder(canonicalDir(QFileInfo(path).path())))
    return;
  QFile::remove(path);
}

// The picture an answer names, read whole; null when it is not a local picture.
QImage readShot(const QString &uri) {
  const QUrl url(uri);
  return url.isLocalFile() ? QImage(url.toLocalFile()) : QImage();
}

// What is known of a refusal's cause. KDE's portal saves its shot in the
// Pictures folder and refuses when that folder is missing.
QString refusalReason() {
  const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
  if (!desktop.split(QLatin1Char(':')).contains(QLatin1String("KDE"), Qt::CaseInsensitive))
    return {};
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty() || QFileInfo(pictures).isDir())
    return {};
  return QStringLiteral(": KDE's portal saves its picture in %1, which does not exist "
                        "(make that folder)")
      .arg(pictures);
}

// Request tokens are never reused in the life of the process, and cannot be
// guessed: an abandoned request still listens on its path.
QString nextToken() {
  static std::atomic<quint64> serial{0};
  return QStringLiteral("morvane_%1_%2")
      .arg(++serial)
      .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
}

// One request object's answer.
class Answer : public QObject {
  Q_OBJECT
public:
  bool received = false;
  uint response = 2;
  QString uri;
  QEventLoop *loop = nullptr;
  bool abandoned = false; // the capture has failed already; only the file matters
  qint64 askedNs = 0;

public slots:
  void onResponse(uint code, const QVariantMap &results) {
    const QString file = results.value(QStringLiteral("uri")).toString();
    if (abandoned) {
      if (code == 0 && !readShot(file).isNull())
        removeShot(file, askedNs);
      deleteLater();
      return;
    }
    received = true;
    response = code;
    uri = file;
    if (loop)
      loop->quit();
  }
};

class PortalCapture : public ScreenCapture {
public:
  const char *name() const override { return "portal"; }
  bool usable() const override {
    if (!wayland::isSession())
      return false;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (!bus)
      return false;
    return bus->isServiceRegistered(Service).value() ||
           bus->activatableServiceNames().value().contains(Service);
  }

  QImage grab(const QRect &area, QString &why) override {
    // The wait below runs the event loop: a second activation must not start a
    // second request on top of this one.
    if (waiting_) {
      why = QStringLiteral("a capture is already waiting for the screenshot portal");
      return {};
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
      why = QStringLiteral("no session bus");
      return {};
    }
    denial_ = capture::Denial::None;
    waiting_ = true;
    QString handle;
    bool asked = false;
    Answer *answer = request(bus, handle, asked, why);
    waiting_ = false;
    if (!answer)
      return {};
    if (!answer->received) {
      // Close the request so that the desktop drops any prompt; a late answer's file goes.
      bus.send(QDBusMessage::createMethodCall(Service, handle, RequestInterface,
                                              QStringLiteral("Close")));
      answer->abandoned = true;
      QTimer::singleShot(LateAnswerMs, answer, &QObject::deleteLater);
      if (asked) {
        denial_ = capture::Denial::Unanswered;
        why = QStringLiteral("the desktop's question whether to allow screenshots was not "
                             "answered within %1 s")
                  .arg(QuestionMs / 1000);
      } else {
        why = QStringLiteral("the screenshot portal did not answer within 3 s");
      }
      return {};
    }
    const uint response = answer->response;
    const QString uri = answer->uri;
    const qint64 askedNs = answer->askedNs;
    delete answer;
    if (response != 0) {
      // The portal keeps the user's "no" in its store, and answers 2 for it
      // like for any failure: the store tells the two apart.
      if (storedOf(bus.call(storeLookup(), QDBus::Block, StoreMs)) == Stored::No) {
        denial_ = capture::Denial::Refused;
        why = QStringLiteral("the desktop refused screenshots (its permission store says no)");
        return {};
      }
      why = response == 1
                ? QStringLiteral("the screenshot was refused") + refusalReason()
                : QStringLiteral("the screenshot portal gave up (response %1)").arg(response);
      return {};
    }
    const QImage desktop = readShot(uri);
    if (desktop.isNull()) {
      why = QStringLiteral("the screenshot portal's picture was unreadable (%1)").arg(uri);
      return {};
    }
    removeShot(uri, askedNs);
    return wayland::fitToArea(desktop, area);
  }

  capture::Denial denial() const override { return denial_; }

private:
  // Sends the request and waits up to 3 s for its answer, or up to a minute
  // while the desktop may be asking the user (`asked` then). Null when the
  // call itself failed; otherwise the answer, received or not, and its request path.
  Answer *request(QDBusConnection &bus, QString &handle, bool &asked, QString &why) {
    const QString token = nextToken();
    // The portal derives the request's path from our name and the token; we
    // listen there before asking, so that no answer can come too early.
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    handle = DesktopPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    auto *answer = new Answer;
    answer->askedNs = nowNs();
    const auto listen = [&](const QString &path, bool on) {
      const QString signal = QStringLiteral("Response");
      const char *slot = SLOT(onResponse(uint, QVariantMap));
      return on ? bus.connect(Service, path, RequestInterface, signal, answer, slot)
                : bus.disconnect(Service, path, RequestInterface, signal, answer, slot);
    };
    listen(handle, true);

    QDBusMessage call = QDBusMessage::createMethodCall(
        Service, DesktopPath, QStringLiteral("org.freedesktop.portal.Screenshot"),
        QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), false}};
    QEventLoop loop;
    answer->loop = &loop;
    // Asked alongside the request, so that an allowed shot waits for nothing.
    Stored stored = Stored::Unknown;
    QDBusPendingCallWatcher store(bus.asyncCall(storeLookup(), AnswerMs));
    QObject::connect(&store, &QDBusPendingCallWatcher::finished, &loop,
                     [&] { stored = storedOf(store.reply()); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
      // Past the usual wait with no answer: the desktop may be asking the user
      // (the store has no answer yet, and a back end asks), who gets the time
      // to read and answer. A remembered answer is never asked again.
      if (!asked && stored == Stored::Unset && backEndAsks(bus)) {
        asked = true;
        if (capture::tracing())
          std::fprintf(stderr, "morvane-trace portal-asks\n");
        deadline.start(QuestionMs - AnswerMs);
        return;
      }
      loop.quit();
    });
    deadline.start(AnswerMs);
    QString callError;
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, AnswerMs));
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&] {
      const QDBusPendingReply<QDBusObjectPath> reply = watcher;
      if (reply.isError()) {
        callError = reply.error().message();
        loop.quit();
      } else if (reply.value().path() != handle) {
        // Portals older than the handle token choose the path themselves.
        listen(handle, false);
        handle = reply.value().path();
        listen(handle, true);
      }
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    answer->loop = nullptr;
    if (!callError.isEmpty() && !answer->received) {
      delete answer;
      why = QStringLiteral("the screenshot portal refused the call: %1").arg(callError);
      return nullptr;
    }
    return answer;
  }

  bool waiting_ = false;
  capture::Denial denial_ = capture::Denial::None;
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makePortal() { return std::make_unique<PortalCapture>(); }

#include "portal.moc"
