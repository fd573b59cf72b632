#include "platform/qt_tray_icon.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSystemTrayIcon>

QtTrayIcon::QtTrayIcon(QObject *parent) : TrayIcon(parent) {}

QtTrayIcon::~QtTrayIcon() {
  if (qApp)
    qApp->removeEventFilter(this);
  delete tray_;
}

void QtTrayIcon::add(const QIcon &icon, const QString &tip) {
  if (!tray_) {
    tray_ = new QSystemTrayIcon;
    // Queued: a StatusNotifierItem call is answered first, so the host never
    // waits on a menu or a capture, and the icon is never removed inside its
    // own call. An activation still queued for an icon removed since is dropped.
    connect(
        tray_, &QSystemTrayIcon::activated, this,
        [this, icon = ++generation_](QSystemTrayIcon::ActivationReason r) {
          if (!tray_ || icon != generation_)
            return;
          switch (r) {
          case QSystemTrayIcon::Trigger:
            emit mouseMessage(TrayMsg::LButtonDown);
            break;
          case QSystemTrayIcon::Context:
            emit mouseMessage(TrayMsg::RButtonUp);
            break;
          case QSystemTrayIcon::DoubleClick:
            emit mouseMessage(TrayMsg::LButtonDblClk);
            break;
          case QSystemTrayIcon::MiddleClick:
            emit mouseMessage(TrayMsg::MButtonDown);
            break;
          default:
            break;
          }
        },
        Qt::QueuedConnection);
    qApp->installEventFilter(this);
  }
  tray_->setIcon(icon);
  tray_->setToolTip(tip);
  tray_->show();
}

void QtTrayIcon::remove() {
  // Hiding takes the icon out of the tray at once (its XEmbed window is
  // destroyed, its StatusNotifierItem unregistered). The object itself goes
  // later: we are often inside its own activation, and a StatusNotifierItem
  // call is still being answered through it.
  if (tray_) {
    qApp->removeEventFilter(this);
    tray_->disconnect(this);
    tray_->hide();
    tray_->deleteLater();
    tray_ = nullptr;
  }
}

bool QtTrayIcon::isAdded() const { return tray_ && tray_->isVisible(); }

QRect QtTrayIcon::geometry() const { return tray_ ? tray_->geometry() : QRect(); }

static int messageFor(const QMouseEvent *me) {
  const Qt::MouseButton b = me->button();
  switch (me->type()) {
  case QEvent::MouseMove:
    return TrayMsg::MouseMove;
  case QEvent::MouseButtonPress:
    return b == Qt::LeftButton    ? TrayMsg::LButtonDown
           : b == Qt::RightButton ? TrayMsg::RButtonDown
                                  : TrayMsg::MButtonDown;
  case QEvent::MouseButtonRelease:
    return b == Qt::LeftButton    ? TrayMsg::LButtonUp
           : b == Qt::RightButton ? TrayMsg::RButtonUp
                                  : TrayMsg::MButtonUp;
  case QEvent::MouseButtonDblClick:
    return b == Qt::LeftButton    ? TrayMsg::LButtonDblClk
           : b == Qt::RightButton ? TrayMsg::RButtonDblClk
                                  : TrayMsg::MButtonDblClk;
  default:
    return 0;
  }
}

bool QtTrayIcon::eventFilter(QObject *watched, QEvent *event) {
  switch (event->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
  case QEvent::MouseMove:
    break;
  default:
    return false;
  }
  // The XEmbed tray window of QSystemTrayIcon names itself so.
  if (!watched->isWidgetType() || watched->objectName() != QLatin1String("QSystemTrayIconSys"))
    return false;
  const int code = messageFor(static_cast<QMouseEvent *>(event));
  if (code)
    emit mouseMessage(code);
  return true;
}
