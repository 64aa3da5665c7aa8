#include "world/sprite_manager.h"

#include <new>

#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"
#include "world/action_manager.h"
#include "world/field_manager.h"
#include "world/object_container.h"
#include "world/sprite_object.h"

namespace {
std::vector<int32_t>& layer_table() {
    static std::vector<int32_t> ids;
    return ids;
}
}  // namespace

void set_render_layer_table(const int32_t* ids, uint32_t count) {
    layer_table().assign(ids, ids + count);
}

bool render_layer_from_index(int32_t index, int32_t& id) {
    const std::vector<int32_t>& ids = layer_table();
    if (index < 0 || size_t(index) >= ids.size() || ids[size_t(index)] < 0) return false;
    id = ids[size_t(index)];
    return true;
}

sprite_manager::sprite_manager() = default;

sprite_manager::~sprite_manager() { release_script(nullptr); }

void sprite_manager::release_script(lua_State* L) {
    clear_sprites();
    // Frame extend values are references into the closing state; without a
    // state they are only forgotten.
    for (auto& pair : classes_) {
        pair.second->release_values(L);
        delete pair.second;
    }
    classes_.clear();
}

st_sprite_class* sprite_manager::allocate_class(const char* name) {
    if (classes_.count(name)) return nullptr;
    st_sprite_class* cls = new (std::nothrow) st_sprite_class(name);
    if (!cls) TRACE_ERROR("sprite_manager::allocate_class", "new", int32_t(sizeof(st_sprite_class)));
    return cls;
}

void sprite_manager::register_class(st_sprite_class* cls, float scale_x, float scale_y) {
    classes_[cls->name.c_str()] = cls;
    const int32_t reach = sprite_class_reach(cls, scale_x, scale_y);
    if (reach_x < reach) reach_x = reach;
    if (reach_y < reach) reach_y = reach;
    if (field_manager* fields = field_manager::instance()) fields->widen_margin(reach_x, reach_y);
}

st_sprite_class* sprite_manager::find_class(const char* name) const {
    auto it = classes_.find(name ? name : "");
    return it == classes_.end() ? nullptr : it->second;
}

sprite_object* sprite_manager::create_object(int32_t layer_index, st_sprite_class* cls, int32_t state,
                                             int32_t way, bool release) {
    int32_t layer = -1;
    if (!render_layer_from_index(layer_index, layer)) {
        TRACE_ERROR("sprite_manager::create_object", "invalid layer id", layer_index);
        return nullptr;
    }
    if (!cls) return nullptr;
    sprite_object* sprite = new (std::nothrow) sprite_object(graphic::instance(), cls, layer);
    if (!sprite) return nullptr;
    if (!sprite->init(state, way, release)) {
        delete sprite;
        return nullptr;
    }
    link(sprite);
    if (object_container* container = object_container::instance()) {
        if (!container->insert(sprite)) {
            delete sprite;
            return nullptr;
        }
    }
    return sprite;
}

void sprite_manager::link(sprite_object* sprite) {
    sprite->list_index = int32_t(list_.size());
    list_.push_back(sprite);
}

void sprite_manager::unlink(sprite_object* sprite) {
    const int32_t i = sprite->list_index;
    if (i < 0 || size_t(i) >= list_.size() || list_[size_t(i)] != sprite) return;
    list_[size_t(i)] = nullptr;
    sprite->list_index = -1;
    ++holes_;
}

void sprite_manager::update() {
    size_t kept = 0;
    for (size_t i = 0; i < list_.size(); ++i) {
        sprite_object* sprite = list_[i];
        if (i + 6 < list_.size() && list_[i + 6]) {
            // Once sprites come and go, the list's order is no longer the
            // pool's: ask for the ones ahead.
            __builtin_prefetch(list_[i + 6]);
            __builtin_prefetch(list_[i + 6]->frame_events);
        }
        if (!sprite) continue;
        if (!sprite->advance()) {
            // Ended: out of the list; a bare sprite goes with its animation.
            list_[i] = nullptr;
            sprite->list_index = -1;
            if (sprite->release_when_ended) delete sprite;
            continue;
        }
        sprite->list_index = int32_t(kept);
        list_[kept++] = sprite;
    }
    list_.resize(kept);
    holes_ = 0;
}

void sprite_manager::clear_sprites() {
    // Ended bare sprites have left the animation list but still hold a
    // handle: the handle table knows every sprite.
    std::vector<sprite_object*> bare;
    for (sprite_object* sprite : list_) {
        if (sprite && !sprite->owner) bare.push_back(sprite);
    }
    if (object_container* container = object_container::instance()) {
        for (uint32_t id = 1; id <= container->size(); ++id) {
            sprite_object* sprite = container->find_sprite(id);
            if (sprite && !sprite->owner && sprite->list_index < 0) bare.push_back(sprite);
        }
    }
    for (sprite_object* sprite : bare) delete sprite;
}
