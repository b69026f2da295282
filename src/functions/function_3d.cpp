#include "functions/function_3d.h"

#include <iostream>

#include "code/code_function.h"
#include "code/code_value.h"
#include "functions/function_args.h"
#include "functions/function_file.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_3d_model.h"
#include "graphics/graphics_d3d.h"
#include "world/run_main.h"

namespace kv {

namespace {

using namespace fnargs;

std::function<void(const std::string&)>& MessageHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

void ShowMessage(const std::string& text) {
  if (MessageHook()) MessageHook()(text);
  else std::cerr << text << std::endl;
}

// Three consecutive arguments as a point.
struct P3 {
  double v[3];
  P3(const RValue* a, int i) : v{D(a, i), D(a, i + 1), D(a, i + 2)} {}
};

void RegisterModeAndStates() {
  Reg("d3d_start", 0, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::SetDepthMode(true)) ShowMessage("Failed to use 3D mode.");
    r = gfx::D3D().depthMode;
  });
  Reg("d3d_end", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::SetDepthMode(false); });
  Reg("d3d_set_perspective", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetPerspective(B(a, 0)); });
  Reg("d3d_set_hidden", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetHidden(B(a, 0)); });
  Reg("d3d_set_depth", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetDepth(D(a, 0)); });
  Reg("d3d_set_lighting", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetLighting(B(a, 0)); });
  Reg("d3d_set_shading", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetShading(B(a, 0)); });
  Reg("d3d_set_fog", 4, KV_FN { KV_UNUSED_ARGS; gfx::SetFog(B(a, 0), I(a, 1), D(a, 2), D(a, 3)); });
  Reg("d3d_set_culling", 1, KV_FN { KV_UNUSED_ARGS; gfx::SetCulling(B(a, 0)); });
}

void RegisterPrimitives() {
  Reg("d3d_primitive_begin", 1, KV_FN { KV_UNUSED_ARGS; gfx::BeginPrimitive3D(I(a, 0), -1); });
  Reg("d3d_primitive_begin_texture", 2, KV_FN { KV_UNUSED_ARGS; gfx::BeginPrimitive3D(I(a, 0), I(a, 1)); });
  Reg("d3d_primitive_end", 0, KV_FN { KV_UNUSED_ARGS; gfx::EndPrimitive3D(); });
  Reg("d3d_vertex", 3, KV_FN { KV_UNUSED_ARGS; gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), 0, 0, 0, 0, 0); });
  Reg("d3d_vertex_color", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), 0, 0, 0, 0, 0, I(a, 3), D(a, 4));
  });
  Reg("d3d_vertex_texture", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), 0, 0, 0, D(a, 3), D(a, 4));
  });
  Reg("d3d_vertex_texture_color", 7, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), 0, 0, 0, D(a, 3), D(a, 4), I(a, 5), D(a, 6));
  });
  Reg("d3d_vertex_normal", 6, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), 0, 0);
  });
  Reg("d3d_vertex_normal_color", 8, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), 0, 0, I(a, 6), D(a, 7));
  });
  Reg("d3d_vertex_normal_texture", 8, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7));
  });
  Reg("d3d_vertex_normal_texture_color", 10, KV_FN {
    KV_UNUSED_ARGS;
    gfx::Vertex3D(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), D(a, 6), D(a, 7), I(a, 8), D(a, 9));
  });
}

void RegisterShapes() {
  Reg("d3d_draw_block", 9, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawBlock(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8));
  });
  Reg("d3d_draw_cylinder", 11, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawCylinder(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8), B(a, 9),
                      I(a, 10));
  });
  Reg("d3d_draw_cone", 11, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawCone(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8), B(a, 9),
                  I(a, 10));
  });
  Reg("d3d_draw_ellipsoid", 10, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawEllipsoid(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8), I(a, 9));
  });
  Reg("d3d_draw_wall", 9, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawWall(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8));
  });
  Reg("d3d_draw_floor", 9, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DrawFloor(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8));
  });
}

void RegisterProjections() {
  Reg("d3d_set_projection", 9, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetProjectionLookAt(P3(a, 0).v, P3(a, 3).v, P3(a, 6).v);
  });
  Reg("d3d_set_projection_ext", 13, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetProjectionExt(P3(a, 0).v, P3(a, 3).v, P3(a, 6).v, D(a, 9), D(a, 10), D(a, 11), D(a, 12));
  });
  Reg("d3d_set_projection_ortho", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetProjectionOrtho(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
  });
  Reg("d3d_set_projection_perspective", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetProjectionPerspective(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
  });
}

