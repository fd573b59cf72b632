// KDE Plasma: KWin's own screenshot interface, org.kde.KWin.ScreenShot2 on the
// session bus (what KDE's screenshot tool uses). KWin writes the raw pixels of
// an area into a pipe of ours: no file, no image format, and without the
// pointer when asked. It serves only programs that a menu entry names: an
// entry whose Exec is this executable and whose
// X-KDE-DBUS-Restricted-Interfaces lists the interface (packaging/, scripts/install.sh).

#include "platform/capture/capture.h"
#include "platform/wayland.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr int AnswerMs = 3000;
// Row padding a picture may carry beyond its 4 bytes a pixel.
constexpr qint64 RowSlack = 64;
const QString Service = QStringLiteral("org.kde.KWin.ScreenShot2");
const QString Path = QStringLiteral("/org/kde/KWin/ScreenShot2");
const QString NoAuthorized = QStringLiteral("org.kde.KWin.ScreenShot2.Error.NoAuthorized");

// KWin's answer stands for the session: without a menu entry now, asking at
// every opening would only cost a round trip before the next way.
bool refused = false;

// The pixel formats (QImage's numbering, as KWin sends it) of 4 bytes a pixel.
bool fourBytes(uint format) {
  switch (QImage::Format(format)) {
  case QImage::Format_RGB32:
  case QImage::Format_ARGB32:
  case QImage::Format_ARGB32_Premultiplied:
  case QImage::Format_RGBX8888:
  case QImage::Format_RGBA8888:
  case QImage::Format_RGBA8888_Premultiplied:
    return true;
  default:
    return false;
  }
}

struct Pipe {
  int read = -1, write = -1;
  ~Pipe() {
    if (read >= 0)
      ::close(read);
    closeWrite();
  }
  void closeWrite() {
    if (write >= 0)
      ::close(write);
    write = -1;
  }
};

// Reads exactly `size` bytes and then the end of the pipe before the deadline.
// A peer that sends more, or less, fails: the buffer never grows past `size`.
bool readExactly(int fd, QByteArray &out, qint64 size, const QDeadlineTimer &deadline,
                 QString &why) {
  out.resize(size);
  qint64 got = 0;
  for (;;) {
    pollfd p = {fd, POLLIN, 0};
    const int r = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
    if (r < 0 && errno == EINTR)
      continue;
    if (r <= 0) {
      why = QStringLiteral("KWin gave no whole picture within 3 s (%1 of %2 bytes)")
                .arg(got)
                .arg(size);
      return false;
    }
    // One byte of room past the picture: enough to see that more came.
    char spare;
    const ssize_t n =
        got < size ? ::read(fd, out.data() + got, size_t(size - got)) : ::read(fd, &spare, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n < 0) {
      why = QStringLiteral("the picture's pipe failed: %1")
                .arg(QString::fromLocal8Bit(strerror(errno)));
      return false;
    }
    if (n == 0) {
      if (got == size)
        return true;
      why = QStringLiteral("KWin's picture ended early (%1 of %2 bytes)").arg(got).arg(size);
      return false;
    }
    if (got == size) {
      why = QStringLiteral("KWin sent more than its picture of %1 bytes").arg(size);
      return false;
    }
    got += n;
  }
}

class KWinCapture : public ScreenCapture {
public:
  const char *name() const override { return "kwin"; }
  bool usable() const override {
    if (refused || !wayland::isSession())
      return false;
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(Service).value();
  }

