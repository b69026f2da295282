// Changing a path while the game runs: kind, closed flag, precision, its points one by one, and whole-path
// transformations (reverse, shift, and mirror, flip, rotate, scale around the centre of the points' bounding
// rectangle). Every change drops the path's computed curve, so the next use computes it afresh. Point indices
// out of range are ignored.
#pragma once

#include "world/path_class.h"

namespace kv::path_edit {

void SetKind(CPath& p, int kind);        // 0 or 1; any other value gives 0
void SetClosed(CPath& p, bool closed);
void SetPrecision(CPath& p, int precision);  // clamped to 0 ... 8
// (x, y, speed) of point i; (0, 0, 1) out of range.
RPathPoint GetPoint(const CPath& p, int i);
void AddPoint(CPath& p, double x, double y, double speed);
void InsertPoint(CPath& p, int i, double x, double y, double speed);  // 0 <= i <= count
void ChangePoint(CPath& p, int i, double x, double y, double speed);
void DeletePoint(CPath& p, int i);
void ClearPoints(CPath& p);
void Reverse(CPath& p);
void Shift(CPath& p, double dx, double dy);
void Mirror(CPath& p);
void Flip(CPath& p);
void Rotate(CPath& p, double degrees);
void Scale(CPath& p, double xs, double ys);
void Append(CPath& p, const CPath& other);

}  // namespace kv::path_edit