void RegisterTransforms() {
  using gfx::AddWorldTransform, gfx::SetWorldTransform;
  Reg("d3d_transform_set_identity", 0, KV_FN { KV_UNUSED_ARGS; SetWorldTransform(plat::Matrix4::Identity()); });
  Reg("d3d_transform_set_translation", 3, KV_FN {
    KV_UNUSED_ARGS;
    SetWorldTransform(gfx::MatrixTranslation(D(a, 0), D(a, 1), D(a, 2)));
  });
  Reg("d3d_transform_set_scaling", 3, KV_FN {
    KV_UNUSED_ARGS;
    SetWorldTransform(gfx::MatrixScaling(D(a, 0), D(a, 1), D(a, 2)));
  });
  Reg("d3d_transform_set_rotation_x", 1, KV_FN { KV_UNUSED_ARGS; SetWorldTransform(gfx::MatrixRotationX(D(a, 0))); });
  Reg("d3d_transform_set_rotation_y", 1, KV_FN { KV_UNUSED_ARGS; SetWorldTransform(gfx::MatrixRotationY(D(a, 0))); });
  Reg("d3d_transform_set_rotation_z", 1, KV_FN { KV_UNUSED_ARGS; SetWorldTransform(gfx::MatrixRotationZ(D(a, 0))); });
  Reg("d3d_transform_set_rotation_axis", 4, KV_FN {
    KV_UNUSED_ARGS;
    SetWorldTransform(gfx::MatrixRotationAxis(D(a, 0), D(a, 1), D(a, 2), D(a, 3)));
  });
  Reg("d3d_transform_add_translation", 3, KV_FN {
    KV_UNUSED_ARGS;
    AddWorldTransform(gfx::MatrixTranslation(D(a, 0), D(a, 1), D(a, 2)));
  });
  Reg("d3d_transform_add_scaling", 3, KV_FN {
    KV_UNUSED_ARGS;
    AddWorldTransform(gfx::MatrixScaling(D(a, 0), D(a, 1), D(a, 2)));
  });
  Reg("d3d_transform_add_rotation_x", 1, KV_FN { KV_UNUSED_ARGS; AddWorldTransform(gfx::MatrixRotationX(D(a, 0))); });
  Reg("d3d_transform_add_rotation_y", 1, KV_FN { KV_UNUSED_ARGS; AddWorldTransform(gfx::MatrixRotationY(D(a, 0))); });
  Reg("d3d_transform_add_rotation_z", 1, KV_FN { KV_UNUSED_ARGS; AddWorldTransform(gfx::MatrixRotationZ(D(a, 0))); });
  Reg("d3d_transform_add_rotation_axis", 4, KV_FN {
    KV_UNUSED_ARGS;
    AddWorldTransform(gfx::MatrixRotationAxis(D(a, 0), D(a, 1), D(a, 2), D(a, 3)));
  });
  Reg("d3d_transform_stack_clear", 0, KV_FN { KV_UNUSED_ARGS; gfx::TransformStackClear(); });
  Reg("d3d_transform_stack_empty", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::TransformStackEmpty(); });
  Reg("d3d_transform_stack_push", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::TransformStackPush(); });
  Reg("d3d_transform_stack_pop", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::TransformStackPop(); });
  Reg("d3d_transform_stack_top", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::TransformStackTop(); });
  Reg("d3d_transform_stack_discard", 0, KV_FN { KV_UNUSED_ARGS; r = gfx::TransformStackDiscard(); });
}

void RegisterLights() {
  Reg("d3d_light_define_direction", 5, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DefineDirectionalLight(I(a, 0), D(a, 1), D(a, 2), D(a, 3), I(a, 4));
  });
  Reg("d3d_light_define_point", 6, KV_FN {
    KV_UNUSED_ARGS;
    gfx::DefinePointLight(I(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), I(a, 5));
  });
  Reg("d3d_light_enable", 2, KV_FN { KV_UNUSED_ARGS; gfx::EnableLight(I(a, 0), B(a, 1)); });
}

