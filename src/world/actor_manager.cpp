#include "world/actor_manager.h"

#include <new>
#include <vector>

#include "core/system_log.h"
#include "core/trace.h"
#include "lua.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_object.h"
#include "world/class_load.h"
#include "world/coaction.h"
#include "world/collision_counters.h"
#include "world/live_objects.h"
#include "world/object_container.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"
#include "world/sprite_object.h"

void actors_library_register(lua_State* L);

namespace {
lua_State* action_lua() {
    action_manager* manager = action_manager::instance();
    return manager ? manager->lua() : nullptr;
}

const char* class_name(const st_actor_class* cls) {
    return (cls && !cls->name.empty()) ? cls->name.c_str() : "*anonymous*";
}

// The actor's position and vector once more, so its sprite (and bodies)
// follow after a pause.
void refresh(actor_object* actor) {
    actor->set_position(actor->position[0], actor->position[1], actor->position[2]);
    actor->set_vector(actor->vector[0], actor->vector[1], actor->vector[2]);
}

bool sprite_asks_death(const sprite_object* sprite) {
    return sprite && sprite->frame_events[0] < 0;
}
}  // namespace

actor_manager::actor_manager() {
    unnamed_ = &named_[""];
}

actor_manager::~actor_manager() {
    clear_all();
    shape_pool_free_all();
}

bool actor_manager::intialize(lua_State* L) {
    if (L) actors_library_register(L);
    collision_counters_init();
    // A restart finds it registered already; the first entry stays.
    native_action_register("class_load_notifier", action_manager::instance(), nullptr, class_load_notifier);
    current_group_.clear();
    act_level = 255;
    act_mode = 0;
    in_pass = false;
    releasing = false;
    unnamed_ = &named_[""];
    return true;
}

st_actor_class* actor_manager::allocate_class(const char* name, uint32_t flags) {
    const bool named = name && *name;
    if (named) {
        auto it = classes_.find(name);
        if (it != classes_.end()) {
            if (it->second->flags != 0) {
                system_log_trace(1, "actors.create", "specific class name is already existed");
                return nullptr;
            }
            return it->second;
        }
    }
    st_actor_class* cls = new (std::nothrow) st_actor_class(flags);
    if (!cls) {
        TRACE_ERROR("actor_manager::allocate_class", "operator new", -1);
        return nullptr;
    }
    if (named) {
        cls->name = name;
        classes_[name] = cls;
    }
    return cls;
}

st_actor_class* actor_manager::find_class(const char* name) const {
    auto it = classes_.find(name ? name : "");
    return it == classes_.end() ? nullptr : it->second;
}

void actor_manager::discard_class(st_actor_class* cls) {
    if (!cls) return;
    cls->flags |= class_disabled;
    note_change();
    auto it = classes_.find(cls->name.c_str());
    if (it != classes_.end() && it->second == cls) classes_.erase(it);
    forget_group_class(cls);
    if (cls->use_count <= 0) {
        cls->use_count = 1;
        drop_class_use(cls);
    }
}

void actor_manager::drop_class_use(st_actor_class* cls) {
    if (--cls->use_count > 0 || !(cls->flags & (class_disabled | class_anonymous))) return;
    auto it = classes_.find(cls->name.c_str());
    if (it != classes_.end() && it->second == cls) classes_.erase(it);
    forget_group_class(cls);
    // Entries must not compare against a class that is gone.
    for (auto& pair : named_) {
        if (pair.second.cls == cls) pair.second.cls = nullptr;
    }
    cls->release(action_lua());
    delete cls;
}

named_object_entry* actor_manager::find_named_object(const char* name) {
    auto it = named_.find(name ? name : "");
    return it == named_.end() ? nullptr : &it->second;
}

