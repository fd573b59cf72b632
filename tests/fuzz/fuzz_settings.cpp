// Fuzzes the settings file: arbitrary file bytes, then one key written over them.
// Input: <file bytes> [ "\0\0" <section> "\0" <key> "\0" <value> ]
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "core/settings.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
class FuzzPlatform : public Platform {
public:
  std::vector<Monitor> monitors() const override { return {{QRect(0, 0, 1024, 768), 1.0}}; }
  double twipsPerPixelX() const override { return 15; }
  double twipsPerPixelY() const override { return 15; }
  QString appPath() const override { return dir; }
  QString dir;
};

void check(bool ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "property broken: %s\n", what);
    abort();
  }
}

bool plainName(const QByteArray &s) {
  if (s.isEmpty() || s.size() > 60)
    return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
      return false;
  return true;
}

bool plainValue(const QByteArray &v) {
  if (v.size() > 255)
    return false;
  for (char c : v)
    if (c == '\r' || c == '\n' || c == '\0' || static_cast<unsigned char>(c) >= 0x80)
      return false;
  if (!v.isEmpty() &&
      (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t'))
    return false;
  return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static FuzzPlatform *fp = [] {
    auto *p = new FuzzPlatform;
    // A memory-backed folder: the file is rewritten for every input.
    char tmpl[] = "/dev/shm/morvane-fuzz.XXXXXX";
    p->dir = QString::fromLocal8Bit(mkdtemp(tmpl));
    setPlatform(p);
    std::atexit([] { QDir(platform().appPath()).removeRecursively(); });
    return p;
  }();
  const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  const qsizetype sep = input.indexOf(QByteArray("\0\0", 2));
  const QByteArray content = sep < 0 ? input : input.left(sep);
  QList<QByteArray> args = sep < 0 ? QList<QByteArray>() : input.mid(sep + 2).split('\0');
  while (args.size() < 3)
    args << QByteArray("k");

  // Loading any file keeps every value inside its type; nothing reads past the arrays.
  const QString path = fp->dir + "/Morvane.ini";
  {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
      f.write(content);
  }
  Load_Settings();
  for (int n = 1; n <= 9; ++n)
    check(Pen_Width[n] >= -32768 && Pen_Width[n] <= 32767, "width in range");

  // Reading any key of any file is safe, and the parsed profile agrees with the scan.
  check(ini::Profile(content).find(args[0], args[1]) == ini::find(content, args[0], args[1]),
        "profile and scan agree");

  // Writing one key changes that key's line only, and reads back.
  const QByteArray out = ini::replace(content, args[0], args[1], args[2]);
  qsizetype p = 0;
  while (p < content.size() && p < out.size() && content[p] == out[p])
    ++p;
  qsizetype q = 0;
  while (q < content.size() - p && q < out.size() - p &&
         content[content.size() - 1 - q] == out[out.size() - 1 - q])
    ++q;
  const QByteArray removed = content.mid(p, content.size() - p - q);
  check(!removed.contains('\n') && !removed.contains('\r'), "only one line changed");
  if (plainName(args[0]) && plainName(args[1]) && plainValue(args[2])) {
    check(ini::find(out, args[0], args[1]) == args[2], "write then read gives the value");
    // And through the file functions, which cut at 255 characters.
    Ini_Write(QString::fromUtf8(args[0]), QString::fromUtf8(args[1]), QString::fromUtf8(args[2]),
              path);
    check(Ini_Read(QString::fromUtf8(args[0]), QString::fromUtf8(args[1]), path) ==
              QString::fromUtf8(args[2]),
          "file round trip");
  }
  return 0;
}
