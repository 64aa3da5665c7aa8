// The actor manager: actor classes, the lists the frame walks, the release
// list, the named objects, and the creation and final kill of actors.
#ifndef VY_WORLD_ACTOR_MANAGER_H
#define VY_WORLD_ACTOR_MANAGER_H

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/singleton.h"
#include "world/collision_manager.h"
#include "world/actor_groups.h"
#include "world/named_objects.h"
#include "world/script_link.h"

class st_actor_class;
class st_sprite_class;
class actor_object;

// What a new actor starts with besides its class.
struct actor_create_values {
    float position[3] = {};
    float vector[3] = {};
    int32_t state = 0;
    int32_t way = 0;
    int32_t zorder = 0;
    // The init action's value (a table of values for Lua-function slots).
    script_value init = {0, 0};
    // In place of the class's sprite class.
    st_sprite_class* sprite_class = nullptr;
    // The group to join; none: the parent's group, else the current group.
    const char* group = nullptr;
};

class actor_manager : public singleton<actor_manager> {
public:
    // Lists keep insertion order. Passes walk them by index, so actors
    // appended during a walk are safe; only dispose takes actors out.
    using actor_list = std::vector<actor_object*>;

    actor_manager();
    ~actor_manager() override;

    bool intialize(lua_State* L);

    // A new class (or a reusable one under the name); null when a class of
    // that name is in use (logged).
    st_actor_class* allocate_class(const char* name, uint32_t flags);
    st_actor_class* find_class(const char* name) const;
    // Takes a class out of use: disabled, out of the map at once, deleted
    // when its last actor goes.
    void discard_class(st_actor_class* cls);

    actor_object* create_object(const char* name, st_actor_class* cls,
                                const actor_create_values& values, actor_object* parent);
    named_object_entry* register_named_object(const char* name, st_actor_class* cls);
    named_object_entry* find_named_object(const char* name);

    bool update();       // the frame list
    bool update_late();  // the act list, on act frames
    void dispose();      // end of every frame
    bool step(actor_object* actor, int32_t level, int32_t mode);
    void kill(actor_object* actor);  // the final kill
    // The global act level; sprites of actors it stops are paused.
    void set_act_level(int32_t level);
    void clear_all();

    actor_list frame_list, late_list, act_list, release_list, new_list;
    int32_t act_level = 255;
    int32_t act_mode = 0;
    bool in_pass = false;
    bool releasing = false;
    collision_manager collision;

    // Something that the end of the frame must look at happened (a kill, a
    // run-state change, a class taken out of use). Without it the end of the
    // frame leaves the lists alone instead of testing every actor again.
    // Whoever gives a sprite a negative first frame event must note it too.
    void note_change() { dispose_pending_ = true; }

    const std::map<std::string, named_object_entry>& named_objects() const { return named_; }

    // Groups, names and stored values (actor_groups.cpp). A group argument
    // is a name; the empty name is no group.
    actor_group* find_group(const char* name);  // found or created
    actor_group* existing_group(const char* name);
    void add_group(const char* group, const char* member);
    void add_class(const char* group, const char* class_name, bool lock);
    // A new named class enters its group's classes.
    void join_class(const char* group, st_actor_class* cls);
    void remove_from_group(actor_object* actor);
    void purge(const char* group, bool keep_classes);
    void store(const char* group);
    void restore(const char* group);
    bool enum_group(const char* group, actor_group_callback callback, void* user, bool recursive);
    void remove_store(const char* name, bool all);
    void set_object_act_level(actor_object* actor, int32_t level);
    // A new name for the actor, or none (null or empty); false when the
    // name is held by another live actor.
    bool rename(actor_object* actor, const char* name);
    const std::string& current_group() const { return current_group_; }
    void set_current_group(const char* name) { current_group_ = name ? name : ""; }

private:
    // The group an actor joins at creation, and its joining after.
    const char* group_of_new(const char* group, const actor_object* parent);
    void join_group(actor_object* actor);
    // A class that leaves the class map leaves every group too.
    void forget_group_class(st_actor_class* cls);
    void clear_groups();
    bool enter_walk(actor_group* g, const char* name, const char* origin);
    void purge_walk(const char* name, bool keep_classes);
    void store_walk(const char* name);
    void restore_walk(const char* name);

    void drop_class_use(st_actor_class* cls);
    void forget_entry(named_object_entry* entry);
    void activate_new(actor_object* actor);

    std::map<std::string, st_actor_class*> classes_;
    std::map<std::string, named_object_entry> named_;
    named_object_entry* unnamed_ = nullptr;
    bool dispose_pending_ = false;
    std::map<std::string, actor_group> groups_;
    // Names actors point at: kept while any actor may, unlike the records.
    std::set<std::string> group_names_;
    std::string current_group_;

    friend class actor_object;
};

// The object a script names: a live engine object given as a light
// userdata, or the actor registered under a name; null for anything else.
void* to_object(lua_State* L, int index);
actor_object* to_actor(lua_State* L, int index);
// The same rule for actor classes, a name naming a registered class.
st_actor_class* to_actor_class(lua_State* L, int index);

#endif
