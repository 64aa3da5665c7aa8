// The actor manager's groups, renames, act levels of single actors and the
// release of stored values.
//
// Walks copy the lists they walk and hold a reference on each member while
// they call out: system events and enumeration callbacks run script code,
// which may create actors into the same group, kill them or walk again.
#include <algorithm>
#include <cstring>

#include "core/system_log.h"
#include "world/action_manager.h"
#include "world/actor_class.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/sprite_class.h"

namespace {
lua_State* action_lua() {
    action_manager* manager = action_manager::instance();
    return manager ? manager->lua() : nullptr;
}

bool own_list(const st_actor_class* cls) { return (cls->flags & (class_late_list | class_frame_list)) != 0; }

bool storable(const actor_object* actor) {
    return !(actor->flags & actor_dead) && actor->cls && !(actor->cls->flags & class_disabled);
}

// Members pinned for the length of a walk.
class pinned_members {
public:
    explicit pinned_members(const std::vector<actor_object*>& members) : list_(members) {
        for (actor_object* actor : list_) ++actor->ref_count;
    }
    ~pinned_members() {
        for (actor_object* actor : list_) actor_ref_release(actor);
    }
    pinned_members(const pinned_members&) = delete;
    pinned_members& operator=(const pinned_members&) = delete;
    const std::vector<actor_object*>& list() const { return list_; }

private:
    std::vector<actor_object*> list_;
};

// Lua errors unwind native frames: the mark goes with them.
class walk_scope {
public:
    explicit walk_scope(actor_group* g) : group_(g) {}
    ~walk_scope() { group_->busy = 0; }
    walk_scope(const walk_scope&) = delete;
    walk_scope& operator=(const walk_scope&) = delete;

private:
    actor_group* group_;
};

void drop_member(actor_object* actor, bool releasing) {
    if (releasing) return;
    actor_ref_release(actor);
}
}  // namespace

actor_group* actor_manager::find_group(const char* name) {
    if (!name || !*name) return nullptr;
    return &groups_[name];
}

actor_group* actor_manager::existing_group(const char* name) {
    auto it = groups_.find(name ? name : "");
    return it == groups_.end() ? nullptr : &it->second;
}

void actor_manager::add_group(const char* group, const char* member) {
    if (!group || !*group || !member || !*member) return;
    find_group(member);
    actor_group* g = find_group(group);
    if (std::find(g->subgroups.begin(), g->subgroups.end(), member) == g->subgroups.end()) {
        g->subgroups.push_back(member);
    }
}

void actor_manager::join_class(const char* group, st_actor_class* cls) {
    actor_group* g = find_group(group);
    if (!g || !cls) return;
    if (std::find(g->classes.begin(), g->classes.end(), cls) == g->classes.end()) g->classes.push_back(cls);
}

void actor_manager::add_class(const char* group, const char* class_name, bool lock) {
    actor_group* g = existing_group(group);
    st_actor_class* cls = find_class(class_name);
    if (!g || !cls) return;
    join_class(group, cls);
    // A lock still loading in the background counts as held: locking again
    // would leave one lock that nothing gives back.
    if (lock && (cls->flags & class_lock_on_demand) && cls->sprite_class &&
        !(cls->flags & (class_sprite_locked | class_sprite_loading))) {
        sprite_class::lock(cls->sprite_class, false);
        cls->flags |= class_sprite_locked;
    }
}

void actor_manager::forget_group_class(st_actor_class* cls) {
    for (auto& pair : groups_) {
        std::vector<st_actor_class*>& classes = pair.second.classes;
        classes.erase(std::remove(classes.begin(), classes.end(), cls), classes.end());
    }
}

const char* actor_manager::group_of_new(const char* group, const actor_object* parent) {
    std::string name;
    if (group && *group) {
        name = group;
    } else if (parent && parent->group) {
        name = parent->group;
    } else {
        name = current_group_;
    }
    if (name.empty()) return nullptr;
    find_group(name.c_str());
    return group_names_.insert(name).first->c_str();
}

void actor_manager::join_group(actor_object* actor) {
    actor_group* g = find_group(actor->group);
    if (!g) return;
    ++actor->ref_count;
    g->members.push_back(actor);
}

void actor_manager::remove_from_group(actor_object* actor) {
    if (!actor->group) return;
    std::vector<actor_object*>& members = find_group(actor->group)->members;
    auto it = std::find(members.begin(), members.end(), actor);
    if (it == members.end()) return;
    // Order is not kept: the last member takes the place.
    *it = members.back();
    members.pop_back();
    drop_member(actor, releasing);
}

void actor_manager::clear_groups() {
    // Members' references go with the actors themselves.
    groups_.clear();
    group_names_.clear();
    current_group_.clear();
}

// The log is in the code page (CP932) like every script text; the source
// file is UTF-8, so the message's bytes are spelled out.
// "Group %s の循環参照を検知しました。"
static const char group_cycle_format[] =
    "Group %s \x82\xcc\x8f\x7a\x8a\xc2\x8e\x51\x8f\xc6\x82\xf0\x8c\x9f\x92\x6d"
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42";

bool actor_manager::enter_walk(actor_group* g, const char* name, const char* origin) {
    if (!g) return false;
    if (g->busy) {
        system_log_trace(2, origin, group_cycle_format, name);
        return false;
    }
    g->busy = 1;
    return true;
}

void actor_manager::purge(const char* group, bool keep_classes) { purge_walk(group, keep_classes); }

