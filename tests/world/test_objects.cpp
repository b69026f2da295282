// Event lookup through parent chains, the resolved-event cache and the parent-chain guards.
#include "world_fixture.h"

namespace kv::test {
namespace {

class ObjectEvents : public WorldTest {
 protected:
  // grand <- parent <- child, plus other objects for collisions: otherBase <- otherMid <- otherLeaf.
  void SetUp() override {
    WorldTest::SetUp();
    grand = AddObject("grand");
    parent = AddObject("parent", grand);
    child = AddObject("child", parent);
    otherBase = AddObject("otherBase");
    otherMid = AddObject("otherMid", otherBase);
    otherLeaf = AddObject("otherLeaf", otherMid);
  }
  int grand = 0, parent = 0, child = 0, otherBase = 0, otherMid = 0, otherLeaf = 0;
};

TEST_F(ObjectEvents, LookupWalksTheChainNearestFirst) {
  On(grand, kEventStep, kStepNormal, "g");
  On(grand, kEventCreate, 0, "g");
  On(parent, kEventCreate, 0, "p");
  On(child, kEventDraw, 0, "c");
  Obj(parent).GetOrCreateEvent(kEventAlarm, 3);  // present but empty: not defined, the grandparent's is used
  On(grand, kEventAlarm, 3, "g");
  struct Case {
    int object, type, subtype, defining;
  } cases[] = {
      {child, kEventStep, kStepNormal, grand}, {child, kEventCreate, 0, parent}, {parent, kEventCreate, 0, parent},
      {child, kEventDraw, 0, child},           {parent, kEventDraw, 0, -1},      {child, kEventAlarm, 3, grand},
      {child, kEventDestroy, 0, -1},           {99, kEventCreate, 0, -1},        {child, 11, 0, -1},
  };
  for (const Case& c : cases) {
    const FoundEvent direct = FindEvent(res.objects, c.object, c.type, c.subtype);
    EXPECT_EQ(direct.definingObject, c.defining) << c.object << " " << c.type << " " << c.subtype;
    EXPECT_EQ(static_cast<bool>(direct), c.defining >= 0);
    const FoundEvent cached = LookupEvent(c.object, c.type, c.subtype);
    EXPECT_EQ(cached.event, direct.event);
    EXPECT_EQ(cached.definingObject, direct.definingObject);
  }
}

TEST_F(ObjectEvents, CollisionTriesTheOthersAncestorsOnlyAfterTheWholeChain) {
  // The grandparent's event for the leaf itself beats the child's own event for the leaf's parent.
  On(child, kEventCollision, otherMid, "child vs mid");
  On(grand, kEventCollision, otherLeaf, "grand vs leaf");
  FoundEvent f = LookupEvent(child, kEventCollision, otherLeaf);
  EXPECT_EQ(f.definingObject, grand);
  // Without an event for the leaf anywhere: the nearest ancestor of the leaf (mid) along the whole chain.
  On(parent, kEventCollision, otherBase, "parent vs base");
  f = LookupEvent(child, kEventCollision, otherMid);
  EXPECT_EQ(f.definingObject, child);
  f = LookupEvent(parent, kEventCollision, otherLeaf);
  EXPECT_EQ(f.definingObject, grand);  // [4][leaf] on grand
  f = LookupEvent(parent, kEventCollision, otherMid);
  EXPECT_EQ(f.definingObject, parent);  // mid's ancestor base, found on parent itself
  EXPECT_EQ(f.event, Obj(parent).GetEvent(kEventCollision, otherBase));
  // The other object must exist for the ancestor rule.
  EXPECT_FALSE(LookupEvent(child, kEventCollision, 77));
}

TEST_F(ObjectEvents, CacheFollowsInvalidation) {
  EXPECT_FALSE(LookupEvent(child, kEventStep, kStepEnd));
  Obj(grand).GetOrCreateEvent(kEventStep, kStepEnd).actions.push_back(CodeAction("x = 1"));
  InvalidateEventCache();
  EXPECT_EQ(LookupEvent(child, kEventStep, kStepEnd).definingObject, grand);
}

TEST_F(ObjectEvents, DescendantsAndTypes) {
  EXPECT_TRUE(IsDescendant(res.objects, child, grand));
  EXPECT_TRUE(IsDescendant(res.objects, child, parent));
  EXPECT_FALSE(IsDescendant(res.objects, child, child));
  EXPECT_FALSE(IsDescendant(res.objects, grand, child));
  EXPECT_FALSE(IsDescendant(res.objects, child, otherBase));
  On(grand, kEventKeyPress, 65, "k");
  EXPECT_TRUE(HasEventOfType(res.objects, child, kEventKeyPress));
  EXPECT_FALSE(HasEventOfType(res.objects, child, kEventKeyRelease));
  EXPECT_TRUE(ParentWouldCycle(res.objects, grand, child));
  EXPECT_TRUE(ParentWouldCycle(res.objects, grand, grand));
  EXPECT_FALSE(ParentWouldCycle(res.objects, child, otherLeaf));
}

TEST_F(ObjectEvents, ParentCycleEndsTheWalks) {
  Obj(grand).parent = child;  // child -> parent -> grand -> child ...
  InvalidateEventCache();
  EXPECT_FALSE(FindEvent(res.objects, child, kEventStep, kStepBegin));
  EXPECT_FALSE(IsDescendant(res.objects, child, otherBase));
  EXPECT_FALSE(HasEventOfType(res.objects, child, kEventMouse));
  Obj(child).parent = child;
  EXPECT_FALSE(FindEvent(res.objects, child, kEventCollision, otherLeaf));
}

TEST_F(ObjectEvents, NamesInMessages) {
  struct Case {
    int type, subtype;
    const char* name;
  } cases[] = {
      {kEventStep, 0, " Step Event"},
      {kEventStep, 2, "End Step Event"},
      {kEventCollision, 1, "Collision Event with object parent"},
      {kEventCollision, 50, "Collision Event with object <undefined>"},
      {kEventKeyboard, 65, "Keyboard Event for A-key Key"},
      {kEventKeyPress, 98, "Key Press Event for Keypad 2 Key"},
      {kEventKeyRelease, 200, "Key Release Event for <unknown> Key"},
      {kEventMouse, 27, "Mouse Event for Joystick 1 Button 7"},
      {kEventMouse, 33, "Mouse Event for Joystick 2 Up"},
      {kEventMouse, 12, "Mouse Event for <unknown>"},
      {kEventOther, 25, "Other Event: User Defined 15"},
      {kEventOther, 57, "Other Event: Boundary View 7"},
      {12, 0, "<Unknown Event>"},
  };
  for (const Case& c : cases) EXPECT_EQ(EventName(res.objects, c.type, c.subtype), c.name);
}

}  // namespace
}  // namespace kv::test
