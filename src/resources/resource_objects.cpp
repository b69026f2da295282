// object_* functions: object resources changed while the game runs. Every change to events or parents rebuilds
// the per-event object lists (which also drops the resolved-event cache), so dispatch sees it from the next event.
// A change to an event whose action list is running right now waits until no list runs, so the running code is
// never freed or moved under the runner.
#include <memory>
#include <string>

#include "actions/function_action.h"
#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/function_args.h"
#include "resources/resource_families.h"
#include "runner/game_sections.h"
#include "world/event_dispatch.h"
#include "world/object_class.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

using namespace fnargs;

ObjectTable* Objects() {
  GameResources* res = WorldResources();
  return res ? &res->objects : nullptr;
}

CObject* Obj(const RValue* a, int i) {
  ObjectTable* t = Objects();
  return t ? t->Get(I(a, i)) : nullptr;
}

bool ValidEvent(int type, int subtype) { return type >= 0 && type < CObject::kEventTypeCount && subtype >= 0; }

bool AnyEventRunning(const CObject& o) {
  for (const auto& byType : o.events)
    for (const auto& [subtype, event] : byType)
      if (ActionListRunning(event)) return true;
  return false;
}

// Runs the change now, or once no action list runs when it touches a running event.
void ChangeEvent(bool running, std::function<void()> change) {
  if (running) WhenNoActionListRuns(std::move(change));
  else change();
}

// A getter of an existing object's field; 0 for a missing object.
#define OBJECT_GETTER(fname, expr)   \
  Reg(fname, 1, KV_FN {              \
    KV_UNUSED_ARGS;                  \
    if (const CObject* o = Obj(a, 0)) \
      r = static_cast<double>(expr); \
  })
#define OBJECT_SETTER(fname, stmt) \
  Reg(fname, 2, KV_FN {            \
    KV_UNUSED_ARGS;                \
    if (CObject* o = Obj(a, 0)) stmt; \
  })

void ObjectName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(Obj(a, 0) ? std::string(Objects()->Name(I(a, 0))) : std::string());
}

// A parent change also regroups the instances already in the live rooms, so with (parent) and collision checks
// against the family see them at once.
void ParentsChanged() {
  BuildDispatchLists();
  for (int r = 0; r < LiveRoomSlots(); ++r)
    if (CLiveRoom* room = LiveRoom(r)) room->RebuildLookups();
}

void SetParent(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ObjectTable* t = Objects();
  CObject* o = Obj(a, 0);
  if (!o) return;
  const int parent = I(a, 1);
  if (parent >= 0) {
    if (!t->Exists(parent)) return ReportRuntimeError("Setting a non-existing parent.");
    if (ParentWouldCycle(*t, I(a, 0), parent)) return ReportRuntimeError("Creating a cycle in the parent relation.");
  }
  o->parent = parent < 0 ? -1 : parent;
  ParentsChanged();
}

// Appends a code action to the event (made when missing). The action is prepared at once, so a compile error is
// reported now with the current action context; only the insertion waits when the event is running.
void EventAdd(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CObject* o = Obj(a, 0);
  const int type = I(a, 1), subtype = I(a, 2);
  if (!o || !ValidEvent(type, subtype)) return;
  CAction action;
  action.kind = kActionCode;
  action.exeType = kExeCode;
  action.argumentCount = 1;
  action.argumentTexts[0] = Str(a, 3);
  if (!PrepareAction(action)) return;
  const int index = I(a, 0);
  const CEvent* existing = o->GetEvent(type, subtype);
  ChangeEvent(existing && ActionListRunning(*existing), [index, type, subtype, action = std::move(action)]() {
    ObjectTable* t = Objects();
    CObject* obj = t ? t->Get(index) : nullptr;
    if (!obj) return;
    obj->GetOrCreateEvent(type, subtype).actions.push_back(action);
    BuildDispatchLists();
  });
}

void EventClear(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CObject* o = Obj(a, 0);
  const int type = I(a, 1), subtype = I(a, 2);
  if (!o || !ValidEvent(type, subtype)) return;
  const CEvent* existing = o->GetEvent(type, subtype);
  if (!existing) return;
  const int index = I(a, 0);
  ChangeEvent(ActionListRunning(*existing), [index, type, subtype]() {
    ObjectTable* t = Objects();
    CObject* obj = t ? t->Get(index) : nullptr;
    if (!obj) return;
    obj->events[type].erase(subtype);
    BuildDispatchLists();
  });
}

