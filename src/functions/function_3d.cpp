#include "functions/function_3d.h"

#include <iostream>

#include "code/code_docs.h"
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

  DescribeFunctions("3D drawing", {
      {"d3d_start", "", "Switches to 3D mode and returns whether it worked."},
      {"d3d_end", "", "Switches 3D mode off."},
      {"d3d_set_perspective", "enable", "Sets whether the default 3D projection uses perspective."},
      {"d3d_set_hidden", "enable", "Sets whether surfaces behind others are hidden (depth testing)."},
      {"d3d_set_depth", "depth", "Sets the z depth at which later 2D drawing is placed in 3D mode."},
      {"d3d_set_lighting", "enable", "Switches lighting of 3D drawing on or off."},
      {"d3d_set_shading", "smooth", "Sets whether 3D faces are shaded smoothly or flat."},
      {"d3d_set_fog", "enable, color, start, end",
       "Switches fog on or off, with its colour and the distances where it starts and is complete."},
      {"d3d_set_culling", "cull", "Sets whether faces seen from the back are left undrawn."},
  });
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

  DescribeFunctions("3D drawing", {
      {"d3d_primitive_begin", "kind", "Starts a 3D primitive of the given kind built from the vertices that follow."},
      {"d3d_primitive_begin_texture", "kind, texture",
       "Starts a textured 3D primitive of the given kind built from the vertices that follow."},
      {"d3d_primitive_end", "", "Draws the 3D primitive built from the vertices given since it began."},
      {"d3d_vertex", "x, y, z", "Adds a vertex in the drawing colour to the current 3D primitive."},
      {"d3d_vertex_color", "x, y, z, col, alpha",
       "Adds a vertex with its own colour and alpha to the current 3D primitive."},
      {"d3d_vertex_texture", "x, y, z, xtex, ytex",
       "Adds a vertex with texture coordinates to the current 3D primitive."},
      {"d3d_vertex_texture_color", "x, y, z, xtex, ytex, col, alpha",
       "Adds a vertex with texture coordinates, colour and alpha to the current 3D primitive."},
      {"d3d_vertex_normal", "x, y, z, nx, ny, nz",
       "Adds a vertex with a normal, used for lighting, to the current 3D primitive."},
      {"d3d_vertex_normal_color", "x, y, z, nx, ny, nz, col, alpha",
       "Adds a vertex with a normal, colour and alpha to the current 3D primitive."},
      {"d3d_vertex_normal_texture", "x, y, z, nx, ny, nz, xtex, ytex",
       "Adds a vertex with a normal and texture coordinates to the current 3D primitive."},
      {"d3d_vertex_normal_texture_color", "x, y, z, nx, ny, nz, xtex, ytex, col, alpha",
       "Adds a vertex with a normal, texture coordinates, colour and alpha to the current 3D primitive."},
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

  DescribeFunctions("3D drawing", {
      {"d3d_draw_block", "x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat",
       "Draws a textured box between two corners, repeating the texture hrepeat by vrepeat times on each face."},
      {"d3d_draw_cylinder", "x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat, closed, steps",
       "Draws a vertical textured cylinder inside the given box, with or without ends, from steps segments."},
      {"d3d_draw_cone", "x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat, closed, steps",
       "Draws a vertical textured cone inside the given box, with or without a base, from steps segments."},
      {"d3d_draw_ellipsoid", "x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat, steps",
       "Draws a textured ellipsoid inside the given box from steps segments."},
      {"d3d_draw_wall", "x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat",
       "Draws a vertical textured wall between two corners."},
      {"d3d_draw_floor", "x1, y1, z1, x2, y2, z2, texid, hrepeat, vrepeat",
       "Draws a flat or sloping textured floor between two corners."},
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

  DescribeFunctions("3D camera and transforms", {
      {"d3d_set_projection", "xfrom, yfrom, zfrom, xto, yto, zto, xup, yup, zup",
       "Places the camera at the from point looking at the to point, with the given up direction."},
      {"d3d_set_projection_ext", "xfrom, yfrom, zfrom, xto, yto, zto, xup, yup, zup, angle, aspect, znear, zfar",
       "Places the camera and sets its field of view, aspect ratio and near and far clipping distances."},
      {"d3d_set_projection_ortho", "x, y, w, h, angle",
       "Sets a flat projection of the room area (x, y, w, h) rotated by angle, for drawing 2D over 3D."},
      {"d3d_set_projection_perspective", "x, y, w, h, angle",
       "Sets a perspective projection of the room area (x, y, w, h) rotated by angle."},
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

  DescribeFunctions("3D camera and transforms", {
      {"d3d_transform_set_identity", "", "Removes the transformation applied to later drawing."},
      {"d3d_transform_set_translation", "xt, yt, zt", "Makes later drawing move by (xt, yt, zt)."},
      {"d3d_transform_set_scaling", "xs, ys, zs", "Makes later drawing scale by the given factors."},
      {"d3d_transform_set_rotation_x", "angle", "Makes later drawing rotate by angle degrees about the x axis."},
      {"d3d_transform_set_rotation_y", "angle", "Makes later drawing rotate by angle degrees about the y axis."},
      {"d3d_transform_set_rotation_z", "angle", "Makes later drawing rotate by angle degrees about the z axis."},
      {"d3d_transform_set_rotation_axis", "xa, ya, za, angle",
       "Makes later drawing rotate by angle degrees about the axis (xa, ya, za)."},
      {"d3d_transform_add_translation", "xt, yt, zt", "Adds a move by (xt, yt, zt) after the current transformation."},
      {"d3d_transform_add_scaling", "xs, ys, zs", "Adds a scaling after the current transformation."},
      {"d3d_transform_add_rotation_x", "angle", "Adds a rotation about the x axis after the current transformation."},
      {"d3d_transform_add_rotation_y", "angle", "Adds a rotation about the y axis after the current transformation."},
      {"d3d_transform_add_rotation_z", "angle", "Adds a rotation about the z axis after the current transformation."},
      {"d3d_transform_add_rotation_axis", "xa, ya, za, angle",
       "Adds a rotation about the axis (xa, ya, za) after the current transformation."},
      {"d3d_transform_stack_clear", "", "Empties the stack of saved transformations."},
      {"d3d_transform_stack_empty", "", "Returns whether the stack of saved transformations is empty."},
      {"d3d_transform_stack_push", "",
       "Saves the current transformation on the stack and returns whether there was room."},
      {"d3d_transform_stack_pop", "",
       "Restores the transformation on top of the stack, removing it, and returns whether there was one."},
      {"d3d_transform_stack_top", "",
       "Restores the transformation on top of the stack, keeping it there, and returns whether there was one."},
      {"d3d_transform_stack_discard", "",
       "Removes the transformation on top of the stack without using it, and returns whether there was one."},
  });
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

  DescribeFunctions("3D drawing", {
      {"d3d_light_define_direction", "ind, dx, dy, dz, col",
       "Defines light ind as light of a colour shining in the direction (dx, dy, dz)."},
      {"d3d_light_define_point", "ind, x, y, z, range, col",
       "Defines light ind as light of a colour shining from (x, y, z) up to the given range."},
      {"d3d_light_enable", "ind, enable", "Switches light ind on or off."},
  });
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

  DescribeFunctions("3D models", {
      {"d3d_model_create", "", "Creates an empty 3D model and returns its id."},
      {"d3d_model_destroy", "ind", "Destroys a model and frees its memory."},
      {"d3d_model_clear", "ind", "Removes everything from a model."},
      {"d3d_model_load", "ind, fname", "Replaces a model's contents by those of a model file."},
      {"d3d_model_save", "ind, fname", "Saves a model to a file."},
      {"d3d_model_draw", "ind, x, y, z, texid",
       "Draws a model moved to (x, y, z) with the given texture (-1 for none)."},
      {"d3d_model_primitive_begin", "ind, kind", "Adds the start of a primitive of the given kind to a model."},
      {"d3d_model_primitive_end", "ind", "Adds the end of the current primitive to a model."},
      {"d3d_model_vertex", "ind, x, y, z", "Adds a vertex to a model."},
      {"d3d_model_vertex_color", "ind, x, y, z, col, alpha", "Adds a vertex with colour and alpha to a model."},
      {"d3d_model_vertex_texture", "ind, x, y, z, xtex, ytex", "Adds a vertex with texture coordinates to a model."},
      {"d3d_model_vertex_texture_color", "ind, x, y, z, xtex, ytex, col, alpha",
       "Adds a vertex with texture coordinates, colour and alpha to a model."},
      {"d3d_model_vertex_normal", "ind, x, y, z, nx, ny, nz", "Adds a vertex with a normal to a model."},
      {"d3d_model_vertex_normal_color", "ind, x, y, z, nx, ny, nz, col, alpha",
       "Adds a vertex with a normal, colour and alpha to a model."},
      {"d3d_model_vertex_normal_texture", "ind, x, y, z, nx, ny, nz, xtex, ytex",
       "Adds a vertex with a normal and texture coordinates to a model."},
      {"d3d_model_vertex_normal_texture_color", "ind, x, y, z, nx, ny, nz, xtex, ytex, col, alpha",
       "Adds a vertex with a normal, texture coordinates, colour and alpha to a model."},
      {"d3d_model_block", "ind, x1, y1, z1, x2, y2, z2, hrepeat, vrepeat",
       "Adds a box between two corners to a model."},
      {"d3d_model_cylinder", "ind, x1, y1, z1, x2, y2, z2, hrepeat, vrepeat, closed, steps",
       "Adds a vertical cylinder inside the given box to a model."},
      {"d3d_model_cone", "ind, x1, y1, z1, x2, y2, z2, hrepeat, vrepeat, closed, steps",
       "Adds a vertical cone inside the given box to a model."},
      {"d3d_model_ellipsoid", "ind, x1, y1, z1, x2, y2, z2, hrepeat, vrepeat, steps",
       "Adds an ellipsoid inside the given box to a model."},
      {"d3d_model_wall", "ind, x1, y1, z1, x2, y2, z2, hrepeat, vrepeat",
       "Adds a vertical wall between two corners to a model."},
      {"d3d_model_floor", "ind, x1, y1, z1, x2, y2, z2, hrepeat, vrepeat",
       "Adds a floor between two corners to a model."},
  });
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
