#pragma once
// Qt's own texts (standard buttons, the context menu of a text field) in the
// program's language.

class QTranslator;

namespace translations {
// Installs Qt's Japanese translation on the application; nullptr when it is
// not installed on this system.
QTranslator *installQtJapanese();
} // namespace translations
