#include "motion/function_planning.h"

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/function_args.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "motion/motion_planning.h"
#include "motion/motion_select.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

using namespace fnargs;
using namespace motion;

constexpr int kForbiddenColour = 0x0000FF;
constexpr int kFreeColour = 0x008000;

Avoid AvoidAll(bool checkAll) { return {kAll, checkAll, nullptr}; }
Avoid AvoidObject(int obj, const CInstance* other) { return {obj, true, other}; }

// The path a path function fills; reports when it does not exist.
CPath* TargetPath(int index) {
  GameResources* res = WorldResources();
  CPath* p = res ? res->paths.Get(index) : nullptr;
  if (!p) ReportRuntimeError("Trying to assign to a non-existing path.");
  return p;
}

// ---- steps ----
void FnLinearStep(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(self && LinearStep(*self, D(a, 0), D(a, 1), D(a, 2), AvoidAll(B(a, 3))) ? 1 : 0);
}
void FnLinearStepObject(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r.SetReal(self && LinearStep(*self, D(a, 0), D(a, 1), D(a, 2), AvoidObject(I(a, 3), other)) ? 1 : 0);
}
void FnPotentialStep(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(self && PotentialStep(*self, D(a, 0), D(a, 1), D(a, 2), AvoidAll(B(a, 3))) ? 1 : 0);
}
void FnPotentialStepObject(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r.SetReal(self && PotentialStep(*self, D(a, 0), D(a, 1), D(a, 2), AvoidObject(I(a, 3), other)) ? 1 : 0);
}
void FnPotentialSettings(RValue&, CInstance*, CInstance*, int, RValue* a) {
  SetPotentialSettings(D(a, 0), D(a, 1), D(a, 2), B(a, 3));
}

// ---- paths ----
void FnLinearPath(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  CPath* p = TargetPath(I(a, 0));
  r.SetReal(p && self && LinearPath(*self, *p, D(a, 1), D(a, 2), D(a, 3), AvoidAll(B(a, 4))) ? 1 : 0);
}
void FnLinearPathObject(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  CPath* p = TargetPath(I(a, 0));
  r.SetReal(p && self && LinearPath(*self, *p, D(a, 1), D(a, 2), D(a, 3), AvoidObject(I(a, 4), other)) ? 1 : 0);
}
void FnPotentialPath(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  CPath* p = TargetPath(I(a, 0));
  r.SetReal(p && self && PotentialPath(*self, *p, D(a, 1), D(a, 2), D(a, 3), D(a, 4), AvoidAll(B(a, 5))) ? 1 : 0);
}
void FnPotentialPathObject(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  CPath* p = TargetPath(I(a, 0));
  r.SetReal(
      p && self && PotentialPath(*self, *p, D(a, 1), D(a, 2), D(a, 3), D(a, 4), AvoidObject(I(a, 5), other)) ? 1
                                                                                                            : 0);
}

// ---- grids ----
void FnGridCreate(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r.SetReal(CreateGrid(I(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4), I(a, 5)));
}
void FnGridDestroy(RValue&, CInstance*, CInstance*, int, RValue* a) { DestroyGrid(I(a, 0)); }
void FnGridClearAll(RValue&, CInstance*, CInstance*, int, RValue* a) {
  if (CGrid* g = GetGrid(I(a, 0))) std::fill(g->cells.begin(), g->cells.end(), 0);
}
void SetCell(RValue* a, int32_t value) {
  CGrid* g = GetGrid(I(a, 0));
  const int h = I(a, 1), v = I(a, 2);
  if (g && g->InGrid(h, v)) g->At(h, v) = value;
}
void FnGridClearCell(RValue&, CInstance*, CInstance*, int, RValue* a) { SetCell(a, 0); }
void FnGridAddCell(RValue&, CInstance*, CInstance*, int, RValue* a) { SetCell(a, -1); }
void FillRect(RValue* a, int32_t value) {
  if (CGrid* g = GetGrid(I(a, 0))) g->FillRectangle(I(a, 1), I(a, 2), I(a, 3), I(a, 4), value);
}
void FnGridClearRectangle(RValue&, CInstance*, CInstance*, int, RValue* a) { FillRect(a, 0); }
void FnGridAddRectangle(RValue&, CInstance*, CInstance*, int, RValue* a) { FillRect(a, -1); }

