#pragma once
// Carrier of the floating icon's pop-up menu; never shown.

#include <QWidget>

class QMenu;

class Kavrel_M : public QWidget {
  Q_OBJECT
public:
  Kavrel_M();
  ~Kavrel_M() override;
  QMenu *m_Popup() const { return popup_; }

  void m_FreeHand_Click();
  void m_Set_Click();
  void m_Help_Click();
  void m_In_Click();
  void m_Exit_Click();

private:
  QMenu *popup_ = nullptr;
};