named_object_entry* actor_manager::register_named_object(const char* name, st_actor_class* cls) {
    named_object_entry& entry = named_[name];
    if (entry.name.empty()) entry.name = name;
    actor_object* holder = entry.actor;
    if (entry.cls && holder && !(holder->flags & (actor_dead | actor_dying)) && holder->cls &&
        !(holder->cls->flags & class_disabled) &&
        !(holder->parent && !actor_is_alive(holder->parent))) {
        system_log_trace(1, "actors.create", "specified named object %s already exists", name);
        return nullptr;
    }
    if (entry.cls && entry.cls != cls) {
        system_log_trace(2, "actors.create", "named object class is not equal, new=%s, erase current entry",
                         class_name(cls));
        entry.cls = nullptr;
        entry.actor = nullptr;
        script_value_release(entry.stored, action_lua());
    }
    return &entry;
}

void actor_manager::forget_entry(named_object_entry* entry) {
    if (!entry || entry == unnamed_ || entry->actor || entry->users > 0 ||
        entry->stored.kind != script_value_none) {
        return;
    }
    named_.erase(entry->name.c_str());
}

actor_object* actor_manager::create_object(const char* name, st_actor_class* cls,
                                           const actor_create_values& values, actor_object* parent) {
    if (cls && cls->sprite_class && !(cls->flags & class_sprite_locked)) {
        // A class that locks on demand: its image must have arrived.
        const int32_t loaded = (cls->flags & class_sprite_loading) ? sprite_class::finish_lock(cls->sprite_class) : 0;
        if (loaded != 0) {
            cls->flags &= ~class_sprite_loading;
            if (loaded > 0) cls->flags |= class_sprite_locked;
        }
        if (loaded == 0) {
            system_log_trace(1, "actors.create", "actor class %s is not initialized", class_name(cls));
            return nullptr;
        }
    }
    if (!cls || (cls->flags & class_disabled)) {
        system_log_trace(1, "actors.create", "actor class %s is not initialized", class_name(cls));
        return nullptr;
    }
    // The init value may name a stack slot relative to the top; actions push
    // onto that stack before they read it.
    actor_create_values v = values;
    lua_State* L = action_lua();
    if (L && v.init.kind == script_value_stack && static_cast<int>(v.init.data) < 0 &&
        static_cast<int>(v.init.data) > LUA_REGISTRYINDEX) {
        v.init.data = static_cast<uintptr_t>(lua_gettop(L) + static_cast<int>(v.init.data) + 1);
    }
    named_object_entry* entry = unnamed_;
    if (name && *name) {
        entry = register_named_object(name, cls);
        if (!entry) return nullptr;
    }
    actor_object* actor = new (std::nothrow) actor_object(cls);
    if (!actor) {
        TRACE_ERROR("actor_manager::create_object", "operator new", -1);
        forget_entry(entry);
        return nullptr;
    }
    actor->named = entry;
    ++entry->users;
    // The manager's own reference, taken before init and start: references
    // those take and drop must not bring the count to 0 under construction.
    ++actor->ref_count;
    actor->group = group_of_new(v.group, parent);
    if (entry != unnamed_) {
        entry->cls = cls;
        entry->actor = actor;
    }
    auto discard = [&](const char* message) {
        system_log_trace(1, "actors.create", "%s", message);
        if (entry->actor == actor) entry->actor = nullptr;
        // Its init function may have handed it out already (a child's parent,
        // a thread's owner): it ends as a dead actor, and the record goes with
        // the last of those references at the end of a frame.
        actor->flags |= actor_dying | actor_dead;
        actor->release();
        --actor->ref_count;  // the manager's own
        if (actor->ref_count > 0) {
            release_list.push_back(actor);
            return nullptr;
        }
        delete actor;
        forget_entry(entry);
        return nullptr;
    };

    // Set up from the class: its sprite first, then it waits hidden and
    // suspended until started.
    if (st_sprite_class* sc = v.sprite_class ? v.sprite_class : cls->sprite_class) {
        sprite_manager* sprites = sprite_manager::instance();
        const int32_t layer = int32_t((cls->flags & class_layer_mask) >> 8);
        actor->sprite = sprites ? sprites->create_object(layer, sc, v.state, v.way, false) : nullptr;
        if (!actor->sprite) return discard("failed in initialization of actor");
        actor->sprite->owner = actor;
    }
    actor->set_run_state(run_waiting);
    actor->sprite_offset[0] = cls->sprite_offset[0];
    actor->sprite_offset[1] = cls->sprite_offset[1];
    actor->sprite_offset[2] = cls->sprite_offset[2];
    actor->set_position(v.position[0], v.position[1], v.position[2]);
    actor->zorder = v.zorder;
    if (actor->sprite) actor->sprite->zorder = v.zorder;
    actor->set_vector(v.vector[0], v.vector[1], v.vector[2]);
    actor->set_way(v.way);
    if (parent) {
        actor_ref_assign(actor->parent, parent);
        ++parent->child_count;
    }
    actor->act_mode = 0;
    actor->act_level = static_cast<int32_t>(cls->flags & class_level_mask);
    if (!actor->make_bodies()) return discard("failed in initialization of actor");
    action_manager* am = action_manager::instance();
    for (uint32_t i = 0; i < slot_count; ++i) {
        action_slot_release(actor->slots[i], am->lua());
        if (!action_slot_bind(am, actor, &cls->actions[i], &actor->slots[i], v.init)) {
            return discard("failed in initialization of actor");
        }
    }
    if (am->call_act_init(actor, &actor->slots[slot_init], v.init) != 0) {
        return discard("failed in initialization of actor");
    }

    // A full handle table refuses the actor rather than leave it without id.
    object_container* container = object_container::instance();
    if (container && container->insert(actor) == 0) return discard("failed in activation of actor");

    if (cls->flags & (class_late_list | class_frame_list)) {
        if (!actor->start(true)) return discard("failed in activation of actor");
        ((cls->flags & class_frame_list) ? frame_list : late_list).push_back(actor);
    } else if (in_pass) {
        if (actor->sprite) actor->sprite->flags |= sprite_not_yet_shown;
        new_list.push_back(actor);
    } else {
        if (!actor->start(true)) return discard("failed in activation of actor");
        act_list.push_back(actor);
    }
    join_group(actor);
    actor->update_visibility();
    return actor;
}

