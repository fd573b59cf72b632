// Damaged and hostile settings files: loading never crashes, takes what it can,
// and a later save keeps every foreign byte.
#include "core/default_pens.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "core/settings.h"
#include "support/fake_platform.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
class Hostile : public ::testing::Test {
protected:
  FakePlatform fake;
  void write(const QByteArray &data) {
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
  }
  QByteArray read() {
    QFile f(iniPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // Saving one key changes nothing but that key's line or an appended line.
  void expectSaveKeepsTheRest(const QByteArray &before) {
    Ini_Write("Section", "Try_Out", "True", iniPath());
    const QByteArray after = read();
    qsizetype p = 0;
    while (p < before.size() && p < after.size() && before[p] == after[p])
      ++p;
    qsizetype q = 0;
    while (q < before.size() - p && q < after.size() - p &&
           before[before.size() - 1 - q] == after[after.size() - 1 - q])
      ++q;
    const QByteArray removed = before.mid(p, before.size() - p - q);
    EXPECT_FALSE(removed.contains('\n') || removed.contains('\r')) << "lines were lost";
    EXPECT_EQ(ini::find(after, "Section", "Try_Out"), "True");
  }
};
} // namespace

TEST_F(Hostile, BinaryGarbageAndNuls) {
  QByteArray junk(64 * 1024, '\0');
  auto *rng = QRandomGenerator::global();
  for (char &c : junk)
    c = char(rng->bounded(256));
  junk.prepend(QByteArray("[Section]\nFirst_Kind=4\n\0\0\0", 26));
  write(junk);
  Load_Settings();
  EXPECT_EQ(Pen_No, 4);
  expectSaveKeepsTheRest(junk);
}

TEST_F(Hostile, TenMegabytesWithVeryLongLines) {
  QByteArray big = "[F2]\nBorderWidth2=9\n";
  big += QByteArray(5 * 1024 * 1024, 'x') + "\n";
  big += "[Section]\nUndo=1\n" + QByteArray(5 * 1024 * 1024, '=') + "\n";
  write(big);
  Load_Settings();
  EXPECT_EQ(Pen_Width[2], 9);
  EXPECT_EQ(Undo_Mode, 1);
  expectSaveKeepsTheRest(big);
}

TEST_F(Hostile, LineEndingsBomDuplicatesAndStrayKeys) {
  const QByteArray f = "\xEF\xBB\xBF"
                       "First_Kind=9\r\n"
                       "[Section]\rFirst_Kind=5\n[Section]\r\nFirst_Kind=6\r\n"
                       "[F1]\r\nBorderWidth1=3\nBorderWidth1=4\r\n";
  write(f);
  Load_Settings();
  EXPECT_EQ(Pen_No, 5);
  EXPECT_EQ(Pen_Width[1], 3);
  expectSaveKeepsTheRest(f);
  EXPECT_TRUE(read().startsWith("\xEF\xBB\xBF"));
}

TEST_F(Hostile, ThreeHundredCharacterValue) {
  write("[F5]\nBorderColor5=" + QByteArray(300, '7') + "\n");
  Pen_Color[5] = 123;
  Load_Settings();
  // 255 sevens are far outside 32 bits: the key is skipped, the old value stays.
  EXPECT_EQ(Pen_Color[5], 123);
}

TEST_F(Hostile, AFolderWhereTheFileShouldBe) {
  ASSERT_TRUE(QDir(fake.dir).mkdir("Morvane.ini"));
  Load_Settings();
  EXPECT_EQ(Pen_No, 1);
  EXPECT_EQ(Pen_Width[1], Line1[1].width);
  Ini_Write("Section", "Undo", "1", iniPath());
  EXPECT_TRUE(QFileInfo(iniPath()).isDir());
}

TEST_F(Hostile, UnreadableFileGivesDefaultsAndIsNotReplaced) {
  write("[Section]\nFirst_Kind=7\n");
  ::chmod(QFile::encodeName(iniPath()).constData(), 0);
  Load_Settings();
  if (::geteuid() != 0) {
    EXPECT_EQ(Pen_No, 1);
    Ini_Write("Section", "Undo", "1", iniPath());
  }
  ::chmod(QFile::encodeName(iniPath()).constData(), 0600);
  EXPECT_EQ(read().left(25), "[Section]\nFirst_Kind=7\n");
}
