// The field manager: every cell set and field by name, the current field
// with its bodies in the collision world, the view state behind the
// field conversion, the passability maps and the route loader thread.
#ifndef VY_WORLD_FIELD_MANAGER_H
#define VY_WORLD_FIELD_MANAGER_H

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/resource_loader.h"
#include "core/singleton.h"
#include "world/collision_manager.h"
#include "world/field.h"
#include "world/field_route.h"

struct lua_State;
class field_render;
struct named_object_entry;

struct field_view_state {
    int32_t width = 0, height = 0;
    int32_t first_slot = 16, end_slot = 17;
    int32_t max_zorder = 16, zorder_base = 8, absolute_step = 4096, fallback_zorder = 16;
    float x_coefficient = 0, y_coefficient = 0;
    float slot_weight = 0, x_span = 0, y_span = 0, position_weight = 1;
    int32_t margin_width = 1024, margin_height = 1024;
    float normaliser = 1;
    float origin[3] = {};
    float point[3] = {};
    std::vector<std::array<float, 2>> offsets;
    int32_t sprite_width = 0, sprite_height = 0;
    int32_t layer_count = 1;
};

class field_manager : public singleton<field_manager>, public i_collision_field {
public:
    field_manager();
    ~field_manager() override;
    field_manager(const field_manager&) = delete;
    field_manager& operator=(const field_manager&) = delete;

    // The drawing object and the loader thread; registers `fields` when a
    // state is given.
    bool initialize(lua_State* L);
    // The view of the screen: its size and slot counts (a negative count
    // keeps the values), then no field.
    void init_view(int32_t width, int32_t height, int32_t slots, int32_t zorders);
    // A new screen size; no field is current afterwards.
    void set_view_size(int32_t width, int32_t height);

    bool select_field(const char* name, bool async);
    field* find_field(const char* name) const;
    field_cell_set* find_cell_set(const char* name) const;
    // Known objects only (scripts hand them back as bare pointers).
    bool has_field(const field* f) const;
    bool has_cell_set(const field_cell_set* s) const;
    // Entered only once fully built; false when the name is taken.
    bool add_field(field* f);
    bool add_cell_set(field_cell_set* s);
    void release_field(field* f, bool with_cells);
    void release_cell_set(field_cell_set* s);
    void release_all();

    // 1 loaded, 0 loading, negative failed (also with no field).
    int32_t texture_state();
    bool layer_state(int32_t layer, uint32_t& state) const;
    bool set_layer_state(int32_t layer, uint32_t state);
    bool cell_state(int32_t layer, int32_t index, uint32_t& state) const;
    bool set_cell_state(int32_t layer, int32_t index, uint32_t state);

    named_object_entry* get_field_object() const { return field_object_; }
    field* current_field() const { return current_; }
    lua_State* lua() const { return lua_; }

    // Sprite classes widen the margin by their reach.
    void widen_margin(int32_t width, int32_t height);

    // Maps and routes.
    bool build_map(int32_t layer, int32_t cell_size, int32_t radius, const st_body_attr& attr);
    void release_map(int32_t layer);
    void release_maps();
    const field_map* map(int32_t layer) const;
    root_loader* request_route(const float start[3], const float goal[3]);
    // The request if it is one of ours and still alive.
    bool has_request(const root_loader* request) const { return requests_.count(const_cast<root_loader*>(request)) != 0; }
    // Once the request has an answer: the loader may sleep, the request goes.
    void finish_request(root_loader* request);
    resource_loader_manager& loader() { return loader_; }

    // i_collision_field
    const void* current() const override { return current_; }
    int32_t layer_count() const override;
    bool layer_size(int32_t layer, int32_t& width, int32_t& height) const override;

    field_view_state view;
    int32_t default_max_zorder = -1;
    float default_x_coefficient = 0.0f, default_y_coefficient = 1.0f;

private:
    bool attach(field* f, bool async);
    void detach(field* f);
    void find_field_object();
    // Creates or releases the cell's bodies to match the state.
    bool apply_state(field_placed_cell& pc, uint32_t state, int32_t layer);
    void take_view_values(const field* f);
    void finish_selection();
    void plug_collision();
    void forget_current();

    std::map<std::string, field_cell_set*> cell_sets_;
    std::map<std::string, field*> fields_;
    field* current_ = nullptr;
    named_object_entry* field_object_ = nullptr;
    field_render* render_ = nullptr;
    lua_State* lua_ = nullptr;
    std::vector<field_map*> maps_;
    std::set<root_loader*> requests_;
    resource_loader_manager loader_;
};

// Plugs the field view into the collision debug view and the actors'
// bounds tests (or takes it out).
void field_hooks_install(bool on);

// Registers the `fields` library into the state (the table stays unset
// on the stack: none left).
void fields_library_register(lua_State* L);

#endif
