// The settings file behaves like the platform's INI profile functions: one key
// at a time, names without regard to case, and every other byte left alone.
#include "core/ini.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeAll(const QString &path, const QByteArray &data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}
// What `write` printed on stderr.
template <class F> QByteArray stderrOf(F write) {
  QTemporaryFile out;
  if (!out.open())
    return "no temporary file";
  std::fflush(stderr);
  const int saved = ::dup(2);
  ::dup2(out.handle(), 2);
  write();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  out.seek(0);
  return out.readAll();
}
} // namespace

TEST(IniFind, MatchesNamesWithoutCaseAndTrimsBlanks) {
  const QByteArray f = "[Section]\r\n  First_Kind =  3 \r\n[F1]\nBorderWidth1\t=\t7\n";
  EXPECT_EQ(ini::find(f, "section", "FIRST_KIND"), "3");
  EXPECT_EQ(ini::find(f, "f1", "borderwidth1"), "7");
  EXPECT_TRUE(ini::find(f, "Section", "Undo").isNull());
  EXPECT_TRUE(ini::find(f, "F2", "BorderWidth1").isNull());
}

TEST(IniFind, KeysOutsideTheirSectionAreNotSeen) {
  // A pen key placed in another pen's section, and keys before any section.
  const QByteArray f = "Undo=1\n[F3]\nBorderColor1=255\n[F1]\nBorderColor3=9\n";
  EXPECT_TRUE(ini::find(f, "F1", "BorderColor1").isNull());
  EXPECT_TRUE(ini::find(f, "F3", "BorderColor3").isNull());
  EXPECT_TRUE(ini::find(f, "Section", "Undo").isNull());
}

TEST(IniFind, FirstOfDuplicateSectionsAndKeysWins) {
  const QByteArray f = "[A]\nk=1\nk=2\n[a]\nk=3\nj=4\n";
  EXPECT_EQ(ini::find(f, "A", "k"), "1");
  EXPECT_TRUE(ini::find(f, "A", "j").isNull());
}

TEST(IniFind, EmptyValueQuotesBomAndNul) {
  QByteArray f = "\xEF\xBB\xBF[S]\nempty=\nq=\"a b\"\nn=ab";
  f += '\0';
  f += "cd\n";
  EXPECT_EQ(ini::find(f, "S", "empty"), "");
  EXPECT_FALSE(ini::find(f, "S", "empty").isNull());
  EXPECT_EQ(ini::find(f, "S", "q"), "a b");
  EXPECT_EQ(ini::find(f, "S", "n"), "ab");
}

TEST(IniReplace, ChangesOnlyTheKeysLine) {
  const QByteArray f = "; comment\r\n[Section]\r\nForeign = x \r\nForm_Top=5\r\n\r\n[Other]\r\nz=1";
  const QByteArray out = ini::replace(f, "section", "Form_Top", "200");
  EXPECT_EQ(out, "; comment\r\n[Section]\r\nForeign = x \r\nForm_Top=200\r\n\r\n[Other]\r\nz=1");
}

TEST(IniReplace, AppendsMissingKeyAtEndOfSectionAndMissingSectionAtEnd) {
  const QByteArray f = "[Section]\nA=1\n\n[F1]\nB=2";
  QByteArray out = ini::replace(f, "Section", "Try_Out", "True");
  EXPECT_EQ(out, "[Section]\nA=1\nTry_Out=True\n\n[F1]\nB=2");
  out = ini::replace(out, "F1", "C", "3");
  EXPECT_EQ(out, "[Section]\nA=1\nTry_Out=True\n\n[F1]\nB=2\nC=3\n");
  out = ini::replace(out, "F9", "DrawMode9", "0");
  EXPECT_EQ(out, "[Section]\nA=1\nTry_Out=True\n\n[F1]\nB=2\nC=3\n[F9]\nDrawMode9=0\n");
  EXPECT_EQ(ini::replace("", "S", "k", "v"), "[S]\nk=v\n");
}

