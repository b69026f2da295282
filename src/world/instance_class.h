// CInstance: one live copy of an object in a room — its built-in fields, its own variables and its `Deleted` and
// `Deactivated` marks — with the setters that keep the fields consistent (position and bounding box, speed and
// direction against the horizontal and vertical components, sprite and frame), the per-step motion and animation
// rules and the collision tests against a point, a rectangle, an ellipse, a line and another instance.
//
// Fields are public so the interpreter and the built-in variable table can read them fast; every write that has
// side effects must go through the matching setter (SetPosition, SetSpeed, ...). Plain fields without side effects
// (image_speed, friction, gravity, alarms through SetAlarm, ...) may be assigned directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "code/code_variable.h"

namespace kv {

struct CObject;
class CLiveRoom;

// Pixel-mask tests of the sprite module. Each receives the collision sprite, the frame (floor of image_index, not
// yet reduced), the instance's bounding box where the test needs it, its rounded position, scales and angle. A null
// hook means "the sprite has no masks": the bounding box decides, which is also the answer for sprites without masks.
struct MaskBox {
  int left, top, right, bottom;
};
struct MaskTests {
  bool (*pointHits)(int sprite, int frame, int px, int py, int ix, int iy, double sx, double sy,
                    double angle) = nullptr;
  bool (*rectangleHits)(int sprite, int frame, MaskBox box, MaskBox rect, int ix, int iy, double sx, double sy,
                        double angle) = nullptr;
  bool (*ellipseHits)(int sprite, int frame, MaskBox box, MaskBox rect, int ix, int iy, double sx, double sy,
                      double angle) = nullptr;
  bool (*lineHits)(int sprite, int frame, MaskBox box, int x1, int y1, int x2, int y2, int ix, int iy, double sx,
                   double sy, double angle) = nullptr;
  bool (*spritesOverlap)(int sprite1, int frame1, MaskBox box1, int ix1, int iy1, double sx1, double sy1,
                         double angle1, int sprite2, int frame2, MaskBox box2, int ix2, int iy2, double sx2,
                         double sy2, double angle2) = nullptr;
};
void SetMaskTests(const MaskTests& tests);
const MaskTests& GetMaskTests();

// Degrees to radians in extended precision (one helper so every angle of the world converts alike).
inline long double DegToRad(double degrees) {
  constexpr long double kPi = 3.141592653589793238462643383279502884L;
  return static_cast<long double>(degrees) * kPi / 180.0L;
}
// The nearest integer when v lies within 0.0001 of it, else v (keeps motion components exact for axis motion).
double SnapToInteger(double v);
// Nearest int, halves to even, saturated at the int range (NaN gives 0): the world's real → pixel rounding.
int32_t RoundPixelSlow(double v);
inline int32_t RoundPixel(double v) {
  if (v > -2147483648.0 && v < 2147483647.0) {
    // Adding and removing 1.5 * 2^52 leaves no fraction bits, so the sum is rounded the way the FPU rounds
    // (to nearest, halves to even) — what nearbyint gives, without a library call.
    constexpr double kShift = 6755399441055744.0;
    return static_cast<int32_t>((v + kShift) - kShift);
  }
  return RoundPixelSlow(v);
}

constexpr int kAlarmCount = 12;
constexpr int kNoBoundingBox = -100000;

class CInstance {
 public:
  CInstance() = default;
  // A bare instance: id, object index and position set, every other field at its default (no object defaults).
  CInstance(int32_t id, int32_t objectIndex, double x, double y);
  // A new room instance: the bare instance plus the object's sprite, mask, depth and flags, and its bounding box.
  static CInstance Make(int32_t id, int32_t objectIndex, double x, double y);
  // What Make adds to a bare instance: the object's defaults and the bounding box.
  void ApplyObjectDefaults();

  // Copy of every field (including id, locals, Deleted, Deactivated, path and time line fields, CreationCode). The
  // room's bookkeeping (list position, destroy in progress) belongs to this instance and is kept.
  void CopyFrom(const CInstance& other);

  // ---- setters: the only writers of fields with side effects ----
  void SetPosition(double nx, double ny);
  void SetSprite(int32_t sprite);
  void SetMask(int32_t mask);
  void SetXScale(double s);
  void SetYScale(double s);
  void SetAngle(double a);
  // object_index; when the object exists, its sprite (through SetSprite), mask, depth, solid, visible, persistent.
  void SetObject(int32_t objectIndex);
  void SetDirection(double d);
  void SetSpeed(double s);
  void SetHSpeed(double h);
  void SetVSpeed(double v);
  void AddMotion(double s, double d);
  void MoveTowards(double tx, double ty, double s);
  int32_t GetAlarm(int i) const { return i >= 0 && i < kAlarmCount ? alarm[i] : -1; }
  void SetAlarm(int i, int32_t v) {
    if (i >= 0 && i < kAlarmCount) alarm[i] = v;
  }
  void SetPathPosition(double p);
  void SetPathPositionPrevious(double p);

