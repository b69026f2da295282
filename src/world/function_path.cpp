#include "world/function_path.h"

#include <memory>
#include <string>

#include "actions/function_action.h"
#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/function_args.h"
#include "world/path_edit.h"
#include "world/path_follow.h"
#include "world/path_points.h"
#include "world/timeline_run.h"
#include "world/world_state.h"

namespace kv {

namespace {

using namespace fnargs;

ResourceTable<CPath>* Paths() {
  GameResources* res = WorldResources();
  return res ? &res->paths : nullptr;
}
CPath* PathAt(int index) {
  ResourceTable<CPath>* t = Paths();
  return t ? t->Get(index) : nullptr;
}
ResourceTable<CTimeLine>* TimeLines() {
  GameResources* res = WorldResources();
  return res ? &res->timelines : nullptr;
}

// ---- path resources (shared with motion planning) ----

int AddPathSlot(std::unique_ptr<CPath> path) {
  ResourceTable<CPath>* t = Paths();
  if (!t) return -1;
  const int index = t->Add("", std::move(path));
  t->SetName(index, "__newpath" + std::to_string(index));
  return index;
}

// ---- instance on a path ----
void FnPathStart(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) StartPath(*self, I(a, 0), D(a, 1), I(a, 2), B(a, 3));
}
void FnPathEnd(RValue&, CInstance* self, CInstance*, int, RValue*) {
  if (self) StartPath(*self, -1, 0, 0, false);
}

// ---- reading paths ----
template <class Get>
void ReadPath(RValue& r, RValue* a, Get&& get) {
  const CPath* p = PathAt(I(a, 0));
  r.SetReal(p ? get(*p) : 0.0);
}
void FnPathExists(RValue& r, CInstance*, CInstance*, int, RValue* a) { r.SetReal(PathAt(I(a, 0)) ? 1 : 0); }
void FnPathName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const ResourceTable<CPath>* t = Paths();
  const int i = I(a, 0);
  r = RValue(std::string_view(t && t->Exists(i) ? t->Name(i) : std::string_view()));
}
void FnPathGetLength(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [](const CPath& p) { return p.Curve().length; });
}
void FnPathGetKind(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [](const CPath& p) { return double(p.kind); });
}
void FnPathGetClosed(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [](const CPath& p) { return p.closed ? 1.0 : 0.0; });
}
void FnPathGetPrecision(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [](const CPath& p) { return double(p.precision); });
}
void FnPathGetNumber(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [](const CPath& p) { return double(p.points.size()); });
}
void FnPathGetPointX(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [&](const CPath& p) { return path_edit::GetPoint(p, I(a, 1)).x; });
}
void FnPathGetPointY(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [&](const CPath& p) { return path_edit::GetPoint(p, I(a, 1)).y; });
}
void FnPathGetPointSpeed(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [&](const CPath& p) { return path_edit::GetPoint(p, I(a, 1)).speed; });
}
void FnPathGetX(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [&](const CPath& p) { return p.Curve().PositionAt(D(a, 1)).x; });
}
void FnPathGetY(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [&](const CPath& p) { return p.Curve().PositionAt(D(a, 1)).y; });
}
void FnPathGetSpeed(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  ReadPath(r, a, [&](const CPath& p) { return p.Curve().PositionAt(D(a, 1)).speed; });
}

// ---- changing paths ----
template <class Change>
void ChangePath(RValue* a, Change&& change) {
  if (CPath* p = PathAt(I(a, 0))) change(*p);
}
void FnPathSetKind(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::SetKind(p, I(a, 1)); });
}
void FnPathSetClosed(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::SetClosed(p, B(a, 1)); });
}
void FnPathSetPrecision(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::SetPrecision(p, I(a, 1)); });
}
void FnPathAddPoint(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::AddPoint(p, D(a, 1), D(a, 2), D(a, 3)); });
}
void FnPathInsertPoint(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::InsertPoint(p, I(a, 1), D(a, 2), D(a, 3), D(a, 4)); });
}
void FnPathChangePoint(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::ChangePoint(p, I(a, 1), D(a, 2), D(a, 3), D(a, 4)); });
}
void FnPathDeletePoint(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::DeletePoint(p, I(a, 1)); });
}
void FnPathClearPoints(RValue&, CInstance*, CInstance*, int, RValue* a) { ChangePath(a, path_edit::ClearPoints); }
void FnPathReverse(RValue&, CInstance*, CInstance*, int, RValue* a) { ChangePath(a, path_edit::Reverse); }
void FnPathMirror(RValue&, CInstance*, CInstance*, int, RValue* a) { ChangePath(a, path_edit::Mirror); }
void FnPathFlip(RValue&, CInstance*, CInstance*, int, RValue* a) { ChangePath(a, path_edit::Flip); }
void FnPathRotate(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::Rotate(p, D(a, 1)); });
}
void FnPathScale(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::Scale(p, D(a, 1), D(a, 2)); });
}
void FnPathShift(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ChangePath(a, [&](CPath& p) { path_edit::Shift(p, D(a, 1), D(a, 2)); });
}

