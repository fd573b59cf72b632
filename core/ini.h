#pragma once
// The settings file: an INI profile read and written one key at a time, the way
// the platform's profile functions do it. Nothing else in the file is touched.

#include <QByteArray>
#include <QHash>
#include <QString>

// Value text of one key, or "" when the file, the section or the key is missing.
// At most 255 characters come back.
QString Ini_Read(const QString &section, const QString &key, const QString &file);
// Writes one key, creating the file and the section as needed (and, for the
// settings file, its folder). False when the file could not be written: the
// old file is then left whole, and one line on stderr names the file and why
// (once for a run of failures alike, as a save writes many keys).
bool Ini_Write(const QString &section, const QString &key, const QString &value,
               const QString &file);

// App.Path + "\Morvane.ini" where the user can write to the program's folder;
// otherwise the same name in the user's config folder (Platform::settingsDir).
QString iniPath();

namespace ini {
// The in-memory halves of Ini_Read and Ini_Write, for the file's bytes.
// find() returns a null array when the key is absent.
QByteArray find(const QByteArray &content, const QByteArray &section, const QByteArray &key);
QByteArray replace(const QByteArray &content, const QByteArray &section, const QByteArray &key,
                   const QByteArray &value);
// A file parsed once, for reading many keys; answers exactly as find() does.
class Profile {
public:
  explicit Profile(const QByteArray &content);
  QByteArray find(const QByteArray &section, const QByteArray &key) const;

private:
  // Lower-cased section name -> (lower-cased key -> value) of its first occurrence.
  QHash<QByteArray, QHash<QByteArray, QByteArray>> sections_;
};

// The file's bytes; *ok is false when it exists but cannot be used as a profile.
QByteArray load(const QString &file, bool *ok);
// A found value as Ini_Read returns it.
QString valueText(const QByteArray &raw);
// Larger files are left alone: neither read nor rewritten.
constexpr qint64 maxFileSize = 64 * 1024 * 1024;
} // namespace ini
