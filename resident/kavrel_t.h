#pragma once
// The floating desktop icon: a small round always-on-top window that the user
// drags, double-clicks to draw and right-clicks for its menu.

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QWidget>

#include <functional>

class QMenu;
class QTimer;
class Kavrel_T;

// The light-grey face of the icon; the only part that answers the mouse.
class Pic_B_Face : public QWidget {
  Q_OBJECT
public:
  Pic_B_Face(Kavrel_T *form);
  QImage Image; // persistent picture, shown by paintEvent

protected:
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
  Kavrel_T *form_;
};

class Kavrel_T : public QWidget {
  Q_OBJECT
public:
  Kavrel_T();
  ~Kavrel_T() override;

  void Form_Load();

  // Mouse handlers of the face; button 1 left, 2 right.
  void Pic_B_MouseDown(int button, const QPoint &globalPos);
  void Pic_B_MouseMove(const QPoint &globalPos, Qt::MouseButtons held);
  void Pic_B_MouseUp(int button);
  void Pic_B_DblClick();
  void Timer1_Timer();

  // Window position and size in twips, as the rest of the program counts them.
  // The position follows the window's whole pixels; the size is the exact twips value.
  float Left() const;
  float Top() const;
  float Width() const { return width_; }
  float Height() const { return height_; }
  void setLeft(float twips);
  void setTop(float twips);

  // Keeps the window wholly on the monitor that holds most of it, or on the
  // primary when none holds any (top, left, bottom, right, in that order).
  void Keep_On_Screen();
  // The window in device pixels, desktop coordinates.
  QRect pixelRect() const;

  Pic_B_Face *Pic_B() const { return pic_b_; }
  QTimer *Timer1() const { return timer1_; }
  // The 36 x 36 source picture of the scaled icon; never shown.
  const QImage &Pic_Org() const { return pic_org_; }
  // Where the floating menu opens; at the pointer by default. Tests replace it.
  std::function<void(QMenu *)> popupMenu;

  // Round outline of a box of w x h pixels, built row by row so that it is symmetric.

private:
  void Icon_Drag(const QPoint &globalPos);
  void End_Drag();
  void moveToPixels(const QPoint &topLeft);
  void Monitors_Changed();

  // Pressed: the left button is down and the pointer has not yet travelled.
  enum class Drag { None, Pressed, System, Manual };
  Drag drag_ = Drag::None;
  QPoint pressGlobal_;
  QPoint pressWindowPos_;
  float width_ = 0;
  float height_ = 0;
  Pic_B_Face *pic_b_ = nullptr;
  QTimer *timer1_ = nullptr;
  QImage pic_org_;
};