// ---- path resources ----
void FnPathAdd(RValue& r, CInstance*, CInstance*, int, RValue*) {
  r.SetReal(AddPathSlot(std::make_unique<CPath>()));
}
void FnPathDuplicate(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const CPath* p = PathAt(I(a, 0));
  if (!p) {
    ReportRuntimeError("Trying to duplicate non-existing path.");
    r.SetReal(-1);
    return;
  }
  r.SetReal(AddPathSlot(std::make_unique<CPath>(*p)));
}
void FnPathAssign(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ResourceTable<CPath>* t = Paths();
  const int dest = I(a, 0);
  const CPath* src = PathAt(I(a, 1));
  if (!t || !src || dest < 0 || dest >= t->Count()) {
    ReportRuntimeError("Error assigning a path.");
    return;
  }
  if (CPath* d = t->Get(dest)) {
    if (d != src) *d = *src;
    return;
  }
  t->Set(dest, std::make_unique<CPath>(*src));
  t->SetName(dest, "__newpath" + std::to_string(dest));
}
void FnPathAppend(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CPath* dest = PathAt(I(a, 0));
  if (!dest) {
    ReportRuntimeError("Appending to non-existing path.");
    return;
  }
  const CPath* src = PathAt(I(a, 1));
  if (!src) {
    ReportRuntimeError("Appending a non-existing path.");
    return;
  }
  path_edit::Append(*dest, *src);
}
void FnPathDelete(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ResourceTable<CPath>* t = Paths();
  if (!t || !t->Delete(I(a, 0))) ReportRuntimeError("Trying to delete non-existing path.");
}

// ---- time line resources ----
void FnTimeLineExists(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const ResourceTable<CTimeLine>* t = TimeLines();
  r.SetReal(t && t->Exists(I(a, 0)) ? 1 : 0);
}
void FnTimeLineName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const ResourceTable<CTimeLine>* t = TimeLines();
  const int i = I(a, 0);
  r = RValue(std::string_view(t && t->Exists(i) ? t->Name(i) : std::string_view()));
}
void FnTimeLineAdd(RValue& r, CInstance*, CInstance*, int, RValue*) {
  ResourceTable<CTimeLine>* t = TimeLines();
  if (!t) {
    r.SetReal(-1);
    return;
  }
  const int index = t->Add("", std::make_unique<CTimeLine>());
  t->SetName(index, "__newtimeline" + std::to_string(index));
  r.SetReal(index);
}
void FnTimeLineDelete(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ResourceTable<CTimeLine>* t = TimeLines();
  if (!t || !t->Delete(I(a, 0))) ReportRuntimeError("Trying to delete non-existing timeline.");
}
void FnTimeLineMomentClear(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ResourceTable<CTimeLine>* t = TimeLines();
  if (CTimeLine* line = t ? t->Get(I(a, 0)) : nullptr) timeline::DeleteMoment(*line, I(a, 1));
}
// Appends a code action to the moment (made when missing) and prepares it at once, so a compile error is
// reported now.
void FnTimeLineMomentAdd(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ResourceTable<CTimeLine>* t = TimeLines();
  CTimeLine* line = t ? t->Get(I(a, 0)) : nullptr;
  if (!line) return;
  CEvent& moment = timeline::AddMoment(*line, I(a, 1));
  CAction action;
  action.kind = kActionCode;
  action.exeType = kExeCode;
  action.argumentCount = 1;
  action.argumentTexts[0] = Str(a, 2);
  moment.actions.push_back(std::move(action));
  PrepareAction(moment.actions.back());
}

}  // namespace

int AddRuntimePath() { return AddPathSlot(std::make_unique<CPath>()); }

