// Built-in functions and global variables of the running game: rooms (go to, next, previous, restart), the end
// and restart of the game, instance creation and destruction, and the game-wide variables (score, lives, health,
// room, room_speed, room size and caption, fps, room_first, room_last).
#pragma once

namespace kv {
void RegisterGameFunctions();
void RegisterGameVariables();
// room_next / room_previous: the neighbour of room in the room order, -1 when there is none.
int RoomNext(int room);
int RoomPrevious(int room);
}  // namespace kv