bool actor_manager::step(actor_object* actor, int32_t level, int32_t mode) {
    actor_object* parent = actor->parent;
    if (parent && ((parent->flags & (actor_dead | actor_dying)) || !parent->cls ||
                   (parent->cls->flags & class_disabled) || sprite_asks_death(parent->sprite))) {
        actor_kill(actor);
        return true;
    }
    if (sprite_asks_death(actor->sprite)) {
        actor_kill(actor);
        return true;
    }
    if (!actor_is_active(actor, level)) return true;
    if (sprite_object* sprite = actor->sprite) {
        int32_t events[6];
        int32_t any = 0;
        for (int i = 0; i < 6; ++i) any |= events[i] = sprite->frame_events[i];
        // Most steps have no event: the sprite is then only read.
        if (any != 0) {
            for (int i = 0; i < 6; ++i) {
                if (events[i] != 0) actor_throw_event(actor, events[i], nullptr, {0, 0});
            }
            // The catch slot may have released the sprite with its actor.
            if (actor->sprite == sprite) {
                for (int i = 0; i < 6; ++i) sprite->frame_events[i] = 0;
            }
        }
    }
    if (actor->body || actor->sensor) {
        actor->follow_frame_shapes(actor->sprite ? actor->sprite : (actor->parent ? actor->parent->sprite : nullptr));
    }
    const int32_t m = actor->act_mode ? actor->act_mode : mode;
    if (m < 0 || m > 3) return true;
    action_slot* slot = &actor->slots[slot_mode + m];
    if (!slot->entry) return true;
    return slot->entry(actor, nullptr, slot, 0, {0, 0}) == 0;
}

