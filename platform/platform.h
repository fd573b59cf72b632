#pragma once
// The one place that knows which desktop we run on. Every room reaches the
// screen, the tray, window stacking and the help viewer through this seam;
// tests install a recording stand-in with setPlatform().

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

// Mouse message numbers of a tray icon, as the resident window understands them.
namespace TrayMsg {
constexpr int MouseMove = 0x200;
constexpr int LButtonDown = 0x201;
constexpr int LButtonUp = 0x202;
constexpr int LButtonDblClk = 0x203;
constexpr int RButtonDown = 0x204;
constexpr int RButtonUp = 0x205;
constexpr int RButtonDblClk = 0x206;
constexpr int MButtonDown = 0x207;
constexpr int MButtonUp = 0x208;
constexpr int MButtonDblClk = 0x209;
} // namespace TrayMsg

// A notification-area icon. Reports every mouse event on it as a message number.
class TrayIcon : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
  ~TrayIcon() override = default;
  virtual void add(const QIcon &icon, const QString &tip) = 0;
  virtual void remove() = 0;
  virtual bool isAdded() const = 0;
  // Where the icon sits on screen, in pixels; empty when unknown.
  virtual QRect geometry() const = 0;
signals:
  void mouseMessage(int code);
};

// Why a capture gave nothing, when the user had the last word.
enum class ShotDenial {
  None,       // not the user's doing (or it worked)
  Refused,    // the desktop asked, or remembered, and the answer was no
  Unanswered, // the desktop's question stayed unanswered past the long wait
};

// One monitor of the desktop.
struct Monitor {
  QRect pixels;       // device pixels, desktop coordinates
  double ratio = 1.0; // device pixels per Qt logical pixel
};

class Platform {
public:
  virtual ~Platform() = default;

  // The monitors, the primary first; never empty.
  virtual std::vector<Monitor> monitors() const;
  // Calls `changed` from the event loop whenever a monitor comes, goes, moves or
  // the primary changes, for as long as `context` lives.
  virtual void watchMonitors(QObject *context, std::function<void()> changed);
  // Twips per device pixel: 1440 / logical dots per inch (15 at 96 dpi).
  virtual double twipsPerPixelX() const;
  virtual double twipsPerPixelY() const;

  // Derived from monitors(). Rectangles in device pixels, desktop coordinates.
  QRect primaryMonitor() const;
  QSize screenPixels() const { return primaryMonitor().size(); }
  // Device pixels per Qt logical pixel on the primary monitor.
  double devicePixelRatio() const;
  // The monitor holding the point; the primary when none does.
  QRect monitorAt(const QPoint &pixel) const;
  // The monitor holding most of the rectangle; empty when none holds any of it.
  QRect monitorHolding(const QRect &pixels) const;
  // Window geometry in Qt's logical coordinates to and from device pixels. As Qt
  // does on X11, a monitor keeps its device origin and scales what lies beyond it.
  QRect toLogical(const QRect &pixels) const;
  QRect toPixels(const QRect &logical) const;
  // The pointer in device pixels.
  QPoint cursorPixel() const;

  // One copy of `area` (device pixels, desktop coordinates), Format_RGB32.
  // With `cover`, the window about to be shown over that area: where the
  // window system can, the window maps with this same picture already on
  // screen, and the pixels arrive by firstPaint(cover): wrap them, don't read them before.
  virtual QImage captureScreen(const QRect &area, QWidget *cover = nullptr);
  // Before `cover` is first shown: its first frame carries `spot` (cover
  // pixels) in `rgb` on top of the frozen screen; the picture stays clean.
  virtual void prepareFirstFrame(QWidget *cover, const QRegion &spot, QRgb rgb);
  // At the start of `cover`'s first paint: the picture captureScreen(cover) gave is complete.
  virtual void firstPaint(QWidget *cover);
  // Just before Morvane takes its own icon off the screen to capture it:
  // where the desktop redraws in its own time (a Wayland compositor), the
  // next captureScreen shows the screen after that redraw, not before it.
  virtual void screenWillChange();
  // After a null captureScreen: whether the user refused it (nothing should open then).
  virtual ShotDenial captureDenial() const;
  // True when a compositor puts the first frame that prepareFirstFrame set up
  // on screen from the display server's own copy after `cover` maps: the
  // toolkit's first full paint repeats it and, while that frame is on its
  // way, only slows it down.
  virtual bool showsFirstFrame(const QWidget *cover) const;

  // Bits a pixel of the primary monitor's picture (24 or 32 on today's desktops).
  virtual int colorDepth() const;

  // Window stacking and decoration.
  virtual void setTopMost(QWidget *w, bool on);
  virtual void skipTaskbar(QWidget *w);
  virtual void animateRects(const QRect &from, const QRect &to);
  // Puts a window move on screen now, at a pace the eye can follow (a slide
  // step); window systems that move windows synchronously need nothing.
  virtual void showWindowMove();

  virtual QPoint cursorPos() const;
  // Hands the pointer pressed at `pressed` (global) to the window manager's
  // move of w's window; false when no window manager takes it.
  virtual bool startSystemMove(QWidget *w, const QPoint &pressed);
  // The pointer's buttons held now, as the display server sees them: a window
  // manager's move may keep the release from the program.
  virtual Qt::MouseButtons mouseButtons() const;
  // System colour number n (0..30) of the current colour scheme.
  virtual QColor systemColor(int n) const;

  // Opens a local help document in the desktop's viewer; false when it could not.
  virtual bool openHelp(const QString &path);
  // Tells the user something went wrong where no other feedback exists.
  virtual void notifyUser(QWidget *owner, const QString &text);

  // The program's own directory: its help page, and its settings file where writable.
  virtual QString appPath() const;
  // Whether the user may create files in the program's own directory.
  virtual bool appPathWritable() const;
  // The settings file's folder: the program's own directory where the user can
  // write there (a build tree, a per-user install), else the user's config folder
  // $XDG_CONFIG_HOME/morvane (a system-wide install, whose folder belongs to root).
  QString settingsDir() const;

  virtual TrayIcon *createTrayIcon(QObject *parent);
  virtual bool trayAvailable() const;

  // Ends the process at once; the final step of the shutdown sequence.
  [[noreturn]] virtual void endProcess(int code);
};

Platform &platform();
// Installs p (owned by the caller) and returns the previous one; nullptr restores the default.
Platform *setPlatform(Platform *p);
