// The screenshot portal's client against a stand-in portal on a private
// session bus that speaks the documented interface: the request object's
// path, the Response signal with "uri", a refusal, and an answer too late;
// answers naming files that are not the portal's fresh picture; KWin's
// screenshot interface and its pipe. The same
// bus serves the global key's GlobalShortcuts client: its session, the
// binding with the preferred trigger, and Activated.

#include "platform/capture/capture.h"
#include "platform/shortcut/shortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <thread>

#include <csignal>
#include <pthread.h>

#include <unistd.h>

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
  QImage picture; // written to `file` as the answer goes out, as a portal saves its shot
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
    // Each answer names the file chosen when it was asked for, as a portal
    // names each shot anew: a late answer must not overwrite a later one's.
    QTimer::singleShot(delay, this, [this, path = handle, file = file] {
      QDBusMessage signal = QDBusMessage::createSignal(
          path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
      if (!picture.isNull())
        picture.save(file);
      QVariantMap results;
      results[QStringLiteral("uri")] = QUrl::fromLocalFile(file).toString();
      signal << uint(mode == Refuse ? 1 : 0) << results;
      QDBusConnection(Bus).send(signal);
    });
    return QDBusObjectPath(handle);
  }

private:
  StandInRequest request_{&closed};
};

// GlobalShortcuts as a portal offers it. Activated is sent during the binding,
// so a client that subscribes only afterwards misses it.
class StandInShortcuts : public QDBusVirtualObject {
public:
  QVariantMap sessionOptions;
  QString shortcutId, trigger;
  QString session;

  QString introspect(const QString &) const override { return {}; }
  bool handleMessage(const QDBusMessage &msg, const QDBusConnection &bus) override {
    if (msg.interface() != QLatin1String("org.freedesktop.portal.GlobalShortcuts"))
      return false;
    QString sender = msg.service().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString base = QStringLiteral("/org/freedesktop/portal/desktop/");
    const QVariantMap options = qdbus_cast<QVariantMap>(msg.arguments().constLast());
    const QString request =
        base + QStringLiteral("request/%1/%2")
                   .arg(sender, options.value(QStringLiteral("handle_token")).toString());
    QVariantMap results;
    if (msg.member() == QLatin1String("CreateSession")) {
      sessionOptions = options;
      session =
          base + QStringLiteral("session/%1/%2")
                     .arg(sender, options.value(QStringLiteral("session_handle_token")).toString());
      results[QStringLiteral("session_handle")] = session;
    } else if (msg.member() == QLatin1String("BindShortcuts")) {
      if (msg.arguments().value(0).value<QDBusObjectPath>().path() != session)
        return false;
      const QDBusArgument list = msg.arguments().value(1).value<QDBusArgument>();
      list.beginArray();
      while (!list.atEnd()) {
        QVariantMap props;
        list.beginStructure();
        list >> shortcutId >> props;
        list.endStructure();
        trigger = props.value(QStringLiteral("preferred_trigger")).toString();
      }
      list.endArray();
      activated(bus, session);
    } else {
      return false;
    }
    bus.send(msg.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    QDBusMessage response = QDBusMessage::createSignal(
        request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    response << uint(0) << results;
    bus.send(response);
    return true;
  }
  void activated(const QDBusConnection &bus, const QString &sessionPath) {
    QDBusMessage a = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.GlobalShortcuts"), QStringLiteral("Activated"));
    a << QVariant::fromValue(QDBusObjectPath(sessionPath)) << shortcutId << qulonglong(0)
      << QVariantMap();
    QDBusConnection(bus).send(a);
  }
};

// KWin's ScreenShot2 as KWin 5.27 answers CaptureArea: the reply with the
// picture's size first, then the pixels written into the caller's pipe from
// another thread, which closes it; or a refusal.
class StandInKWin : public QDBusVirtualObject {
public:
  enum Mode { Whole, Short, Long, Huge, Refuse } mode = Whole;
  QVariantMap options;
  QRect asked;

  QString introspect(const QString &) const override { return {}; }
  bool handleMessage(const QDBusMessage &msg, const QDBusConnection &bus) override {
    if (msg.member() != QLatin1String("CaptureArea") || msg.arguments().size() != 6)
      return false;
    const QVariantList a = msg.arguments();
    asked = QRect(a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt());
    options = qdbus_cast<QVariantMap>(a[4]);
    if (mode == Refuse) {
      bus.send(msg.createErrorReply(QStringLiteral("org.kde.KWin.ScreenShot2.Error.NoAuthorized"),
                                    QStringLiteral("The process is not authorized")));
      return true;
    }
    // The area's left half red, its right half blue, as KWin's premultiplied ARGB.
    QImage shot(asked.size(), QImage::Format_ARGB32_Premultiplied);
    shot.fill(Qt::blue);
    QPainter(&shot).fillRect(0, 0, shot.width() / 2, shot.height(), Qt::red);
    QByteArray bytes(reinterpret_cast<const char *>(shot.constBits()), shot.sizeInBytes());
    if (mode == Short)
      bytes.chop(shot.bytesPerLine());
    if (mode == Long)
      bytes.append(shot.bytesPerLine(), '\0');
    const uint width = mode == Huge ? 100000 : uint(shot.width());
    bus.send(msg.createReply(QVariantMap{{QStringLiteral("type"), QStringLiteral("raw")},
                                         {QStringLiteral("format"), uint(shot.format())},
                                         {QStringLiteral("width"), width},
                                         {QStringLiteral("height"), uint(shot.height())},
                                         {QStringLiteral("stride"), width * 4}}));
    const int fd = ::dup(a[5].value<QDBusUnixFileDescriptor>().fileDescriptor());
    std::thread([fd, bytes] {
      // A reader that stops early makes the write fail, as KWin sees it, not end the test.
      sigset_t pipeSignal;
      sigemptyset(&pipeSignal);
      sigaddset(&pipeSignal, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
      qint64 done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
          break;
        done += n;
      }
      ::close(fd);
    }).detach();
    return true;
  }
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
    portal->picture = shot;
    // Directly in the temporary folder, where wlroots' portal saves its shots.
    portal->file = QDir::temp().filePath(
        QStringLiteral("morvane-portal-test-%1.png").arg(QCoreApplication::applicationPid()));
  }
  void TearDown() override { QFile::remove(portal->file); }

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
  EXPECT_TRUE(QFile::exists(portal->file)) << "a refusal's file was removed";
}

// Anyone on the session bus can answer a request: only the portal's fresh
// picture, in a folder portals save to, is ever removed.
TEST_F(CapturePortal, AnswersNamingOtherFilesLeaveThemAlone) {
  portal->mode = StandInPortal::Answer;
  // A picture the user had before the request.
  const QImage mine = portal->picture;
  portal->picture = QImage();
  ASSERT_TRUE(mine.save(portal->file));
  {
    QFile f(portal->file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime));
  }
  EXPECT_FALSE(way->grab(QRect(0, 0, 800, 800), why).isNull()) << why.toStdString();
  EXPECT_TRUE(QFile::exists(portal->file)) << "an older file was removed";

