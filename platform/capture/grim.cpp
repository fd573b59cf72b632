// wlroots compositors (sway and its kin) without a working screenshot portal:
// the grim tool, which copies the outputs through the compositor's screencopy
// protocol. A subprocess spares Morvane a Wayland client of its own (protocol
// files, generated code, a second display connection); raw PPM on a pipe
// costs no compression.

#include "platform/capture/capture.h"
#include "platform/wayland.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr int AnswerMs = 3000;

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
    grim.start(QStringLiteral("grim"),
               {QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    if (!grim.waitForStarted(int(deadline.remainingTime()))) {
      why = QStringLiteral("grim did not start");
      return {};
    }
    grim.closeWriteChannel();
    if (!grim.waitForFinished(int(qMax<qint64>(1, deadline.remainingTime())))) {
      grim.kill();
      grim.waitForFinished(500);
      why = QStringLiteral("grim gave no picture within 3 s");
      return {};
    }
    if (grim.exitStatus() != QProcess::NormalExit || grim.exitCode() != 0) {
      const QByteArray err = grim.readAllStandardError().trimmed();
      why = QStringLiteral("grim failed: %1")
                .arg(err.isEmpty() ? QStringLiteral("exit %1").arg(grim.exitCode())
                                   : QString::fromLocal8Bit(err.split('\n').last()));
      return {};
    }
    QImage desktop;
    desktop.loadFromData(grim.readAllStandardOutput(), "PPM");
    if (desktop.isNull()) {
      why = QStringLiteral("grim's picture was unreadable");
      return {};
    }
    return wayland::fitToArea(desktop, area);
  }
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeGrim() { return std::make_unique<GrimCapture>(); }
