// Fields: tiled playing areas made of layers of placed cells, the cells cut
// from cell sets (one image, many cell pictures with their bodies).
//
// `field` also carries the one conversion between field positions
// {x, y, layer} and view positions with a sorting depth; it works on the
// field manager's view state and current field.
#ifndef VY_WORLD_FIELD_H
#define VY_WORLD_FIELD_H

#include <cstdint>
#include <vector>

#include "core/strings.h"
#include "graphics/texture_cache.h"
#include "world/collision_body.h"
#include "world/collision_shape.h"

// State bits of layers and placed cells.
enum : uint32_t {
    field_hidden = 1,
    field_no_body = 2,
    field_no_effect = 4,
};

struct field_cell {
    int32_t rect[4] = {};  // left, top, right, bottom in the set's image
    float pivot[3] = {};
    st_body_attr attr = {};  // attr.id is the cell's id
    st_shape* collision = nullptr;
    uint8_t object_owned = 0;  // its body belongs to the field object
    st_shape* effect_shape = nullptr;
    st_effect_record effect = {};  // type, dx, dy and layer step

    bool drawn() const { return rect[0] < rect[2] && rect[1] < rect[3]; }
};

struct field_cell_set {
    field_cell_set() = default;
    ~field_cell_set();
    field_cell_set(const field_cell_set&) = delete;
    field_cell_set& operator=(const field_cell_set&) = delete;

    string name;
    graphic_texture_manager::iterator texture;
    std::vector<field_cell> cells;
    shape_list shapes;  // every shape its cells hold
    int32_t max_width = 1024, max_height = 1024;
};

struct field_placed_cell {
    field_cell* cell = nullptr;
    uint32_t state = 0;
    int32_t x = 0, y = 0;  // world position of the cell's pivot
    st_body* body = nullptr;
    st_body* effect = nullptr;
};

struct field_layer {
    uint32_t reserved = 0;
    field_cell_set* cells = nullptr;
    int32_t cx = 0, cy = 0;
    uint32_t state = 0;
    int32_t height = 0;
    int32_t max_zorder = 0;
    float x_coefficient = 0, y_coefficient = 0;
    std::vector<field_placed_cell> placed;
};

struct field_entrance {
    float x = 0, y = 0, layer = 0;
    int32_t way = -1;
    int32_t zorder = 0;
};

struct route_point {
    float x, y, z;
};

struct field {
    string name;
    field_cell_set* cells = nullptr;  // the default set, or null
    int32_t cx = 0, cy = 0;
    int32_t margin_width = 0, margin_height = 0;
    int32_t height_min = 0, height_max = 0;
    std::vector<field_layer> layers;
    int32_t max_zorder = -1;
    float x_coefficient = 0, y_coefficient = 1;
    std::vector<field_entrance> entrances;

    bool uses(const field_cell_set* set) const;
    // The default set and the layers' sets, each once.
    std::vector<field_cell_set*> cell_sets() const;

    // The view, on the field manager's state (no manager: identity).
    static void setup_view(int32_t layer_count, int32_t max_zorder, float x_coefficient, float y_coefficient);
    static void set_view(const float point[3], bool clamp);
    // out: view x, view y, depth.
    static void position_to_view(int32_t zorder, const float position[3], float out[3]);
    static void view_to_position(const float view[2], float z, float out[3]);
    // The route from start to goal on the current field's map of the layer.
    static bool search_route(const float start[3], const float goal[3], std::vector<route_point>& out);
};

#endif
