#pragma once
// Loading the settings model from Morvane.ini, and the text forms of its values.

#include <QString>

#include <optional>

// The global key when Morvane.ini names none: no default binding of the common
// desktops, window managers or presentation programs uses it.
constexpr char defaultHotKey[] = "Ctrl+Alt+Shift+D";

// Fills every setting from the file, with defaults for what is missing, and
// computes Tray_X and Tray_Y. Called once at start-up.
void Load_Settings();
// Tray_X, Tray_Y from the primary monitor; again whenever the monitors change.
void Derive_Tray_Point();

namespace settings_text {
// Number text as the runtime accepts it: blanks, optional sign, digits, optional
// fraction. Empty or anything else gives no value.
std::optional<double> toNumber(const QString &text);
// Rounded down (First_Kind, Undo) or to nearest-even (the rest), then range-checked.
std::optional<qint16> floorTo16(const QString &text);
std::optional<qint16> roundTo16(const QString &text);
std::optional<qint32> roundTo32(const QString &text);
// "True"/"False" in any case, or a number (0 false).
std::optional<bool> toBoolean(const QString &text);
// A twips value as the runtime prints it: whole numbers without a fraction.
QString fromSingle(float v);
inline QString fromBoolean(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }
} // namespace settings_text
