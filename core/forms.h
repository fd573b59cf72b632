#pragma once
// Loading, showing and unloading the program's windows. Each window exists only
// between its load and its unload; these are the only ways to reach one.

class QWidget;
class Kavrel_S;
class Kavrel_G;
class Kavrel_T;
class Kavrel_M;
class Kavrel_I;

// Hidden main window: alive from start-up to shutdown.
Kavrel_S *Load_Kavrel_S();
Kavrel_S *kavrelS(); // nullptr when not loaded
void Unload_Kavrel_S();

// Drawing overlay.
void Show_Kavrel_G(); // loads (capture, ring, pen) then shows
Kavrel_G *kavrelG();
void Unload_Kavrel_G();

// Floating desktop icon.
void Show_Kavrel_T();
Kavrel_T *kavrelT();
void Unload_Kavrel_T();

// Carrier of the floating icon's menu.
Kavrel_M *Load_Kavrel_M();
Kavrel_M *kavrelM();
void Unload_Kavrel_M();

// Settings dialog, modal: returns when it has been closed.
void Show_Kavrel_I_Modal();
Kavrel_I *kavrelI();
