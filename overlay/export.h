#pragma once
// Keeping the annotated picture: the clipboard, a PNG in the Pictures folder
// or where a dialog says, and the short notice of what was done.

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

class QPainter;
class QWidget;

namespace exporting {

// Puts the picture on the clipboard as an image at its own pixels.
QString copyToClipboard(const QImage &picture);

// `Pictures/Morvane` of the user: the folder of XDG_PICTURES_DIR in the user's
// folder list (what xdg-user-dir reads), else ~/Pictures.
QString defaultFolder();
QString defaultName(const QDateTime &when);

struct Result {
  bool ok = false;
  QString message; // what was done, or why it failed
};
// Writes a PNG through a temporary file: a failed write leaves no file behind
// and an existing file stays as it was.
Result savePng(const QImage &picture, const QString &path);
// Saves into the default folder under a new name.
Result saveToPictures(const QImage &picture, const QDateTime &when = QDateTime::currentDateTime());

} // namespace exporting

// A message drawn on the overlay for about 1.5 s; never in the picture.
class Notice : public QObject {
public:
  explicit Notice(QWidget *host);
  void show(const QString &text);
  bool visible() const { return !text_.isEmpty(); }
  const QString &text() const { return text_; }
  // Paints the notice over widget w (logical coordinates), if it meets `clip`.
  void paint(QPainter &p, const QWidget *w, const QRect &clip) const;

private:
  QRect rect(const QWidget *w) const;
  void repaint() const;

  QWidget *host_;
  QString text_;
  QTimer timer_;
};