bool actor_manager::update() {
    bool result = true;
    for (size_t i = 0; i < frame_list.size(); ++i) {
        if (!step(frame_list[i], act_level, act_mode)) result = false;
    }
    in_pass = true;
    return result;
}

bool actor_manager::update_late() {
    for (size_t i = 0; i < act_list.size(); ++i) {
        // The act list is long and its actors lie all over the heap: ask
        // for the records a few steps ahead.
        if (i + 8 < act_list.size()) {
            const actor_object* ahead = act_list[i + 8];
            __builtin_prefetch(ahead);
            __builtin_prefetch(&ahead->slots[slot_mode]);
        }
        if (i + 4 < act_list.size() && static_cast<uint32_t>(act_mode) <= 3) {
            // Its slot was asked for four steps ago: now what the slot holds.
            const actor_object* soon = act_list[i + 4];
            const script_value& state = soon->slots[slot_mode + act_mode].state;
            if (state.kind == script_value_object) __builtin_prefetch(reinterpret_cast<const void*>(state.data));
            if (soon->sprite) __builtin_prefetch(soon->sprite->frame_events);
        }
        if (i + 2 < act_list.size() && static_cast<uint32_t>(act_mode) <= 3) {
            // Then its coroutine's thread.
            const actor_object* next = act_list[i + 2];
            const action_slot& slot = next->slots[slot_mode + act_mode];
            if (slot.entry == coaction::act_main && slot.state.kind == script_value_object) {
                __builtin_prefetch(value_pointer_of<coaction>(slot.state)->thread);
            }
        }
        if (!step(act_list[i], act_level, act_mode)) return false;
    }
    collision.test_sensors();
    collision.dispose();
    return true;
}

void actor_manager::kill(actor_object* actor) {
    st_actor_class* cls = actor->cls;
    if (!(actor->flags & actor_dead)) {
        actor->flags |= actor_dead;
        if (action_manager* am = action_manager::instance()) {
            am->call_act_dead(actor, &actor->slots[slot_dead]);
        }
    }
    named_object_entry* entry = actor->named;
    system_log_trace(6, "actors.kill", "%s<%s> is dead",
                     (entry && entry != unnamed_) ? entry->name.c_str() : "*anonymous*",
                     class_name(cls));
    if (entry && entry->actor == actor) {
        entry->actor = nullptr;
        if (cls && (cls->flags & (class_disabled | class_anonymous))) {
            entry->cls = nullptr;
            script_value_release(entry->stored, action_lua());
        }
    }
    remove_from_group(actor);
    actor->release();
    if (--actor->ref_count <= 0) actor->flags = actor_released;
    release_list.push_back(actor);
}

void actor_manager::set_act_level(int32_t level) {
    if (level == act_level) return;
    system_log_trace(10, "actors.set_act_level", "%d -> %d", act_level, level);
    act_level = level;
    for (actor_object* actor : act_list) actor->update_visibility();
}

void actor_manager::activate_new(actor_object* actor) {
    const uint32_t run = actor->flags & actor_run_mask;
    if (run == run_waiting) {
        if (!actor->set_run_state(run_running)) {
            actor_kill(actor);
            return;
        }
        refresh(actor);
        actor_send_system_event(actor, event_first_activation, {0, 0});
        if (actor->cls->start_event > 0 && actor->slots[slot_catch].entry) {
            actor_call_slot(actor, slot_catch, nullptr, actor->cls->start_event, {0, 0});
        }
    } else if (run == run_stored) {
        actor_send_system_event(actor, event_stored, {0, 0});
        actor->set_run_state(run_frozen);
    }
}

