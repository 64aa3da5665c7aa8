// Extend actions: engine objects owned by an actor (text, drawing, windows
// and the like) that the action manager keeps in one list, updates once a
// frame and suspends, restores and destroys together with their owner.
#ifndef VY_WORLD_EXTEND_ACTION_H
#define VY_WORLD_EXTEND_ACTION_H

#include <cstdint>
#include <list>

#include "world/script_link.h"

class actor_object;
struct luaL_Reg;

class extend_action : public igeneric {
public:
    extend_action();
    ~extend_action() override;

    // Clears the suspended flag and restores; true when not suspended.
    virtual bool resume();
    virtual bool update();
    // Pushes the action's Lua object table.
    virtual bool bind(lua_State* L);
    virtual void suspend();
    virtual bool restore();

    // The engine object held in field "object" of the table at the index;
    // null (logged) when there is no live one.
    static extend_action* get_object(lua_State* L, int index);

    actor_object* owner = nullptr;
    bool suspended = false;
    std::list<extend_action*>::iterator entry;  // valid while listed
    bool listed = false;
    int32_t holds = 0;     // own updates and events in progress
    bool doomed = false;   // released meanwhile: freed when the last hold ends
};

// Held across an action's own update or an event it throws: a release asked
// for meanwhile (by the action's own handler, a clear, the owner's end) only
// unlists the action, and the memory goes when the outermost hold ends.
// After each event the holder checks gone() and stops touching its state.
class action_hold {
public:
    explicit action_hold(extend_action* action) : action_(action) { ++action_->holds; }
    ~action_hold();
    action_hold(const action_hold&) = delete;
    action_hold& operator=(const action_hold&) = delete;
    bool gone() const { return action_->doomed; }

private:
    extend_action* action_;
};

// The base methods of every action's object table: owner and release.
extern const luaL_Reg extend_action_base_methods[];

// Takes an owner (once) and lists the action; with a Lua state pushes a new
// table {object = action, methods...}. Always true.
bool extend_action_bind(extend_action* action, actor_object* owner, lua_State* L,
                        const luaL_Reg* methods);
// Unlists, uncounts and deletes the action.
void extend_action_delete(extend_action* action);

bool extend_actions_update();
bool extend_actions_suspend(actor_object* actor);
bool extend_actions_resume(actor_object* actor);
void extend_actions_destroy(actor_object* actor);

#endif
