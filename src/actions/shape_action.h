// `shape_action`: extra collision bodies for an actor (plain bodies,
// sensors, reactors) with a numbered table of shapes of their own, placed
// at the actor plus an offset, tested on request, and one of them lendable
// to the actor as its own body.
#ifndef VY_ACTIONS_SHAPE_ACTION_H
#define VY_ACTIONS_SHAPE_ACTION_H

#include <cstdint>
#include <vector>

#include "world/collision_body.h"
#include "world/extend_action.h"

struct lua_State;

enum : int32_t {
    shape_kind_body = 1,
    shape_kind_sensor = 2,
    shape_kind_reactor = 3,
};

struct shape_entry {
    st_shape* shape = nullptr;  // a table's (owned) or the class's (shared)
    int32_t set = 0;            // 1-4: the reference sprite's frame shape set
    bool owned = false;
    bool empty() const { return !shape && set == 0; }
};

struct body_entry {
    int32_t kind = shape_kind_body;
    st_body_attr attr{};
    int32_t shape = -1;
    st_body* body = nullptr;
};

class shape_action : public extend_action {
public:
    ~shape_action() override;

    // Entry i (negative: a new one at the end) takes the shape of the table
    // at the index; false when it is no shape (logged) or i is too large.
    bool add_shape_table(int32_t i, lua_State* L, int index);
    // Entry i takes the class's shape n, or with set the frame shape set n.
    bool add_shape_number(int32_t i, int32_t n, bool set);
    void remove_shape(int32_t i);
    // Body entry n (negative: a new one) of the kind with the attributes.
    bool add_body(int32_t n, int32_t kind, const st_body_attr& attr);
    // owned: the body is made with the owner bit (what the body's creation
    // takes as its flag).
    bool set_shape(int32_t n, int32_t s, bool owned = false);
    void remove_body(int32_t n);
    // Body n becomes the owner's own body; -1 takes a lent one back.
    void lend(int32_t n);
    // The shape entry s stands for now (a set follows the frame).
    st_shape* resolve(int32_t s) const;
    // The body's shape given again; the body, or none without a shape.
    st_body* refresh(body_entry& b);
    void place();
    // Moves body n towards its place; the move's contact flags.
    bool move(int32_t n, uint32_t& result);
    bool has_body(int32_t n) const { return n >= 0 && size_t(n) < bodies.size() && bodies[size_t(n)].body; }
    void set_reference(actor_object* actor);

    std::vector<shape_entry> shapes;
    std::vector<body_entry> bodies;
    actor_object* reference = nullptr;  // counted
    float offset[2] = {};
    float angle = 0;
    uint32_t flips = 0;
    int32_t lent = -1;

private:
    shape_entry* entry_for(int32_t i);
    void clear_entry(shape_entry& e);
    void drop_uses(int32_t i);
};

// Entries above this many are refused: an index from a script sizes the
// tables.
constexpr size_t shape_action_max_entries = 4096;

#endif
