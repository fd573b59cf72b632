#pragma once
// Commands from outside the program's own windows (another morvane process, the
// session bus, the global key), with the same effect as the icons and menus.

#include "platform/command_channel.h"

// Draw: as a tray click (or the floating icon's double-click); nothing while
// drawing is open or its capture waits. Toggle: Draw, or ends an open drawing
// as Space does. Settings and Quit: the menu's items. Everything is ignored
// while the icons ignore the mouse (the settings dialog is open).
void Run_Command(command_channel::Command c);