  // Recomputes bbox_* and Precise from the position, scales, angle and collision sprite.
  void ComputeBoundingBox();
  // What the instance's collision shape would be at another position: the bounding box and Precise that
  // ComputeBoundingBox would give there. Place queries test such a trial shape without moving the instance.
  struct TrialShape {
    double x, y;
    MaskBox box;
    bool precise;
  };
  TrialShape ShapeAt(double px, double py) const;
  // The sprite used for collisions: mask_index when >= 0, else sprite_index.
  int32_t CollisionSprite() const { return maskIndex >= 0 ? maskIndex : spriteIndex; }

  // ---- per-step rules ----
  // Friction toward zero (stopping on a sign flip; negative friction accelerates), then gravity.
  void ApplyFrictionAndGravity() {
    if (friction != 0 || gravity != 0) ApplyFrictionAndGravityNow();
  }
  // image_index += image_speed; true when the animation wrapped (the caller raises animation end). Without a sprite
  // the frame count is 0, so every step with a non-negative image_index wraps.
  bool Animate();

  // ---- collision tests (false for a Deleted instance) ----
  bool CollidesPoint(double px, double py, bool preciseCheck) const;
  bool CollidesRect(double x1, double y1, double x2, double y2, bool preciseCheck) const;
  bool CollidesEllipse(double x1, double y1, double x2, double y2, bool preciseCheck) const;
  bool CollidesLine(double x1, double y1, double x2, double y2, bool preciseCheck) const;
  bool CollidesInstance(const CInstance& other, bool preciseCheck) const;
  // CollidesInstance with this instance's position, box and Precise taken from a trial shape.
  bool CollidesInstanceAs(const TrialShape& me, const CInstance& other, bool preciseCheck) const;

  // ---- fields ----
  // Grouped by use rather than by their order in saved games: what every per-step pass over the instances reads
  // (flags, position, motion, box, frame, previous position, variables) comes first and fills the first cache
  // lines, so passes over thousands of instances touch as little memory as possible.
  int32_t id = 0;
  int32_t objectIndex = 0;
  int32_t spriteIndex = -1;
  int32_t maskIndex = -1;
  bool deleted = false;      // `Deleted`: destroyed, waiting to be removed at the end of the step
  bool deactivated = false;  // `Deactivated`: to be moved to the room's deactivated list
  bool visible = true;
  bool solid = false;
  bool persistent = false;
  bool precise = false;  // `Precise`: the collision sprite asks for pixel checking
  int32_t pathIndex = -1;
  int32_t timelineIndex = -1;
  double x = 0.0, y = 0.0;
  double hSpeed = 0, vSpeed = 0;
  int32_t bboxLeft = kNoBoundingBox, bboxTop = kNoBoundingBox, bboxRight = kNoBoundingBox,
          bboxBottom = kNoBoundingBox;
  double imageIndex = 0;
  double imageSpeed = 1;
  double imageXScale = 1, imageYScale = 1;
  double imageAngle = 0;
  double friction = 0;
  double gravity = 0;
  double xPrevious = 0, yPrevious = 0;
  double pathPosition = 0, pathPositionPrevious = 0;
  CVariableList locals;      // `Locals`: the instance's own (user) variables
  std::array<int32_t, kAlarmCount> alarm{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  double depth = 0;
  double direction = 0;
  double speed = 0;
  double gravityDirection = 270;
  double imageAlpha = 1;
  int32_t imageBlend = 0xFFFFFF;
  int32_t pathEndAction = 0;
  double xStart = 0, yStart = 0;
  double pathSpeed = 0, pathScale = 1, pathOrientation = 0;
  double pathRefX = 0, pathRefY = 0;
  double timelinePosition = 0, timelineSpeed = 1;
  std::string creationCode;

  // ---- room bookkeeping (not copied by CopyFrom) ----
  int32_t activePos = -1;    // position in the room's active list, refreshed whenever the list is reordered
  // Order of the instance in its exact and family lists: taken from a per-room counter whenever the instance
  // joins the look-up lists, so sorting candidates by it gives their list order.
  int64_t lookupRank = 0;
  CLiveRoom* countedIn = nullptr;  // the room whose live counts include it (listed there and not Deleted)
  bool destroying = false;   // its destroy event is running (a nested destroy of it does nothing)

 private:
  void ApplyFrictionAndGravityNow();
  void ComponentsFromPolar();
  void PolarFromComponents();
  // Shared tail of the point-like tests: true unless a precise check must consult the mask.
  bool NeedsMask(bool preciseCheck) const { return preciseCheck && precise; }
  int Frame() const;
};

}  // namespace kv
