#include "graphics/transition.h"

#include <new>

#include "core/lua_readers.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"

#include "lua.h"

namespace {
uint32_t background_colour = 0xFF000000u;

// Script numbers as the transitions take them.
uint32_t to_uint(lua_State* L, int index) { return script_truncate_uint(lua_tonumber(L, index)); }

bool is_table(lua_State* L, int index) { return L && index != 0 && lua_type(L, index) == LUA_TTABLE; }
bool is_number(lua_State* L, int index) { return L && index != 0 && lua_type(L, index) == LUA_TNUMBER; }

// t[n] or t[name] pushed; false (nothing left) when it is nil.
bool push_index(lua_State* L, int table, int n) {
    lua_rawgeti(L, table, n);
    if (!lua_isnil(L, -1)) return true;
    lua_pop(L, 1);
    return false;
}
bool push_field(lua_State* L, int table, const char* name) {
    lua_getfield(L, table, name);
    if (!lua_isnil(L, -1)) return true;
    lua_pop(L, 1);
    return false;
}

void read_index_uint(lua_State* L, int table, int n, uint32_t& out) {
    if (!push_index(L, table, n)) return;
    out = to_uint(L, -1);
    lua_pop(L, 1);
}
void read_index_float(lua_State* L, int table, int n, float& out) {
    if (!push_index(L, table, n)) return;
    out = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
}
void read_field_float(lua_State* L, int table, const char* name, float& out) {
    if (!push_field(L, table, name)) return;
    out = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
}

uint32_t with_alpha(uint32_t colour, float f) {
    uint32_t alpha = static_cast<uint32_t>(f * 255.0f);  // truncation, as the fades count
    if (alpha > 255) alpha = 255;
    return (colour & 0x00FFFFFFu) | (alpha << 24);
}
}  // namespace

void set_transition_background(uint32_t colour) { background_colour = colour; }
uint32_t transition_background() { return background_colour; }

// ---- transition

transition::~transition() {
    graphic_render_layer* layer = graphic_ ? graphic_->get_layer(layer_id) : nullptr;
    if (layer) layer->objects.remove(this);
}

bool transition::create(lua_State* L, int params, uint32_t frames) {
    (void)L, (void)params;
    duration = frames;
    elapsed = 0;
    return true;
}

bool transition::update(lua_State* L, int32_t id) {
    (void)L, (void)id;
    return false;
}

bool transition::start(graphic_texture* new_scene, graphic_texture* old_scene, int32_t first,
                       int32_t second) {
    (void)old_scene;
    first_layer = first;
    second_layer = second;
    graphic_->update_layer_state(first, layer_state_mask, 4);
    elapsed = 0;
    free_texture();
    set_texture(new_scene);
    fit_texture(1.0f);
    return graphic_->attach_render_object(this, first);
}

bool transition::count_step() {
    fit_texture(1.0f);
    if (duration == 0) return true;
    ++elapsed;
    return elapsed < duration;
}

float transition::fraction() const {
    // Without a duration there are no steps between: the end state at once.
    return duration == 0 ? 1.0f : static_cast<float>(elapsed) / static_cast<float>(duration);
}

void transition::set_alpha(float f) { color = with_alpha(color, f); }

void transition::set_scale(float s) {
    scale_x = scale_y = s;
    update_bound();
}

void transition::clear_screen_to(uint32_t colour) {
    if (graphic_render_target* screen = graphic_->back_buffer()) screen->clear_color = colour;
}

// ---- old_scene_sprite

bool old_scene_sprite::allocate() {
    sprite_.reset(new (std::nothrow) graphic_sprite_object(owner_));
    return sprite_ != nullptr;
}

bool old_scene_sprite::attach(graphic_texture* texture, int32_t layer, float z) {
    if (!sprite_) return false;
    sprite_->set_texture(texture);
    sprite_->fit_texture(z);
    return owner_->attach_render_object(sprite_.get(), layer);
}

void old_scene_sprite::release() {
    if (!sprite_) return;
    if (graphic_render_layer* layer = owner_->get_layer(sprite_->layer_id)) {
        size_t before = layer->objects.size();
        layer->objects.remove(sprite_.get());
        if (layer->objects.size() != before) layer->flags |= layer_flag_object_removed;
    }
    sprite_.reset();
}

// ---- _fade_transition (type 1)

