#include "platform/capture/capture.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>

namespace capture {
namespace {
std::unique_ptr<ScreenCapture> &kept() {
  static std::unique_ptr<ScreenCapture> way;
  return way;
}
Denial denied = Denial::None;
} // namespace

std::vector<std::unique_ptr<ScreenCapture>> candidates() {
  std::vector<std::unique_ptr<ScreenCapture>> all;
  all.push_back(makeX11Shm());
  // The compositor's own copy, in-process, before grim, which makes the same
  // copy in another process and sends it as a file format through a pipe;
  // elsewhere it fails at once (no screencopy offered).
  all.push_back(makeScreencopy());
  // KWin's own copy, raw through a pipe and without the pointer, before its
  // portal, which adds the pointer and a PNG file; elsewhere no such service.
  all.push_back(makeKWin());
  // grim before the portal: on wlroots desktops the portal runs grim itself and
  // adds a PNG file; elsewhere grim fails at once and the portal is kept.
  all.push_back(makeGrim());
  all.push_back(makePortal());
  all.push_back(makeQtGrab());
  const QByteArray forced = qgetenv("MORVANE_CAPTURE");
  std::vector<std::unique_ptr<ScreenCapture>> ways;
  for (auto &w : all)
    if (w->usable() && (forced.isEmpty() || forced == w->name()))
      ways.push_back(std::move(w));
  return ways;
}

QImage grab(const QRect &area, QWidget *cover) {
  QString why;
  QStringList reasons;
  QByteArray failed;
  denied = Denial::None;
  if (kept()) {
    QImage img = cover ? kept()->grabUnder(cover, area, why) : kept()->grab(area, why);
    if (!img.isNull())
      return img;
    // The user said no: another way round the answer would not respect it.
    denied = kept()->denial();
    if (denied != Denial::None) {
      std::fprintf(stderr, "morvane: screen capture failed: %s: %s\n", kept()->name(),
                   qPrintable(why));
      return {};
    }
    // A way that worked can fail later (shared memory used up, a portal gone):
    // the others still get their turn, as at the first capture.
    failed = kept()->name();
    reasons << QStringLiteral("%1: %2").arg(QLatin1String(failed), why);
    kept().reset();
  }
  for (auto &way : candidates()) {
    if (failed == way->name())
      continue;
    why.clear();
    QImage img = cover ? way->grabUnder(cover, area, why) : way->grab(area, why);
    if (!img.isNull()) {
      if (tracing())
        std::fprintf(stderr, "morvane-trace kept-capture %s\n", way->name());
      kept() = std::move(way);
      return img;
    }
    reasons << QStringLiteral("%1: %2").arg(QLatin1String(way->name()), why);
    denied = way->denial();
    if (denied != Denial::None)
      break;
  }
  std::fprintf(stderr, "morvane: screen capture failed: %s\n",
               reasons.isEmpty() ? "no way to capture the screen in this session"
                                 : qPrintable(reasons.join(QStringLiteral("; "))));
  return {};
}

void markUnder(QWidget *cover, const QRegion &spot, QRgb rgb) {
  if (kept() && cover)
    kept()->markUnder(cover, spot, rgb);
}

void completeUnder(QWidget *cover) {
  if (kept() && cover)
    kept()->completeUnder(cover);
}

bool showsUnder(const QWidget *cover) { return kept() && cover && kept()->showsUnder(cover); }

void beforeOwnChange() {
  if (kept()) {
    kept()->beforeOwnChange();
    return;
  }
  auto ways = candidates(); // the first open: the way about to be tried first
  if (!ways.empty())
    ways.front()->beforeOwnChange();
}

bool tracing() {
  static const bool on = [] {
    const char *v = std::getenv("MORVANE_TRACE");
    return v && *v && *v != '0';
  }();
  return on;
}

Denial lastDenial() { return denied; }

QString keptName() { return kept() ? QLatin1String(kept()->name()) : QString(); }

void reset() { kept().reset(); }
} // namespace capture
