#pragma once
// The hidden main window: owner of the tray icon and its menu. Loaded at start-up,
// never shown; unloading it saves the resident icon's state.

#include <QWidget>

#include <functional>

class QMenu;
class QAction;
class TrayIcon;

class Kavrel_S : public QWidget {
  Q_OBJECT
public:
  Kavrel_S();
  ~Kavrel_S() override;

  void Form_Load();
  // A mouse message from the tray icon (0x201 left press, 0x205 right release, ...).
  void Form_MouseMove(int code);
  // Runs for every unload: removes the tray icon and writes the three keys.
  void Form_QueryUnload();

  void m_FreeHand_Click();
  void m_Set_Click();
  void m_Help_Click();
  void m_Out_Click();
  void m_Exit_Click();

  void Tray_Icon_Add();
  void Tray_Icon_Delete();
  // Where no tray shows the icon, the floating icon stands in (once).
  void Tray_Check();
  void Tray_Check_Later();

  TrayIcon *trayIcon() const { return tray_; }
  QMenu *m_Popup() const { return popup_; }
  // Where the menu opens; the pointer by default. Tests replace it.
  std::function<void(QMenu *)> popupMenu;

private:
  TrayIcon *tray_ = nullptr;
  QMenu *popup_ = nullptr;
};

// Shows the help page, with `owner` as the parent of any message.
void Show_Help(QWidget *owner);
// The two operations other windows use on the tray icon.
void Tray_Icon_Add();
void Tray_Icon_Delete();
