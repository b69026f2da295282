// Action execution: preparing actions once after loading (function lookup, variable and code kinds turned into
// code, code and arguments compiled), running an event's action list (blocks, questions with else, repeat, exit,
// apply-to, relative) and running the action libraries' initialisation code.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "world/object_class.h"

namespace kv {

class CInstance;
struct GameResources;

// Where the runner is while actions run, for error messages and action_inherited: the object whose chain holds
// the running event (or the time line index), the event type (kTimeLineEventType for a time line moment), the
// event number (or the moment's step) and the index of the running action. The caller of a list sets the first
// three and restores them afterwards (ActionContextScope); the list runner sets the action index.
constexpr int kTimeLineEventType = 100000;
struct ActionContext {
  int object = -1;
  int eventType = 0;
  int eventNumber = 0;
  int actionIndex = 0;
};
namespace action_detail {
inline ActionContext g_context;  // inline: every event run sets and restores it
}  // namespace action_detail
inline ActionContext& CurrentActionContext() { return action_detail::g_context; }

// Sets object, type and number for its lifetime and restores the previous context afterwards (also on faults).
class ActionContextScope {
 public:
  ActionContextScope(int object, int eventType, int eventNumber) : saved_(CurrentActionContext()) {
    CurrentActionContext() = {object, eventType, eventNumber, 0};
  }
  ~ActionContextScope() { CurrentActionContext() = saved_; }
  ActionContextScope(const ActionContextScope&) = delete;
  ActionContextScope& operator=(const ActionContextScope&) = delete;

 private:
  ActionContext saved_;
};

// Makes run-time error messages name the running action, event and object (or time line) from the context.
void InstallActionErrorContext();

// `argument_relative`: whether the running action function's values are relative (read-only for code).
bool ArgumentRelative();
void SetArgumentRelative(bool relative);

// Shows a plain message at load time ("Failed to locate action function ..."); the default writes to stderr.
void SetActionMessageHook(std::function<void(const std::string&)> hook);

// ---- preparation ----
// Resolves the function name (scripts, then extension functions, then built-ins; -1 with a message for a function
// action whose name is found nowhere), converts variable and code actions into code, compiles the code and the
// arguments and folds constant arguments. A compile error is reported as fatal with the action context and gives
// false. Preparing an action twice does nothing.
bool PrepareAction(CAction& action);
// Every action of every time line (context: time line, kTimeLineEventType, moment step, action index), stopping at
// the first failure.
bool PrepareTimeLineActions(GameResources& res);
// Every action of every existing object, by object, type, subtype and action order; stops at the first failure.
bool PrepareObjectActions(GameResources& res);

// ---- running ----
// Runs the list from its first action with (self, other); the caller has set the action context. Stops at an exit
// and as soon as a room change is pending.
void RunActionList(CInstance* self, CInstance* other, const CEvent& event);

// Run-time changes to action lists (object_event_add and friends) must not free or move a list while it runs:
// such a change is held back until no action list runs any more. True while the event's list is running.
bool ActionListRunning(const CEvent& event);
// Runs the change now when no action list is running, else once the outermost running list finishes.
void WhenNoActionListRuns(std::function<void()> change);

// The library initialisation code: each non-empty piece is compiled and run once with a temporary instance (id 0,
// object 0, at 0,0, in no room). A piece that does not compile is reported as fatal and stops the run (false).
bool RunLibraryInitCode(const std::vector<std::string>& pieces);

}  // namespace kv
