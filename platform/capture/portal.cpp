// The desktop's screenshot portal (GNOME, KDE Plasma, wlroots desktops with
// xdg-desktop-portal-wlr): org.freedesktop.portal.Screenshot over D-Bus. The
// answer comes later, as the Response signal of a request object, and names a
// PNG file that the portal wrote for us.

#include "platform/capture/capture.h"
#include "platform/wayland.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

namespace {
constexpr int AnswerMs = 3000;
// A late answer's file is still removed, up to this long after we gave up.
constexpr int LateAnswerMs = 60000;
const QString Service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString DesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Only a regular file of this user, named by the portal's answer to our own
// request: nothing else can be removed through a stray answer.
void removeShot(const QString &uri) {
  const QUrl url(uri);
  if (!url.isLocalFile())
    return;
  const QFileInfo f(url.toLocalFile());
  if (f.isFile() && !f.isSymLink() && f.ownerId() == ::getuid())
    QFile::remove(f.filePath());
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

public slots:
  void onResponse(uint code, const QVariantMap &results) {
    const QString file = results.value(QStringLiteral("uri")).toString();
    if (abandoned) {
      removeShot(file);
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
    waiting_ = true;
    QString handle;
    Answer *answer = request(bus, handle, why);
    waiting_ = false;
    if (!answer)
      return {};
    if (!answer->received) {
      // Close the request so that the desktop drops any prompt; a late answer's file goes.
      bus.send(QDBusMessage::createMethodCall(Service, handle, RequestInterface,
                                              QStringLiteral("Close")));
      answer->abandoned = true;
      QTimer::singleShot(LateAnswerMs, answer, &QObject::deleteLater);
      why = QStringLiteral("the screenshot portal did not answer within 3 s");
      return {};
    }
    const uint response = answer->response;
    const QString uri = answer->uri;
    delete answer;
    if (response != 0) {
      removeShot(uri);
      why = response == 1
                ? QStringLiteral("the screenshot was refused")
                : QStringLiteral("the screenshot portal gave up (response %1)").arg(response);
      return {};
    }
    const QUrl url(uri);
    const QImage desktop = url.isLocalFile() ? QImage(url.toLocalFile()) : QImage();
    removeShot(uri);
    if (desktop.isNull()) {
      why = QStringLiteral("the screenshot portal's picture was unreadable (%1)").arg(uri);
      return {};
    }
    return wayland::fitToArea(desktop, area);
  }

private:
  // Sends the request and waits up to 3 s for its answer. Null when the call
  // itself failed; otherwise the answer, received or not, and its request path.
  Answer *request(QDBusConnection &bus, QString &handle, QString &why) {
    const QString token = QStringLiteral("morvane%1").arg(++serial_);
    // The portal derives the request's path from our name and the token; we
    // listen there before asking, so that no answer can come too early.
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    handle = DesktopPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    auto *answer = new Answer;
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
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
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
  int serial_ = 0;
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makePortal() { return std::make_unique<PortalCapture>(); }

#include "portal.moc"
