#include "world/field_manager.h"

#include <windows.h>

#include "core/system_log.h"
#include "graphics/graphic.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/field_render.h"
#include "world/named_objects.h"
#include "world/sprite_manager.h"

namespace {
graphic_texture_manager* texture_cache() {
    graphic* g = graphic::instance();
    return g ? &g->textures() : nullptr;
}

// A pending background load is seen through before the entry's uses
// change, as the loader thread works on the set's own iterator.
void settle(graphic_texture_manager::iterator& texture) {
    graphic_texture_manager* cache = texture_cache();
    for (int i = 0; cache && texture.pending() && i < 5000; ++i) {
        if (cache->finish_load(texture) != 0) break;
        Sleep(1);
    }
}

// One use of the image, now or queued. Without a device only the use is
// counted: nothing is drawn then.
int32_t texture_acquire(graphic_texture_manager::iterator& texture, bool background) {
    graphic_texture_manager* cache = texture_cache();
    resource_entry* entry = texture.entry();
    if (!cache || !entry) return -1;
    if (!graphic::instance()->device()) {
        if (entry->use_count < 0) entry->use_count = 0;
        ++entry->use_count;
        return 1;
    }
    if (background && !texture.pending()) {
        const int32_t queued = cache->load_async(texture);
        if (queued != 1) return queued;
    }
    return cache->acquire(texture) ? 1 : -1;
}

void texture_release(graphic_texture_manager::iterator& texture) {
    graphic_texture_manager* cache = texture_cache();
    if (!cache || !texture.valid()) return;
    settle(texture);
    cache->release_entry(texture);
}

int32_t merge_state(int32_t merged, int32_t next) {
    if (merged == 0) return next;
    if (merged > 0) return next <= 0 || next > merged ? next : merged;
    return next <= 0 && next < merged ? next : merged;
}

// The cell's body is no longer wanted: the disposal deletes it. Its shape
// belongs to the cell, which may go before the disposal runs.
void let_go(st_body*& body) {
    // Without the collision world its bodies are gone already.
    if (!body || !collision_manager::instance()) {
        body = nullptr;
        return;
    }
    body_release(body);
    if (!body->base) body->shape = nullptr;
    body = nullptr;
}
}  // namespace

field_cell_set::~field_cell_set() {
    settle(texture);
    shape_list_release(shapes);
}

bool field::uses(const field_cell_set* set) const {
    if (cells == set) return true;
    for (const field_layer& l : layers) {
        if (l.cells == set) return true;
    }
    return false;
}

std::vector<field_cell_set*> field::cell_sets() const {
    std::vector<field_cell_set*> out;
    auto add = [&](field_cell_set* s) {
        if (!s) return;
        for (field_cell_set* o : out) {
            if (o == s) return;
        }
        out.push_back(s);
    };
    add(cells);
    for (const field_layer& l : layers) add(l.cells);
    return out;
}

field_manager::field_manager() {
    if (instance() == this) field_hooks_install(true);
}

field_manager::~field_manager() {
    release_all();
    if (instance() == this) field_hooks_install(false);
    loader_.stop();
    // Requests nobody polled: the thread is gone, so nothing runs on them.
    for (root_loader* r : requests_) delete r;
    requests_.clear();
    delete render_;
    render_ = nullptr;
    collision_manager* cm = collision_manager::instance();
    if (cm && cm->field == this) {
        cm->field = nullptr;
        cm->field_object = nullptr;
    }
}

bool field_manager::initialize(lua_State* L) {
    if (!render_) {
        graphic* g = graphic::instance();
        render_ = g ? new (std::nothrow) field_render(g, this) : nullptr;
        if (!render_) return false;
        int32_t id = -1;
        if (render_layer_from_index(1, id)) g->attach_render_object(render_, id);
    }
    if (!loader_.create()) return false;
    plug_collision();
    if (L) {
        lua_ = L;
        fields_library_register(L);
    }
    return true;
}

void field_manager::plug_collision() {
    if (collision_manager* cm = collision_manager::instance()) {
        cm->field = this;
        cm->field_object = field_object_;
    }
}

void field_manager::init_view(int32_t width, int32_t height, int32_t slots, int32_t zorders) {
    view.width = width;
    view.height = height;
    if (slots >= 0) view.first_slot = slots;
    if (zorders >= 0) {
        view.fallback_zorder = zorders;
        view.zorder_base = zorders / 2;
        view.absolute_step = zorders * 256;
    }
    select_field("", false);
}

void field_manager::set_view_size(int32_t width, int32_t height) {
    view.width = width;
    view.height = height;
    select_field("", false);
}

field* field_manager::find_field(const char* name) const {
    auto it = fields_.find(name ? name : "");
    return it == fields_.end() ? nullptr : it->second;
}

field_cell_set* field_manager::find_cell_set(const char* name) const {
    auto it = cell_sets_.find(name ? name : "");
    return it == cell_sets_.end() ? nullptr : it->second;
}

