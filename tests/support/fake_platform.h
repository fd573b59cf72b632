#pragma once
// A recording stand-in for the desktop: fixed screen, scripted capture, a tray
// icon that only remembers, and an endProcess that throws instead of exiting.

#include "platform/platform.h"

#include <QStringList>

#include <functional>
#include <vector>

struct ProcessEnded {
  int code;
};

class FakeTrayIcon : public TrayIcon {
  Q_OBJECT
public:
  using TrayIcon::TrayIcon;
  void add(const QIcon &, const QString &tip) override {
    added = true;
    this->tip = tip;
    ++adds;
  }
  void remove() override {
    added = false;
    ++removes;
    if (removeCounter)
      ++*removeCounter;
  }
  bool isAdded() const override { return added; }
  QRect geometry() const override { return added ? QRect(1000, 740, 22, 22) : QRect(); }
  // Sends a mouse message as the tray would.
  void send(int code) { emit mouseMessage(code); }

  bool added = false;
  int adds = 0;
  int removes = 0;
  int *removeCounter = nullptr; // outlives the icon
  QString tip;
};

class FakePlatform : public Platform {
public:
  FakePlatform();
  ~FakePlatform() override;

  QSize screenPixels() const override { return screen; }
  double twipsPerPixelX() const override { return tppX; }
  double twipsPerPixelY() const override { return tppY; }
  double devicePixelRatio() const override { return 1.0; }
  QImage captureScreen() override;
  void setTopMost(QWidget *w, bool on) override;
  void skipTaskbar(QWidget *) override {}
  void animateRects(const QRect &from, const QRect &to) override;
  void showWindowMove() override { ++windowMovesShown; }
  QPoint cursorPos() const override { return cursor; }
  QColor systemColor(int n) const override;
  bool openHelp(const QString &path) override;
  void notifyUser(QWidget *, const QString &text) override { notices << text; }
  QString appPath() const override { return dir; }
  TrayIcon *createTrayIcon(QObject *parent) override;
  bool trayAvailable() const override { return true; }
  [[noreturn]] void endProcess(int code) override { throw ProcessEnded{code}; }

  FakeTrayIcon *tray() const { return lastTray; }

  QSize screen{1024, 768};
  double tppX = 15, tppY = 15;
  QImage capture; // what captureScreen() returns; a gradient when null
  int captures = 0;
  std::function<void()> duringCapture; // runs inside a capture, as a desktop's wait would
  QPoint cursor{500, 400};
  QString dir; // the program's directory; a fresh temporary one by default
  QStringList helpOpened;
  bool helpResult = true;
  QStringList notices;
  std::vector<std::pair<QRect, QRect>> animations;
  std::vector<std::pair<QWidget *, bool>> topMostCalls;
  int windowMovesShown = 0;
  int trayRemoves = 0; // every tray icon's removals, kept after the icon is gone
  QColor windowText{0, 0, 0};
  QColor window{255, 255, 255};

private:
  FakeTrayIcon *lastTray = nullptr;
  Platform *previous = nullptr;
  class QTemporaryDir *tmp = nullptr;
};
