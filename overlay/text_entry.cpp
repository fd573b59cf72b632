#include "overlay/text_entry.h"

#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QPainter>

QRegion TextEntry::begin(Surface &surface, QPointF at, int pixelSize) {
  surface_ = &surface;
  at_ = at;
  pixelSize_ = qMax(6, pixelSize);
  text_.clear();
  preedit_.clear();
  showCaret_ = true;
  under_ = surface.image();
  drawn_ = QRegion();
  return redraw();
}

QRegion TextEntry::insert(const QString &text) {
  if (!active() || text.isEmpty())
    return {};
  text_ += text;
  return redraw();
}

QRegion TextEntry::backspace() {
  if (!active() || text_.isEmpty())
    return {};
  // A surrogate pair is one character.
  int n = 1;
  if (text_.size() >= 2 && text_.back().isLowSurrogate() &&
      text_.at(text_.size() - 2).isHighSurrogate())
    n = 2;
  text_.chop(n);
  return redraw();
}

QRegion TextEntry::inputMethod(const QInputMethodEvent &e) {
  if (!active())
    return {};
  if (e.replacementLength() > 0 || e.replacementStart() < 0) {
    // Replacing before the caret: only the part that exists goes.
    const qsizetype start = qBound<qsizetype>(0, text_.size() + e.replacementStart(), text_.size());
    text_.remove(start, qMin<qsizetype>(e.replacementLength(), text_.size() - start));
  }
  text_ += e.commitString();
  preedit_ = e.preeditString();
  return redraw();
}

QRegion TextEntry::end() {
  if (!active())
    return {};
  preedit_.clear();
  showCaret_ = false;
  QRegion dirty = redraw();
  if (text_.isEmpty()) // nothing typed: the picture is as it was
    surface_->restoreFrom(under_, drawn_);
  surface_ = nullptr;
  under_ = Picture();
  drawn_ = QRegion();
  return dirty;
}

int TextEntry::pixelSizeFor(int penWidth, double dpr) {
  const double scale = dpr > 0 ? dpr : 1.0;
  return qBound(8, int((16 + 2 * qBound(1, penWidth, 64)) * scale), 400);
}

QFont TextEntry::font() const {
  QFont f;
  f.setPixelSize(pixelSize_);
  // Hard edges like the pen's: no blend of colours in the picture.
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

QRect TextEntry::caretRect() const {
  const QFontMetrics fm(font());
  const QStringList lines = (text_ + preedit_).split(QLatin1Char('\n'));
  const int x = int(at_.x()) + fm.horizontalAdvance(lines.back());
  const int y = int(at_.y()) + fm.lineSpacing() * int(lines.size() - 1);
  return QRect(x, y, qMax(2, pixelSize_ / 12), fm.height());
}

QRegion TextEntry::redraw() {
  if (!active())
    return {};
  const QRegion old = drawn_;
  surface_->restoreFrom(under_, drawn_);
  const QFont f = font();
  const QFontMetrics fm(f);
  const QStringList lines = text_.split(QLatin1Char('\n'));
  const QRect caret = caretRect();
  // Everything the text, preedit and caret can cover, with room for overhangs.
  QRect area = caret;
  {
    const QStringList all = (text_ + preedit_).split(QLatin1Char('\n'));
    for (int i = 0; i < all.size(); ++i)
      area |= QRect(int(at_.x()), int(at_.y()) + fm.lineSpacing() * i,
                    fm.horizontalAdvance(all.at(i)) + 1, fm.height());
  }
  area.adjust(-pixelSize_ / 2, -2, pixelSize_ / 2, 2);
  const QRgb color = resolveColor(surface_->foreColor());
  drawn_ = surface_->drawIn(area, [&](QPainter &p) {
    // A highlighter pen writes opaque text: readable over anything.
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setFont(f);
    p.setPen(QColor(color));
    for (int i = 0; i < lines.size(); ++i)
      p.drawText(QPointF(at_.x(), at_.y() + fm.ascent() + fm.lineSpacing() * i), lines.at(i));
    if (!preedit_.isEmpty()) {
      const int y = int(at_.y()) + fm.lineSpacing() * int(lines.size() - 1);
      const int x = int(at_.x()) + fm.horizontalAdvance(lines.back());
      p.drawText(QPointF(x, y + fm.ascent()), preedit_);
      // The composition is underlined, as input methods show it elsewhere.
      p.fillRect(QRect(x, y + fm.ascent() + 2, fm.horizontalAdvance(preedit_), 1), QColor(color));
    }
    if (showCaret_)
      p.fillRect(caret, QColor(color));
  });
  return old + drawn_;
}
