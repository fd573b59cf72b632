#include "overlay/first_paint.h"

#include "core/open_trace.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace first_paint {
namespace {
// Long enough for a compositor to show a 4K window's first frame on two
// busy cores; well before a hand can start a stroke.
constexpr int SettleMs = 250;

const char *const HoldName = "morvane-first-paint-hold";

class Hold : public QObject {
public:
  explicit Hold(QWidget *w) : QObject(w), widget_(w) {
    setObjectName(QLatin1String(HoldName));
    // Disabled updates keep the window's repaint manager from painting and
    // flushing at the exposure; enabling them again repaints everything.
    w->setUpdatesEnabled(false);
    if (QWindow *window = w->windowHandle())
      window->installEventFilter(this);
    else
      QTimer::singleShot(SettleMs, this, [this] { release(); });
  }

  bool eventFilter(QObject *o, QEvent *e) override {
    if (e->type() == QEvent::Expose && !started_ && static_cast<QWindow *>(o)->isExposed()) {
      started_ = true;
      open_trace::mark("exposed");
      QTimer::singleShot(SettleMs, this, [this] { release(); });
    }
    return false;
  }

  void release() {
    if (released_)
      return;
    released_ = true;
    if (widget_) {
      widget_->setUpdatesEnabled(true);
      if (QWindow *window = widget_->windowHandle())
        window->removeEventFilter(this);
    }
    setObjectName(QString()); // no longer found; still the widget's child until it goes
    deleteLater();
  }

private:
  QPointer<QWidget> widget_;
  bool started_ = false;
  bool released_ = false;
};

Hold *holdOf(const QWidget *w) {
  // Only a Hold carries the name.
  return w ? static_cast<Hold *>(
                 w->findChild<QObject *>(QLatin1String(HoldName), Qt::FindDirectChildrenOnly))
           : nullptr;
}
} // namespace

void hold(QWidget *w) {
  if (w && !holdOf(w))
    new Hold(w);
}

void release(QWidget *w) {
  if (Hold *h = holdOf(w))
    h->release();
}

bool held(const QWidget *w) { return holdOf(w) != nullptr; }
} // namespace first_paint
