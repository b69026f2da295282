#include "functions/function_path_draw.h"

#include <vector>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "runner/game_sections.h"
#include "world/path_points.h"
#include "world/world_state.h"

namespace kv {

namespace {

// draw_path(path, x, y, absolute)
void FnDrawPath(RValue&, CInstance*, CInstance*, int, RValue* a) {
  GameResources* res = WorldResources();
  const CPath* path = res ? res->paths.Get(RoundToInt(a[0].Real())) : nullptr;
  if (!path) {
    ReportRuntimeError("Trying to drawn non-existing path.");
    return;
  }
  const std::vector<RPolylinePoint> line =
      PathPolyline(ComputePathCurve(*path), a[1].Real(), a[2].Real(), IsTrue(a[3].Real()));
  if (line.size() < 2 || !gfx::DeviceExists()) return;
  const uint32_t colour = gfx::DrawDeviceColour();
  const float z = static_cast<float>(gfx::D3D().depth);
  std::vector<plat::Vertex> v;
  v.reserve(line.size());
  for (const RPolylinePoint& p : line)
    v.push_back({static_cast<float>(p.x), static_cast<float>(p.y), z, colour, 0.0f, 0.0f});
  gfx::DeviceBindTexture(plat::kNoTexture);
  gfx::D3D().gpu->Draw(plat::PrimKind::LineStrip, false, v.data(), static_cast<int>(v.size()));
}

}  // namespace

void RegisterPathDrawFunctions() {
  RegisterFunction("draw_path", FnDrawPath, 4);
  DescribeFunctions("Paths", {
      {"draw_path", "path, x, y, absolute",
       "Draws the path starting at (x, y), or at its own coordinates when absolute is true."},
  });
}

}  // namespace kv
