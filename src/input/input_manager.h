// `input_manager`: polls every input once a frame and keeps the input
// events, registrations that throw an event at an object (or kill it) when
// a logical code of an input reaches a given state word.
#ifndef VY_INPUT_INPUT_MANAGER_H
#define VY_INPUT_INPUT_MANAGER_H

#include <cstdint>
#include <list>

#include "core/singleton.h"

struct lua_State;
class actor_object;

struct input_event {
    int32_t input = -1;  // index into the input list; -1 any (filters)
    int32_t code = -1;   // logical code 0-127; -1 any
    int32_t value = 0;   // the state word that fires it; 0 any
    actor_object* object = nullptr;  // held while the record lives; null any
    int32_t id = 0;      // event thrown; negative kills the object; 0 any
};

class input_manager : public singleton<input_manager> {
public:
    input_manager() = default;
    ~input_manager() override;
    input_manager(const input_manager&) = delete;
    input_manager& operator=(const input_manager&) = delete;

    static input_manager* instance() { return singleton<input_manager>::instance(); }

    void set_lua(lua_State* L) { lua_ = L; }
    lua_State* lua() const { return lua_; }

    // Once per due frame, before the frame step.
    void update();
    // A pointer position in main-window client coordinates.
    void set_pointer(int32_t x, int32_t y);

    void add_event(const input_event& e);
    void remove_events(int32_t input, int32_t code, int32_t value, actor_object* object, int32_t id);
    void dispatch_events();
    void clear_events();
    // The records a filter matches (wildcards as in remove_events).
    std::list<input_event> find_events(int32_t input, int32_t code, int32_t value, actor_object* object,
                                       int32_t id) const;

    int32_t mode() const { return mode_; }
    // Every input takes the mode when it has it, else mode 0.
    void set_mode(int32_t m);

private:
    struct record {
        input_event e;
        bool dropped;  // removed while the list was being dispatched
    };
    void drop(std::list<record>::iterator it);
    void sweep();

    lua_State* lua_ = nullptr;
    int32_t mode_ = 0;
    std::list<record> events_;
    int dispatching_ = 0;
};

#endif
