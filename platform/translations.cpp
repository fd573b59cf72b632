#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace translations {
QTranslator *installQtJapanese() {
  auto *t = new QTranslator(QCoreApplication::instance());
  // Japanese whatever the session's locale: every text of the program is.
  if (!t->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(t)) {
    delete t;
    return nullptr;
  }
  return t;
}
} // namespace translations
