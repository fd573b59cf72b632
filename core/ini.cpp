#include "core/ini.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace ini {
namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArray trimmed(const char *b, const char *e) {
  while (b < e && isBlank(*b))
    ++b;
  while (e > b && isBlank(e[-1]))
    --e;
  return QByteArray(b, e - b);
}

// Names match without regard to ASCII letter case; other bytes must be equal.
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool sameName(const QByteArray &a, const QByteArray &b) {
  if (a.size() != b.size())
    return false;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i]))
      return false;
  return true;
}

// One line of the file: [begin, end) without its line break, and the break's length.
struct Line {
  qsizetype begin, end, next;
};

class Lines {
public:
  explicit Lines(const QByteArray &c) : c_(c) {
    // A UTF-8 byte order mark belongs to no line.
    if (c_.startsWith("\xEF\xBB\xBF"))
      pos_ = 3;
  }
  bool next(Line &l) {
    if (pos_ >= c_.size())
      return false;
    l.begin = pos_;
    qsizetype i = pos_;
    while (i < c_.size() && c_[i] != '\n' && c_[i] != '\r')
      ++i;
    l.end = i;
    if (i < c_.size() && c_[i] == '\r')
      ++i;
    if (i < c_.size() && c_[i] == '\n')
      ++i;
    l.next = i;
    pos_ = i;
    return true;
  }

private:
  const QByteArray &c_;
  qsizetype pos_ = 0;
};

// Section name of a header line, or null when the line is no header.
QByteArray sectionOf(const QByteArray &c, const Line &l) {
  const char *b = c.constData() + l.begin, *e = c.constData() + l.end;
  while (b < e && isBlank(*b))
    ++b;
  if (b == e || *b != '[')
    return {};
  const char *close = b + 1;
  while (close < e && *close != ']')
    ++close;
  QByteArray name = trimmed(b + 1, close);
  return name.isNull() ? QByteArray("") : name;
}

// Key name of a key line, or null when the line has no equals sign.
QByteArray keyOf(const QByteArray &c, const Line &l, qsizetype *eq = nullptr) {
  const char *b = c.constData() + l.begin, *e = c.constData() + l.end;
  const char *p = b;
  while (p < e && *p != '=')
    ++p;
  if (p == e)
    return {};
  if (eq)
    *eq = p - c.constData();
  QByteArray k = trimmed(b, p);
  return k.isNull() ? QByteArray("") : k;
}

// The value of a key line: trimmed, unquoted, cut at a NUL.
QByteArray valueOf(const QByteArray &c, const Line &l, qsizetype eq) {
  QByteArray v = trimmed(c.constData() + eq + 1, c.constData() + l.end);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.mid(1, v.size() - 2);
  const qsizetype nul = v.indexOf('\0');
  if (nul >= 0)
    v.truncate(nul);
  return v.isNull() ? QByteArray("") : v;
}

// The name written into the file: no line breaks or NULs can get through.
QByteArray clean(QByteArray s) {
  for (char &ch : s)
    if (ch == '\r' || ch == '\n' || ch == '\0')
      ch = ' ';
  return s;
}

QByteArray lineBreakOf(const QByteArray &c) {
  const qsizetype i = c.indexOf('\n');
  if (i > 0 && c[i - 1] == '\r')
    return "\r\n";
  if (i >= 0)
    return "\n";
  return c.contains('\r') ? "\r" : "\n";
}
} // namespace

