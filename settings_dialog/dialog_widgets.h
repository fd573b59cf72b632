#pragma once
// The small controls the settings dialog is built from: pictures and labels
// that answer every mouse button, panels that keep what is painted on them,
// and the preview line of a pen row.

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

// An image control: shows one picture, optionally stretched to its size.
class PictureBox : public QWidget {
  Q_OBJECT
public:
  explicit PictureBox(QWidget *parent, bool stretch = false);
  void setPicture(const QPixmap &p);
  QPixmap picture() const { return picture_; }

signals:
  void mouseDown(Qt::MouseButton button);
  void mouseMove();
  void mouseUp(Qt::MouseButton button);

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  QPixmap picture_;
  bool stretch_;
};

// A transparent label that reports presses and releases of any button. The
// release goes to the label that took the press, wherever the pointer is then.
class ClickLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;

signals:
  void mouseDown(Qt::MouseButton button);
  void mouseUp(Qt::MouseButton button);

protected:
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
};

// A picture box with a persistent image: what is painted at load survives repaints.
class Panel : public QWidget {
  Q_OBJECT
public:
  explicit Panel(QWidget *parent);
  // The persistent image, always the panel's size (a hidden panel gets no resize events).
  QImage &image();
  // A thin sunken edge drawn over the image, as a bordered box has.
  void setFramed(bool on) { framed_ = on; }

protected:
  void paintEvent(QPaintEvent *e) override;

private:
  QImage image_;
  bool framed_ = false;
};

// The preview line of a pen row. It holds the row's working colour, width and
// style; a value the line cannot take is refused and the old one kept.
class PreviewLine : public QWidget {
  Q_OBJECT
public:
  // The line runs from (x1, y) to (x2, y) in the parent's coordinates.
  PreviewLine(QWidget *parent, int x1, int x2, int y);

  int x1() const { return x1_; }
  int x2() const { return x2_; }
  int y() const { return y_; }
  void setY(int y);

  qint32 borderColor() const { return color_; }
  bool setBorderColor(qint32 colorValue); // 0x00BBGGRR or a system colour 0x80000000 + 0..30
  int borderWidth() const { return width_; }
  bool setBorderWidth(int w); // 1..32767
  int borderStyle() const { return style_; }
  bool setBorderStyle(int s); // 1..5

protected:
  void paintEvent(QPaintEvent *) override;

private:
  void place();
  int x1_, x2_, y_;
  qint32 color_ = 0;
  int width_ = 1;
  int style_ = 1;
};
