#include "core/ini.h"

#include <gtest/gtest.h>

TEST(IniText, FindsKeyCaseInsensitively) {
  const QByteArray f = "[Section]\r\nFirst_Kind = 3 \r\n";
  EXPECT_EQ(ini::find(f, "section", "FIRST_KIND"), QByteArray("3"));
}
