// The families of run-time resource functions, registered together by RegisterResourceFunctions.
#pragma once

namespace kv {

// object_* : inspecting and changing objects, their parents and events.
void RegisterObjectResourceFunctions();
// room_* : inspecting and changing room resources (what a room looks like the next time it is entered).
void RegisterRoomResourceFunctions();
// background_*, font_*, script_name and the sprites taken from the screen or a surface.
void RegisterGraphicResourceFunctions();

}  // namespace kv
