// The screenshot portal's client against a stand-in portal on a private
// session bus that speaks the documented interface: the request object's
// path, the Response signal with "uri", a refusal, and an answer too late.

#include "platform/capture/capture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {
const QString Bus = QStringLiteral("portal-standin");

// The request object: the client closes it when it gives up.
class StandInRequest : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
public:
  explicit StandInRequest(bool *closed) : closed_(closed) {}
public slots:
  Q_SCRIPTABLE void Close() { *closed_ = true; }

private:
  bool *closed_;
};

// What a portal's back end does, one request at a time.
class StandInPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
  enum Mode { Answer, Refuse, AnswerLate } mode = Answer;
  QString file;   // the PNG the answer names
  QString handle; // the request's path, as the documentation derives it
  QVariantMap options;
  bool closed = false;

public slots:
  Q_SCRIPTABLE QDBusObjectPath Screenshot(const QString &, const QVariantMap &opts,
                                          const QDBusMessage &msg) {
    options = opts;
    closed = false;
    QString sender = msg.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                 .arg(sender, opts.value(QStringLiteral("handle_token")).toString());
    QDBusConnection(Bus).registerObject(handle, &request_, QDBusConnection::ExportScriptableSlots);
    const int delay = mode == AnswerLate ? 3300 : 50;
    QTimer::singleShot(delay, this, [this, path = handle] {
      QDBusMessage signal = QDBusMessage::createSignal(
          path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
      QVariantMap results;
      if (mode != Refuse)
        results[QStringLiteral("uri")] = QUrl::fromLocalFile(file).toString();
      signal << uint(mode == Refuse ? 1 : 0) << results;
      QDBusConnection(Bus).send(signal);
    });
    return QDBusObjectPath(handle);
  }

private:
  StandInRequest request_{&closed};
};

class CapturePortal : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    daemon = new QProcess;
    daemon->start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    ASSERT_TRUE(daemon->waitForReadyRead(5000)) << "dbus-daemon did not start (package dbus)";
    const QByteArray address = daemon->readLine().trimmed();
    // Before the first use of the session bus in this process.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLatin1(address), Bus);
    ASSERT_TRUE(bus.isConnected());
    portal = new StandInPortal;
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), portal,
                                   QDBusConnection::ExportScriptableSlots));
  }
  static void TearDownTestSuite() {
    QDBusConnection::disconnectFromBus(Bus);
    delete portal;
    // TERM, not KILL: the daemon then removes its socket from /tmp.
    daemon->terminate();
    if (!daemon->waitForFinished(3000)) {
      daemon->kill();
      daemon->waitForFinished();
    }
    delete daemon;
  }
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    // The desktop at twice the offscreen screen's 800 x 800: four quadrants.
    QImage shot(1600, 1600, QImage::Format_RGB32);
    QPainter p(&shot);
    p.fillRect(0, 0, 800, 800, Qt::red);
    p.fillRect(800, 0, 800, 800, Qt::green);
    p.fillRect(0, 800, 800, 800, Qt::blue);
    p.fillRect(800, 800, 800, 800, Qt::white);
    p.end();
    portal->file = dir.filePath(QStringLiteral("Screenshot.png"));
    ASSERT_TRUE(shot.save(portal->file));
  }

  static QProcess *daemon;
  static StandInPortal *portal;
  QTemporaryDir dir;
  std::unique_ptr<ScreenCapture> way = capture::makePortal();
  QString why;
};
QProcess *CapturePortal::daemon = nullptr;
StandInPortal *CapturePortal::portal = nullptr;

TEST_F(CapturePortal, AnswerIsFittedToTheScreenAndItsFileRemoved) {
  portal->mode = StandInPortal::Answer;
  const QImage whole = way->grab(QRect(0, 0, 800, 800), why);
  ASSERT_FALSE(whole.isNull()) << why.toStdString();
  EXPECT_EQ(portal->options.value(QStringLiteral("interactive")), QVariant(false));
  EXPECT_TRUE(
      portal->handle.endsWith(portal->options.value(QStringLiteral("handle_token")).toString()));
  EXPECT_FALSE(QFile::exists(portal->file)) << "the portal's file was left behind";
  // The desktop's finer pixels land one per screen pixel, each quadrant in place.
  EXPECT_EQ(whole.size(), QSize(800, 800));
  EXPECT_EQ(whole.format(), QImage::Format_RGB32);
  EXPECT_EQ(whole.pixel(200, 200), qRgb(255, 0, 0));
  EXPECT_EQ(whole.pixel(600, 200), qRgb(0, 255, 0));
  EXPECT_EQ(whole.pixel(200, 600), qRgb(0, 0, 255));
  EXPECT_EQ(whole.pixel(799, 799), qRgb(255, 255, 255));

  // A part of the screen: only that part of the desktop.
  SetUp();
  const QImage part = way->grab(QRect(400, 0, 400, 400), why);
  ASSERT_EQ(part.size(), QSize(400, 400)) << why.toStdString();
  EXPECT_EQ(part.pixel(0, 0), qRgb(0, 255, 0));
  EXPECT_EQ(part.pixel(399, 399), qRgb(0, 255, 0));
}

TEST_F(CapturePortal, RefusalIsAFailedCapture) {
  portal->mode = StandInPortal::Refuse;
  EXPECT_TRUE(way->grab(QRect(0, 0, 800, 800), why).isNull());
  EXPECT_TRUE(why.contains(QStringLiteral("refused"))) << why.toStdString();
}

TEST_F(CapturePortal, NoAnswerWithinThreeSecondsFailsClosesTheRequestAndLaterRemovesTheFile) {
  portal->mode = StandInPortal::AnswerLate;
  // A second activation while the first waits: refused at once, no second request.
  QString secondWhy;
  bool secondNull = false;
  QTimer::singleShot(200,
                     [&] { secondNull = way->grab(QRect(0, 0, 800, 800), secondWhy).isNull(); });
  EXPECT_TRUE(way->grab(QRect(0, 0, 800, 800), why).isNull());
  EXPECT_TRUE(why.contains(QStringLiteral("3 s"))) << why.toStdString();
  EXPECT_TRUE(secondNull);
  EXPECT_TRUE(secondWhy.contains(QStringLiteral("already"))) << secondWhy.toStdString();
  EXPECT_TRUE(QTest::qWaitFor([] { return portal->closed; }, 2000)) << "the request was not closed";
  // The answer still comes, late: its file does not stay behind.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(portal->file); }, 2000));
}
} // namespace

#include "test_capture_portal.moc"
