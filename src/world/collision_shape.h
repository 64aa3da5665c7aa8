// Collision shapes: boxes, convex polygons, circles and joints of these, in
// body-local coordinates, kept in one pool of recycled records.
#ifndef VY_WORLD_COLLISION_SHAPE_H
#define VY_WORLD_COLLISION_SHAPE_H

#include <cstdint>
#include <vector>

struct lua_State;

enum : uint32_t {
    shape_box = 0,
    shape_polygon = 1,
    shape_circle = 2,
    shape_segments = 3,
    shape_joint = 4,
    shape_none = 0xFFFF,
    shape_in_pool = 0x10000,
};

enum : uint32_t {
    edge_start_corner = 1,
    edge_end_corner = 2,
};

// One directed edge; corners are taken clockwise on screen (y down), so a
// point is inside an edge when the cross product is positive.
struct st_edge {
    float sx, sy;      // start
    float dx, dy;      // end minus start
    float ux, uy;      // unit direction
    float length;
    uint32_t flags;
};

struct st_shape {
    uint32_t type = shape_none;
    float bounds[4] = {};  // left, top, right, bottom
    float circle[3] = {};  // bounding circle: centre x, y, radius
    std::vector<st_edge> edges;
    // A joint's first sub-shape, a sub-shape's follower, or the pool's link.
    st_shape* next = nullptr;
};

// A direction record: unit vector and length; the unit is 0 when the
// length is not above 0 or a component falls outside -1..1.
struct st_direction {
    float ux, uy, length;
};
st_direction make_direction(float x, float y);
st_direction scale_direction(const st_direction& d, float s);

using shape_list = std::vector<st_shape*>;

st_shape* shape_alloc();
// Returns the chain in the slot to the pool and clears the slot.
void shape_list_free(st_shape*& slot);
void shape_pool_free_all();
uint32_t shape_pool_size();
uint32_t shape_live_count();  // records handed out and not yet returned
void shape_reset(st_shape* shape);
// Where pool faults are written; the debugger's output unless replaced.
using shape_debug_sink = void (*)(const char* text);
void set_shape_debug_sink(shape_debug_sink sink);
void shape_debug_print(const char* format, const void* pointer);

st_shape* shape_list_add(shape_list& list);
void shape_list_remove(shape_list& list, st_shape* shape, bool erase);
// Every shape of the list back to the pool; the list is emptied.
void shape_list_release(shape_list& list);

void shape_set_circle(st_shape* shape, float cx, float cy, float radius);
void shape_update_bounds(st_shape* shape);
// Polygon building: the previous edge is closed towards the point, and a
// new edge starts there. Closing joins the last edge to the first point.
void shape_add_point(st_shape* shape, float x, float y);
void shape_close(st_shape* shape);
// One segment as an edge; shared end points mark the corners.
void shape_add_segment(st_shape* shape, float x0, float y0, float x1, float y1);
void edge_set(st_edge& e, float sx, float sy, float dx, float dy);

st_shape* shape_clone(const st_shape* shape);
st_shape* shape_rotate_copy(const st_shape* shape, float degrees);
// Mirrors the chain in place: 1 horizontal, 2 vertical, 3 both.
void shape_flip(st_shape* chain, uint32_t mode);
bool shape_contains_point(const st_shape* shape, float px, float py, float x, float y);

// Reads the shape table on the top of the stack. Target is filled when
// given, else a new pooled record is made and appended to the list (when
// one is given). Errors are logged under "load shape"; null then.
st_shape* load_shape(lua_State* L, const float centre[2], const int32_t frame_rect[4], st_shape* target,
                     bool nested, shape_list* list);

#endif