void actor_manager::purge_walk(const char* name, bool keep_classes) {
    actor_group* g = existing_group(name);
    if (!enter_walk(g, name, "actors.purge")) return;
    {
        walk_scope walk(g);
        const std::vector<std::string> subgroups = g->subgroups;
        for (const std::string& sub : subgroups) purge_walk(sub.c_str(), keep_classes);
        pinned_members members(g->members);
        for (actor_object* actor : members.list()) actor_kill(actor);
    }
    if (!keep_classes) {
        const std::vector<st_actor_class*> classes = g->classes;
        for (st_actor_class* cls : classes) {
            // Script code above may have taken the class out already.
            if (find_class(cls->name.c_str()) != cls) continue;
            if (cls->flags & class_lock_on_demand) {
                cls->unlock_sprite_class();
            } else {
                discard_class(cls);
            }
        }
    }
    for (actor_object* actor : g->members) drop_member(actor, releasing);
    groups_.erase(name);
}

void actor_manager::store(const char* group) { store_walk(group); }

void actor_manager::store_walk(const char* name) {
    actor_group* g = existing_group(name);
    if (!enter_walk(g, name, "actors.store")) return;
    walk_scope walk(g);
    const std::vector<std::string> subgroups = g->subgroups;
    for (const std::string& sub : subgroups) store_walk(sub.c_str());
    pinned_members members(g->members);
    for (actor_object* actor : members.list()) {
        if (!storable(actor)) continue;
        if (!own_list(actor->cls) && !(actor->flags & actor_dying)) {
            actor_send_system_event(actor, event_group_store, {0, 0});
            actor->set_run_state(run_stored);
        }
        // The event may have killed it or taken its class out.
        if (!storable(actor) || (actor->flags & actor_dying)) continue;
        if (!in_pass || own_list(actor->cls)) {
            actor_send_system_event(actor, event_stored, {0, 0});
            actor->set_run_state(run_frozen);
        }
    }
}

void actor_manager::restore(const char* group) { restore_walk(group); }

void actor_manager::restore_walk(const char* name) {
    actor_group* g = existing_group(name);
    if (!enter_walk(g, name, "actors.restore")) return;
    walk_scope walk(g);
    const std::vector<std::string> subgroups = g->subgroups;
    for (const std::string& sub : subgroups) restore_walk(sub.c_str());
    pinned_members members(g->members);
    for (actor_object* actor : members.list()) {
        if (!storable(actor)) continue;
        if (!(actor->flags & actor_dying) && actor->set_run_state(run_waiting)) {
            actor_send_system_event(actor, event_group_restore, {0, 0});
        }
        if (!storable(actor) || (actor->flags & actor_dying)) continue;
        // In the pass, the end of the frame wakes act-list actors.
        if (in_pass && !own_list(actor->cls)) continue;
        if (!actor->set_run_state(run_running)) {
            actor_kill(actor);
            continue;
        }
        actor->set_position(actor->position[0], actor->position[1], actor->position[2]);
        actor->set_vector(actor->vector[0], actor->vector[1], actor->vector[2]);
        actor_send_system_event(actor, event_activation, {0, 0});
    }
}

bool actor_manager::enum_group(const char* name, actor_group_callback callback, void* user, bool recursive) {
    actor_group* g = existing_group(name);
    if (!g) return true;
    if (!enter_walk(g, name, "actors.enum")) return true;
    walk_scope walk(g);
    bool result = true;
    {
        pinned_members members(g->members);
        for (actor_object* actor : members.list()) {
            result = callback(actor, name, user);
            if (!result) break;
        }
    }
    if (result && recursive) {
        const std::vector<std::string> subgroups = g->subgroups;
        for (const std::string& sub : subgroups) {
            result = enum_group(sub.c_str(), callback, user, true);
            if (!result) break;
        }
    }
    return result;
}

void actor_manager::remove_store(const char* name, bool all) {
    lua_State* L = action_lua();
    if (!name || !*name) {
        for (auto& pair : named_) {
            if (all || !pair.second.actor) script_value_release(pair.second.stored, L);
        }
        return;
    }
    named_object_entry* entry = find_named_object(name);
    if (entry && (all || !entry->actor)) script_value_release(entry->stored, L);
}

void actor_manager::set_object_act_level(actor_object* actor, int32_t level) {
    const bool in_range = level >= 0 && level <= 255;
    actor->act_level = in_range ? level : int32_t(actor->cls ? (actor->cls->flags & class_level_mask) : 0);
    actor->update_visibility();
}

bool actor_manager::rename(actor_object* actor, const char* name) {
    // A dead actor's record may outlive its entry: no entry may point at it.
    if (!actor->cls || (actor->flags & actor_dead)) return false;
    named_object_entry* old = actor->named;
    named_object_entry* entry = unnamed_;
    if (name && *name) {
        if (old && old != unnamed_ && old->actor == actor && std::strcmp(old->name.c_str(), name) == 0) return true;
        entry = register_named_object(name, actor->cls);
        if (!entry) return false;
    }
    if (old && old != unnamed_ && old->actor == actor) {
        old->cls = nullptr;
        old->actor = nullptr;
    }
    actor->named = entry;
    ++entry->users;
    if (entry != unnamed_) {
        entry->cls = actor->cls;
        entry->actor = actor;
    }
    if (old) {
        --old->users;
        forget_entry(old);
    }
    return true;
}