void RegisterPathFunctions() {
  Reg("path_start", 4, FnPathStart);
  Reg("path_end", 0, FnPathEnd);
  Reg("path_exists", 1, FnPathExists);
  Reg("path_name", 1, FnPathName);
  Reg("path_get_name", 1, FnPathName);
  Reg("path_get_length", 1, FnPathGetLength);
  Reg("path_get_kind", 1, FnPathGetKind);
  Reg("path_get_closed", 1, FnPathGetClosed);
  Reg("path_get_precision", 1, FnPathGetPrecision);
  Reg("path_get_number", 1, FnPathGetNumber);
  Reg("path_get_point_x", 2, FnPathGetPointX);
  Reg("path_get_point_y", 2, FnPathGetPointY);
  Reg("path_get_point_speed", 2, FnPathGetPointSpeed);
  Reg("path_get_x", 2, FnPathGetX);
  Reg("path_get_y", 2, FnPathGetY);
  Reg("path_get_speed", 2, FnPathGetSpeed);
  Reg("path_set_kind", 2, FnPathSetKind);
  Reg("path_set_closed", 2, FnPathSetClosed);
  Reg("path_set_precision", 2, FnPathSetPrecision);
  Reg("path_add", 0, FnPathAdd);
  Reg("path_duplicate", 1, FnPathDuplicate);
  Reg("path_assign", 2, FnPathAssign);
  Reg("path_append", 2, FnPathAppend);
  Reg("path_delete", 1, FnPathDelete);
  Reg("path_add_point", 4, FnPathAddPoint);
  Reg("path_insert_point", 5, FnPathInsertPoint);
  Reg("path_change_point", 5, FnPathChangePoint);
  Reg("path_delete_point", 2, FnPathDeletePoint);
  Reg("path_clear_points", 1, FnPathClearPoints);
  Reg("path_reverse", 1, FnPathReverse);
  Reg("path_mirror", 1, FnPathMirror);
  Reg("path_flip", 1, FnPathFlip);
  Reg("path_rotate", 2, FnPathRotate);
  Reg("path_scale", 3, FnPathScale);
  Reg("path_shift", 3, FnPathShift);
  Reg("timeline_exists", 1, FnTimeLineExists);
  Reg("timeline_name", 1, FnTimeLineName);
  Reg("timeline_get_name", 1, FnTimeLineName);
  Reg("timeline_add", 0, FnTimeLineAdd);
  Reg("timeline_delete", 1, FnTimeLineDelete);
  Reg("timeline_moment_clear", 2, FnTimeLineMomentClear);
  Reg("timeline_moment_add", 3, FnTimeLineMomentAdd);
  DescribeFunctions("Paths", {
      {"path_start", "path, speed, endaction, absolute",
       "Starts the current instance on the path with the given speed and end action; absolute uses the path's own "
       "coordinates."},
      {"path_end", "", "Stops the current instance's path."},
      {"path_exists", "ind", "Whether path ind exists."},
      {"path_name", "ind", "The name of path ind."},
      {"path_get_name", "ind", "The name of path ind."},
      {"path_get_length", "ind", "The length of path ind in pixels."},
      {"path_get_kind", "ind", "The kind of path ind: 0 straight, 1 smooth."},
      {"path_get_closed", "ind", "Whether path ind is closed."},
      {"path_get_precision", "ind", "The precision of the smooth curve of path ind, 0 to 8."},
      {"path_get_number", "ind", "The number of defining points of path ind."},
      {"path_get_point_x", "ind, n", "The x of point n of path ind."},
      {"path_get_point_y", "ind, n", "The y of point n of path ind."},
      {"path_get_point_speed", "ind, n", "The speed factor of point n of path ind."},
      {"path_get_x", "ind, pos", "The x at position pos (0 to 1) along path ind."},
      {"path_get_y", "ind, pos", "The y at position pos (0 to 1) along path ind."},
      {"path_get_speed", "ind, pos", "The speed factor at position pos (0 to 1) along path ind."},
      {"path_set_kind", "ind, val", "Makes path ind straight (0) or smooth (1)."},
      {"path_set_closed", "ind, closed", "Makes path ind closed or open."},
      {"path_set_precision", "ind, prec", "Sets the precision of the smooth curve of path ind, 0 to 8."},
      {"path_add", "", "Adds a new empty path and returns its index."},
      {"path_duplicate", "ind", "Adds a copy of path ind and returns its index."},
      {"path_assign", "ind, path", "Makes path ind a copy of path path."},
      {"path_append", "ind, path", "Appends the points of path path to path ind."},
      {"path_delete", "ind", "Deletes path ind."},
      {"path_add_point", "ind, x, y, speed", "Adds a point with speed factor speed to the end of path ind."},
      {"path_insert_point", "ind, n, x, y, speed", "Inserts a point before point n of path ind."},
      {"path_change_point", "ind, n, x, y, speed", "Changes point n of path ind."},
      {"path_delete_point", "ind, n", "Deletes point n of path ind."},
      {"path_clear_points", "ind", "Removes every point of path ind."},
      {"path_reverse", "ind", "Reverses the order of the points of path ind."},
      {"path_mirror", "ind", "Mirrors path ind horizontally around its centre."},
      {"path_flip", "ind", "Flips path ind vertically around its centre."},
      {"path_rotate", "ind, angle", "Rotates path ind by angle degrees around its centre."},
      {"path_scale", "ind, xscale, yscale", "Scales path ind around its centre."},
      {"path_shift", "ind, xshift, yshift", "Moves every point of path ind by (xshift, yshift)."},
  });
  DescribeFunctions("Time lines", {
      {"timeline_exists", "ind", "Whether time line ind exists."},
      {"timeline_name", "ind", "The name of time line ind."},
      {"timeline_get_name", "ind", "The name of time line ind."},
      {"timeline_add", "", "Adds a new empty time line and returns its index."},
      {"timeline_delete", "ind", "Deletes time line ind."},
      {"timeline_moment_clear", "ind, step", "Removes the moment at step from time line ind."},
      {"timeline_moment_add", "ind, step, codestr", "Adds the code codestr to the moment at step of time line ind."},
  });
}

}  // namespace kv
