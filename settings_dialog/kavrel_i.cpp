#include "settings_dialog/kavrel_i.h"

#include "core/forms.h"
#include "core/kavrel_b.h"
#include "core/screen.h"
#include "core/window_helpers.h"
#include "platform/platform.h"
#include "resources/dialog_art.h"
#include "resources/dialog_captions.h"
#include "resources/resources.h"
#include "settings_dialog/dialog_widgets.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace cap = captions::dialog;
namespace art = resources::dialog;

namespace {
Kavrel_I *instance = nullptr;

constexpr int rowStep = 24;

// A label of the form: transparent, 13 px high, as wide as its text unless given.
template <class L = QLabel>
L *label(QWidget *parent, const QString &text, int x, int y, int w = -1,
         Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter, QColor color = Qt::black) {
  auto *l = new L(text, parent);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, color);
  l->setPalette(pal);
  l->setAlignment(align);
  if (w < 0)
    w = l->fontMetrics().horizontalAdvance(text) + 2;
  l->setGeometry(x, y, w, 13);
  return l;
}

PictureBox *picture(QWidget *parent, const QPixmap &p, const QRect &r, bool stretch = false) {
  auto *b = new PictureBox(parent, stretch);
  b->setGeometry(r);
  b->setPicture(p);
  return b;
}
} // namespace

Kavrel_I *kavrelI() { return instance; }

Kavrel_I *Load_Kavrel_I() {
  if (!instance) {
    instance = new Kavrel_I;
    instance->Form_Load();
  }
  return instance;
}

void Unload_Kavrel_I() {
  Kavrel_I *dlg = instance;
  if (!dlg)
    return;
  instance = nullptr;
  dlg->unloadForm();
}

void Show_Kavrel_I_Modal() {
  if (instance)
    return;
  QPointer<Kavrel_I> dlg = Load_Kavrel_I();
  dlg->exec();
  // Only the buttons unload the dialog; anything else that ended the loop unloads it here.
  if (dlg && instance == dlg)
    Unload_Kavrel_I();
  delete dlg.data();
}

Kavrel_I::Kavrel_I() : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint) {
  setWindowTitle(cap::title());
  setWindowIcon(resources::programIcon());
  setModal(true);
  QFont f;
  // The Windows font where it exists, else a Japanese proportional font of the same size.
  f.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                 QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")});
  f.setPointSize(9);
  setFont(f);

  Pic_Mbl = art::backgroundTile().toImage().convertToFormat(QImage::Format_RGB32);
  Img_On = art::buttonPressed();
  Img_Off = art::buttonNormal();
  Img_Opt_On = art::radioOn();
  Img_Opt_Off = art::radioOff();
  Img_Ra[0] = art::checkOff();
  Img_Ra[1] = art::checkOn();

  chooseColor = &Kavrel_I::runColorDialog;

  buildTitle();
  buildBody();
  buildPenTable();
  buildReference();
  buildButtons();
}

Kavrel_I::~Kavrel_I() {
  if (instance == this)
    instance = nullptr;
}

void Kavrel_I::buildTitle() {
  Image2 = picture(this, art::titleStrip(), QRect(0, 0, 729, 22), true);
  connect(Image2, &PictureBox::mouseDown, this, &Kavrel_I::Image2_MouseDown);
  connect(Image2, &PictureBox::mouseMove, this, &Kavrel_I::Image2_MouseMove);
  connect(Image2, &PictureBox::mouseUp, this, [this] { Image2_MouseUp(); });
  lblTitle = label(this, cap::titleLine(), 8, 4, 311, Qt::AlignLeft | Qt::AlignVCenter, Qt::white);
  // The title sits on the drag handle; let the presses through to it.
  lblTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
  ImgExit = picture(this, art::exitGlyph(), QRect(708, 4, 15, 15));
  ImgExit->setToolTip(cap::exitTip());
}

