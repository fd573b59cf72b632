#pragma once
// A recording stand-in for the desktop: fixed screen, scripted capture, a tray
// icon that only remembers, and an endProcess that throws instead of exiting.

#include "platform/platform.h"

#include <QPointer>
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

  std::vector<Monitor> monitors() const override;
  void watchMonitors(QObject *context, std::function<void()> changed) override;
  double twipsPerPixelX() const override { return tppX; }
  double twipsPerPixelY() const override { return tppY; }
  QImage captureScreen(const QRect &area, QWidget *cover = nullptr) override;
  bool showsFirstFrame(const QWidget *) const override { return showsFirst; }
  void setTopMost(QWidget *w, bool on) override;
  void skipTaskbar(QWidget *) override {}
  void animateRects(const QRect &from, const QRect &to) override;
  void showWindowMove() override {
    ++windowMovesShown;
    if (onWindowMoveShown)
      onWindowMoveShown();
  }
  QPoint cursorPos() const override { return cursor; }
  bool startSystemMove(QWidget *, const QPoint &) override {
    ++systemMoves;
    return windowManagerMoves;
  }
  Qt::MouseButtons mouseButtons() const override { return buttonsHeld; }
  QColor systemColor(int n) const override;
  bool openHelp(const QString &path) override;
  void notifyUser(QWidget *, const QString &text) override { notices << text; }
  QString appPath() const override { return dir; }
  bool appPathWritable() const override { return dirWritable; }
  TrayIcon *createTrayIcon(QObject *parent) override;
  bool trayAvailable() const override { return trayShown; }
  bool trayShown = true; // a desktop with a tray
  [[noreturn]] void endProcess(int code) override { throw ProcessEnded{code}; }

  FakeTrayIcon *tray() const { return lastTray; }

  // Tells every live watcher that the monitors changed (after the test changed them).
  void changeMonitors();
  // A desktop scaled by `r` (1.5 at 144 dpi): device pixels per logical pixel and twips.
  void setRatio(double r) {
    ratio = r;
    tppX = tppY = 15.0 / r;
  }

  // The primary monitor at `origin`, then the `others`, all at `ratio`.
  QSize screen{1024, 768};
  QPoint origin{0, 0};
  std::vector<QRect> others;
  double ratio = 1.0;
  double tppX = 15, tppY = 15;
  QImage capture; // what captureScreen() returns; a gradient of the desktop when null
  int captures = 0;
  QRect captured;                      // the area of the last capture
  std::function<void()> duringCapture; // runs inside a capture, as a desktop's wait would
  bool showsFirst = false; // a compositor shows the first frame (the capture made the window)
  QPoint cursor{500, 400};
  QString dir; // the program's directory; a fresh temporary one by default
  // false: a system-wide install, whose settings go to the user's config folder
  bool dirWritable = true;
  QStringList helpOpened;
  bool helpResult = true;
  QStringList notices;
  std::vector<std::pair<QRect, QRect>> animations;
  std::vector<std::pair<QWidget *, bool>> topMostCalls;
  int windowMovesShown = 0;
  std::function<void()> onWindowMoveShown;
  int systemMoves = 0;             // window manager moves asked for
  bool windowManagerMoves = false; // whether one takes them; none offscreen
  Qt::MouseButtons buttonsHeld = Qt::NoButton;
  int trayRemoves = 0; // every tray icon's removals, kept after the icon is gone
  QColor windowText{0, 0, 0};
  QColor window{255, 255, 255};

private:
  FakeTrayIcon *lastTray = nullptr;
  std::vector<std::pair<QPointer<QObject>, std::function<void()>>> watchers;
  Platform *previous = nullptr;
  class QTemporaryDir *tmp = nullptr;
};
