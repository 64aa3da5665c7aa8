#include "world/actor_class.h"

#include "world/live_objects.h"
#include "world/sprite_class.h"

st_actor_class::st_actor_class(uint32_t f) : flags(f) { live_object_add(this, live_actor_class); }

st_actor_class::~st_actor_class() { live_object_remove(this); }

void st_actor_class::set_sprite_class(st_sprite_class* cls) {
    unlock_sprite_class();
    sprite_class = cls;
    if (cls && !(flags & class_lock_on_demand)) {
        sprite_class::lock(cls, false);
        flags |= class_sprite_locked;
    }
}

void st_actor_class::unlock_sprite_class() {
    if (sprite_class && (flags & (class_sprite_locked | class_sprite_loading))) {
        sprite_class::unlock(sprite_class);
    }
    flags &= ~(class_sprite_locked | class_sprite_loading);
}

void st_actor_class::release(lua_State* L) {
    unlock_sprite_class();
    for (action_definition& d : actions) action_definition_release(d, L);
    script_value_release(extend, L);
    shapes.clear();
    body_shape = nullptr;
    for (st_shape*& shape : sensor_shapes) shape = nullptr;
    shape_list_release(owned_shapes);
}
