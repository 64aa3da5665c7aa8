// Drawing actions: the image, the drawer on the owner's render layer, the
// per-frame animation and the drawing of the scenes.
#include "actions/draw_action.h"

#include <algorithm>
#include <exception>
#include <new>

#include "actions/action_view.h"
#include "actions/render_layer_action.h"
#include "core/lua_readers.h"
#include "graphics/graphic.h"
#include "lua.h"
#include "world/actor_object.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"
#include "world/sprite_object.h"

namespace {
graphic_texture_manager* cache() {
    graphic* g = graphic::instance();
    return g ? &g->textures() : nullptr;
}
}  // namespace

bool texture_use::share(const graphic_texture_manager::iterator& entry) {
    clear();
    graphic_texture_manager* c = cache();
    if (!c || !entry.valid()) return false;
    entry_ = entry;
    if (!c->acquire(entry_)) {
        entry_ = graphic_texture_manager::iterator();  // nothing was counted
        return false;
    }
    held_ = true;
    return true;
}

bool texture_use::load(const char* name) {
    clear();
    graphic_texture_manager* c = cache();
    wstring path;
    string entry;
    if (!c || !name || !sprite_image_resolve(name, path, entry)) return false;
    graphic_texture_manager::iterator it;
    if (!c->find(it, path.c_str(), entry)) return false;
    return share(it);
}

void texture_use::clear() {
    graphic_texture_manager* c = cache();
    if (held_ && c) c->release_entry(entry_);
    held_ = false;
    entry_ = graphic_texture_manager::iterator();
}

graphic_texture* texture_use::get() const {
    graphic_texture* t = held_ ? entry_.get() : nullptr;
    return t && t->d3d_texture() ? t : nullptr;
}

draw_action::~draw_action() {
    delete dc_holder;
    dc_holder = nullptr;
    if (holder) holder->forget(this);
    if (view) {
        if (graphic* g = view->owner()) g->detach_render_object(view);
        view->set_texture(nullptr);
        delete view;
        view = nullptr;
    }
    image.clear();
    if (blank) blank->owner()->delete_object(blank);
    blank = nullptr;
    scenes.clear();
}

graphic_texture* draw_action::paint_texture() const {
    if (graphic_texture* t = image.get()) return t;
    return blank && blank->d3d_texture() ? blank : nullptr;
}

bool draw_action::create(lua_State* L, int source, bool class_flag) {
    graphic* g = graphic::instance();
    if (!g || !owner) return false;
    st_sprite_class* cls = nullptr;
    const int type = lua_type(L, source);
    if (type == LUA_TLIGHTUSERDATA || type == LUA_TUSERDATA || (type == LUA_TSTRING && class_flag)) {
        cls = to_sprite_class(L, source);
    }
    if (cls) {
        source_class = cls;
        if (!image.share(cls->image)) return false;
    } else if (type == LUA_TSTRING) {
        if (!image.load(lua_tostring(L, source))) return false;
    } else if (type == LUA_TTABLE) {
        lua_rawgeti(L, source, 1);
        lua_rawgeti(L, source, 2);
        const int32_t w = script_truncate_int(lua_tonumber(L, -2));
        const int32_t h = script_truncate_int(lua_tonumber(L, -1));
        lua_pop(L, 2);
        if (w <= 0 || h <= 0) return false;
        blank = new (std::nothrow) graphic_memory_texture(g);
        if (!blank) return false;
        g->add_object(blank);
        if (!blank->create_blank(uint32_t(w), uint32_t(h), D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, 0x200)) return false;
    } else {
        return false;
    }
    graphic_texture* texture = paint_texture();
    if (!texture) return false;
    int32_t layer = 0;
    if (!render_layer_from_index(int32_t((owner->cls ? owner->cls->flags : 0) & class_layer_mask) >> 8, layer)) {
        return false;
    }
    view = new (std::nothrow) drawer(g, this);
    if (!view) return false;
    view->blend = owner->blend & 0xFF;
    view->use_texture(texture);
    if (!g->attach_render_object(view, layer)) {
        delete view;
        view = nullptr;
        return false;
    }
    return true;
}