void ObjectAdd(RValue& r, CInstance*, CInstance*, int, RValue*) {
  ObjectTable* t = Objects();
  if (!t) return;
  const int index = t->Add("", std::make_unique<CObject>());
  t->SetName(index, "__newobject" + std::to_string(index));
  BuildDispatchLists();
  r = static_cast<double>(index);
}

void ObjectDelete(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CObject* o = Obj(a, 0);
  if (!o) return ReportRuntimeError("Trying to delete non-existing object.");
  const int index = I(a, 0);
  ChangeEvent(AnyEventRunning(*o), [index]() {
    ObjectTable* t = Objects();
    if (t && t->Delete(index)) BuildDispatchLists();
  });
}

}  // namespace

void RegisterObjectResourceFunctions() {
  Reg("object_name", 1, ObjectName);
  Reg("object_get_name", 1, ObjectName);
  Reg("object_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = Obj(a, 0) ? 1.0 : 0.0;
  });
  OBJECT_GETTER("object_get_sprite", o->sprite);
  OBJECT_GETTER("object_get_solid", o->solid);
  OBJECT_GETTER("object_get_visible", o->visible);
  OBJECT_GETTER("object_get_depth", o->depth);
  OBJECT_GETTER("object_get_persistent", o->persistent);
  OBJECT_GETTER("object_get_mask", o->mask);
  Reg("object_get_parent", 1, KV_FN {
    KV_UNUSED_ARGS;
    const CObject* o = Obj(a, 0);
    r = o ? static_cast<double>(o->parent) : -1.0;
  });
  Reg("object_is_ancestor", 2, KV_FN {
    KV_UNUSED_ARGS;
    if (!Obj(a, 0)) {
      r = -1.0;
      return;
    }
    r = IsDescendant(*Objects(), I(a, 0), I(a, 1)) ? 1.0 : 0.0;
  });
  OBJECT_SETTER("object_set_sprite", o->sprite = I(a, 1));
  OBJECT_SETTER("object_set_solid", o->solid = B(a, 1));
  OBJECT_SETTER("object_set_visible", o->visible = B(a, 1));
  OBJECT_SETTER("object_set_depth", o->depth = I(a, 1));
  OBJECT_SETTER("object_set_persistent", o->persistent = B(a, 1));
  OBJECT_SETTER("object_set_mask", o->mask = I(a, 1));
  Reg("object_set_parent", 2, SetParent);
  Reg("object_add", 0, ObjectAdd);
  Reg("object_delete", 1, ObjectDelete);
  Reg("object_event_clear", 3, EventClear);
  Reg("object_event_add", 4, EventAdd);
  DescribeFunctions("Objects", {
      {"object_name", "ind", "The name of object ind."},
      {"object_get_name", "ind", "The name of object ind."},
      {"object_exists", "ind", "Whether object ind exists."},
      {"object_get_sprite", "ind", "The sprite of object ind."},
      {"object_get_solid", "ind", "Whether object ind is solid."},
      {"object_get_visible", "ind", "Whether object ind is visible."},
      {"object_get_depth", "ind", "The depth of object ind."},
      {"object_get_persistent", "ind", "Whether object ind is persistent."},
      {"object_get_mask", "ind", "The mask sprite of object ind, -1 for its own sprite."},
      {"object_get_parent", "ind", "The parent of object ind, -1 for none."},
      {"object_is_ancestor", "ind1, ind2", "Whether object ind2 is a parent of object ind1, directly or further up."},
      {"object_set_sprite", "ind, spr", "Sets the sprite of object ind."},
      {"object_set_solid", "ind, solid", "Sets whether instances of object ind are created solid."},
      {"object_set_visible", "ind, vis", "Sets whether instances of object ind are created visible."},
      {"object_set_depth", "ind, depth", "Sets the depth of object ind."},
      {"object_set_persistent", "ind, pers", "Sets whether instances of object ind are created persistent."},
      {"object_set_mask", "ind, spr", "Sets the mask sprite of object ind."},
      {"object_set_parent", "ind, obj", "Sets the parent of object ind (a negative obj removes it)."},
      {"object_add", "", "Adds a new empty object and returns its index."},
      {"object_delete", "ind", "Deletes object ind."},
      {"object_event_clear", "ind, evtype, evnumb", "Removes every action of event evtype/evnumb of object ind."},
      {"object_event_add", "ind, evtype, evnumb, codestr",
       "Adds the code codestr to event evtype/evnumb of object ind."},
  });
}

}  // namespace kv
