#include "world/instance_variables.h"

#include "actions/function_action.h"
#include "code/code_docs.h"
#include "code/code_instance.h"
#include "code/code_variable.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

using Read = BuiltinVarRead;
using Write = BuiltinVarWrite;

// Value conversions of built-in writes: int rounds (halves to even) into 32 bits; bool is true when the rounded
// value is 1 or more; real stores the number unchanged.
int32_t AsInt(const RValue& v) { return RoundToInt32Wrap(v.Real()); }
bool AsBool(const RValue& v) { return RoundToInt64(v.Real()) >= 1; }
// Array variables address element 0 for an index outside their range.
int Slot(int64_t index, int size) { return index >= 0 && index < size ? static_cast<int>(index) : 0; }

#define KV_REAL_FIELD(name, field)                                 \
  bool Read_##name(CInstance* i, int64_t, RValue& out) {           \
    out = RValue(static_cast<double>(i->field));                   \
    return true;                                                   \
  }
#define KV_PLAIN_WRITE(name, field)                                \
  bool Write_##name(CInstance* i, int64_t, const RValue& v) {      \
    i->field = v.Real();                                           \
    return true;                                                   \
  }
#define KV_SETTER_WRITE(name, call)                                        \
  bool Write_##name(CInstance* i, [[maybe_unused]] int64_t index, const RValue& v) { \
    call;                                                          \
    return true;                                                   \
  }

KV_REAL_FIELD(x, x)
KV_REAL_FIELD(y, y)
KV_SETTER_WRITE(x, i->SetPosition(v.Real(), i->y))
KV_SETTER_WRITE(y, i->SetPosition(i->x, v.Real()))
KV_REAL_FIELD(xprevious, xPrevious)
KV_PLAIN_WRITE(xprevious, xPrevious)
KV_REAL_FIELD(yprevious, yPrevious)
KV_PLAIN_WRITE(yprevious, yPrevious)
KV_REAL_FIELD(xstart, xStart)
KV_PLAIN_WRITE(xstart, xStart)
KV_REAL_FIELD(ystart, yStart)
KV_PLAIN_WRITE(ystart, yStart)
KV_REAL_FIELD(hspeed, hSpeed)
KV_SETTER_WRITE(hspeed, i->SetHSpeed(v.Real()))
KV_REAL_FIELD(vspeed, vSpeed)
KV_SETTER_WRITE(vspeed, i->SetVSpeed(v.Real()))
KV_REAL_FIELD(direction, direction)
KV_SETTER_WRITE(direction, i->SetDirection(v.Real()))
KV_REAL_FIELD(speed, speed)
KV_SETTER_WRITE(speed, i->SetSpeed(v.Real()))
KV_REAL_FIELD(friction, friction)
KV_PLAIN_WRITE(friction, friction)
KV_REAL_FIELD(gravity, gravity)
KV_PLAIN_WRITE(gravity, gravity)
KV_REAL_FIELD(gravity_direction, gravityDirection)
KV_PLAIN_WRITE(gravity_direction, gravityDirection)
KV_REAL_FIELD(object_index, objectIndex)
KV_REAL_FIELD(id, id)
bool Read_alarm(CInstance* i, int64_t index, RValue& out) {
  out = RValue(static_cast<double>(i->GetAlarm(Slot(index, kAlarmCount))));
  return true;
}
KV_SETTER_WRITE(alarm, i->SetAlarm(Slot(index, kAlarmCount), AsInt(v)))
KV_REAL_FIELD(solid, solid)
KV_SETTER_WRITE(solid, i->solid = AsBool(v))
KV_REAL_FIELD(visible, visible)
KV_SETTER_WRITE(visible, i->visible = AsBool(v))
KV_REAL_FIELD(persistent, persistent)
KV_SETTER_WRITE(persistent, i->persistent = AsBool(v))
KV_REAL_FIELD(depth, depth)
KV_PLAIN_WRITE(depth, depth)
KV_REAL_FIELD(bbox_left, bboxLeft)
KV_REAL_FIELD(bbox_right, bboxRight)
KV_REAL_FIELD(bbox_top, bboxTop)
KV_REAL_FIELD(bbox_bottom, bboxBottom)
KV_REAL_FIELD(sprite_index, spriteIndex)
KV_SETTER_WRITE(sprite_index, i->SetSprite(AsInt(v)))
KV_REAL_FIELD(image_index, imageIndex)
KV_PLAIN_WRITE(image_index, imageIndex)
bool Read_image_single(CInstance* i, int64_t, RValue& out) {
  out = RValue(i->imageSpeed != 0 ? -1.0 : i->imageIndex);
  return true;
}
bool Write_image_single(CInstance* i, int64_t, const RValue& v) {
  if (v.Real() >= 0) {
    i->imageIndex = v.Real();
    i->imageSpeed = 0;
  } else {
    i->imageSpeed = 1;
  }
  return true;
}
bool Read_image_number(CInstance* i, int64_t, RValue& out) {
  const CSprite* s = WorldSprite(i->spriteIndex);
  out = RValue(s ? static_cast<double>(s->FrameCount()) : 0.0);
  return true;
}
#define KV_SPRITE_SIZE(name, expr)                                 \
  bool Read_##name(CInstance* i, int64_t, RValue& out) {           \
    const CSprite* s = WorldSprite(i->spriteIndex);                \
    out = RValue(s ? static_cast<double>(expr) : 0.0);             \
    return true;                                                   \
  }