TEST(IniReplace, LineBreaksInsideNamesOrValuesCannotSplitTheFile) {
  const QByteArray out = ini::replace("[S]\n", "S", "k", "a\nb\r[X]");
  EXPECT_EQ(out, "[S]\nk=a b [X]\n");
  EXPECT_EQ(ini::find(out, "S", "k"), "a b [X]");
  EXPECT_TRUE(ini::find(out, "X", "k").isNull());
}

class IniFile : public ::testing::Test {
protected:
  QTemporaryDir dir;
  QString path() const { return dir.path() + "/Morvane.ini"; }
};

TEST_F(IniFile, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
  EXPECT_EQ(Ini_Read("Section", "Undo", path()), "");
  EXPECT_FALSE(QFileInfo::exists(path()));
  Ini_Write("Section", "Undo", "1", path());
  EXPECT_EQ(readAll(path()), "[Section]\nUndo=1\n");
  EXPECT_EQ(Ini_Read("Section", "Undo", path()), "1");
}

TEST_F(IniFile, LongValuesAreCutAt255) {
  Ini_Write("S", "k", QString(300, 'x'), path());
  EXPECT_EQ(Ini_Read("S", "k", path()), QString(255, 'x'));
}

TEST_F(IniFile, ForeignBytesSurviveAWrite) {
  const QByteArray before =
      "\xEF\xBB\xBF; mine\r\n[Section]\r\nUndo=0\r\nx=\x01\x02\r\n[Mine]\nk=v\n";
  writeAll(path(), before);
  Ini_Write("Section", "Undo", "1", path());
  QByteArray expect = before;
  expect.replace("Undo=0", "Undo=1");
  EXPECT_EQ(readAll(path()), expect);
}

TEST_F(IniFile, WriteReplacesTheFileWholeAndKeepsItsMode) {
  writeAll(path(), "[S]\nk=1\n");
  ::chmod(QFile::encodeName(path()).constData(), 0640);
  struct stat before {};
  ::stat(QFile::encodeName(path()).constData(), &before);
  Ini_Write("S", "k", "2", path());
  struct stat after {};
  ::stat(QFile::encodeName(path()).constData(), &after);
  // A new inode: the old file was never opened for writing in place.
  EXPECT_NE(before.st_ino, after.st_ino);
  EXPECT_EQ(after.st_mode & 0777, 0640u);
  EXPECT_EQ(readAll(path()), "[S]\nk=2\n");
  // No temporary file is left behind.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(IniFile, UnusableFilesAreNeitherReadNorReplaced) {
  QDir(dir.path()).mkdir("Morvane.ini");
  EXPECT_EQ(Ini_Read("S", "k", path()), "");
  // The failure is said once on stderr, naming the file, however many keys fail.
  const QByteArray said = stderrOf([&] {
    EXPECT_FALSE(Ini_Write("S", "k", "1", path()));
    EXPECT_FALSE(Ini_Write("S", "j", "1", path()));
  });
  EXPECT_EQ(said.count('\n'), 1) << said.constData();
  EXPECT_TRUE(said.contains(QFile::encodeName(path()))) << said.constData();
  EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST_F(IniFile, ReadOnlyFolderFailsSilentlyAndKeepsTheFile) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root ignores folder permissions";
  writeAll(path(), "[S]\nk=1\n");
  ::chmod(QFile::encodeName(dir.path()).constData(), 0555);
  Ini_Write("S", "k", "2", path());
  ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
  EXPECT_EQ(readAll(path()), "[S]\nk=1\n");
}

TEST_F(IniFile, WriteIntoMissingFolderFailsAndSaysWhy) {
  const QString p = dir.path() + "/gone/Morvane.ini";
  const QByteArray said = stderrOf([&] { EXPECT_FALSE(Ini_Write("S", "k", "1", p)); });
  EXPECT_TRUE(said.startsWith("morvane: cannot save the settings in " + QFile::encodeName(p)))
      << said.constData();
  EXPECT_FALSE(QFileInfo::exists(p));
  EXPECT_TRUE(Ini_Write("S", "k", "1", path()));
}
