#pragma once
// Start-up and shutdown.

// Entry point: single instance, settings, the hidden main window, then events.
int Main(int argc, char **argv);
// Common shutdown: unloads the hidden main window (which saves the resident
// icon's state) and ends the process at once. Does not return.
[[noreturn]] void App_End();