void Kavrel_I::buildBody() {
  Pic_C = new Panel(this);
  Pic_C->setGeometry(0, 20, 729, 377);
  picture(Pic_C, art::bullet(), QRect(16, 14, 11, 11));
  label(Pic_C, cap::penHeading(), 32, 12);
  Pic_D = new Panel(Pic_C);
  Pic_D->setGeometry(16, 32, 425, 289);
  picture(Pic_C, art::bullet(), QRect(456, 14, 11, 11));
  QLabel *heading = label(Pic_C, cap::freehandHeading(), 472, 12, 219);
  // The pointer picture stands in the heading's three blanks; with a fallback
  // font they are not where the designed font puts them, so follow the text.
  const QString text = cap::freehandHeading();
  const int gap = text.indexOf(QStringLiteral("　　　"));
  const QFontMetrics fm = heading->fontMetrics();
  const int gapX = heading->x() + 1 + fm.horizontalAdvance(text.left(gap));
  const int gapW = fm.horizontalAdvance(QStringLiteral("　　　"));
  picture(Pic_C, resources::pointingHand(), QRect(gapX + (gapW - 33) / 2, 4, 33, 29), true);
  Pic_E = new Panel(Pic_C);
  Pic_E->setGeometry(456, 32, 253, 193);
  Image1 = picture(Pic_C, art::decoration(), QRect(540, 240, 170, 29));
  picture(Pic_C, art::bullet(), QRect(456, 254, 11, 11));
  label(Pic_C, cap::trayHeading(), 472, 252);
  Pic_F = new Panel(Pic_C);
  Pic_F->setGeometry(456, 272, 253, 49);
  for (Panel *p : {Pic_D, Pic_E, Pic_F})
    p->setFramed(true);
}

void Kavrel_I::buildPenTable() {
  const Qt::Alignment centre = Qt::AlignCenter;
  label(Pic_D, cap::colColor(), 76, 8, 21, centre);
  label(Pic_D, cap::colWidth(), 108, 8, 29, centre);
  label(Pic_D, cap::colStyle(), 160, 8, 57, centre);
  label(Pic_D, cap::colToimei(), 232, 8, 40, centre);
  label(Pic_D, cap::colImage(), 272, 8, 133, centre);

  // Row 1 as designed; rows 2..9 are copied from it at load.
  Opt_Fst[1] = picture(Pic_D, art::radioOff(), QRect(12, 32, 13, 13));
  F_lbl[1] = label<ClickLabel>(Pic_D, cap::firstPenLabel(), 32, 32, 34);
  Cmd_Color[1] = new QPushButton(cap::colorButton(), Pic_D);
  Cmd_Color[1]->setGeometry(72, 28, 25, 21);
  Combo_Width[1] = new QComboBox(Pic_D);
  Combo_Width[1]->setGeometry(108, 28, 41, 21);
  Combo_Style[1] = new QComboBox(Pic_D);
  Combo_Style[1]->setGeometry(160, 28, 77, 21);
  Chk_Toimei[1] = picture(Pic_D, art::checkOff(), QRect(248, 32, 12, 12));
  Line2[1] = new PreviewLine(Pic_D, 272, 404, 36);
  connectRow(1);

  label(Pic_D, cap::upArrow(), 12, 244, 13, Qt::AlignCenter);
  picture(Pic_D, art::bullet(), QRect(12, 262, 11, 11));
  label(Pic_D, cap::startNote(), 28, 260, 296);
}

void Kavrel_I::connectRow(int n) {
  connect(Opt_Fst[n], &PictureBox::mouseDown, this, [this, n] { Opt_Fst_MouseDown(n); });
  connect(F_lbl[n], &ClickLabel::mouseDown, this, [this, n] { F_lbl_MouseDown(n); });
  connect(Cmd_Color[n], &QPushButton::clicked, this, [this, n] { Cmd_Color_Click(n); });
  connect(Combo_Width[n], qOverload<int>(&QComboBox::activated), this,
          [this, n] { Combo_Width_Click(n); });
  connect(Combo_Style[n], qOverload<int>(&QComboBox::activated), this,
          [this, n] { Combo_Style_Click(n); });
  connect(Chk_Toimei[n], &PictureBox::mouseDown, this, [this, n] { Chk_Toimei_MouseDown(n); });
  // Enter must not press the colour buttons.
  Cmd_Color[n]->setAutoDefault(false);
  Cmd_Color[n]->setDefault(false);
}

