#pragma once
// The settings dialog: edits the pens, the start pen and the undo mode.

#include <QDialog>

class Kavrel_I : public QDialog {
  Q_OBJECT
public:
  Kavrel_I();
  ~Kavrel_I() override;
  void Form_Load();
};
