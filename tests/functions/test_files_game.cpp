// End to end: a game keeps its options in an ini file, its progress in a text save, a counter in the registry,
// runs a child program and reads its command line; a second run continues where the first one stopped.
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
using FilesGame = kvtest::RunGameTest;

TEST_F(FilesGame, StateSurvivesBetweenRuns) {
  Write("game.kvp",
        "[game]\nid = 4711\n"
        "[object obj_main]\nevent create = create.kvs\n"
        "[room rm_main]\ninstance obj_main 0 0\n"
        "[include readme.txt]\nfile = readme.txt\nexport = 2\nremove_at_end = true\n");
  Write("readme.txt", "included\r\n");
  Write("create.kvs",
        "ini_open('options.ini');\n"
        "vol = ini_read_real('sound', 'volume', 0.5);\n"
        "ini_write_real('sound', 'volume', vol + 0.25);\n"
        "ini_close();\n"
        "level = 1;\n"
        "if (file_exists('Save\\\\progress.txt')) {\n"
        "  f = file_text_open_read('save\\\\PROGRESS.TXT');\n"
        "  level = file_text_read_real(f);\n"
        "  file_text_close(f);\n"
        "} else directory_create('Save');\n"
        "f = file_text_open_write('Save\\\\progress.txt');\n"
        "file_text_write_real(f, level + 1);\n"
        "file_text_writeln(f);\n"
        "file_text_close(f);\n"
        "runs = registry_read_real('runs') + 1;\n"
        "registry_write_real('runs', runs);\n"
        "execute_program('/bin/sh', '-c \"echo child > child.txt\"', true);\n"
        "f = file_text_open_read('child.txt');\n"
        "child = file_text_read_string(f);\n"
        "file_text_close(f);\n"
        "f = file_text_open_read('readme.txt');\n"
        "inc = file_text_read_string(f);\n"
        "file_text_close(f);\n"
        "show_debug_message('volume ' + string(vol) + ' level ' + string(level) + ' runs ' + string(runs) + ' ' +"
        " child + ' ' + inc + ' ' + string(parameter_count()) + ' ' + parameter_string(1) + ' ' +"
        " filename_ext(parameter_string(0)));\n"
        "game_end();\n");
  const std::string game = Pack();
  const std::string run = "cd " + dir.string() + " && KV_REGISTRY=" + (dir / "registry.sqlite").string() +
                          " KV_SECURE_MODE=0 " + KV_BIN_DIR + "/kvrun " + game +
                          " --headless --fast --steps 5 -- \"first arg\" two";
  Result first = RunCommand(run);
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(first.out, "volume 0.50 level 1 runs 1 child included 2 first arg .kvgame\n");
  Result second = RunCommand(run);
  EXPECT_EQ(second.out, "volume 0.75 level 2 runs 2 child included 2 first arg .kvgame\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "readme.txt")) << "removed at the end of the game";
  EXPECT_TRUE(std::filesystem::exists(dir / "Save" / "progress.txt"));
}

}  // namespace

namespace {

// --secure-mode 1 wins over the environment; plain names still work, a folder is refused.
TEST_F(FilesGame, SecureModeFromTheCommandLine) {
  Write("game.kvp", "[object obj_main]\nevent create = create.kvs\n[room rm_main]\ninstance obj_main 0 0\n");
  Write("create.kvs",
        "show_debug_message('secure ' + string(secure_mode));\n"
        "f = file_text_open_write('plain.txt'); file_text_write_string(f, 'ok'); file_text_close(f);\n"
        "directory_create('sub');\n"
        "f = file_text_open_write('sub\\\\x.txt');\n"
        "game_end();\n");
  const std::string game = Pack();
  Result r = RunCommand("cd " + dir.string() + " && KV_SECURE_MODE=0 " + KV_BIN_DIR + "/kvrun " + game +
                        " --headless --fast --steps 5 --registry :memory: --secure-mode 1");
  EXPECT_EQ(r.out, "secure 1\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "plain.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub")) << "a plain name is inside the working directory";
  EXPECT_FALSE(std::filesystem::exists(dir / "sub" / "x.txt"));
}

}  // namespace
