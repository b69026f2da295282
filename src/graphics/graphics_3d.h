// 3D drawing through the rendering device: the 3D primitive builder, the six shapes, projections, the world
// transform with its stack, and lights.
#pragma once

#include "platform/gpu_device.h"

namespace kv::gfx {

// ---- primitive builder ----
constexpr int kMaxVertices3D = 1001;
void BeginPrimitive3D(int kind, int texture);
// The colour is fixed now: the current draw colour and alpha, or the explicit device colour.
void Vertex3D(double x, double y, double z, double nx, double ny, double nz, double u, double v);
void Vertex3D(double x, double y, double z, double nx, double ny, double nz, double u, double v, int colour,
              double alpha);
void EndPrimitive3D();
int PrimitiveVertexCount3D();

// ---- shapes ----
void DrawBlock(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr, double vr);
void DrawCylinder(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr,
                  double vr, bool closed, int steps);
void DrawCone(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr, double vr,
              bool closed, int steps);
void DrawEllipsoid(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr,
                   double vr, int steps);
void DrawWall(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr, double vr);
void DrawFloor(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr, double vr);

// ---- projections (each ignores degenerate input and keeps the previous projection) ----
void SetProjectionLookAt(const double from[3], const double to[3], const double up[3]);
void SetProjectionExt(const double from[3], const double to[3], const double up[3], double angle, double aspect,
                      double znear, double zfar);
void SetProjectionOrtho(double x, double y, double w, double h, double angle);
void SetProjectionPerspective(double x, double y, double w, double h, double angle);

// ---- world transform ----
plat::Matrix4 WorldTransform();
void SetWorldTransform(const plat::Matrix4& m);
void AddWorldTransform(const plat::Matrix4& m);  // world = world × m
plat::Matrix4 MatrixTranslation(double x, double y, double z);
plat::Matrix4 MatrixScaling(double x, double y, double z);
plat::Matrix4 MatrixRotationX(double angle);  // degrees, turned as the game's angles turn
plat::Matrix4 MatrixRotationY(double angle);
plat::Matrix4 MatrixRotationZ(double angle);
plat::Matrix4 MatrixRotationAxis(double xa, double ya, double za, double angle);
plat::Matrix4 MatrixPerspectiveFovLH(double fovy, double aspect, double zn, double zf);

// ---- transform stack ----
constexpr int kTransformStackTop = 1000;
void TransformStackClear();
bool TransformStackEmpty();
bool TransformStackPush();
bool TransformStackPop();
bool TransformStackTop();
bool TransformStackDiscard();

// ---- lights ----
void DefineDirectionalLight(int index, double dx, double dy, double dz, int colour);
void DefinePointLight(int index, double x, double y, double z, double range, int colour);
void EnableLight(int index, bool on);

// Forgets the builder, the world transform and the stack (a new game).
void Reset3D();

}  // namespace kv::gfx
