// wlroots compositors (sway and its kin) without a working screenshot portal:
// the grim tool, which copies the outputs through the compositor's screencopy
// protocol. A subprocess spares Morvane a Wayland client of its own (protocol
// files, generated code, a second display connection); raw PPM on a pipe
// costs no compression.

#include "platform/capture.h"
#include "platform/wayland.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr int AnswerMs = 3000;

// "P6 <width> <height> 255\n" then RGB bytes, as grim writes it.
QImage fromPpm(const QByteArray &data) {
  int pos = 0;
  auto space = [&] {
    return data[pos] == ' ' || data[pos] == '\n' || data[pos] == '\t' || data[pos] == '\r';
  };
  auto token = [&]() -> QByteArray {
    while (pos < data.size() && space())
      ++pos;
    const int start = pos;
    while (pos < data.size() && !space())
      ++pos;
    return data.mid(start, pos - start);
  };
  if (token() != "P6")
    return {};
  bool okW = false, okH = false, okM = false;
  const int w = token().toInt(&okW), h = token().toInt(&okH), max = token().toInt(&okM);
  ++pos; // the one white-space byte before the pixels
  if (!okW || !okH || !okM || max != 255 || w <= 0 || h <= 0 || w > 32768 || h > 32768 ||
      data.size() - pos < qint64(w) * h * 3)
    return {};
  const QImage rgb(reinterpret_cast<const uchar *>(data.constData()) + pos, w, h, w * 3,
                   QImage::Format_RGB888);
  return rgb.convertToFormat(QImage::Format_RGB32); // a deep copy: `data` may go
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
    const QImage desktop = fromPpm(grim.readAllStandardOutput());
    if (desktop.isNull()) {
      why = QStringLiteral("grim's picture was unreadable");
      return {};
    }
    return wayland::fitToArea(desktop, area);
  }
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeGrim() { return std::make_unique<GrimCapture>(); }
