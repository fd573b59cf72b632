#pragma once
// The settings dialog: edits the nine pens, the start pen and the undo mode,
// and doubles as the reference card of the mouse and keyboard commands.
// kavrel_i.cpp builds and loads it, pen_table.cpp edits the pens, and
// dialog_buttons.cpp saves, restores, helps, cancels and quits.

#include <QDialog>
#include <QPixmap>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class ClickLabel;
class Panel;
class PictureBox;
class PreviewLine;

class Kavrel_I : public QDialog {
  Q_OBJECT
public:
  Kavrel_I();
  ~Kavrel_I() override;

  // Layout and loading.
  void Form_Load();
  void Form_Unload();
  void Tile_Background(Panel *box);
  void Image2_MouseDown(Qt::MouseButton button);
  void Image2_MouseMove();
  void Image2_MouseUp();

  // Pen table and undo option.
  void Cmd_Color_Click(int n);
  void Combo_Width_Click(int n);
  void Combo_Style_Click(int n);
  void Chk_Toimei_MouseDown(int n);
  void F_lbl_MouseDown(int n);
  void Opt_Fst_MouseDown(int n);
  void Opt_Undo_MouseDown(int i);
  void lbl_undo_MouseDown(int i);

  // Buttons.
  void lbl_Button_MouseDown(int i);
  void lbl_Button_MouseUp(int i);
  void Save_Settings();
  void Restore_Defaults();

  // The colour chooser: the chosen colour as 0x00BBGGRR, nothing when cancelled.
  // Tests replace it to script the user's answer.
  std::function<std::optional<qint32>(Kavrel_I *)> chooseColor;
  static std::optional<qint32> runColorDialog(Kavrel_I *owner);

  // Selects entry `index` of a list and fires its handler, as setting the
  // selection in code does; an entry the list does not have is refused.
  bool selectWidth(int n, int index);
  bool selectStyle(int n, int index);

  // Form state.
  qint16 Sel_First = 0;
  qint16 Sel_Undo = 0;
  qint16 Sel_Toimei[10] = {};
  bool Quit_Flag = false;
  bool Drag_On = false;
  int Drag_DX = 0;
  int Drag_DY = 0;

  // Controls, indexed as the form's control arrays; index 0 of the row arrays is unused.
  PictureBox *Image2 = nullptr;
  QLabel *lblTitle = nullptr; // lbl(7)
  PictureBox *ImgExit = nullptr;
  Panel *Pic_C = nullptr;
  Panel *Pic_D = nullptr;
  Panel *Pic_E = nullptr;
  Panel *Pic_F = nullptr;
  PictureBox *Image1 = nullptr;
  PictureBox *Opt_Fst[10] = {};
  ClickLabel *F_lbl[10] = {};
  QPushButton *Cmd_Color[10] = {};
  QComboBox *Combo_Width[10] = {};
  QComboBox *Combo_Style[10] = {};
  PictureBox *Chk_Toimei[10] = {};
  PreviewLine *Line2[10] = {};
  PictureBox *Opt_Undo[2] = {};
  ClickLabel *lbl_undo[2] = {};
  PictureBox *Img_Button[5] = {};
  ClickLabel *lbl_Button[5] = {};

  // Picture stores.
  QImage Pic_Mbl;
  QPixmap Img_On, Img_Off, Img_Opt_On, Img_Opt_Off;
  QPixmap Img_Ra[2];

protected:
  void keyPressEvent(QKeyEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  void showEvent(QShowEvent *e) override;

private:
  friend void Unload_Kavrel_I();
  void buildTitle();
  void buildBody();
  void buildPenTable();
  void buildReference();
  void buildButtons();
  void createRow(int n);
  void connectRow(int n);
  void showColor(int n);
  void unloadForm();
  bool unloading_ = false;
};

// Creates the dialog and runs its Form_Load; it is not shown. Returns the loaded dialog.
Kavrel_I *Load_Kavrel_I();
// Runs Form_Unload and destroys the dialog (once control is back in the event loop).
void Unload_Kavrel_I();
