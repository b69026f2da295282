// End to end through kvpack and kvrun: a platform character that lands with a contact move and bounces between
// walls, an enemy patrolling a path back and forth, a smooth looping path, a time-lined spawner and a maze walker
// following the shortest grid path — the printed log is the game's whole story.
#include "../world/test_run_fixture.h"

namespace {

using kvtest::Result;
using MotionGame = kvtest::RunGameTest;

TEST_F(MotionGame, PlatformPathsTimeLineAndMaze) {
  for (const char* png : {"spr8.png", "spr32.png"})
    std::filesystem::copy_file(std::string(KV_SOURCE_DIR) + "/bench/games/b2_collision_swarm/" + png,
                               dir / "project" / png);
  Write("game.kvp",
        "[sprite spr8]\nfile = spr8.png\nframes = 1\nprecise = false\n"
        "[sprite spr32]\nfile = spr32.png\nframes = 1\nprecise = false\n"
        "[path pth_patrol]\nclosed = off\npoint 200 20\npoint 240 20\n"
        "[path pth_loop]\nkind = smooth\nprecision = 3\npoint 300 100\npoint 340 100\npoint 340 140\n"
        "point 300 140\n"
        "[timeline tl_spawn]\nmoment 0 = spawn.kvs\nmoment 5 = spawn.kvs\nmoment 20 = spawn_last.kvs\n"
        "[object ctrl]\nevent create = ctrl_create.kvs\nevent step end = ctrl_end.kvs\n"
        "[object obj_wall]\nsprite = spr32\nsolid = on\n"
        "[object obj_player]\nsprite = spr8\nevent create = player_create.kvs\nevent step = player_step.kvs\n"
        "[object obj_enemy]\nsprite = spr8\nevent create = enemy_create.kvs\n"
        "event other end_of_path = enemy_end.kvs\n"
        "[object obj_floater]\nsprite = spr8\nevent create = floater_create.kvs\n"
        "event other end_of_path = floater_end.kvs\n"
        "[object obj_spawner]\nevent create = spawner_create.kvs\n"
        "[object obj_minion]\nsprite = spr8\n"
        "[object obj_walker]\nsprite = spr8\nevent create = walker_create.kvs\n"
        "event other end_of_path = walker_end.kvs\n"
        "[room rm]\nwidth = 640\nheight = 480\n"
        "instance ctrl 0 0\ninstance obj_player 4 0\n"
        "instance obj_wall -32 32\ninstance obj_wall 0 64\ninstance obj_wall 32 64\ninstance obj_wall 64 64\n"
        "instance obj_wall 96 64\ninstance obj_wall 96 32\n"
        "instance obj_enemy 0 0\ninstance obj_floater 0 0\ninstance obj_spawner 0 0\ninstance obj_walker 0 0\n");
  Write("ctrl_create.kvs", "n = 0;");
  Write("ctrl_end.kvs",
        "n += 1; if (n == 60) { show_debug_message('minions ' + string(instance_number(obj_minion)) + ' nearest '"
        " + string(instance_nearest(330, 20, obj_minion) - instance_find(obj_minion, 0)) + ' player '"
        " + string(obj_player.x)); game_end(); }");
  Write("player_create.kvs", "landed = false;");
  Write("player_step.kvs",
        "if (!landed) { if (place_free(x, y + 4)) y += 4; else { move_contact_solid(270, 4); landed = true;"
        " hspeed = 4; show_debug_message('landed ' + string(y)); } }\n"
        "else if (hspeed > 0 && !place_free(x + hspeed, y)) { move_contact_solid(0, 100); hspeed = -hspeed;"
        " show_debug_message('wall ' + string(x)); }\n"
        "else if (hspeed < 0 && !place_free(x + hspeed, y)) { move_bounce_solid(false);"
        " show_debug_message('bounce ' + string(x) + ' ' + string(hspeed)); }");
  Write("enemy_create.kvs", "path_start(pth_patrol, 5, 3, true);");
  Write("enemy_end.kvs", "show_debug_message('enemy ' + string(x) + ' ' + string(path_speed));");
  Write("floater_create.kvs", "laps = 0; x = 300; y = 100; path_start(pth_loop, 20, 1, false);");
  Write("floater_end.kvs",
        "laps += 1; show_debug_message('lap ' + string(laps) + ' ' + string(point_distance(x, y, 300, 100) < 20));");
  Write("spawner_create.kvs", "timeline_index = tl_spawn;");
  Write("spawn.kvs",
        "instance_create(300 + timeline_position, 20, obj_minion);"
        " show_debug_message('spawn ' + string(timeline_position));");
  Write("spawn_last.kvs", "timeline_speed = 0; show_debug_message('last spawn ' + string(timeline_position));");
  Write("walker_create.kvs",
        "g = mp_grid_create(400, 0, 5, 5, 10, 10); mp_grid_add_rectangle(g, 410, 0, 419, 39);"
        " mp_grid_add_rectangle(g, 430, 10, 439, 49); p = path_add();"
        " if (mp_grid_path(g, p, 405, 5, 445, 45, false)) path_start(p, 10, 0, true);"
        " show_debug_message('maze ' + string(path_get_number(p)) + ' ' + string(path_get_length(p)));");
  Write("walker_end.kvs", "show_debug_message('walker ' + string(x) + ',' + string(y));");
  Result r = Play(Pack(), "--steps 100");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "maze 17 160\nspawn 1\nspawn 6\nlap 1 1\nenemy 240 -5\nlap 2 1\nlanded 56\nenemy 200 5\n"
            "walker 445,45\nlap 3 1\nlast spawn 21\nenemy 240 -5\nlap 4 1\nenemy 200 5\nlap 5 1\nwall 88\n"
            "lap 6 1\nenemy 240 -5\nlap 7 1\nenemy 200 5\nlap 8 1\nenemy 240 -5\nbounce 0 4\nlap 9 1\n"
            "minions 2 nearest 1 player 12\n");
}

}  // namespace
