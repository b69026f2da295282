// The d3d_* and d3d_model_* functions called the way code calls them: names and argument counts, results,
// model slots, the model file (format, bounds, malformed lines) and secure mode.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "functions/call_builtin.h"
#include "functions/function_3d.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_3d_model.h"
#include "runner/runner_wiring.h"
#include "world/run_main.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

class D3DFunctions : public RecordingGfxTest {
 protected:
  BuiltinCaller call;
  fs::path old_, dir_;
  void SetUp() override {
    RecordingGfxTest::SetUp();
    WireLanguage();
    gfx::ClearModels();
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("kv_d3d_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
    Game().secureMode = false;
  }
  void TearDown() override {
    Game().secureMode = false;
    fs::current_path(old_);
    fs::remove_all(dir_);
    gfx::ClearModels();
    RecordingGfxTest::TearDown();
  }
  static std::string Read(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
  static void Write(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }
};

TEST_F(D3DFunctions, ModeStatesAndStackResults) {
  EXPECT_EQ(call.Real("d3d_start"), 1);
  EXPECT_TRUE(gfx::D3D().depthMode);
  call.Call("d3d_set_depth", {20000});
  EXPECT_EQ(gfx::D3D().depth, 16000);
  call.Call("d3d_set_fog", {1, 255, 10, 100});
  EXPECT_TRUE(gpu.States().fog);
  EXPECT_EQ(gpu.States().fogColour, 0xFFFF0000u);
  call.Call("d3d_set_culling", {0.6});
  EXPECT_TRUE(gpu.States().cullCcw);
  call.Call("d3d_set_shading", {0});
  EXPECT_FALSE(gpu.States().gouraud);
  call.Call("d3d_set_lighting", {1});
  EXPECT_TRUE(gpu.States().lighting);
  EXPECT_EQ(call.Real("d3d_transform_stack_empty"), 1);
  EXPECT_EQ(call.Real("d3d_transform_stack_pop"), 0);
  EXPECT_EQ(call.Real("d3d_transform_stack_push"), 1);
  EXPECT_EQ(call.Real("d3d_transform_stack_top"), 1);
  EXPECT_EQ(call.Real("d3d_transform_stack_discard"), 1);
  EXPECT_EQ(call.Real("d3d_end"), 1);
  EXPECT_FALSE(gfx::D3D().depthMode);
  EXPECT_EQ(gfx::D3D().depth, 0);
  // Every function with its argument count (the caller fails on a wrong count).
  call.Call("d3d_set_perspective", {1});
  call.Call("d3d_set_hidden", {1});
  call.Call("d3d_primitive_begin", {4});
  call.Call("d3d_vertex", {0, 0, 0});
  call.Call("d3d_vertex_color", {0, 0, 0, 255, 1});
  call.Call("d3d_vertex_texture", {0, 0, 0, 1, 1});
  call.Call("d3d_vertex_texture_color", {0, 0, 0, 1, 1, 255, 1});
  call.Call("d3d_vertex_normal", {0, 0, 0, 0, 0, 1});
  call.Call("d3d_vertex_normal_color", {0, 0, 0, 0, 0, 1, 255, 1});
  call.Call("d3d_vertex_normal_texture", {0, 0, 0, 0, 0, 1, 1, 1});
  call.Call("d3d_vertex_normal_texture_color", {0, 0, 0, 0, 0, 1, 1, 1, 255, 1});
  call.Call("d3d_primitive_end");
  call.Call("d3d_primitive_begin_texture", {4, -1});
  call.Call("d3d_draw_block", {0, 0, 0, 1, 1, 1, -1, 1, 1});
  call.Call("d3d_draw_cylinder", {0, 0, 0, 1, 1, 1, -1, 1, 1, 1, 8});
  call.Call("d3d_draw_cone", {0, 0, 0, 1, 1, 1, -1, 1, 1, 1, 8});
  call.Call("d3d_draw_ellipsoid", {0, 0, 0, 1, 1, 1, -1, 1, 1, 8});
  call.Call("d3d_draw_wall", {0, 0, 0, 1, 1, 1, -1, 1, 1});
  call.Call("d3d_draw_floor", {0, 0, 0, 1, 1, 1, -1, 1, 1});
  call.Call("d3d_set_projection", {0, 0, -10, 0, 0, 0, 0, 1, 0});
  call.Call("d3d_set_projection_ext", {0, 0, -10, 0, 0, 0, 0, 1, 0, 45, 1, 1, 100});
  call.Call("d3d_set_projection_ortho", {0, 0, 640, 480, 0});
  call.Call("d3d_set_projection_perspective", {0, 0, 640, 480, 0});
  call.Call("d3d_transform_set_identity");
  for (const char* f : {"d3d_transform_set_translation", "d3d_transform_set_scaling", "d3d_transform_add_translation",
                        "d3d_transform_add_scaling"})
    call.Call(f, {1, 1, 1});
  for (const char* f : {"d3d_transform_set_rotation_x", "d3d_transform_set_rotation_y", "d3d_transform_set_rotation_z",
                        "d3d_transform_add_rotation_x", "d3d_transform_add_rotation_y", "d3d_transform_add_rotation_z"})
    call.Call(f, {30});
  call.Call("d3d_transform_set_rotation_axis", {0, 0, 1, 30});
  call.Call("d3d_transform_add_rotation_axis", {0, 0, 1, 30});
  call.Call("d3d_transform_stack_clear");
  call.Call("d3d_light_define_direction", {0, 1, 0, 0, 255});
  call.Call("d3d_light_define_point", {1, 0, 0, 0, 100, 255});
  call.Call("d3d_light_enable", {1, 1});
  EXPECT_TRUE(call.errors.empty());
}

TEST_F(D3DFunctions, ModelSlotsCommandsAndTheFileFormat) {
  EXPECT_EQ(call.Real("d3d_model_create"), 0);
  EXPECT_EQ(call.Real("d3d_model_create"), 1);
  call.Call("d3d_model_destroy", {0});
  EXPECT_EQ(call.Real("d3d_model_create"), 0);  // the lowest empty slot first

  call.Call("d3d_model_save", {0, S("empty.txt")});
  EXPECT_EQ(Read("empty.txt"), "100\r\n0\r\n");

  call.Call("d3d_model_vertex", {0, 10, 20, 0});
  call.Call("d3d_model_primitive_begin", {0, 4.4});
  call.Call("d3d_model_vertex_color", {0, 1, 2, 3, 255.6, 0.5});
  call.Call("d3d_model_cylinder", {0, 1, 2, 3, 4, 5, 6, 1.5, 2.5, 0.7, 12.2});
  call.Call("d3d_model_vertex_normal_texture_color", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 1});
  call.Call("d3d_model_primitive_end", {0});
  call.Call("d3d_model_vertex", {7, 1, 1, 1});  // no such model: nothing
  const auto* m = gfx::FindModel(0);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->commands.size(), 6u);
  EXPECT_EQ(m->commands[1].p[0], 4);
  EXPECT_EQ(m->commands[2].p[3], 256);
  EXPECT_EQ(m->commands[3].p[8], 1);
  EXPECT_EQ(m->commands[3].p[9], 12);
  EXPECT_EQ(m->commands[4].type, 9);
  EXPECT_EQ(m->commands[4].p[9], 1);

