// Loading the settings model: defaults, conversions and what a damaged value does.
#include "core/default_pens.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "core/settings.h"
#include "support/fake_platform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
class LoadSettings : public ::testing::Test {
protected:
  FakePlatform fake;
  void SetUp() override {
    // The model starts zeroed, as at process start.
    Pen_No = Undo_Mode = 0;
    Try_Out = false;
    Form_Left.reset();
    Form_Top.reset();
    for (int n = 0; n < 10; ++n)
      Pen_Color[n] = Pen_Width[n] = Pen_Style[n] = Pen_Toimei[n] = 0;
  }
  void file(const QByteArray &text) {
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
};
} // namespace

TEST_F(LoadSettings, FreshInstallationGetsTheFactoryModel) {
  Load_Settings();
  EXPECT_EQ(Pen_No, 1);
  EXPECT_EQ(Undo_Mode, 0);
  EXPECT_FALSE(Try_Out);
  // 1024 x 768 at 15 twips per pixel: 200 twips from the top and right edges.
  EXPECT_FLOAT_EQ(*Form_Left, 15360.0f - (21 * 15 + 8) - 200);
  EXPECT_FLOAT_EQ(*Form_Top, 200.0f);
  EXPECT_FLOAT_EQ(Tray_X, 1024 - 69);
  EXPECT_FLOAT_EQ(Tray_Y, 768 - 24);
  for (int n = 1; n <= 9; ++n) {
    EXPECT_EQ(Pen_Color[n], Line1[n].color) << n;
    EXPECT_EQ(Pen_Width[n], Line1[n].width) << n;
    EXPECT_EQ(Pen_Style[n], Line1[n].style) << n;
    EXPECT_EQ(Pen_Toimei[n], (n >= 2 && n <= 4) ? 1 : 0) << n;
  }
  EXPECT_EQ(Pen_Color[6], -2147483640);
  EXPECT_FALSE(QFile::exists(iniPath())) << "loading must not create the file";
}

TEST_F(LoadSettings, RoundingRules) {
  file("[Section]\nFirst_Kind=3.9\nUndo=-0.5\nForm_Left=100.5\nForm_Top=101.5\n"
       "[F1]\nBorderWidth1=2.5\nBorderStyle1=2.5\n[F2]\nBorderWidth2=3.5\nBorderColor2= 255.5 \n");
  Load_Settings();
  EXPECT_EQ(Pen_No, 3);                // rounded down
  EXPECT_EQ(Undo_Mode, -1);            // rounded down
  EXPECT_FLOAT_EQ(*Form_Left, 100.0f); // half to even
  EXPECT_FLOAT_EQ(*Form_Top, 102.0f);
  EXPECT_EQ(Pen_Width[1], 2);
  EXPECT_EQ(Pen_Style[1], 2);
  EXPECT_EQ(Pen_Width[2], 4);
  EXPECT_EQ(Pen_Color[2], 256);
}

TEST_F(LoadSettings, TryOutForms) {
  for (const auto &[text, expected] : std::vector<std::pair<QByteArray, bool>>{
           {"True", true}, {"fALSE", false}, {"1", true}, {"0", false}, {"-2.5", true}}) {
    Try_Out = !expected;
    file("[Section]\nTry_Out=" + text + "\n");
    Load_Settings();
    EXPECT_EQ(Try_Out, expected) << text.constData();
  }
  Try_Out = false;
  file("[Section]\nTry_Out=yes\n");
  Load_Settings();
  EXPECT_FALSE(Try_Out);
}

TEST_F(LoadSettings, UnconvertibleValuesKeepThePreviousValue) {
  file("[Section]\nFirst_Kind=abc\nUndo=70000\nForm_Left=x\nForm_Top=1e3\n"
       "[F3]\nBorderColor3=4294967295\nBorderWidth3=--1\n");
  Load_Settings();
  EXPECT_EQ(Pen_No, 0);
  EXPECT_EQ(Undo_Mode, 0);
  EXPECT_FALSE(Form_Left.has_value());
  EXPECT_FALSE(Form_Top.has_value());
  EXPECT_EQ(Pen_Color[3], 0);
  EXPECT_EQ(Pen_Width[3], 0);
  EXPECT_EQ(Pen_Style[3], Line1[3].style);
}

TEST_F(LoadSettings, OutOfRangeButWellFormedValuesAreStoredAsRead) {
  file("[Section]\nFirst_Kind=12\n[F4]\nBorderWidth4=0\nBorderStyle4=9\nDrawMode4=7\n");
  Load_Settings();
  EXPECT_EQ(Pen_No, 12);
  EXPECT_EQ(Pen_Width[4], 0);
  EXPECT_EQ(Pen_Style[4], 9);
  EXPECT_EQ(Pen_Toimei[4], 7);
  EXPECT_FALSE(penIndexOk(Pen_No));
}

TEST_F(LoadSettings, ScreenAtAnotherDpi) {
  fake.screen = QSize(1920, 1080);
  fake.tppX = fake.tppY = 10; // 144 dpi
  Load_Settings();
  EXPECT_FLOAT_EQ(*Form_Left, 19200.0f - (21 * 10 + 8) - 200);
  EXPECT_FLOAT_EQ(Tray_X, 1920 - 69);
  EXPECT_FLOAT_EQ(Tray_Y, 1080 - 24);
}