bool _fade_transition::create(lua_State* L, int params, uint32_t frames) {
    colour_ = transition_background();
    if (is_number(L, params)) {
        reverse_ = script_truncate_int(lua_tonumber(L, params));
    } else if (is_table(L, params)) {
        uint32_t reverse = 0;
        read_index_uint(L, params, 1, reverse);
        reverse_ = static_cast<int32_t>(reverse);
        read_index_uint(L, params, 2, colour_);
    }
    return transition::create(L, params, frames);
}

bool _fade_transition::start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) {
    clear_screen_to(colour_);
    return transition::start(n, o, first, second);
}

bool _fade_transition::step() {
    float f = fraction();
    set_alpha(reverse_ == 0 ? 1.0f - f : f);
    return count_step();
}

// ---- _scalefade_transition (type 2)

bool _scalefade_transition::create(lua_State* L, int params, uint32_t frames) {
    colour_ = transition_background();
    if (is_number(L, params)) {
        reverse_ = script_truncate_int(lua_tonumber(L, params));
    } else if (is_table(L, params)) {
        uint32_t reverse = 0;
        read_index_uint(L, params, 1, reverse);
        reverse_ = static_cast<int32_t>(reverse);
        read_index_float(L, params, 2, scale_);
        read_index_uint(L, params, 3, colour_);
    }
    return transition::create(L, params, frames);
}

bool _scalefade_transition::step() {
    float f = reverse_ == 0 ? 1.0f - fraction() : fraction();
    set_scale((1.0f - f) * (scale_ - 1.0f) + 1.0f);
    set_alpha(f);
    return count_step();
}

// ---- _crossfade_transition (type 3)

bool _crossfade_transition::create(lua_State* L, int params, uint32_t frames) {
    return old_.allocate() && transition::create(L, params, frames);
}

bool _crossfade_transition::start(graphic_texture* n, graphic_texture* o, int32_t first,
                                  int32_t second) {
    return old_.attach(o, first, 1.0f) && transition::start(n, o, first, second);
}

bool _crossfade_transition::step() {
    set_alpha(fraction());
    if (old_.get()) old_.get()->fit_texture(1.0f);
    return count_step();
}

bool _crossfade_transition::release(bool keep) {
    old_.release();
    return transition::release(keep);
}

// ---- fade_transition (type 4, and the create of types 5 to 7)

bool fade_transition::create(lua_State* L, int params, uint32_t frames) {
    fade_ = false;
    colour_ = transition_background();
    colour_given_ = false;
    bool table = is_table(L, params);
    if (table) {
        if (push_field(L, params, "fade")) {
            fade_ = lua_toboolean(L, -1) != 0;
            lua_pop(L, 1);
        }
        if (push_field(L, params, "color")) {
            if (lua_type(L, -1) == LUA_TNUMBER) {
                colour_ = to_uint(L, -1);
                colour_given_ = true;
            } else {
                colour_given_ = lua_toboolean(L, -1) != 0;
            }
            lua_pop(L, 1);
        }
    }
    bool present = L && params != 0 && !lua_isnoneornil(L, params);
    // The duration first: the wipe's timing table depends on it.
    return transition::create(L, params, frames) && read_parameters(L, present ? params : 0, table);
}

bool fade_transition::start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) {
    clear_screen_to(colour_);
    return transition::start(n, o, first, second);
}

bool fade_transition::step() {
    if (elapsed <= duration) {
        float f = fraction();
        set_alpha(fade_ ? 1.0f - f : f);
    }
    return count_step();
}

// ---- scalefade_transition (type 5)

bool scalefade_transition::read_parameters(lua_State* L, int params, bool table) {
    scale_ = 2.0f;
    if (table)
        read_field_float(L, params, "scale", scale_);
    else if (is_number(L, params))
        scale_ = static_cast<float>(lua_tonumber(L, params));
    return true;
}

bool scalefade_transition::start(graphic_texture* n, graphic_texture* o, int32_t first,
                                 int32_t second) {
    if (!fade_transition::start(n, o, first, second)) return false;
    float f0 = fade_ ? 1.0f : 0.0f;
    set_scale((1.0f - f0) * (scale_ - 1.0f) + 1.0f);
    set_alpha(f0);
    return true;
}

bool scalefade_transition::step() {
    float f = fade_ ? 1.0f - fraction() : fraction();
    set_scale((1.0f - f) * (scale_ - 1.0f) + 1.0f);
    set_alpha(f);
    return count_step();
}

// ---- crossfade_transition (type 6)