  QImage grab(const QRect &area, QString &why) override {
    const QDeadlineTimer deadline(AnswerMs);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
      why = QStringLiteral("the session bus cannot pass the picture's pipe");
      return {};
    }
    Pipe pipe;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      why = QStringLiteral("no pipe for the picture");
      return {};
    }
    pipe.read = fds[0];
    pipe.write = fds[1];

    // The wait below runs the event loop: a second activation must not start a
    // second request on top of this one.
    if (waiting_) {
      why = QStringLiteral("a capture is already waiting for KWin");
      return {};
    }
    QDBusMessage reply;
    {
      // Area in XWayland's coordinates, which are KWin's own where XWayland is
      // scaled by the compositor (its default): the picture then has the X
      // screen's pixels, one for one, without native-resolution.
      QDBusMessage call =
          QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("CaptureArea"));
      call << area.x() << area.y() << uint(area.width()) << uint(area.height())
           << QVariantMap{{QStringLiteral("include-cursor"), false},
                          {QStringLiteral("native-resolution"), false}}
           << QVariant::fromValue(QDBusUnixFileDescriptor(pipe.write));
      QDBusPendingCallWatcher watcher(
          bus.asyncCall(call, int(qMax<qint64>(1, deadline.remainingTime()))));
      // Our copies of the write end go before the read: KWin's close is then the end.
      call = QDBusMessage();
      pipe.closeWrite();
      QEventLoop loop;
      QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
      waiting_ = true;
      if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
      waiting_ = false;
      reply = watcher.reply();
    }
    if (reply.type() == QDBusMessage::ErrorMessage) {
      if (reply.errorName() == NoAuthorized) {
        refused = true;
        if (capture::tracing())
          std::fprintf(stderr, "morvane-trace kwin-refused\n");
        why = QStringLiteral("KWin allows its screenshots only to programs that a menu entry "
                             "names (Exec=%1 with X-KDE-DBUS-Restricted-Interfaces=%2)")
                  .arg(QCoreApplication::applicationFilePath(), Service);
      } else if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")) {
        why = QStringLiteral("KWin gave no picture within 3 s");
      } else {
        why = QStringLiteral("KWin refused the screenshot: %1").arg(reply.errorMessage());
      }
      return {};
    }
    const QVariantMap meta = reply.arguments().isEmpty()
                                 ? QVariantMap()
                                 : qdbus_cast<QVariantMap>(reply.arguments().first());
    const qint64 width = meta.value(QStringLiteral("width")).toLongLong();
    const qint64 height = meta.value(QStringLiteral("height")).toLongLong();
    const qint64 stride = meta.value(QStringLiteral("stride")).toLongLong();
    const uint format = meta.value(QStringLiteral("format")).toUInt();
    if (meta.value(QStringLiteral("type")).toString() != QLatin1String("raw") ||
        !fourBytes(format)) {
      why = QStringLiteral("KWin's picture is of an unknown kind (%1, format %2)")
                .arg(meta.value(QStringLiteral("type")).toString())
                .arg(format);
      return {};
    }
    // Without native-resolution the picture has the area's own size: anything
    // else, or more than its rows can hold, is refused before a byte is read.
    if (width != area.width() || height != area.height() || stride < width * 4 ||
        stride > width * 4 + RowSlack) {
      why = QStringLiteral("KWin's picture does not fit the screen (%1x%2, %3 bytes a row, "
                           "for %4x%5)")
                .arg(width)
                .arg(height)
                .arg(stride)
                .arg(area.width())
                .arg(area.height());
      return {};
    }
    QByteArray pixels;
    if (!readExactly(pipe.read, pixels, stride * height, deadline, why))
      return {};
    if (capture::tracing())
      std::fprintf(stderr, "morvane-trace kwin %lldx%lld format %u\n", width, height, format);
    // The image keeps the bytes read: no second full-screen copy. The 32-bit
    // formats with alpha become RGB32 in place, their alpha made opaque (a
    // desktop's pixels are; where one is not, it stays premultiplied: darker).
    auto *owned = new QByteArray(std::move(pixels));
    QImage img(
        reinterpret_cast<uchar *>(owned->data()), int(width), int(height), int(stride),
        QImage::Format(format), [](void *b) { delete static_cast<QByteArray *>(b); }, owned);
    if (img.format() == QImage::Format_ARGB32 ||
        img.format() == QImage::Format_ARGB32_Premultiplied) {
      for (int y = 0; y < img.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
          row[x] |= 0xFF000000u;
      }
      img.reinterpretAsFormat(QImage::Format_RGB32);
    } else if (img.format() != QImage::Format_RGB32)
      img = img.convertToFormat(QImage::Format_RGB32);
    img.setDevicePixelRatio(1.0);
    return img;
  }

private:
  bool waiting_ = false;
};
} // namespace

std::unique_ptr<ScreenCapture> capture::makeKWin() { return std::make_unique<KWinCapture>(); }
