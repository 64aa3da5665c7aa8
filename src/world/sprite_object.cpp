#include "world/sprite_object.h"

#include "world/live_objects.h"
#include "world/object_container.h"

sprite_object::sprite_object() { live_object_add(this, live_sprite); }

sprite_object::~sprite_object() {
    live_object_remove(this);
    if (id && object_container::instance()) object_container::instance()->erase(id);
}
