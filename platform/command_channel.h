#pragma once
// Commands from another morvane process of the same user: a unix stream socket
// in the user's private folder, one line in and one line back.

#include <functional>
#include <optional>

#include <QString>

namespace command_channel {
enum class Command { Draw, Toggle, Settings, Quit };

// "draw", "toggle", "settings", "quit"; anything else has no command.
std::optional<Command> fromName(const char *name);
const char *nameOf(Command c);

// The socket's path, or empty when the user has no private folder.
QString socketPath();

// Client side, plain POSIX (no Qt event loop, no windows): hands `c` to the
// running instance and waits briefly for its answer. False when no instance
// listens or it did not answer.
bool send(Command c);

// Server side, for the instance that holds the single-instance lock: replaces
// any socket file a crashed instance left, and runs `handler` on the event loop
// for each command of a peer of this user. False when the socket cannot be had.
bool listen(std::function<void(Command)> handler);
} // namespace command_channel