void actor_manager::dispose() {
    in_pass = false;
    for (size_t i = 0; i < late_list.size(); ++i) step(late_list[i], act_level, act_mode);

    size_t kept = 0;
    for (size_t i = 0; i < release_list.size(); ++i) {
        actor_object* actor = release_list[i];
        if (actor->flags != actor_released) {
            release_list[kept++] = actor;
            continue;
        }
        named_object_entry* entry = actor->named;
        delete actor;
        forget_entry(entry);
    }
    release_list.resize(kept);

    if (dispose_pending_) {
        dispose_pending_ = false;
        // Indices, not iterators: a dead function may create actors, which
        // are appended and walked here too.
        kept = 0;
        for (size_t i = 0; i < act_list.size(); ++i) {
            actor_object* actor = act_list[i];
            if (!actor_is_alive(actor)) {
                actor_kill(actor);
                kill(actor);
                continue;
            }
            const uint32_t run = actor->flags & actor_run_mask;
            if (run == run_waiting) {
                if (!actor->set_run_state(run_running)) {
                    actor_kill(actor);
                } else {
                    refresh(actor);
                    actor_send_system_event(actor, event_activation, {0, 0});
                }
            } else if (run == run_stored) {
                actor_send_system_event(actor, event_stored, {0, 0});
                actor->set_run_state(run_frozen);
            }
            act_list[kept++] = actor;
        }
        act_list.resize(kept);

        for (actor_list* list : {&frame_list, &late_list}) {
            kept = 0;
            for (size_t i = 0; i < list->size(); ++i) {
                actor_object* actor = (*list)[i];
                if (actor_is_alive(actor)) {
                    (*list)[kept++] = actor;
                } else {
                    kill(actor);
                }
            }
            list->resize(kept);
        }
    }

    // Actors created during the passes: activated now, stepped from the
    // next act frame on.
    actor_list fresh;
    fresh.swap(new_list);
    for (actor_object* actor : fresh) {
        if (actor_is_alive(actor)) activate_new(actor);
        if (actor_is_alive(actor)) {
            act_list.push_back(actor);
        } else {
            kill(actor);
        }
    }
}

void actor_manager::clear_all() {
    releasing = true;
    std::vector<actor_object*> all;
    for (actor_list* list : {&frame_list, &late_list, &act_list, &new_list, &release_list}) {
        all.insert(all.end(), list->begin(), list->end());
        list->clear();
    }
    for (actor_object* actor : all) actor->release();
    for (actor_object* actor : all) delete actor;
    clear_groups();
    lua_State* L = action_lua();
    for (auto& pair : classes_) {
        pair.second->release(L);
        delete pair.second;
    }
    classes_.clear();
    for (auto& pair : named_) script_value_release(pair.second.stored, L);
    named_.clear();
    unnamed_ = &named_[""];
    collision.reset();
    releasing = false;
}

void* to_object(lua_State* L, int index) {
    if (lua_islightuserdata(L, index)) {
        void* p = lua_touserdata(L, index);
        if (p && p == running_actor) return p;
        return live_object_kind(p) != live_none ? p : nullptr;
    }
    if (lua_type(L, index) == LUA_TSTRING) {
        actor_manager* manager = actor_manager::instance();
        named_object_entry* entry = manager ? manager->find_named_object(lua_tostring(L, index)) : nullptr;
        return entry ? entry->actor : nullptr;
    }
    return nullptr;
}

actor_object* to_actor(lua_State* L, int index) {
    if (lua_islightuserdata(L, index)) {
        void* p = lua_touserdata(L, index);
        if (p && p == running_actor) return running_actor;
        return live_object_is(p, live_actor) ? static_cast<actor_object*>(p) : nullptr;
    }
    void* p = to_object(L, index);
    return live_object_is(p, live_actor) ? static_cast<actor_object*>(p) : nullptr;
}

st_actor_class* to_actor_class(lua_State* L, int index) {
    if (lua_islightuserdata(L, index)) {
        void* p = lua_touserdata(L, index);
        return live_object_is(p, live_actor_class) ? static_cast<st_actor_class*>(p) : nullptr;
    }
    if (lua_type(L, index) == LUA_TSTRING) {
        actor_manager* manager = actor_manager::instance();
        return manager ? manager->find_class(lua_tostring(L, index)) : nullptr;
    }
    return nullptr;
}