KV_SPRITE_SIZE(sprite_width, s->width * i->imageXScale)
KV_SPRITE_SIZE(sprite_height, s->height * i->imageYScale)
KV_SPRITE_SIZE(sprite_xoffset, s->xOrigin * i->imageXScale)
KV_SPRITE_SIZE(sprite_yoffset, s->yOrigin * i->imageYScale)
KV_REAL_FIELD(image_xscale, imageXScale)
KV_SETTER_WRITE(image_xscale, i->SetXScale(v.Real()))
KV_REAL_FIELD(image_yscale, imageYScale)
KV_SETTER_WRITE(image_yscale, i->SetYScale(v.Real()))
KV_REAL_FIELD(image_angle, imageAngle)
KV_SETTER_WRITE(image_angle, i->SetAngle(v.Real()))
KV_REAL_FIELD(image_alpha, imageAlpha)
KV_PLAIN_WRITE(image_alpha, imageAlpha)
KV_REAL_FIELD(image_blend, imageBlend)
KV_SETTER_WRITE(image_blend, i->imageBlend = AsInt(v))
KV_REAL_FIELD(image_speed, imageSpeed)
KV_PLAIN_WRITE(image_speed, imageSpeed)
KV_REAL_FIELD(mask_index, maskIndex)
KV_SETTER_WRITE(mask_index, i->SetMask(AsInt(v)))
KV_REAL_FIELD(path_index, pathIndex)
KV_REAL_FIELD(path_position, pathPosition)
KV_SETTER_WRITE(path_position, i->SetPathPosition(v.Real()))
KV_REAL_FIELD(path_positionprevious, pathPositionPrevious)
KV_SETTER_WRITE(path_positionprevious, i->SetPathPositionPrevious(v.Real()))
KV_REAL_FIELD(path_speed, pathSpeed)
KV_PLAIN_WRITE(path_speed, pathSpeed)
KV_REAL_FIELD(path_scale, pathScale)
KV_PLAIN_WRITE(path_scale, pathScale)
KV_REAL_FIELD(path_orientation, pathOrientation)
KV_PLAIN_WRITE(path_orientation, pathOrientation)
KV_REAL_FIELD(path_endaction, pathEndAction)
KV_SETTER_WRITE(path_endaction, i->pathEndAction = AsInt(v))
KV_REAL_FIELD(timeline_index, timelineIndex)
KV_SETTER_WRITE(timeline_index, i->timelineIndex = AsInt(v))
KV_REAL_FIELD(timeline_position, timelinePosition)
KV_PLAIN_WRITE(timeline_position, timelinePosition)
KV_REAL_FIELD(timeline_speed, timelineSpeed)
KV_PLAIN_WRITE(timeline_speed, timelineSpeed)

// ---- global, read-only ----
bool Read_argument_relative(CInstance*, int64_t, RValue& out) {
  out = RValue(ArgumentRelative() ? 1.0 : 0.0);
  return true;
}
bool Read_event_type(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(CurrentActionContext().eventType));
  return true;
}
bool Read_event_number(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(CurrentActionContext().eventNumber));
  return true;
}
bool Read_event_object(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(CurrentActionContext().object));
  return true;
}
bool Read_event_action(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(CurrentActionContext().actionIndex));
  return true;
}
bool Read_instance_count(CInstance*, int64_t, RValue& out) {
  const CLiveRoom* room = CurrentRoom();
  out = RValue(room ? static_cast<double>(room->ActiveCount()) : 0.0);
  return true;
}
bool Read_instance_id(CInstance*, int64_t index, RValue& out) {
  const CLiveRoom* room = CurrentRoom();
  const CInstance* inst = room && index >= 0 && index < room->ActiveCount() ? room->ActiveAt(int(index)) : nullptr;
  out = RValue(inst ? static_cast<double>(inst->id) : -4.0);  // noone
  return true;
}

}  // namespace

