#pragma once
// The floating desktop icon: a small round always-on-top window.

#include <QWidget>

class Kavrel_T : public QWidget {
  Q_OBJECT
public:
  Kavrel_T();
  ~Kavrel_T() override;

  void Form_Load();

  // Window position and size in twips, as the rest of the program counts them.
  float Left() const;
  float Top() const;
  float Width() const;
  float Height() const;
  void setLeft(float twips);
  void setTop(float twips);
};