QByteArray find(const QByteArray &content, const QByteArray &section, const QByteArray &key) {
  Lines lines(content);
  Line l;
  bool inSection = false, seenSection = false;
  while (lines.next(l)) {
    const QByteArray s = sectionOf(content, l);
    if (!s.isNull()) {
      // The first section of that name is the one; later duplicates are ignored.
      if (inSection)
        return {};
      inSection = !seenSection && sameName(s, section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection)
      continue;
    qsizetype eq = 0;
    const QByteArray k = keyOf(content, l, &eq);
    if (k.isNull() || !sameName(k, key))
      continue;
    return valueOf(content, l, eq);
  }
  return {};
}

Profile::Profile(const QByteArray &content) {
  Lines lines(content);
  Line l;
  QHash<QByteArray, QByteArray> *current = nullptr;
  while (lines.next(l)) {
    const QByteArray s = sectionOf(content, l);
    if (!s.isNull()) {
      // Only the first section of a name counts; later ones are read into nothing.
      const QByteArray name = s.toLower();
      current = sections_.contains(name) ? nullptr : &sections_[name];
      continue;
    }
    if (!current)
      continue;
    qsizetype eq = 0;
    const QByteArray k = keyOf(content, l, &eq);
    if (k.isNull())
      continue;
    const QByteArray name = k.toLower();
    if (!current->contains(name))
      current->insert(name, valueOf(content, l, eq));
  }
}

QByteArray Profile::find(const QByteArray &section, const QByteArray &key) const {
  const auto s = sections_.constFind(section.toLower());
  if (s == sections_.constEnd())
    return {};
  const auto k = s->constFind(key.toLower());
  return k == s->constEnd() ? QByteArray() : *k;
}

QByteArray replace(const QByteArray &content, const QByteArray &sectionIn, const QByteArray &keyIn,
                   const QByteArray &valueIn) {
  const QByteArray section = clean(sectionIn), key = clean(keyIn).trimmed(), value = clean(valueIn);
  const QByteArray entry = key + '=' + value;
  const QByteArray nl = lineBreakOf(content);
  Lines lines(content);
  Line l;
  bool inSection = false, seenSection = false;
  qsizetype insertAt = -1; // after the last non-blank line of the section
  while (lines.next(l)) {
    const QByteArray s = sectionOf(content, l);
    if (!s.isNull()) {
      if (inSection)
        break;
      inSection = !seenSection && sameName(s, section);
      seenSection = seenSection || inSection;
      if (inSection)
        insertAt = l.next;
      continue;
    }
    if (!inSection)
      continue;
    const QByteArray k = keyOf(content, l);
    if (!k.isNull() && sameName(k, key)) {
      QByteArray out = content;
      out.replace(l.begin, l.end - l.begin, entry);
      return out;
    }
    if (!trimmed(content.constData() + l.begin, content.constData() + l.end).isEmpty())
      insertAt = l.next;
  }
  QByteArray out = content;
  if (seenSection) {
    // The section's last line may lack a line break when it ends the file.
    QByteArray add = entry + nl;
    if (insertAt > 0 && content[insertAt - 1] != '\n' && content[insertAt - 1] != '\r')
      add.prepend(nl);
    out.insert(insertAt, add);
    return out;
  }
  if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
    out += nl;
  out += '[' + section + ']' + nl + entry + nl;
  return out;
}
} // namespace ini

namespace ini {
QByteArray load(const QString &file, bool *ok) {
  *ok = false;
  QFileInfo fi(file);
  if (!fi.exists()) {
    *ok = true; // a missing file is an empty profile
    return {};
  }
  if (!fi.isFile() || fi.size() > ini::maxFileSize)
    return {};
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  // Read what is there (not maxFileSize: that would allocate the whole limit).
  QByteArray data = f.read(fi.size() + 1);
  if (data.size() > ini::maxFileSize)
    return {};
  *ok = true;
  return data;
}

QString valueText(const QByteArray &raw) { return QString::fromUtf8(raw).left(255); }
} // namespace ini

QString Ini_Read(const QString &section, const QString &key, const QString &file) {
  bool ok = false;
  const QByteArray data = ini::load(file, &ok);
  if (!ok || data.isEmpty())
    return QString();
  return ini::valueText(ini::find(data, section.toUtf8(), key.toUtf8()));
}

namespace {
// Makes a missing folder and its missing parents, private to the user (0700, as
// XDG asks of a config folder). A failure shows later as a failed write.
void makeFolder(const QString &dir) {
  if (QFileInfo(dir).isDir())
    return;
  const QString parent = QFileInfo(dir).path();
  if (parent != dir)
    makeFolder(parent);
  QDir().mkdir(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

namespace {
bool reportFailure(const QString &file, const QString &why) {
  static QString last;
  const QString line = QStringLiteral("morvane: cannot save the settings in %1: %2").arg(file, why);
  if (line != last)
    std::fprintf(stderr, "%s\n", qPrintable(line));
  last = line;
  return false;
}
} // namespace

bool Ini_Write(const QString &section, const QString &key, const QString &value,
               const QString &file) {
  // The user's own settings folder is made at the first write, never by a read.
  if (file == iniPath())
    makeFolder(platform().settingsDir());
  bool ok = false;
  const QByteArray old = ini::load(file, &ok);
  if (!ok) // unreadable or not a file: leave it as it is
    return reportFailure(file, QStringLiteral("the file cannot be read, it is left as it is"));
  const QByteArray data = ini::replace(old, section.toUtf8(), key.toUtf8(), value.toUtf8());
  if (data == old && QFileInfo::exists(file))
    return true;
  // A temporary file renamed over the old one: a crash mid-write never leaves half a file.
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly))
    return reportFailure(file, out.errorString());
  if (out.write(data) != data.size()) {
    const QString why = out.errorString();
    out.cancelWriting();
    return reportFailure(file, why);
  }
  // Flush and rename: a full disk often shows only here.
  if (!out.commit())
    return reportFailure(file, out.errorString());
  return true;
}

QString iniPath() { return platform().settingsDir() + QStringLiteral("/Morvane.ini"); }
