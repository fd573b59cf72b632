// A settings write killed at any moment leaves either the old file or the new
// one, never a mix: every key and every foreign line is still there.
#include "core/ini.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const QByteArray foreign = "; written by hand\n[Mine]\nkeep=this line\n";

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool intact(const QByteArray &file) {
  if (!file.startsWith(foreign))
    return false;
  for (int n = 1; n <= 9; ++n) {
    const QByteArray sec = "F" + QByteArray::number(n);
    for (const char *k : {"BorderColor", "BorderWidth", "BorderStyle", "DrawMode"}) {
      const QByteArray v = ini::find(file, sec, k + QByteArray::number(n));
      if (v.isNull() || (v != "1" && v != "22222222"))
        return false;
    }
  }
  return ini::find(file, "Mine", "keep") == "this line";
}
} // namespace

TEST(IniCrashSafety, KilledWritersNeverLeaveAHalfFile) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/Morvane.ini";
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(foreign);
  }
  for (int n = 1; n <= 9; ++n)
    for (const char *k : {"BorderColor", "BorderWidth", "BorderStyle", "DrawMode"})
      Ini_Write(QStringLiteral("F%1").arg(n), QString::fromLatin1(k) + QString::number(n), "1",
                path);
  ASSERT_TRUE(intact(readAll(path)));

  auto *rng = QRandomGenerator::global();
  int killedMidway = 0;
  for (int round = 0; round < 1000; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Rewrite every pen key, alternating between a short and a long value.
      for (int i = 0;; ++i)
        for (int n = 1; n <= 9; ++n)
          for (const char *k : {"BorderColor", "BorderWidth", "BorderStyle", "DrawMode"})
            Ini_Write(QStringLiteral("F%1").arg(n), QString::fromLatin1(k) + QString::number(n),
                      (i % 2) ? "22222222" : "1", path);
    }
    ::usleep(rng->bounded(200, 3000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    killedMidway += WIFSIGNALED(status) ? 1 : 0;
    const QByteArray now = readAll(path);
    ASSERT_TRUE(intact(now)) << "round " << round << ":\n" << now.constData();
  }
  EXPECT_EQ(killedMidway, 1000);
}
