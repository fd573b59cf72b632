#pragma once
// Text typed at the pointer in the pen's colour: a caret, new lines and
// deletion, and the input method's preedit shown at the caret. The text is a
// preview on the surface until it ends, as a dragged shape is.

#include "core/surface.h"

#include <QFont>
#include <QRegion>
#include <QString>

class QInputMethodEvent;

class TextEntry {
public:
  bool active() const { return surface_ != nullptr; }
  // Starts at `at` (the top-left of the first line) with a glyph height in pixels.
  QRegion begin(Surface &surface, QPointF at, int pixelSize);
  // Typed text, a new line, a deletion; each returns the pixels to repaint.
  QRegion insert(const QString &text);
  QRegion newLine() { return insert(QStringLiteral("\n")); }
  QRegion backspace();
  QRegion inputMethod(const QInputMethodEvent &e);
  // The pen changed (F1-F9): the text takes its colour.
  QRegion penChanged() { return redraw(); }
  // The text stays in the picture without caret or preedit; an empty text
  // leaves nothing. Returns the pixels to repaint.
  QRegion end();

  const QString &text() const { return text_; }
  // The caret's rectangle in surface pixels (where the input method shows its window).
  QRect caretRect() const;

  // A readable size for a pen `penWidth` wide on a screen of scale `dpr`.
  static int pixelSizeFor(int penWidth, double dpr);

private:
  QRegion redraw();
  QFont font() const;

  Surface *surface_ = nullptr;
  QPointF at_;
  int pixelSize_ = 20;
  QString text_;
  QString preedit_;
  bool showCaret_ = true;
  Picture under_;
  QRegion drawn_;
};
