#include "platform/shortcut/shortcut.h"

#include <cstdio>

namespace shortcut {
void start(const QString &keys, std::function<void()> pressed) {
  if (keys.trimmed().isEmpty())
    return;
  const QKeySequence key = QKeySequence::fromString(keys.trimmed(), QKeySequence::PortableText);
  if (key.count() != 1 || key[0].key() == Qt::Key_unknown) {
    std::fprintf(stderr, "morvane: Hot_Key=%s is not one key combination; no global key\n",
                 qPrintable(keys));
    return;
  }
  // Kept for the whole run: the way owns the grab or the portal session.
  static std::unique_ptr<GlobalShortcut> way;
  for (auto make : {makeX11Grab, makePortal}) {
    way = make();
    if (way->usable()) {
      way->start(key, std::move(pressed));
      return;
    }
  }
  way.reset();
}
} // namespace shortcut
