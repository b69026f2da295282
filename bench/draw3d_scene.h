// The 3D benchmark scene shared by bench/gbench_draw3d.cpp and its LÖVE twin (bench/draw3d_love/main.lua):
// 2,000 textured 16-unit blocks on a 50 × 40 grid, 4 point lights circling above them, linear fog, a perspective
// camera looking over the grid, 640 × 480.
#pragma once

namespace kv::bench3d {

constexpr int kWidth = 640, kHeight = 480, kWarmup = 20, kFrames = 300;
constexpr int kColumns = 50, kRows = 40, kBlocks = kColumns * kRows;
constexpr double kSpacing = 24, kSize = 16;
constexpr int kLights = 4;
constexpr double kFogStart = 300, kFogEnd = 1400, kLightRange = 400;

}  // namespace kv::bench3d
