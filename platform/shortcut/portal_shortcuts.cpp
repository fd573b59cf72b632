// xdg-desktop-portal's GlobalShortcuts (KDE Plasma 5.27+, GNOME 48+, Hyprland):
// the desktop owns the key and tells us by the Activated signal. The desktop
// may forget a binding between runs, so every start binds again.

#include "platform/shortcut/shortcut.h"
#include "platform/wayland.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace {
const QString Service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString DesktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString Interface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString ShortcutId = QStringLiteral("toggle");

struct PortalShortcut {
  QString id;
  QVariantMap properties;
};
QDBusArgument &operator<<(QDBusArgument &a, const PortalShortcut &s) {
  a.beginStructure();
  a << s.id << s.properties;
  a.endStructure();
  return a;
}
const QDBusArgument &operator>>(const QDBusArgument &a, PortalShortcut &s) {
  a.beginStructure();
  a >> s.id >> s.properties;
  a.endStructure();
  return a;
}
} // namespace
Q_DECLARE_METATYPE(PortalShortcut)

namespace {
// The trigger in the portal's words: CTRL, ALT, SHIFT, LOGO and the key's
// keysym name, joined by "+" ("CTRL+ALT+SHIFT+d").
QString triggerOf(const QKeySequence &key) {
  const QKeyCombination c = key[0];
  QStringList parts;
  const Qt::KeyboardModifiers m = c.keyboardModifiers();
  if (m & Qt::ControlModifier)
    parts << QStringLiteral("CTRL");
  if (m & Qt::AltModifier)
    parts << QStringLiteral("ALT");
  if (m & Qt::ShiftModifier)
    parts << QStringLiteral("SHIFT");
  if (m & Qt::MetaModifier)
    parts << QStringLiteral("LOGO");
  const int k = c.key();
  if (k >= Qt::Key_A && k <= Qt::Key_Z)
    parts << QString(QChar(u'a' + (k - Qt::Key_A)));
  else
    parts << QKeySequence(k).toString(QKeySequence::PortableText);
  return parts.join(QLatin1Char('+'));
}

class PortalShortcutWay : public QObject, public GlobalShortcut {
  Q_OBJECT
public:
  const char *name() const override { return "portal"; }
  bool usable() const override {
    return wayland::isSession() && QDBusConnection::sessionBus().isConnected();
  }

  void start(const QKeySequence &key, std::function<void()> pressed) override {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    pressed_ = std::move(pressed);
    trigger_ = triggerOf(key);
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Listening first: an Activated right after the binding must not be lost.
    bus.connect(Service, DesktopPath, Interface, QStringLiteral("Activated"), this,
                SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(Service, DesktopPath, Interface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), listenFor(QStringLiteral("onSession"))},
                        {QStringLiteral("session_handle_token"), QStringLiteral("morvane")}};
    send(call);
  }

public Q_SLOTS:
  void onSession(uint response, const QVariantMap &results) {
    // A string by the documentation; some portals send an object path.
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    session_ = handle.userType() == qMetaTypeId<QDBusObjectPath>()
                   ? handle.value<QDBusObjectPath>().path()
                   : handle.toString();
    if (response != 0 || session_.isEmpty())
      return;
    const QList<PortalShortcut> shortcuts{
        {ShortcutId,
         {{QStringLiteral("description"), QStringLiteral("Start or end drawing (Morvane)")},
          {QStringLiteral("preferred_trigger"), trigger_}}}};
    QDBusMessage call = QDBusMessage::createMethodCall(Service, DesktopPath, Interface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts)
         << QString()
         << QVariantMap{{QStringLiteral("handle_token"), listenFor(QStringLiteral("onBound"))}};
    send(call);
  }
  void onBound(uint, const QVariantMap &) {}
  void onActivated(const QDBusObjectPath &session, const QString &id, qulonglong,
                   const QVariantMap &) {
    if (session.path() != session_ || id != ShortcutId || !pressed_)
      return;
    auto pressed = pressed_;
    QTimer::singleShot(0, this, [pressed] { pressed(); });
  }

private:
  // Subscribes `slot` to the Response of the request the next call makes, and
  // returns that request's token. The path follows from our bus name and the token.
  QString listenFor(const QString &slot) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    static int serial = 0; // per process: no two requests share a path
    const QString token = QStringLiteral("morvane_key%1").arg(++serial);
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        DesktopPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    const QByteArray member = "1" + slot.toLatin1() + "(uint,QVariantMap)";
    bus.connect(Service, path, RequestInterface, QStringLiteral("Response"), this,
                member.constData());
    return token;
  }
  // A portal without GlobalShortcuts answers with an error: no key, no message.
  void send(const QDBusMessage &call) {
    auto *w = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(w, &QDBusPendingCallWatcher::finished, w, &QObject::deleteLater);
  }

  std::function<void()> pressed_;
  QString trigger_;
  QString session_;
};
} // namespace

std::unique_ptr<GlobalShortcut> shortcut::makePortal() {
  return std::make_unique<PortalShortcutWay>();
}

#include "portal_shortcuts.moc"