bool crossfade_transition::read_parameters(lua_State* L, int params, bool table) {
    if (!table && params != 0) fade_ = lua_toboolean(L, params) != 0;
    return old_.allocate();
}

bool crossfade_transition::start(graphic_texture* n, graphic_texture* o, int32_t first,
                                 int32_t second) {
    if (!old_.attach(o, first, 1.0f) || !transition::start(n, o, first, second)) return false;
    set_alpha(fade_ ? 1.0f : 0.0f);
    return true;
}

bool crossfade_transition::step() {
    set_alpha(fade_ ? 1.0f - fraction() : fraction());
    if (old_.get()) old_.get()->fit_texture(1.0f);
    return count_step();
}

bool crossfade_transition::release(bool keep) {
    old_.release();
    return fade_transition::release(keep);
}

// ---- effect_transition (type 8)

bool effect_transition::create(lua_State* L, int params, uint32_t frames) {
    float scale = 1.0f, rotate = 0.0f;
    uint32_t colour = 0xFFFFFFFFu;
    if (is_table(L, params)) {
        read_field_float(L, params, "scale", scale);
        read_field_float(L, params, "rotate", rotate);
        if (push_field(L, params, "color")) {
            colour = to_uint(L, -1);
            lua_pop(L, 1);
        }
        read_field_float(L, params, "posx", offset_x_);
        read_field_float(L, params, "posy", offset_y_);
        if (push_field(L, params, "position")) {
            if (lua_type(L, -1) == LUA_TTABLE) {
                int t = lua_gettop(L);
                read_index_float(L, t, 1, offset_x_);
                read_index_float(L, t, 2, offset_y_);
            }
            lua_pop(L, 1);
        }
    }
    set_scale(scale);
    angle = rotate * 0.017453292f;
    color = colour;
    return transition::create(L, params, frames);
}

bool effect_transition::start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) {
    if (!transition::start(n, o, first, second)) return false;
    base_ = position;
    int32_t id = first;
    graphic_->resolve_layer_index(id);
    graphic_render_layer* layer = graphic_->get_layer(id);
    saved_flags_ = layer ? layer->flags & 0xFFFFu : 0;
    return true;
}

bool effect_transition::finish() {
    graphic_->update_layer_state(first_layer, 0xFFFFu, saved_flags_);
    return true;
}

bool effect_transition::step() {
    fit_texture(1.0f);
    if (duration != 0) ++elapsed;
    position.x = base_.x + offset_x_;
    position.y = base_.y + offset_y_;
    update_bound();
    return true;
}

bool effect_transition::update(lua_State* L, int32_t id) {
    int top = L ? lua_gettop(L) : 0;
    if (top == 0 || id < 1 || id > 9) return false;
    auto number = [&] { return static_cast<float>(lua_tonumber(L, top)); };
    switch (id) {
    case 1: set_scale(number()); break;
    case 2: angle = number() * 0.017453292f; break;
    case 3: color = to_uint(L, top); break;
    case 4: offset_x_ = number(); break;
    case 5: offset_y_ = number(); break;
    case 6:
        if (lua_type(L, top) == LUA_TTABLE) {
            read_index_float(L, top, 1, offset_x_);
            read_index_float(L, top, 2, offset_y_);
        }
        break;
    case 7: graphic_->update_layer_state(first_layer, layer_state_mask, to_uint(L, top) & 0xFFu); break;
    case 8: graphic_->update_layer_state(first_layer, 0xF000u, (to_uint(L, top) & 0xFu) << 12); break;
    case 9: graphic_->update_layer_state(first_layer, 0x0F00u, (to_uint(L, top) & 0xFu) << 8); break;
    }
    return true;
}

// ---- creators

transition* transition_create(int32_t type, graphic* owner) {
    switch (type) {
    case 0: return new (std::nothrow) standard_transition(owner);
    case 1: return new (std::nothrow) _fade_transition(owner);
    case 2: return new (std::nothrow) _scalefade_transition(owner);
    case 3: return new (std::nothrow) _crossfade_transition(owner);
    case 4: return new (std::nothrow) fade_transition(owner);
    case 5: return new (std::nothrow) scalefade_transition(owner);
    case 6: return new (std::nothrow) crossfade_transition(owner);
    case 7: return new (std::nothrow) universal_transition(owner);
    case 8: return new (std::nothrow) effect_transition(owner);
    default: return nullptr;
    }
}
