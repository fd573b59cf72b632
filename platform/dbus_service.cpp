#include "platform/dbus_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QObject>
#include <QTimer>

#ifndef MORVANE_APP_ID
#define MORVANE_APP_ID "example.c_seed_68ee28e6.Morvane"
#endif

namespace dbus_service {
namespace {
using command_channel::Command;

class Service : public QObject {
  Q_OBJECT
public:
  explicit Service(std::function<void(Command)> h) : handler_(std::move(h)) {}

public Q_SLOTS:
  // Answered at once; the command runs after the reply (it may open a modal
  // dialog, or end the process).
  void Draw() { later(Command::Draw); }
  void Toggle() { later(Command::Toggle); }
  void Settings() { later(Command::Settings); }
  void Quit() { later(Command::Quit); }

private:
  void later(Command c) {
    QTimer::singleShot(0, this, [this, c] { handler_(c); });
  }
  std::function<void(Command)> handler_;
};

// A bus that is there, without making one start: an address given, or the
// user bus socket of the session's runtime folder.
bool busExists() {
  const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty())
    return !address.startsWith("disabled:");
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}
} // namespace

void start(std::function<void(Command)> handler) {
  if (!busExists())
    return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return;
  const QString id = QStringLiteral(MORVANE_APP_ID);
  const QString path = QLatin1Char('/') + QString(id).replace(QLatin1Char('.'), QLatin1Char('/'));
  auto *service = new Service(std::move(handler));
  if (!bus.registerObject(path, id, service, QDBusConnection::ExportAllSlots)) {
    delete service;
    return;
  }
  bus.registerService(id);
}
} // namespace dbus_service

#include "dbus_service.moc"