bool field_manager::has_field(const field* f) const {
    for (const auto& e : fields_) {
        if (e.second == f) return true;
    }
    return false;
}

bool field_manager::has_cell_set(const field_cell_set* s) const {
    for (const auto& e : cell_sets_) {
        if (e.second == s) return true;
    }
    return false;
}

bool field_manager::add_field(field* f) {
    if (!f || fields_.count(f->name.c_str())) return false;
    fields_[f->name.c_str()] = f;
    return true;
}

bool field_manager::add_cell_set(field_cell_set* s) {
    if (!s || cell_sets_.count(s->name.c_str())) return false;
    cell_sets_[s->name.c_str()] = s;
    return true;
}

int32_t field_manager::layer_count() const { return current_ ? int32_t(current_->layers.size()) : 0; }

bool field_manager::layer_size(int32_t layer, int32_t& width, int32_t& height) const {
    if (!current_ || layer < 0 || size_t(layer) >= current_->layers.size()) return false;
    width = current_->layers[size_t(layer)].cx;
    height = current_->layers[size_t(layer)].cy;
    return true;
}

void field_manager::take_view_values(const field* f) {
    view.layer_count = int32_t(f->layers.size());
    view.x_coefficient = f->x_coefficient;
    view.y_coefficient = f->y_coefficient;
    view.max_zorder = f->max_zorder;
    view.margin_width = f->margin_width;
    view.margin_height = f->margin_height;
}

void field_manager::forget_current() {
    release_maps();
    detach(current_);
    current_ = nullptr;
}

bool field_manager::select_field(const char* name, bool async) {
    field* f = nullptr;
    if (name && *name) {
        f = find_field(name);
        if (!f) return false;
    }
    if (current_ && current_ == f) {
        take_view_values(f);
        finish_selection();
        return true;
    }
    if (current_) forget_current();
    if (!f) {
        view.margin_width = view.margin_height = 1024;
        view.layer_count = 1;
        view.max_zorder = 1024;
        view.x_coefficient = view.y_coefficient = 0.0f;
    } else {
        if (!attach(f, async)) {
            // Whatever the attachment took is given back.
            detach(f);
            return false;
        }
        current_ = f;
        take_view_values(f);
        maps_.assign(f->layers.size(), nullptr);
    }
    finish_selection();
    return true;
}

void field_manager::finish_selection() {
    // Both margins cover the largest sprite, each on its own.
    if (view.margin_width < view.sprite_width) view.margin_width = view.sprite_width;
    if (view.margin_height < view.sprite_height) view.margin_height = view.sprite_height;
    field::setup_view(view.layer_count, view.max_zorder, view.x_coefficient, view.y_coefficient);
}

void field_manager::widen_margin(int32_t width, int32_t height) {
    bool changed = false;
    if (view.sprite_width < width) view.sprite_width = width;
    if (view.sprite_height < height) view.sprite_height = height;
    if (view.margin_width < view.sprite_width) view.margin_width = view.sprite_width, changed = true;
    if (view.margin_height < view.sprite_height) view.margin_height = view.sprite_height, changed = true;
    if (changed) field::setup_view(view.layer_count, view.max_zorder, view.x_coefficient, view.y_coefficient);
}

void* body_script_owner(const collision_manager* manager, const st_body* body) {
    if (!body || !body->owner) return nullptr;
    if (!manager || body->owner != manager->field_object) return body->owner;
    return static_cast<const named_object_entry*>(manager->field_object)->actor;
}

void field_manager::find_field_object() {
    if (field_object_ || !lua_) return;
    actor_manager* actors = actor_manager::instance();
    if (!actors) return;
    lua_getglobal(lua_, "field_object_class");
    const char* name = lua_type(lua_, -1) == LUA_TSTRING ? lua_tostring(lua_, -1) : nullptr;
    if (name && *name) field_object_ = actors->find_named_object(name);
    lua_pop(lua_, 1);
    plug_collision();
}

bool field_manager::attach(field* f, bool async) {
    bool ok = true;
    for (field_cell_set* s : f->cell_sets()) ok = texture_acquire(s->texture, async) >= 0 && ok;
    find_field_object();
    for (size_t i = 0; i < f->layers.size(); ++i) {
        field_layer& l = f->layers[i];
        for (field_placed_cell& pc : l.placed) {
            // A cell or layer that says "no body" gets none from the start.
            if (!apply_state(pc, pc.state | l.state, int32_t(i))) return false;
        }
    }
    return ok;
}

void field_manager::detach(field* f) {
    if (!f) return;
    for (field_cell_set* s : f->cell_sets()) texture_release(s->texture);
    for (field_layer& l : f->layers) {
        for (field_placed_cell& pc : l.placed) {
            let_go(pc.body);
            let_go(pc.effect);
        }
    }
}

