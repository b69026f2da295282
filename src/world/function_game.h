// Built-in functions and global variables of the running game: rooms (go to, next, previous, restart), the end
// and restart of the game, instance creation and destruction, and the game-wide variables (score, lives, health,
// room, room_speed, room size and caption, fps, room_first, room_last).
#pragma once

namespace kv {
void RegisterGameFunctions();
void RegisterGameVariables();
// The neighbour of room in the room order (-1 when the order has fewer than two rooms); room_next and
// room_previous add the checks for an unknown room and the ends of the order.
int RoomNext(int room);
int RoomPrevious(int room);
}  // namespace kv