// A copy of element n - 1 of each row array, 24 px lower.
void Kavrel_I::createRow(int n) {
  const int p = n - 1;
  auto below = [](QWidget *w) { return w->geometry().translated(0, rowStep); };
  Opt_Fst[n] = picture(Pic_D, Opt_Fst[p]->picture(), below(Opt_Fst[p]));
  F_lbl[n] = new ClickLabel(QString(), Pic_D);
  F_lbl[n]->setPalette(F_lbl[p]->palette());
  F_lbl[n]->setAlignment(F_lbl[p]->alignment());
  F_lbl[n]->setGeometry(below(F_lbl[p]));
  F_lbl[n]->setText(cap::penLabel(n));
  Cmd_Color[n] = new QPushButton(Cmd_Color[p]->text(), Pic_D);
  Cmd_Color[n]->setGeometry(below(Cmd_Color[p]));
  Cmd_Color[n]->setStyleSheet(Cmd_Color[p]->styleSheet());
  Combo_Width[n] = new QComboBox(Pic_D);
  Combo_Width[n]->setGeometry(below(Combo_Width[p]));
  Combo_Style[n] = new QComboBox(Pic_D);
  Combo_Style[n]->setGeometry(below(Combo_Style[p]));
  Chk_Toimei[n] = picture(Pic_D, Chk_Toimei[p]->picture(), below(Chk_Toimei[p]));
  Line2[n] = new PreviewLine(Pic_D, Line2[p]->x1(), Line2[p]->x2(), Line2[p]->y() + rowStep);
  Line2[n]->setBorderColor(Line2[p]->borderColor());
  Line2[n]->setBorderWidth(Line2[p]->borderWidth());
  Line2[n]->setBorderStyle(Line2[p]->borderStyle());
  connectRow(n);
  for (QWidget *w : {static_cast<QWidget *>(Opt_Fst[n]), static_cast<QWidget *>(F_lbl[n]),
                     static_cast<QWidget *>(Cmd_Color[n]), static_cast<QWidget *>(Combo_Width[n]),
                     static_cast<QWidget *>(Combo_Style[n]), static_cast<QWidget *>(Chk_Toimei[n]),
                     static_cast<QWidget *>(Line2[n])})
    w->show();
}

void Kavrel_I::buildReference() {
  const QColor mouseColor(0, 128, 128), keyColor(128, 0, 128);
  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  // Bracketed labels end just before the description column.
  auto bracket = [&](QWidget *panel, const QString &text, int descX, int y, QColor c) {
    label(panel, text, 42, y, descX - 4 - 42, right, c);
  };

  label(Pic_E, cap::mouse(), 8, 4);
  picture(Pic_E, art::mouseIcon(), QRect(8, 20, 32, 32));
  bracket(Pic_E, cap::drag(), 128, 20, mouseColor);
  label(Pic_E, cap::freeLine(), 128, 20);
  bracket(Pic_E, cap::rightClick(), 128, 36, mouseColor);
  label(Pic_E, cap::clearAll(), 128, 36);

  label(Pic_E, cap::keyboard(), 8, 68);
  picture(Pic_E, art::keyboardIcon(), QRect(8, 84, 32, 32));
  bracket(Pic_E, cap::space(), 128, 84, keyColor);
  label(Pic_E, cap::endFreehand(), 128, 84);
  bracket(Pic_E, cap::del(), 128, 100, keyColor);
  label(Pic_E, cap::clearAll(), 128, 100);
  bracket(Pic_E, cap::esc(), 128, 116, keyColor);
  label(Pic_E, cap::quitApp(), 128, 116);
  bracket(Pic_E, cap::left(), 128, 132, keyColor);
  label(Pic_E, cap::undo(), 128, 132);

  label(Pic_E, cap::undoBreak(), 72, 160, 73, right);
  for (int i = 0; i < 2; ++i) {
    Opt_Undo[i] = picture(Pic_E, art::radioOff(), QRect(152, 152 + 16 * i, 13, 13));
    lbl_undo[i] =
        label<ClickLabel>(Pic_E, i == 0 ? cap::oneDrag() : cap::rightKey(), 172, 152 + 16 * i);
    connect(Opt_Undo[i], &PictureBox::mouseDown, this, [this, i] { Opt_Undo_MouseDown(i); });
    connect(lbl_undo[i], &ClickLabel::mouseDown, this, [this, i] { lbl_undo_MouseDown(i); });
  }

  picture(Pic_F, resources::pointingHand(), QRect(8, 4, 32, 32));
  bracket(Pic_F, cap::rightClick(), 112, 8, mouseColor);
  label(Pic_F, cap::popupMenu(), 112, 8);
  bracket(Pic_F, cap::leftClick(), 112, 24, mouseColor);
  label(Pic_F, cap::freehand(), 112, 24);
}