  // A fresh file that is no picture.
  QFile::remove(portal->file);
  QFile junk(portal->file);
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a picture");
  junk.close();
  EXPECT_TRUE(way->grab(QRect(0, 0, 800, 800), why).isNull());
  EXPECT_TRUE(QFile::exists(portal->file)) << "an undecodable file was removed";
  QFile::remove(portal->file);

  // A fresh picture outside the portals' folders, and one named through "..".
  portal->picture = mine;
  portal->file = dir.filePath(QStringLiteral("elsewhere.png"));
  EXPECT_FALSE(way->grab(QRect(0, 0, 800, 800), why).isNull()) << why.toStdString();
  EXPECT_TRUE(QFile::exists(portal->file)) << "a file outside the portals' folders was removed";
  const QString real = QDir::temp().filePath(QStringLiteral("morvane-portal-dots.png"));
  portal->file = dir.path() + QStringLiteral("/../") + QFileInfo(real).fileName();
  EXPECT_FALSE(way->grab(QRect(0, 0, 800, 800), why).isNull()) << why.toStdString();
  EXPECT_TRUE(QFile::exists(real)) << "a path through \"..\" was followed";
  QFile::remove(real);
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
  // The next capture, by a fresh way as the next activation builds one, gets
  // its own request path: the abandoned request, still listening, must not
  // take its answer and remove its picture.
  portal->mode = StandInPortal::Answer;
  const QString late = portal->file;
  portal->file = QDir::temp().filePath(
      QStringLiteral("morvane-portal-test-%1-next.png").arg(QCoreApplication::applicationPid()));
  EXPECT_FALSE(capture::makePortal()->grab(QRect(0, 0, 800, 800), why).isNull())
      << why.toStdString();
  // The first answer still comes, late: its file does not stay behind.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(late); }, 2000));
  QFile::remove(late);
}
TEST_F(CapturePortal, GlobalShortcutIsBoundWithItsTriggerAndActivatedToggles) {
  const QKeySequence key(QStringLiteral("Ctrl+Alt+Shift+D"));
  int toggles = 0;
  // A portal without GlobalShortcuts: nothing happens, and nothing is said.
  testing::internal::CaptureStderr();
  auto without = shortcut::makePortal();
  without->start(key, [&] { ++toggles; });
  QTest::qWait(300);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(toggles, 0);

  QDBusConnection bus(Bus);
  const QString desktop = QStringLiteral("/org/freedesktop/portal/desktop");
  StandInShortcuts shortcuts;
  bus.unregisterObject(desktop);
  ASSERT_TRUE(bus.registerVirtualObject(desktop, &shortcuts));
  auto way = shortcut::makePortal();
  way->start(key, [&] { ++toggles; });
  // The Activated sent while binding arrives: the client listened first.
  EXPECT_TRUE(QTest::qWaitFor([&] { return toggles == 1; }, 3000)) << toggles;
  EXPECT_FALSE(shortcuts.sessionOptions.value(QStringLiteral("handle_token")).toString().isEmpty());
  EXPECT_EQ(shortcuts.shortcutId, QStringLiteral("toggle"));
  EXPECT_EQ(shortcuts.trigger, QStringLiteral("CTRL+ALT+SHIFT+d"));
  // Another program's session is not ours.
  shortcuts.activated(bus, desktop + QStringLiteral("/session/other/x"));
  shortcuts.activated(bus, shortcuts.session);
  EXPECT_TRUE(QTest::qWaitFor([&] { return toggles == 2; }, 2000));
  QTest::qWait(200);
  EXPECT_EQ(toggles, 2);

  bus.unregisterObject(desktop);
  ASSERT_TRUE(bus.registerObject(desktop, portal, QDBusConnection::ExportScriptableSlots));
}

