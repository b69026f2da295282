// End to end: two kvrun processes of one chat game play together on this machine. The host creates the session,
// the guest finds and joins it, they exchange ten guaranteed messages and one shared value, and print them.
#include <unistd.h>

#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
using MplayGame = kvtest::RunGameTest;

TEST_F(MplayGame, TwoRunnersChatOverTheNetwork) {
  Write("game.kvp",
        "[game]\n"
        "id = 2424\n"
        "guid = 0123456789abcdef0123456789abcdef\n"
        "[object obj_chat]\n"
        "event create = create.kvs\n"
        "event step = step.kvs\n"
        "[room rm_chat]\n"
        "speed = 60\n"
        "instance obj_chat 0 0\n");
  Write("create.kvs",
        "set_automatic_draw(false);\n"
        "role = parameter_string(1);\n"
        "mplay_init_tcpip('127.0.0.1:' + parameter_string(2));\n"
        "joined = false; sent = 0; got = 0; tries = 0;\n"
        "if (role == 'host') { mplay_data_mode(1); joined = mplay_session_create('chat', 2, 'hank'); }\n");
  Write("step.kvs",
        "if (!joined) {\n"
        "  tries += 1;\n"
        "  if (tries > 50) { show_debug_message('no session'); game_end(); exit; }\n"
        "  if (mplay_session_find() > 0) joined = mplay_session_join(0, 'gus');\n"
        "  exit;\n"
        "}\n"
        "if (role == 'guest') {\n"
        "  if (sent == 0) { sent = 1; mplay_message_send_guaranteed(0, 1, 'ping 1'); }\n"
        "  while (mplay_message_receive(0)) {\n"
        "    show_debug_message('gus got ' + string(mplay_message_id()) + ' ' + mplay_message_value() +\n"
        "                       ' from ' + mplay_message_name());\n"
        "    got += 1;\n"
        "    if (got < 5) { sent += 1; mplay_message_send_guaranteed(0, sent, 'ping ' + string(sent)); }\n"
        "    else { show_debug_message('shared ' + mplay_data_read(0)); game_end(); }\n"
        "  }\n"
        "} else {\n"
        "  while (mplay_message_receive(0)) {\n"
        "    show_debug_message('hank got ' + string(mplay_message_id()) + ' ' + mplay_message_value() +\n"
        "                       ' from ' + mplay_message_name());\n"
        "    got += 1;\n"
        "    if (got == 1) mplay_data_write(0, 'hello from hank');\n"
        "    mplay_message_send_guaranteed(mplay_message_player(), got, 'pong ' + string(got));\n"
        "  }\n"
        "  if (got == 5 && mplay_player_find() == 1) game_end();\n"
        "}\n");
  const std::string game = Pack();
  const std::string port = std::to_string(30000 + (getpid() * 7 + 5) % 20000);
  const std::string kvrun = std::string(KV_BIN_DIR) + "/kvrun " + game + " --headless --steps 1200 ";
  const std::string hostOut = (dir / "host.txt").string(), guestOut = (dir / "guest.txt").string();
  Result r = RunCommand("(" + kvrun + "-- host " + port + " > " + hostOut + " & " + kvrun + "-- guest " + port +
                        " > " + guestOut + "; wait)");
  EXPECT_EQ(r.exitCode, 0);
  auto read = [](const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::string hostExpected, guestExpected;
  for (int i = 1; i <= 5; ++i) {
    hostExpected += "hank got " + std::to_string(i) + " ping " + std::to_string(i) + " from gus\n";
    guestExpected += "gus got " + std::to_string(i) + " pong " + std::to_string(i) + " from hank\n";
  }
  EXPECT_EQ(read(hostOut), hostExpected);
  EXPECT_EQ(read(guestOut), guestExpected + "shared hello from hank\n");
}

}  // namespace