void Kavrel_I::buildButtons() {
  const QStringList texts = cap::buttons();
  for (int i = 0; i < 5; ++i) {
    const int x = 16 + 140 * i;
    Img_Button[i] = picture(Pic_C, Img_Off, QRect(x, 332, 133, i == 0 ? 21 : 20));
    lbl_Button[i] = label<ClickLabel>(Pic_C, texts[i], x, 336, 133, Qt::AlignCenter);
    connect(lbl_Button[i], &ClickLabel::mouseDown, this, [this, i] { lbl_Button_MouseDown(i); });
    connect(lbl_Button[i], &ClickLabel::mouseUp, this, [this, i] { lbl_Button_MouseUp(i); });
  }
}

void Kavrel_I::Form_Load() {
  // 1.
  Drag_On = false;
  // 2, 3. Client size from the body panel, centred on the primary monitor (in
  // twips, as integer halves). The layout is in logical pixels: a scaled desktop
  // makes each of them `ratio` device pixels wide.
  const float tx = Screen::TwipsPerPixelX(), ty = Screen::TwipsPerPixelY();
  const float ratio = Screen::PixelRatio();
  setFixedSize(Pic_C->width(), Pic_C->height() + 20);
  const int wTw = int(float(width()) * ratio * tx);
  const int hTw = int(float(height()) * ratio * ty);
  // A monitor too small for the dialog keeps its title strip, the drag handle, on screen.
  const int leftTw = int(Screen::Left()) + std::max(0, (int(Screen::Width()) - wTw) / 2);
  const int topTw = int(Screen::Top()) + std::max(0, (int(Screen::Height()) - hTw) / 2);
  const QPoint corner(qRound(leftTw / tx), qRound(topTw / ty));
  move(platform().toLogical(QRect(corner, platform().toPixels(rect()).size())).topLeft());
  // 4.
  for (Panel *p : {Pic_C, Pic_D, Pic_E, Pic_F})
    Tile_Background(p);
  // 5.
  for (int n = 2; n <= 9; ++n)
    createRow(n);
  // 6, 7.
  for (int n = 1; n <= 9; ++n)
    Opt_Fst[n]->setPicture(Img_Opt_Off);
  for (int i = 0; i < 5; ++i)
    Img_Button[i]->setPicture(Img_Off);
  // 8.
  for (int n = 1; n <= 9; ++n) {
    Combo_Width[n]->clear();
    for (int w = 1; w <= 20; ++w)
      Combo_Width[n]->addItem(QString::number(w));
    selectWidth(n, 0);
    Combo_Style[n]->clear();
    Combo_Style[n]->addItems(cap::styles());
    selectStyle(n, 0);
  }
  // 9.
  if (Pen_No >= 1 && Pen_No <= 9)
    Opt_Fst[Pen_No]->setPicture(Img_Opt_On);
  Sel_First = Pen_No;
  // 10.
  if (Undo_Mode == 0 || Undo_Mode == 1) {
    Opt_Undo[Undo_Mode]->setPicture(Img_Opt_On);
    Opt_Undo[1 - Undo_Mode]->setPicture(Img_Opt_Off);
  }
  Sel_Undo = Undo_Mode;
  // 11. A stored value a control cannot take leaves that control as it was.
  for (int n = 1; n <= 9; ++n) {
    if (Line2[n]->setBorderColor(Pen_Color[n]))
      showColor(n);
    Line2[n]->setBorderWidth(Pen_Width[n]);
    Line2[n]->setBorderStyle(Pen_Style[n]);
    selectWidth(n, Line2[n]->borderWidth() - 1);
    selectStyle(n, Line2[n]->borderStyle() - 1);
    if (Line2[n]->borderWidth() != 1) {
      Combo_Style[n]->setEnabled(false);
      selectStyle(n, 0);
    } else {
      Combo_Style[n]->setEnabled(true);
    }
    if (Pen_Toimei[n] == 0 || Pen_Toimei[n] == 1)
      Chk_Toimei[n]->setPicture(Img_Ra[Pen_Toimei[n]]);
    Sel_Toimei[n] = Pen_Toimei[n];
  }
  // 12.
  Quit_Flag = false;
  Icon_Enabled = false;
  // 13. Zoom from the floating icon's corner, or from the tray.
  if (Try_Out) {
    Zoom_X = twipsOr0(Form_Left) / tx;
    Zoom_Y = twipsOr0(Form_Top) / ty;
  } else {
    Zoom_X = Tray_X;
    Zoom_Y = Tray_Y;
  }
  // 14, 15.
  Zoom_Open(this);
  Screen::setMousePointer(0);
}

