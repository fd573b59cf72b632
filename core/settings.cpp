#include "core/settings.h"

#include "core/default_pens.h"
#include "core/ini.h"
#include "core/kavrel_b.h"
#include "core/screen.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace settings_text {

std::optional<double> toNumber(const QString &text) {
  const QString t = text.trimmed();
  if (t.isEmpty())
    return std::nullopt;
  int i = 0;
  const int n = int(t.size());
  if (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))
    ++i;
  int digits = 0;
  while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
    ++i;
    ++digits;
  }
  if (i < n && t[i] == QLatin1Char('.')) {
    ++i;
    while (i < n && t[i].isDigit() && t[i].unicode() < 128) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0 || i != n)
    return std::nullopt;
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v))
    return std::nullopt;
  return v;
}

template <typename T> static std::optional<T> inRange(double v) {
  if (v < double(std::numeric_limits<T>::min()) || v > double(std::numeric_limits<T>::max()))
    return std::nullopt;
  return static_cast<T>(v);
}

std::optional<qint16> floorTo16(const QString &text) {
  const auto v = toNumber(text);
  return v ? inRange<qint16>(std::floor(*v)) : std::nullopt;
}

// std::nearbyint rounds an exact half to the even neighbour in the default mode.
std::optional<qint16> roundTo16(const QString &text) {
  const auto v = toNumber(text);
  return v ? inRange<qint16>(std::nearbyint(*v)) : std::nullopt;
}

std::optional<qint32> roundTo32(const QString &text) {
  const auto v = toNumber(text);
  return v ? inRange<qint32>(std::nearbyint(*v)) : std::nullopt;
}

std::optional<bool> toBoolean(const QString &text) {
  const QString t = text.trimmed();
  if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
    return true;
  if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
    return false;
  if (const auto v = toNumber(t))
    return *v != 0.0;
  return std::nullopt;
}

QString fromSingle(float v) {
  if (!std::isfinite(v))
    return QStringLiteral("0");
  // Plain digits only: the reader takes no exponent, so "1e+09" would come back as no value.
  if (v == 0.0f)
    return QStringLiteral("0");
  if (std::floor(v) == v)
    return QString::number(double(v), 'f', 0);
  // Seven significant digits, as a single has, with no trailing zeros.
  const int intDigits = int(std::floor(std::log10(std::fabs(double(v))))) + 1;
  QString s = QString::number(double(v), 'f', std::clamp(7 - intDigits, 0, 45));
  if (s.contains(QLatin1Char('.'))) {
    while (s.endsWith(QLatin1Char('0')))
      s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
      s.chop(1);
  }
  return s;
}
} // namespace settings_text

void Derive_Tray_Point() {
  // Near the bottom-right corner of the primary monitor, wherever that lies.
  Tray_X = (Screen::Left() + Screen::Width()) / Screen::TwipsPerPixelX() - 69.0f;
  Tray_Y = (Screen::Top() + Screen::Height()) / Screen::TwipsPerPixelY() - 24.0f;
}

void Load_Settings() {
  using namespace settings_text;
  // One read of the file serves every key (a damaged file may be large).
  bool ok = false;
  const ini::Profile profile(ini::load(iniPath(), &ok));
  const QString sec = QStringLiteral("Section");
  auto read = [&](const QString &section, const QString &key) {
    return ok ? ini::valueText(profile.find(section.toUtf8(), key.toUtf8())) : QString();
  };

  QString t = read(sec, QStringLiteral("First_Kind"));
  if (t.isEmpty())
    Pen_No = 1;
  else if (auto v = floorTo16(t))
    Pen_No = *v;

  t = read(sec, QStringLiteral("Undo"));
  if (t.isEmpty())
    Undo_Mode = 0;
  else if (auto v = floorTo16(t))
    Undo_Mode = *v;

  t = read(sec, QStringLiteral("Try_Out"));
  if (t.isEmpty())
    Try_Out = false;
  else if (auto v = toBoolean(t))
    Try_Out = *v;

  t = read(sec, QStringLiteral("Form_Left"));
  if (t.isEmpty())
    Form_Left = Screen::Left() + Screen::Width() -
                (21.0f * Screen::TwipsPerPixelX() * Screen::PixelRatio() + 8.0f) - 200.0f;
  else if (auto v = roundTo32(t))
    Form_Left = static_cast<float>(*v);

  t = read(sec, QStringLiteral("Form_Top"));
  if (t.isEmpty())
    Form_Top = Screen::Top() + 200.0f;
  else if (auto v = roundTo32(t))
    Form_Top = static_cast<float>(*v);

  // Only an absent key gets the default: an empty one means no global key.
  const QByteArray hotKey = ok ? profile.find(sec.toUtf8(), "Hot_Key") : QByteArray();
  Hot_Key = hotKey.isNull() ? QString::fromLatin1(defaultHotKey) : ini::valueText(hotKey).trimmed();

  Derive_Tray_Point();

  for (int n = 1; n <= 9; ++n) {
    const QString section = QStringLiteral("F%1").arg(n);
    t = read(section, QStringLiteral("BorderColor%1").arg(n));
    if (t.isEmpty())
      Pen_Color[n] = Line1[n].color;
    else if (auto v = roundTo32(t))
      Pen_Color[n] = *v;

    t = read(section, QStringLiteral("BorderWidth%1").arg(n));
    if (t.isEmpty())
      Pen_Width[n] = Line1[n].width;
    else if (auto v = roundTo16(t))
      Pen_Width[n] = *v;

    t = read(section, QStringLiteral("BorderStyle%1").arg(n));
    if (t.isEmpty())
      Pen_Style[n] = Line1[n].style;
    else if (auto v = roundTo16(t))
      Pen_Style[n] = *v;

    t = read(section, QStringLiteral("DrawMode%1").arg(n));
    if (t.isEmpty())
      Pen_Toimei[n] = defaultToimei(n);
    else if (auto v = roundTo16(t))
      Pen_Toimei[n] = *v;
  }
}
