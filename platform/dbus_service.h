#pragma once
// The program on the session bus, for desktop tools and scripts: the
// application id as name and interface, with Draw, Toggle, Settings and Quit.

#include "platform/command_channel.h"

namespace dbus_service {
// Registers where a session bus exists; nothing otherwise, and never an error.
void start(std::function<void(command_channel::Command)> handler);
} // namespace dbus_service
