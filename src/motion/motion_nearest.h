// instance_nearest: the instance of a selection whose position is nearest to a point, equal distances going to the
// first in list order, and nothing beyond a squared distance of 1e10.
//
// Large family selections are searched ring by ring over a grid of the instances' positions, filed once and kept
// while no instance moved and the list did not change (many searches between two motion phases share it). The
// answer is the plain walk's: the smallest (distance, list position).
#pragma once

namespace kv {
class CInstance;
class CLiveRoom;
}  // namespace kv

namespace kv::motion {

CInstance* NearestInstance(CLiveRoom& room, int obj, double x, double y);
// The same by walking the selection's list.
CInstance* NearestInstanceByScan(CLiveRoom& room, int obj, double x, double y);

}  // namespace kv::motion
