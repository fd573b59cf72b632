#pragma once
// The drawing overlay: a full-screen window over a frozen picture of the screen.
// Its content, the clean capture, the last keyboard break and the six undo slots
// are picture surfaces (images); only the board and the colour dot are child widgets.

#include "core/surface.h"
#include "overlay/export.h"
#include "overlay/shapes.h"
#include "overlay/text_entry.h"
#include "platform/platform.h"

#include <QWidget>

class Kavrel_G;

// The colour dot in the top-left corner: round, the current pen's colour, and the
// holder of the keyboard focus. It takes mouse presses and does nothing with them.
class ColorDot : public QWidget {
  Q_OBJECT
public:
  explicit ColorDot(Kavrel_G *owner);
  qint32 backColor() const { return backColor_; }
  void setBackColor(qint32 colorValue);

protected:
  bool event(QEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
  Kavrel_G *owner_;
  qint32 backColor_ = 0;
};

// The plain board: a widget that shows its own surface and passes its mouse
// events to the overlay's board handlers.
class MujiBoard : public QWidget {
  Q_OBJECT
public:
  explicit MujiBoard(Kavrel_G *owner);
  Surface surface;

protected:
  void paintEvent(QPaintEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;

private:
  Kavrel_G *owner_;
};

class Kavrel_G : public QWidget {
  Q_OBJECT
public:
  Kavrel_G();
  ~Kavrel_G() override;

  void Form_Load();
  // Set by Form_Load when the user refused the screen's picture: nothing opens.
  ShotDenial shotDenied() const { return denied_; }

  // Mouse handlers: button 1 left, 2 right, 4 middle; x, y in screen pixels.
  void Form_MouseDown(int button, double x, double y);
  void Form_MouseMove(int button, double x, double y);
  void Form_MouseUp(int button, double x, double y);
  void Pic_Muji_MouseDown(int button, double x, double y);
  void Pic_Muji_MouseMove(int button, double x, double y);
  void Pic_Muji_MouseUp(int button, double x, double y);

  // One key press as a Windows virtual-key code; the shift state does not matter.
  void Form_KeyDown(int keyCode);

  // What was held at the left press that comes next (shapes::kindFor).
  void setPressModifiers(Qt::KeyboardModifiers m) { pressModifiers_ = m; }
  // Keys and input-method events of the dot while text is typed.
  bool typingKey(QKeyEvent *e);
  void inputMethodInput(QInputMethodEvent *e);
  QVariant inputMethodAnswer(Qt::InputMethodQuery query) const;
  bool Shape_Active() const { return shape_.active(); }
  bool Typing() const { return text_.active(); }
  const TextEntry &textEntry() const { return text_; }
  const Notice &notice() const { return *notice_; }

  void Apply_Pen(Surface &surface);
  void Record_Snapshot();
  void Step_Back();
  void Return_To_Resident();

  // The overlay's content and its hidden pictures.
  Surface &form() { return form_; }
  const Surface &Display() const { return display_; }
  const Surface &Pic_Save() const { return picSave_; }
  const Surface &Pic_Dmy(int i) const { return picDmy_[i]; }
  MujiBoard *Pic_Muji() const { return muji_; }
  ColorDot *Pic_Color() const { return dot_; }

  // The monitor the overlay covers, device pixels in desktop coordinates.
  QRect monitor() const { return monitor_; }
  float Scr_Width() const { return scrWidth_; }
  float Scr_Height() const { return scrHeight_; }
  bool Pen_Down() const { return penDown_ != 0; }
  int Muji_Mode() const { return mujiMode_; }
  bool Break_Saved() const { return breakSaved_ != 0; }

  // Qt key to the Windows key code Form_KeyDown expects; 0 for keys it has no use for.
  static int windowsKeyCode(int qtKey);
  // A widget position (logical) to a surface pixel, and a surface rectangle back.
  QPointF toPixels(const QWidget *w, QPointF logical) const;
  QRect toLogical(const QWidget *w, const QRect &pixels) const;

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;
  void keyReleaseEvent(QKeyEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  ShotDenial denied_ = ShotDenial::None;
  friend class ColorDot;              // the dot hands its keys to the overlay (key preview)
  void awaitPixels();                 // the capture's pixels are in the picture
  void showPicture(const Picture &p); // the overlay's Picture, then a full repaint
  void clearStrokes();                // right or middle press
  void clearAll();                    // Delete with the board off
  void keyboardBreak();
  void mujiOn();
  void mujiOff();
  void clearBoard();
  // Shapes, text and export: the drawing happens in shapes.*, text_entry.* and export.*.
  Surface &drawingSurface() { return mujiMode_ ? muji_->surface : form_; }
  QWidget *drawingWidget() { return mujiMode_ ? static_cast<QWidget *>(muji_) : this; }
  void repaintPixels(QWidget *w, const QRegion &pixels);
  bool beginShape(double x, double y);
  void endShape();  // the shape stays as it is now: one drag for the ring
  void startText(); // T: at the pointer
  void endText();
  void endShapeOrText();
  bool exportKey(QKeyEvent *e);

  Surface form_;
  Surface display_;
  Surface picSave_;
  Surface picDmy_[7]; // 1..6 used
  MujiBoard *muji_ = nullptr;
  ColorDot *dot_ = nullptr;

  void Monitors_Changed();

  QRect monitor_;
  float scrWidth_ = 0;
  float scrHeight_ = 0;
  qint16 penDown_ = 0;
  qint16 mujiMode_ = 0;
  qint16 breakSaved_ = 0;
  shapes::Preview shape_;
  TextEntry text_;
  QWidget *editHost_ = nullptr; // the widget showing the shape or text
  Notice *notice_ = nullptr;
  Qt::KeyboardModifiers pressModifiers_;
  bool tabHeld_ = false;
  bool swallowRelease_ = false; // the press ended text, or a key ended the shape
  bool framed_ = false;         // the first frame has been painted (for the open trace)
  bool painted_ = false;        // the window has been painted once since it was created
};