void Kavrel_I::Tile_Background(Panel *box) {
  if (!box || Pic_Mbl.isNull())
    return;
  QPainter g(&box->image());
  g.setCompositionMode(QPainter::CompositionMode_Source);
  const int tw = Pic_Mbl.width(), th = Pic_Mbl.height();
  for (int x = 0; x <= box->width(); x += tw)
    for (int y = 0; y <= box->height(); y += th)
      g.drawImage(x, y, Pic_Mbl);
  box->update();
}

void Kavrel_I::Image2_MouseDown(Qt::MouseButton button) {
  if (button != Qt::LeftButton)
    return;
  Drag_On = true;
  const QPoint c = platform().cursorPos();
  Drag_DX = c.x() - x();
  Drag_DY = c.y() - y();
}

void Kavrel_I::Image2_MouseMove() {
  if (!Drag_On)
    return;
  const QPoint c = platform().cursorPos();
  move(c.x() - Drag_DX, c.y() - Drag_DY);
}

void Kavrel_I::Image2_MouseUp() { Drag_On = false; }

void Kavrel_I::Form_Unload() {
  if (Quit_Flag) {
    // The button's place in the dialog's logical pixels, to screen pixels.
    const QRect r = windowRect(this);
    const double k = platform().devicePixelRatio();
    platform().animateRects(r, QRect(r.left() + qRound(576 * k), r.top() + qRound(332 * k),
                                     qRound(133 * k), qRound(29 * k)));
  } else {
    Zoom_Close(this);
  }
  Icon_Enabled = true;
}

void Kavrel_I::unloadForm() {
  unloading_ = true;
  Form_Unload();
  done(0);
  deleteLater();
}

void Kavrel_I::keyPressEvent(QKeyEvent *e) {
  // The buttons have no keyboard equivalent: Enter and Esc do nothing here.
  switch (e->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
    e->accept();
    return;
  default:
    QDialog::keyPressEvent(e);
  }
}

void Kavrel_I::closeEvent(QCloseEvent *e) {
  // Closed only through its buttons.
  if (!unloading_)
    e->ignore();
}

void Kavrel_I::showEvent(QShowEvent *e) {
  QDialog::showEvent(e);
  platform().skipTaskbar(this);
}
