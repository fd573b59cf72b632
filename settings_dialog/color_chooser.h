#pragma once
// The pen colour chooser: the basic colours and sixteen custom colours to pick
// from, OK and Cancel. It offers no way to define other colours, and keeps
// nothing after it closes.

#include <QAbstractButton>
#include <QColor>
#include <QDialog>
#include <QList>

// One colour box; checked when it is the chosen colour.
class ColorSwatch : public QAbstractButton {
  Q_OBJECT
public:
  ColorSwatch(const QColor &color, QWidget *parent);
  QColor color() const { return color_; }
  QSize sizeHint() const override { return {22, 18}; }

protected:
  void paintEvent(QPaintEvent *) override;

private:
  QColor color_;
};

class ColorChooser : public QDialog {
  Q_OBJECT
public:
  // `custom` holds the sixteen custom colours, in order.
  ColorChooser(QWidget *owner, const QList<QColor> &custom);

  // The chosen colour; black until the user picks another.
  QColor selectedColor() const;
  const QList<ColorSwatch *> &basicSwatches() const { return basic_; }
  const QList<ColorSwatch *> &customSwatches() const { return custom_; }
  QAbstractButton *okButton() const { return ok_; }
  QAbstractButton *cancelButton() const { return cancel_; }

private:
  QList<ColorSwatch *> basic_;
  QList<ColorSwatch *> custom_;
  QAbstractButton *ok_ = nullptr;
  QAbstractButton *cancel_ = nullptr;
};