// Forbids the cells covering each instance's box; with prec only the free cells the instance really meets.
void ForbidInstanceCells(CGrid& g, const CInstance& inst, bool prec) {
  if (!prec) {
    g.FillRectangle(inst.bboxLeft, inst.bboxTop, inst.bboxRight, inst.bboxBottom, -1);
    return;
  }
  int i0, i1, j0, j1;
  if (!g.CellRange(inst.bboxLeft, inst.bboxTop, inst.bboxRight, inst.bboxBottom, i0, i1, j0, j1)) return;
  for (int i = i0; i <= i1; ++i) {
    for (int j = j0; j <= j1; ++j) {
      if (g.At(i, j) != 0) continue;
      const double x = double(g.left) + double(i) * g.cellWidth, y = double(g.top) + double(j) * g.cellHeight;
      if (inst.CollidesRect(x, y, x + g.cellWidth - 1, y + g.cellHeight - 1, true)) g.At(i, j) = -1;
    }
  }
}
void FnGridAddInstances(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  CGrid* g = GetGrid(I(a, 0));
  CLiveRoom* room = CurrentRoom();
  if (!g || !room) return;
  int obj = I(a, 1);
  if (obj == kSelf) obj = self ? self->id : kNoone;
  else if (obj == kOther) obj = other ? other->id : kNoone;
  const bool prec = B(a, 2);
  ForEachSelected(*room, obj, [&](CInstance* i) {
    ForbidInstanceCells(*g, *i, prec);
    return true;
  });
}
void FnGridPath(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  CGrid* g = GetGrid(I(a, 0));
  if (!g) return;
  CPath* p = TargetPath(I(a, 1));
  r.SetReal(p && g->FindPath(*p, D(a, 2), D(a, 3), D(a, 4), D(a, 5), B(a, 6)) ? 1 : 0);
}
void FnGridDraw(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const CGrid* g = GetGrid(I(a, 0));
  if (!g || !gfx::DeviceExists()) return;
  for (int i = 0; i < g->hcells; ++i) {
    for (int j = 0; j < g->vcells; ++j) {
      const double x = double(g->left) + double(i) * g->cellWidth, y = double(g->top) + double(j) * g->cellHeight;
      const int c = g->At(i, j) < 0 ? kForbiddenColour : kFreeColour;
      gfx::RectangleColour(x, y, x + g->cellWidth, y + g->cellHeight, c, c, c, c, false);
    }
  }
}

}  // namespace

void RegisterPlanningFunctions() {
  Reg("mp_linear_step", 4, FnLinearStep);
  Reg("mp_linear_step_object", 4, FnLinearStepObject);
  Reg("mp_potential_step", 4, FnPotentialStep);
  Reg("mp_potential_step_object", 4, FnPotentialStepObject);
  Reg("mp_potential_settings", 4, FnPotentialSettings);
  Reg("mp_linear_path", 5, FnLinearPath);
  Reg("mp_linear_path_object", 5, FnLinearPathObject);
  Reg("mp_potential_path", 6, FnPotentialPath);
  Reg("mp_potential_path_object", 6, FnPotentialPathObject);
  Reg("mp_grid_create", 6, FnGridCreate);
  Reg("mp_grid_destroy", 1, FnGridDestroy);
  Reg("mp_grid_clear_all", 1, FnGridClearAll);
  Reg("mp_grid_clear_cell", 3, FnGridClearCell);
  Reg("mp_grid_add_cell", 3, FnGridAddCell);
  Reg("mp_grid_clear_rectangle", 5, FnGridClearRectangle);
  Reg("mp_grid_add_rectangle", 5, FnGridAddRectangle);
  Reg("mp_grid_add_instances", 3, FnGridAddInstances);
  Reg("mp_grid_path", 7, FnGridPath);
  Reg("mp_grid_draw", 1, FnGridDraw);
  DescribeFunctions("Motion planning", {
      {"mp_linear_step", "x, y, stepsize, checkall",
       "Takes one step straight towards (x, y), stopping at obstacles; whether the goal is reached."},
      {"mp_linear_step_object", "x, y, stepsize, obj",
       "Takes one step straight towards (x, y), stopping at instances of obj; whether the goal is reached."},
      {"mp_potential_step", "x, y, stepsize, checkall",
       "Takes one step towards (x, y), steering around obstacles; whether the goal is reached."},
      {"mp_potential_step_object", "x, y, stepsize, obj",
       "Takes one step towards (x, y), steering around instances of obj; whether the goal is reached."},
      {"mp_potential_settings", "maxrot, rotstep, ahead, onspot",
       "Sets how the potential steps steer: largest turn, turn increment, steps looked ahead, turning on the spot."},
      {"mp_linear_path", "path, xg, yg, stepsize, checkall",
       "Fills path with a straight route from the current instance to (xg, yg); whether it reaches the goal."},
      {"mp_linear_path_object", "path, xg, yg, stepsize, obj",
       "Fills path with a straight route to (xg, yg) avoiding instances of obj; whether it reaches the goal."},
      {"mp_potential_path", "path, xg, yg, stepsize, factor, checkall",
       "Fills path with a steered route from the current instance to (xg, yg); whether it reaches the goal."},
      {"mp_potential_path_object", "path, xg, yg, stepsize, factor, obj",
       "Fills path with a steered route to (xg, yg) avoiding instances of obj; whether it reaches the goal."},
      {"mp_grid_create", "left, top, hcells, vcells, cellwidth, cellheight",
       "Creates a grid for route finding over the room and returns its id."},
      {"mp_grid_destroy", "id", "Destroys the grid."},
      {"mp_grid_clear_all", "id", "Marks every cell of the grid free."},
      {"mp_grid_clear_cell", "id, h, v", "Marks cell (h, v) of the grid free."},
      {"mp_grid_add_cell", "id, h, v", "Marks cell (h, v) of the grid forbidden."},
      {"mp_grid_clear_rectangle", "id, left, top, right, bottom",
       "Marks the cells covering the room rectangle free."},
      {"mp_grid_add_rectangle", "id, left, top, right, bottom",
       "Marks the cells covering the room rectangle forbidden."},
      {"mp_grid_add_instances", "id, obj, prec", "Marks the cells covered by instances of obj forbidden."},
      {"mp_grid_path", "id, path, xstart, ystart, xgoal, ygoal, allowdiag",
       "Fills path with a route through free cells; whether one was found."},
      {"mp_grid_draw", "id", "Draws the grid, free cells green and forbidden ones red."},
  });
}

}  // namespace kv
