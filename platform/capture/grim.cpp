// wlroots compositors (sway and its kin) without a working screenshot portal:
// the grim tool, which copies the outputs through the compositor's screencopy
// protocol. A subprocess spares Morvane a Wayland client of its own (protocol
// files, generated code, a second display connection); raw PPM on a pipe
// costs no compression.

#include "platform/capture/capture.h"
#include "platform/wayland.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

namespace {
constexpr int AnswerMs = 3000;

// The most bytes a PPM of every output can take: the desktop's bounding box in
// device pixels, 3 bytes a pixel, a quarter more for outputs whose scale Qt
// rounds, and room for the header. Under XWayland Qt sees logical pixels while
// grim writes the compositor's: outputs up to scale 3 are allowed for.
qint64 largestPicture(const QRect &area) {
  QRect desktop;
  qreal ratio = 1;
  for (const QScreen *s : QGuiApplication::screens()) {
    desktop |= s->geometry();
    ratio = qMax(ratio, s->devicePixelRatio());
  }
  const qint64 pixels = qMax(qint64(desktop.width() * ratio) * qint64(desktop.height() * ratio),
                             qint64(area.width()) * area.height());
  constexpr qint64 CompositorScale = 3;
  return pixels * CompositorScale * CompositorScale * 3 * 5 / 4 + 4096;
}

class GrimCapture : public ScreenCapture {
public:
  const char *name() const override { return "grim"; }
  bool usable() const override {
    return wayland::isSession() &&
           !QStandardPaths::findExecutable(QStringLiteral("grim")).isEmpty();
  }
  QImage grab(const QRect &area, QString &why) override {
    // One deadline for starting and finishing: 3 s in all.
    const QDeadlineTimer deadline(AnswerMs);
    QProcess grim;
    grim.setProcessChannelMode(QProcess::SeparateChannels);
    // A group of its own, so that a wrapper's children end with it.
    grim.setChildProcessModifier([] { ::setpgid(0, 0); });
    grim.start(QStringLiteral("grim"),
               {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    if (!grim.waitForStarted(int(deadline.remainingTime()))) {
      why = QStringLiteral("grim did not start");
      return {};
    }
    const qint64 group = grim.processId();
    const auto endGroup = [&] {
      ::kill(pid_t(-group), SIGKILL);
      grim.waitForFinished(500);
    };
    grim.closeWriteChannel();
    // Read as it comes, and no further than the whole desktop's picture can be.
    const qint64 limit = largestPicture(area);
    QByteArray out;
    QByteArray err;
    while (grim.state() != QProcess::NotRunning) {
      if (deadline.hasExpired()) {
        endGroup();
        why = QStringLiteral("grim gave no picture within 3 s");
        return {};
      }
      // Short waits: what comes on stderr is trimmed between them.
      grim.waitForReadyRead(int(qBound(qint64(1), deadline.remainingTime(), qint64(20))));
      out += grim.readAllStandardOutput();
      err = (err + grim.readAllStandardError()).right(4096);
      if (out.size() > limit) {
        endGroup();
        why = QStringLiteral("grim's picture is larger than the screen's (%1 bytes read)")
                  .arg(out.size());
        return {};
      }
    }
    out += grim.readAllStandardOutput();
    err = (err + grim.readAllStandardError()).right(4096);
    // Children of a wrapper that ended before them go too.
    ::kill(pid_t(-group), SIGKILL);
    if (grim.exitStatus() != QProcess::NormalExit || grim.exitCode() != 0) {
      err = err.trimmed();
      why = QStringLiteral("grim failed: %1")
                .arg(err.isEmpty() ? QStringLiteral("exit %1").arg(grim.exitCode())
                                   : QString::fromLocal8Bit(err.split('\n').last()));
      return {};
    }
    QImage desktop;
    desktop.loadFromData(out, "PPM");
    if (desktop.isNull()) {
      why = QStringLiteral("grim's picture was unreadable");
      return {};
    }
    return wayland::fitToArea(desktop, area);
  }
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeGrim() { return std::make_unique<GrimCapture>(); }
