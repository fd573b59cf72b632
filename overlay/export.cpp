#include "overlay/export.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWidget>

namespace exporting {

QString copyToClipboard(const QImage &picture) {
  QClipboard *clip = QGuiApplication::clipboard();
  if (!clip || picture.isNull())
    return QStringLiteral("クリップボードにコピーできませんでした");
  QImage img = picture;
  img.setDevicePixelRatio(1.0); // the monitor's own pixels
  clip->setImage(img);
  return QStringLiteral("クリップボードにコピーしました");
}

QString defaultFolder() {
  // Qt reads the same user-dirs.dirs as xdg-user-dir and falls back to ~/Pictures.
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty())
    pictures = QDir::home().filePath(QStringLiteral("Pictures"));
  return QDir(pictures).filePath(QStringLiteral("Morvane"));
}

QString defaultName(const QDateTime &when) {
  return QStringLiteral("Morvane_%1.png").arg(when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
}

Result savePng(const QImage &picture, const QString &path) {
  Result r;
  if (picture.isNull()) {
    r.message = QStringLiteral("保存する画像がありません");
    return r;
  }
  QSaveFile file(path);
  QImage img = picture;
  img.setDevicePixelRatio(1.0);
  if (!file.open(QIODevice::WriteOnly)) {
    r.message = QStringLiteral("保存できませんでした: %1").arg(file.errorString());
    return r;
  }
  if (!img.save(&file, "PNG")) {
    file.cancelWriting();
    r.message =
        QStringLiteral("保存できませんでした: %1")
            .arg(file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("PNG"));
    return r;
  }
  // A full disk shows at the commit: the temporary file goes and no half PNG stays.
  if (!file.commit()) {
    r.message = QStringLiteral("保存できませんでした: %1").arg(file.errorString());
    return r;
  }
  r.ok = true;
  r.message = QStringLiteral("保存しました: %1").arg(QDir::toNativeSeparators(path));
  return r;
}

Result saveToPictures(const QImage &picture, const QDateTime &when) {
  const QString folder = defaultFolder();
  if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
    Result r;
    r.message = QStringLiteral("保存できませんでした: フォルダー %1 を作れません")
                    .arg(QDir::toNativeSeparators(folder));
    return r;
  }
  // Two saves in one second keep both pictures.
  QString path = QDir(folder).filePath(defaultName(when));
  for (int i = 2; QFileInfo::exists(path) && i < 1000; ++i)
    path = QDir(folder).filePath(
        defaultName(when).replace(QStringLiteral(".png"), QStringLiteral("_%1.png").arg(i)));
  return savePng(picture, path);
}

} // namespace exporting

Notice::Notice(QWidget *host) : QObject(host), host_(host) {
  timer_.setSingleShot(true);
  timer_.setInterval(1500);
  connect(&timer_, &QTimer::timeout, this, [this] {
    repaint();
    text_.clear();
  });
}

void Notice::show(const QString &text) {
  repaint();
  text_ = text;
  repaint();
  timer_.start();
}

QRect Notice::rect(const QWidget *w) const {
  const QFontMetrics fm(w->font());
  const int pad = fm.height() / 2;
  const int width = fm.horizontalAdvance(text_) + 2 * pad;
  const int height = fm.height() + 2 * pad;
  return QRect((w->width() - width) / 2, w->height() - 3 * height, width, height);
}

void Notice::repaint() const {
  if (text_.isEmpty())
    return;
  // Both the overlay and the board (which covers it) show the notice.
  host_->update(rect(host_));
  for (QWidget *child : host_->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
    if (child->isVisible())
      child->update(rect(host_).translated(-child->pos()));
}

void Notice::paint(QPainter &p, const QWidget *w, const QRect &clip) const {
  if (text_.isEmpty())
    return;
  const QRect r = w == host_ ? rect(host_) : rect(host_).translated(-w->pos());
  if (!r.intersects(clip))
    return;
  p.save();
  p.resetTransform();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 190));
  p.drawRoundedRect(r, 6, 6);
  p.setPen(Qt::white);
  p.setFont(w->font());
  p.drawText(r, Qt::AlignCenter, text_);
  p.restore();
}
