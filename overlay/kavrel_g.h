#pragma once
// The drawing overlay: a full-screen window over a frozen picture of the screen.

#include <QWidget>

class Kavrel_G : public QWidget {
  Q_OBJECT
public:
  Kavrel_G();
  ~Kavrel_G() override;
  void Form_Load();
};