// Adds a command to the model named by the first argument: `count` values from the arguments after the id,
// with the integer positions (kinds, colours, steps) rounded and the closed flag at `flagAt` made 1 or 0.
template <int Type, int Count>
void AddCommand(const RValue* a, std::initializer_list<int> integers = {}, int flagAt = -1) {
  gfx::C3D_Model* m = gfx::FindModel(I(a, 0));
  if (!m) return;
  gfx::ModelCommand c;
  c.type = Type;
  for (int i = 0; i < Count; ++i) c.p[static_cast<size_t>(i)] = D(a, i + 1);
  for (int i : integers) c.p[static_cast<size_t>(i)] = I(a, i + 1);
  if (flagAt >= 0) c.p[static_cast<size_t>(flagAt)] = B(a, flagAt + 1) ? 1.0 : 0.0;
  m->commands.push_back(c);
}

void RegisterModels() {
  Reg("d3d_model_create", 0, KV_FN { KV_UNUSED_ARGS; r = static_cast<double>(gfx::CreateModel()); });
  Reg("d3d_model_destroy", 1, KV_FN { KV_UNUSED_ARGS; gfx::DestroyModel(I(a, 0)); });
  Reg("d3d_model_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (auto* m = gfx::FindModel(I(a, 0))) m->Clear();
  });
  Reg("d3d_model_load", 2, KV_FN {
    KV_UNUSED_ARGS;
    auto* m = gfx::FindModel(I(a, 0));
    if (!m) return;
    m->Clear();
    if (auto host = HostPathOf(Str(a, 1))) m->Load(*host);
  });
  Reg("d3d_model_save", 2, KV_FN {
    KV_UNUSED_ARGS;
    auto* m = gfx::FindModel(I(a, 0));
    const std::string name = Str(a, 1);
    if (!m || SecureModeRefuses(name)) return;
    if (auto host = HostPathOf(name)) m->Save(*host, Game().secureMode);
  });
  Reg("d3d_model_draw", 5, KV_FN {
    KV_UNUSED_ARGS;
    if (auto* m = gfx::FindModel(I(a, 0))) m->Draw(D(a, 1), D(a, 2), D(a, 3), I(a, 4));
  });
  Reg("d3d_model_primitive_begin", 2, KV_FN { KV_UNUSED_ARGS; AddCommand<0, 1>(a, {0}); });
  Reg("d3d_model_primitive_end", 1, KV_FN { KV_UNUSED_ARGS; AddCommand<1, 0>(a); });
  Reg("d3d_model_vertex", 4, KV_FN { KV_UNUSED_ARGS; AddCommand<2, 3>(a); });
  Reg("d3d_model_vertex_color", 6, KV_FN { KV_UNUSED_ARGS; AddCommand<3, 5>(a, {3}); });
  Reg("d3d_model_vertex_texture", 6, KV_FN { KV_UNUSED_ARGS; AddCommand<4, 5>(a); });
  Reg("d3d_model_vertex_texture_color", 8, KV_FN { KV_UNUSED_ARGS; AddCommand<5, 7>(a, {5}); });
  Reg("d3d_model_vertex_normal", 7, KV_FN { KV_UNUSED_ARGS; AddCommand<6, 6>(a); });
  Reg("d3d_model_vertex_normal_color", 9, KV_FN { KV_UNUSED_ARGS; AddCommand<7, 8>(a, {6}); });
  Reg("d3d_model_vertex_normal_texture", 9, KV_FN { KV_UNUSED_ARGS; AddCommand<8, 8>(a); });
  Reg("d3d_model_vertex_normal_texture_color", 11, KV_FN { KV_UNUSED_ARGS; AddCommand<9, 10>(a, {8}); });
  Reg("d3d_model_block", 9, KV_FN { KV_UNUSED_ARGS; AddCommand<10, 8>(a); });
  Reg("d3d_model_cylinder", 11, KV_FN { KV_UNUSED_ARGS; AddCommand<11, 10>(a, {9}, 8); });
  Reg("d3d_model_cone", 11, KV_FN { KV_UNUSED_ARGS; AddCommand<12, 10>(a, {9}, 8); });
  Reg("d3d_model_ellipsoid", 10, KV_FN { KV_UNUSED_ARGS; AddCommand<13, 9>(a, {8}); });
  Reg("d3d_model_wall", 9, KV_FN { KV_UNUSED_ARGS; AddCommand<14, 8>(a); });
  Reg("d3d_model_floor", 9, KV_FN { KV_UNUSED_ARGS; AddCommand<15, 8>(a); });
}

}  // namespace

void Set3DMessageHook(std::function<void(const std::string&)> hook) { MessageHook() = std::move(hook); }

void Register3DFunctions() {
  RegisterModeAndStates();
  RegisterPrimitives();
  RegisterShapes();
  RegisterProjections();
  RegisterTransforms();
  RegisterLights();
  RegisterModels();
}

}  // namespace kv