void RegisterInstanceVariables() {
  struct Entry {
    const char* name;
    Read read;
    Write write;
  };
#define RW(n) {#n, Read_##n, Write_##n}
#define RO(n) {#n, Read_##n, nullptr}
  static const Entry kInstance[] = {
      RW(x),           RW(y),           RW(xprevious),    RW(yprevious),     RW(xstart),
      RW(ystart),      RW(hspeed),      RW(vspeed),       RW(direction),     RW(speed),
      RW(friction),    RW(gravity),     RW(gravity_direction),               RO(object_index),
      RO(id),          RW(alarm),       RW(solid),        RW(visible),       RW(persistent),
      RW(depth),       RO(bbox_left),   RO(bbox_right),   RO(bbox_top),      RO(bbox_bottom),
      RW(sprite_index),                 RW(image_index),  RW(image_single),  RO(image_number),
      RO(sprite_width),                 RO(sprite_height),                   RO(sprite_xoffset),
      RO(sprite_yoffset),               RW(image_xscale), RW(image_yscale),  RW(image_angle),
      RW(image_alpha), RW(image_blend), RW(image_speed),  RW(mask_index),    RO(path_index),
      RW(path_position),                RW(path_positionprevious),           RW(path_speed),
      RW(path_scale),  RW(path_orientation),              RW(path_endaction),
      RW(timeline_index),               RW(timeline_position),               RW(timeline_speed),
  };
  static const Entry kGlobal[] = {
      RO(argument_relative), RO(event_type),     RO(event_number), RO(event_object),
      RO(event_action),      RO(instance_count), RO(instance_id),
  };
#undef RW
#undef RO
  for (const Entry& e : kInstance) RegisterBuiltinVariable(e.name, e.read, e.write);
  for (const Entry& e : kGlobal) RegisterBuiltinVariable(e.name, e.read, e.write);
  DescribeVariables("Instances", {
      {"x", "The x position of the instance."},
      {"y", "The y position of the instance."},
      {"xprevious", "The x position of the instance in the previous step."},
      {"yprevious", "The y position of the instance in the previous step."},
      {"xstart", "The x position where the instance was created."},
      {"ystart", "The y position where the instance was created."},
      {"hspeed", "The horizontal part of the instance's speed, in pixels per step."},
      {"vspeed", "The vertical part of the instance's speed, in pixels per step."},
      {"direction", "The direction of the instance's motion, in degrees (0 to the right, counter-clockwise)."},
      {"speed", "The speed of the instance, in pixels per step."},
      {"friction", "The amount the instance's speed decreases each step."},
      {"gravity", "The amount of gravity pulling the instance each step."},
      {"gravity_direction", "The direction of the gravity, in degrees (270 is down)."},
      {"object_index", "The index of the instance's object."},
      {"id", "The unique id of the instance."},
      {"alarm", "Array of the instance's 12 alarm clocks, in steps; -1 when not set."},
      {"solid", "Whether the instance is solid."},
      {"visible", "Whether the instance is drawn."},
      {"persistent", "Whether the instance moves along to the next room."},
      {"depth", "The drawing depth; instances with a smaller depth are drawn in front."},
      {"bbox_left", "The left side of the instance's bounding box in the room."},
      {"bbox_right", "The right side of the instance's bounding box in the room."},
      {"bbox_top", "The top of the instance's bounding box in the room."},
      {"bbox_bottom", "The bottom of the instance's bounding box in the room."},
      {"sprite_index", "The sprite of the instance, -1 for none."},
      {"image_index", "The current frame of the instance's sprite."},
      {"image_single",
       "The frame shown without animation, -1 while animating; setting it stops or restarts the animation."},
      {"image_number", "The number of frames of the instance's sprite."},
      {"sprite_width", "The width of the instance's sprite, scaled."},
      {"sprite_height", "The height of the instance's sprite, scaled."},
      {"sprite_xoffset", "The x origin of the instance's sprite, scaled."},
      {"sprite_yoffset", "The y origin of the instance's sprite, scaled."},
      {"image_xscale", "The horizontal scale of the instance's image (1 is normal size)."},
      {"image_yscale", "The vertical scale of the instance's image (1 is normal size)."},
      {"image_angle", "The rotation of the instance's image, in degrees counter-clockwise."},
      {"image_alpha", "The opacity of the instance's image, 0 (invisible) to 1 (opaque)."},
      {"image_blend", "The colour the instance's image is blended with (white leaves it unchanged)."},
      {"image_speed", "The frames advanced per step of the instance's animation."},
      {"mask_index", "The sprite used as the instance's collision mask, -1 for its own sprite."},
      {"path_index", "The path the instance follows, -1 for none."},
      {"path_position", "The position on the path, 0 (start) to 1 (end)."},
      {"path_positionprevious", "The position on the path in the previous step."},
      {"path_speed", "The speed along the path, in pixels per step."},
      {"path_scale", "The scale of the path the instance follows."},
      {"path_orientation", "The rotation of the path the instance follows, in degrees."},
      {"path_endaction", "What happens at the end of the path: 0 stop, 1 restart, 2 continue from here, 3 reverse."},
      {"timeline_index", "The time line the instance runs, -1 for none."},
      {"timeline_position", "The current position in the instance's time line, in steps."},
      {"timeline_speed", "The steps the time line advances each step."},
  });
  DescribeVariables("Arguments", {
      {"argument_relative", "Whether the running action has its relative box checked."},
  });
  DescribeVariables("Events", {
      {"event_type", "The type of the event being run (a time line moment gives 100000)."},
      {"event_number", "The number of the event being run (the step, for a time line moment)."},
      {"event_object", "The object whose event is being run (the time line, for a moment)."},
      {"event_action", "The index of the action being run in its event."},
  });
  DescribeVariables("Instances", {
      {"instance_count", "The number of instances in the room."},
      {"instance_id",
       "Array of the ids of the instances in the room, instance_id[0] to instance_id[instance_count - 1]."},
  });
}

}  // namespace kv