// KWin's interface: the picture's pixels are read whole, in the area's size,
// and a peer that sends less, more, or claims a larger picture than the screen
// fails the capture; a refusal is kept for the session.
TEST_F(CapturePortal, KWinPictureIsReadWholeAndNoFurther) {
  QDBusConnection bus(Bus);
  StandInKWin kwin;
  ASSERT_TRUE(bus.registerService(QStringLiteral("org.kde.KWin.ScreenShot2")));
  ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/kde/KWin/ScreenShot2"), &kwin));
  const QByteArray session = qgetenv("XDG_SESSION_TYPE");
  qputenv("XDG_SESSION_TYPE", "wayland");
  auto way = capture::makeKWin();
  EXPECT_TRUE(way->usable());

  const QImage shot = way->grab(QRect(100, 50, 640, 480), why);
  ASSERT_EQ(shot.size(), QSize(640, 480)) << why.toStdString();
  EXPECT_EQ(kwin.asked, QRect(100, 50, 640, 480));
  EXPECT_EQ(kwin.options.value(QStringLiteral("include-cursor")), QVariant(false));
  EXPECT_EQ(shot.format(), QImage::Format_RGB32);
  EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(shot.pixel(319, 479), qRgb(255, 0, 0));
  EXPECT_EQ(shot.pixel(320, 0), qRgb(0, 0, 255));
  EXPECT_EQ(shot.pixel(639, 479), qRgb(0, 0, 255));

  const std::pair<StandInKWin::Mode, const char *> faults[] = {{StandInKWin::Short, "ended early"},
                                                               {StandInKWin::Long, "more than"},
                                                               {StandInKWin::Huge, "does not fit"}};
  for (const auto &[mode, said] : faults) {
    kwin.mode = mode;
    why.clear();
    EXPECT_TRUE(way->grab(QRect(0, 0, 640, 480), why).isNull()) << said;
    EXPECT_TRUE(why.contains(QLatin1String(said))) << why.toStdString();
  }

  kwin.mode = StandInKWin::Refuse;
  EXPECT_TRUE(way->grab(QRect(0, 0, 640, 480), why).isNull());
  EXPECT_TRUE(why.contains(QStringLiteral("X-KDE-DBUS-Restricted-Interfaces")))
      << why.toStdString();
  EXPECT_FALSE(capture::makeKWin()->usable()) << "KWin is asked again after its refusal";

  qputenv("XDG_SESSION_TYPE", session);
  bus.unregisterObject(QStringLiteral("/org/kde/KWin/ScreenShot2"));
  bus.unregisterService(QStringLiteral("org.kde.KWin.ScreenShot2"));
}

// grim, the other Wayland way, run as a subprocess: one that writes without end,
// through a wrapper whose child would outlive it, is cut off at the size the
// screen's picture can have, and its whole process group ends.
TEST(CaptureGrim, EndlessOutputIsCutOffAndTheWholeGroupEnds) {
  QTemporaryDir bin;
  const QString childPid = bin.filePath(QStringLiteral("child.pid"));
  QFile script(bin.filePath(QStringLiteral("grim")));
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\nsleep 60 &\necho $! >%1\nexec cat /dev/zero\n")
                   .arg(childPid)
                   .toLocal8Bit());
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
  QString why;
  const QImage shot = capture::makeGrim()->grab(QRect(0, 0, 800, 800), why);
  qputenv("PATH", path);
  EXPECT_TRUE(shot.isNull());
  EXPECT_TRUE(why.contains(QStringLiteral("larger"))) << why.toStdString();
  QFile pidFile(childPid);
  ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
  const QString stat = QStringLiteral("/proc/%1/stat").arg(pidFile.readAll().trimmed().constData());
  // Gone, or a zombie waiting for its new parent.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        QFile f(stat);
        return !f.open(QIODevice::ReadOnly) || f.readAll().contains(") Z ");
      },
      2000))
      << "the wrapper's child outlived it";
}
} // namespace

#include "test_capture_portal.moc"
