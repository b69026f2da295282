// Drawing particle systems: one system now (part_system_drawit), and the operations room drawing uses to
// interleave the automatically drawn systems with instances and tiles by depth.
#pragma once

namespace kv::particles {

class CParticleSystem;

// Draws the system's particles (oldest first, or newest first when its draw order says so).
void DrawSystem(CParticleSystem& s);
void DrawSystemById(int id);

// Room drawing. The highest depth below `below` among the existing systems with automatic draw that this pass
// has not drawn yet (−1e9 when none); `below` = +infinity starts a new pass (each view of each frame).
double AutoDrawDepthBelow(double below);
// Draws every such system whose depth lies within 0.01 of `depth`, once per pass.
void DrawAutoSystemsAt(double depth);

}  // namespace kv::particles