  call.Call("d3d_model_save", {0, S("m.txt")});
  std::string text = Read("m.txt");
  EXPECT_EQ(text.substr(0, 91),
            "100\r\n6\r\n2 10.0000 20.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000\r\n0 4.0000");
  EXPECT_EQ(gfx::FormatModelValue(123456.789012345), "123456.7890");
  EXPECT_EQ(gfx::FormatModelValue(-0.00001), "0.0000");
  EXPECT_EQ(gfx::FormatModelValue(-2.5), "-2.5000");
  EXPECT_EQ(gfx::FormatModelValue(1e12), "1.000000000E+12");

  int other = static_cast<int>(call.Real("d3d_model_create"));
  call.Call("d3d_model_load", {other, S("m.txt")});
  ASSERT_NE(gfx::FindModel(other), nullptr);
  EXPECT_EQ(gfx::FindModel(other)->commands, m->commands);
  call.Call("d3d_model_clear", {other});
  EXPECT_TRUE(gfx::FindModel(other)->commands.empty());
  EXPECT_TRUE(call.errors.empty());
}

TEST_F(D3DFunctions, LoadingRefusesWrongVersionsImpossibleCountsAndStopsAtMalformedLines) {
  gfx::C3D_Model m;
  EXPECT_FALSE(m.Deserialize("101\r\n1\r\n2 1 2 3 0 0 0 0 0 0 0\r\n"));
  EXPECT_TRUE(m.commands.empty());
  // Free-form: any white space, text after the tenth value ignored, values may run across lines.
  EXPECT_TRUE(m.Deserialize("100 trailing\n2\n2   1\t2 3 0 0 0 0 0 0 0 extra words\n3 1 2 3 255\n0.5 0 0 0 0 0\n"));
  ASSERT_EQ(m.commands.size(), 2u);
  EXPECT_EQ(m.commands[1].p[3], 255);
  EXPECT_EQ(m.commands[1].p[4], 0.5);
  // A count the file cannot hold is refused before anything is allocated.
  EXPECT_FALSE(m.Deserialize("100\r\n2000000000\r\n2 1 2 3 0 0 0 0 0 0 0\r\n"));
  EXPECT_TRUE(m.commands.empty());
  EXPECT_FALSE(m.Deserialize("100\r\n-1\r\n"));
  // A malformed line ends the load: what was read stays, the rest are zero commands.
  EXPECT_FALSE(m.Deserialize("100\r\n3\r\n2 1 2 3 0 0 0 0 0 0 0\r\n2 1 x 3 0 0 0 0 0 0 0\r\n2 1 2 3 0 0 0 0 0 0 0\r\n"));
  ASSERT_EQ(m.commands.size(), 3u);
  EXPECT_EQ(m.commands[0].type, 2);
  EXPECT_EQ(m.commands[1], gfx::ModelCommand{});
  EXPECT_EQ(m.commands[2], gfx::ModelCommand{});
  EXPECT_FALSE(m.Load((dir_ / "missing.txt").string()));
}

TEST_F(D3DFunctions, SavingInSecureModeStaysInTheWorkingDirectory) {
  int id = static_cast<int>(call.Real("d3d_model_create"));
  call.Call("d3d_model_block", {id, 0, 0, 0, 1, 1, 1, 1, 1});
  Game().secureMode = true;
  fs::create_directories("sub");
  call.Call("d3d_model_save", {id, S("sub/m.txt")});
  EXPECT_FALSE(fs::exists("sub/m.txt"));
  call.Call("d3d_model_save", {id, S("m.txt")});
  EXPECT_TRUE(fs::exists("m.txt"));
  // An existing file is replaced whole, never left half written.
  Write("m.txt", std::string(5000, 'x'));
  call.Call("d3d_model_save", {id, S("m.txt")});
  EXPECT_EQ(Read("m.txt").rfind("100\r\n1\r\n10 ", 0), 0u);
  EXPECT_LT(Read("m.txt").size(), 200u);
}

}  // namespace
}  // namespace kv::test
