#include "world/actor_class.h"

#include "world/live_objects.h"

st_actor_class::st_actor_class(uint32_t f) : flags(f) { live_object_add(this, live_actor_class); }

st_actor_class::~st_actor_class() { live_object_remove(this); }

void st_actor_class::release(lua_State* L) {
    for (action_definition& d : actions) action_definition_release(d, L);
    script_value_release(extend, L);
}
