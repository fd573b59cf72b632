#pragma once
// A loaded settings dialog over the recording platform, with the factory pens in the model.

#include "core/default_pens.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "settings_dialog/dialog_widgets.h"
#include "settings_dialog/kavrel_i.h"
#include "support/fake_platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

inline void factoryModel() {
  Pen_No = 1;
  Undo_Mode = 0;
  Try_Out = false;
  Form_Left = 13000.0f;
  Form_Top = 300.0f;
  Tray_X = 1024 - 69;
  Tray_Y = 768 - 24;
  setFactoryPens();
}

// Key names of the settings file in the order they stand in it.
inline QStringList iniKeys() {
  QFile f(iniPath());
  QStringList keys;
  if (!f.open(QIODevice::ReadOnly))
    return keys;
  for (const QByteArray &raw : f.readAll().split('\n')) {
    const QString line = QString::fromLatin1(raw).trimmed();
    if (line.contains(QLatin1Char('=')))
      keys << line.section(QLatin1Char('='), 0, 0);
  }
  return keys;
}

inline QString iniValue(const QString &section, const QString &key) {
  return Ini_Read(section, key, iniPath());
}

inline bool samePicture(const QPixmap &a, const QPixmap &b) {
  return a.toImage().convertToFormat(QImage::Format_ARGB32) ==
         b.toImage().convertToFormat(QImage::Format_ARGB32);
}

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override { factoryModel(); }
  void TearDown() override {
    Unload_Kavrel_I();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  Kavrel_I *load() {
    dlg = Load_Kavrel_I();
    return dlg;
  }
  FakePlatform fp;
  Kavrel_I *dlg = nullptr;
};
