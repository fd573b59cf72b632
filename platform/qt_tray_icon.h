#pragma once

#include "platform/platform.h"

class QSystemTrayIcon;

// Tray icon on QSystemTrayIcon. On an XEmbed tray the raw presses and releases
// of the icon's own window are taken before Qt turns them into activations, so
// that the right button acts on its release; elsewhere (StatusNotifierItem)
// Qt's activations are mapped onto the nearest mouse messages.
class QtTrayIcon : public TrayIcon {
  Q_OBJECT
public:
  explicit QtTrayIcon(QObject *parent = nullptr);
  ~QtTrayIcon() override;
  void add(const QIcon &icon, const QString &tip) override;
  void remove() override;
  bool isAdded() const override;
  QRect geometry() const override;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QSystemTrayIcon *tray_ = nullptr;
  int generation_ = 0; // counts the icons made, so that a removed one's activations are known
};