bool field_manager::apply_state(field_placed_cell& pc, uint32_t state, int32_t layer) {
    collision_manager* cm = collision_manager::instance();
    const field_cell& c = *pc.cell;
    bool ok = true;
    if (!(state & field_no_body) && !pc.body && c.collision) {
        void* owner = c.object_owned ? field_object_ : nullptr;
        pc.body = cm ? cm->add_body(owner, c.attr, c.collision) : nullptr;
        if (pc.body) {
            pc.body->owner_kind = owner_other;
            pc.body->position[0] = float(pc.x);
            pc.body->position[1] = float(pc.y);
            pc.body->layer = layer;
        } else {
            ok = false;
        }
    } else if ((state & field_no_body) && pc.body) {
        let_go(pc.body);
    }
    if (!(state & field_no_effect) && !pc.effect && c.effect_shape) {
        pc.effect = cm ? cm->body_list_add(nullptr, c.attr, c.effect_shape, kind_effect, false) : nullptr;
        if (pc.effect) {
            pc.effect->effect = &c.effect;
            pc.effect->position[0] = float(pc.x);
            pc.effect->position[1] = float(pc.y);
            pc.effect->layer = layer;
        } else {
            ok = false;
        }
    } else if ((state & field_no_effect) && pc.effect) {
        let_go(pc.effect);
    }
    return ok;
}

int32_t field_manager::texture_state() {
    if (!current_) return -1;
    graphic_texture_manager* cache = texture_cache();
    if (!cache) return -1;
    int32_t merged = 0;
    for (field_cell_set* s : current_->cell_sets()) merged = merge_state(merged, cache->finish_load(s->texture));
    return merged;
}

bool field_manager::layer_state(int32_t layer, uint32_t& state) const {
    if (!current_ || layer < 0 || size_t(layer) >= current_->layers.size()) return false;
    state = current_->layers[size_t(layer)].state;
    return true;
}

bool field_manager::set_layer_state(int32_t layer, uint32_t state) {
    if (!current_ || layer < 0 || size_t(layer) >= current_->layers.size()) return false;
    field_layer& l = current_->layers[size_t(layer)];
    if (l.state == state) return true;
    bool ok = true;
    for (field_placed_cell& pc : l.placed) ok = apply_state(pc, pc.state | state, layer) && ok;
    l.state = state;
    return ok;
}

bool field_manager::cell_state(int32_t layer, int32_t index, uint32_t& state) const {
    if (!current_ || layer < 0 || size_t(layer) >= current_->layers.size()) return false;
    const field_layer& l = current_->layers[size_t(layer)];
    if (index < 0 || size_t(index) >= l.placed.size()) return false;
    state = l.placed[size_t(index)].state;
    return true;
}

bool field_manager::set_cell_state(int32_t layer, int32_t index, uint32_t state) {
    if (!current_ || layer < 0 || size_t(layer) >= current_->layers.size()) return false;
    field_layer& l = current_->layers[size_t(layer)];
    if (index < 0 || size_t(index) >= l.placed.size()) return false;
    field_placed_cell& pc = l.placed[size_t(index)];
    if (pc.state == state) return true;
    const bool ok = apply_state(pc, state, layer);
    pc.state = state;
    return ok;
}

void field_manager::release_field(field* f, bool with_cells) {
    if (!f) return;
    // The current field goes first out of the view and the collision world.
    if (f == current_) select_field("", false);
    if (with_cells) {
        for (field_cell_set* s : f->cell_sets()) {
            bool shared = false;
            for (const auto& e : fields_) shared = shared || (e.second != f && e.second->uses(s));
            if (shared) continue;
            cell_sets_.erase(s->name.c_str());
            delete s;
        }
    }
    auto it = fields_.find(f->name.c_str());
    if (it != fields_.end() && it->second == f) fields_.erase(it);
    delete f;
}

void field_manager::release_cell_set(field_cell_set* s) {
    if (!s) return;
    std::vector<field*> users;
    for (const auto& e : fields_) {
        if (e.second->uses(s)) users.push_back(e.second);
    }
    for (field* f : users) release_field(f, false);
    auto it = cell_sets_.find(s->name.c_str());
    if (it != cell_sets_.end() && it->second == s) cell_sets_.erase(it);
    delete s;
}

void field_manager::release_all() {
    if (current_) select_field("", false);
    release_maps();
    for (auto& e : fields_) delete e.second;
    fields_.clear();
    for (auto& e : cell_sets_) delete e.second;
    cell_sets_.clear();
    // Answered requests have no poller left; pending ones finish on the
    // thread and go with the manager.
    for (auto it = requests_.begin(); it != requests_.end();) {
        if ((*it)->state() != 0) {
            delete *it;
            it = requests_.erase(it);
        } else {
            ++it;
        }
    }
    field_object_ = nullptr;
    plug_collision();
}