TEST_F(LoadSettings, PrimaryMonitorRightOfAnotherAndScaled) {
  fake.setRatio(1.5); // 10 twips per pixel
  fake.screen = QSize(1920, 1080);
  fake.origin = QPoint(1920, 0);
  fake.others = {QRect(0, 0, 1920, 1080)};
  Load_Settings();
  // The new icon near the primary's top-right corner, 21 logical pixels + 8 twips wide.
  EXPECT_FLOAT_EQ(*Form_Left, 38400.0f - (21 * 15 + 8) - 200);
  EXPECT_FLOAT_EQ(*Form_Top, 200.0f);
  EXPECT_FLOAT_EQ(Tray_X, 3840 - 69);
  EXPECT_FLOAT_EQ(Tray_Y, 1080 - 24);
  // The primary moves to the left: the tray point follows.
  fake.origin = QPoint(0, 0);
  fake.others = {QRect(1920, 0, 1920, 1080)};
  Derive_Tray_Point();
  EXPECT_FLOAT_EQ(Tray_X, 1920 - 69);
}

TEST(SettingsText, NumberSpellings) {
  using settings_text::toNumber;
  EXPECT_EQ(toNumber(" -12.50 "), -12.5);
  EXPECT_EQ(toNumber("+7"), 7.0);
  EXPECT_EQ(toNumber(".5"), 0.5);
  EXPECT_EQ(toNumber("5."), 5.0);
  for (const char *bad : {"", " ", "-", ".", "1,5", "0x10", "1 2", "inf", "nan", "１２"})
    EXPECT_FALSE(toNumber(QString::fromUtf8(bad)).has_value()) << bad;
}

TEST(SettingsText, SinglesPrintLikeTheRuntime) {
  using settings_text::fromSingle;
  EXPECT_EQ(fromSingle(14837.0f), "14837");
  EXPECT_EQ(fromSingle(-15.0f), "-15");
  EXPECT_EQ(fromSingle(123.5f), "123.5");
  // Large and tiny values in plain digits, which the reader accepts.
  EXPECT_EQ(fromSingle(1e9f), "1000000000");
  EXPECT_EQ(fromSingle(-3e10f), "-30000001024");
  EXPECT_EQ(fromSingle(0.00005f), "0.00005");
  EXPECT_EQ(*settings_text::roundTo32(fromSingle(2e9f)), 2000000000);
  // What is printed reads back as the same whole number.
  EXPECT_EQ(*settings_text::roundTo32(fromSingle(14836.6f)), 14837);
}

namespace {
// HOME and XDG_CONFIG_HOME for one test, restored afterwards.
struct UserEnvironment {
  QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
  bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
  QTemporaryDir dir;
  UserEnvironment() { qputenv("HOME", QFile::encodeName(dir.path())); }
  ~UserEnvironment() {
    qputenv("HOME", home);
    if (hadConfig)
      qputenv("XDG_CONFIG_HOME", config);
    else
      qunsetenv("XDG_CONFIG_HOME");
  }
};
std::string settingsFile() { return iniPath().toStdString(); }
} // namespace

// A system-wide install: the program's folder is not the user's, so the same file
// is read and written in the user's config folder, made at the first write.
TEST_F(LoadSettings, ProgramFolderNotWritableMovesTheFileToTheConfigFolder) {
  UserEnvironment env;
  const QString config = env.dir.path() + "/cfg";
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
  EXPECT_EQ(settingsFile(), (fake.dir + "/Morvane.ini").toStdString());
  fake.dirWritable = false;
  ASSERT_EQ(settingsFile(), (config + "/morvane/Morvane.ini").toStdString());

  Load_Settings();
  EXPECT_FALSE(QFileInfo::exists(config)) << "a read must not make the folder";
  // What the shutdown writes, then the next start.
  Ini_Write("Section", "Try_Out", "True", iniPath());
  Ini_Write("Section", "Form_Top", "300", iniPath());
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(config + "/morvane").constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "the user's settings are private";
  Try_Out = false;
  Load_Settings();
  EXPECT_TRUE(Try_Out);
  EXPECT_FLOAT_EQ(*Form_Top, 300.0f);
  EXPECT_TRUE(QDir(fake.dir).isEmpty()) << "nothing goes into the program's folder";
}

TEST_F(LoadSettings, ConfigFolderFallbacksAndFailures) {
  UserEnvironment env;
  fake.dirWritable = false;
  const QString standard = env.dir.path() + "/.config/morvane/Morvane.ini";
  const std::string expected = standard.toStdString();
  // An unset, empty or relative XDG_CONFIG_HOME means ~/.config.
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(settingsFile(), expected);
  for (const char *ignored : {"", "relative/cfg", "./cfg"}) {
    qputenv("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(settingsFile(), expected) << ignored;
  }
  Ini_Write("Section", "Undo", "1", iniPath());
  EXPECT_FALSE(QFileInfo::exists("cfg")) << "a relative folder is never made";
  EXPECT_EQ(Ini_Read("Section", "Undo", standard), "1");

  // A folder that cannot be made (a file is in the way): silent, the file untouched.
  QFile blocker(env.dir.path() + "/blocker");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.write("keep");
  blocker.close();
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker.fileName()));
  Ini_Write("Section", "Undo", "1", iniPath());
  Undo_Mode = 5;
  Load_Settings();
  EXPECT_EQ(Undo_Mode, 0);
  ASSERT_TRUE(blocker.open(QIODevice::ReadOnly));
  EXPECT_EQ(blocker.readAll(), "keep");
}