draw_scene* draw_action::scene_at(size_t n) {
    const size_t before = scenes.size();
    if (n >= max_scenes) return nullptr;
    try {
        if (n >= before) scenes.reserve(n + 1);
        while (scenes.size() <= n) scenes.emplace_back(new draw_scene);
    } catch (const std::exception&) {
        // A script's index is no reason to end the program.
        scenes.resize(before);
        return nullptr;
    }
    return scenes[n].get();
}

bool draw_action::update() {
    if (owner && (owner->flags & actor_hidden_by_script)) return true;
    for (auto& s : scenes) {
        if (s->flags & scene_active) s->step();
    }
    return true;
}

void draw_action::suspend() {
    if (!view || hidden_by_suspend) return;
    saved_flags = view->flags;
    view->flags |= render_flag_hidden;
    hidden_by_suspend = true;
}

bool draw_action::restore() {
    if (view && hidden_by_suspend) view->flags = saved_flags;
    saved_flags = 0;
    hidden_by_suspend = false;
    return true;
}

bool draw_action::drawer::render() {
    return action_ ? action_->render_scenes() : true;
}

bool draw_action::render_scenes() {
    if (!owner || (owner->flags & actor_hidden_by_script) || !view) return true;
    if (view->hidden()) return true;
    const float x = owner->position[0], y = owner->position[1], z = owner->position[2];
    const int32_t zorder = owner_zorder(owner);
    for (auto& s : scenes) {
        if (!(s->flags & scene_active)) continue;
        if (!draw_scene_now(*s, x, y, z, zorder)) return false;
    }
    return true;
}

// Through the field view like the owner's sprite: a scene on a layer of its
// own is converted on that layer.
bool draw_action::draw_scene_now(draw_scene& s, float x, float y, float z, int32_t zorder) {
    float world[3] = {x + s.offset[0], y + s.offset[1], z + s.offset[2]};
    if (s.layer < 65536) world[2] = float(s.layer);
    float v[3];
    action_to_view(world, s.zorder + zorder, v);
    view->position = D3DXVECTOR3(v[0], v[1], v[2]);
    const int32_t* r = s.tiles > 0 ? s.current : s.rect;
    view->rect = RECT{r[0], r[1], r[2], r[3]};
    view->center = D3DXVECTOR3(s.center[0], s.center[1], 0.0f);
    view->angle = s.rotate * 0.017453292f;
    view->color = s.color;
    view->set_flag(render_flag_exact_position, (s.flags & scene_pixelize) != 0);
    graphic_texture* texture = s.image.get();
    if (!texture) texture = image.get();
    if (!texture && blank && blank->d3d_texture()) texture = blank;
    view->use_texture(texture);
    if (!(s.flags & scene_tile)) {
        view->scale_x = s.size[0];
        view->scale_y = s.size[1];
        view->update_bound();
        return view->draw_once();
    }
    view->scale_x = view->scale_y = 1.0f;
    const int32_t tw = r[2] - r[0], th = r[3] - r[1];
    if (tw <= 0 || th <= 0) return true;
    // The table reader refuses such sizes; this holds for any other road in.
    if (s.tile_quads() > max_tile_quads) return true;
    const int32_t cover_x = script_truncate_int(s.size[0]), cover_y = script_truncate_int(s.size[1]);
    const D3DXVECTOR3 origin = view->position;
    for (int32_t dy = 0; dy < cover_y; dy += th) {
        for (int32_t dx = 0; dx < cover_x; dx += tw) {
            // The last column and row draw only what fits.
            view->rect = RECT{r[0], r[1], r[0] + std::min(tw, cover_x - dx), r[1] + std::min(th, cover_y - dy)};
            view->position = D3DXVECTOR3(origin.x + float(dx), origin.y + float(dy), origin.z);
            view->update_bound();
            if (!view->draw_once()) return false;
        }
    }
    return true;
}
