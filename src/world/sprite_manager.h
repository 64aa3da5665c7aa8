// The sprite manager: the map of sprite classes and the list of animated
// sprites that it advances once per act frame.
#ifndef VY_WORLD_SPRITE_MANAGER_H
#define VY_WORLD_SPRITE_MANAGER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/singleton.h"
#include "world/sprite_class.h"

class sprite_object;

// The system's render layers by small index; the engine fills it in when it
// creates its layers. An entry below 0 is a layer that could not be made.
void set_render_layer_table(const int32_t* ids, uint32_t count);
// False for an index outside the table or an entry below 0.
bool render_layer_from_index(int32_t index, int32_t& id);

class sprite_manager : public singleton<sprite_manager> {
public:
    sprite_manager();
    ~sprite_manager() override;

    // A new, empty class of the name; null when the name is taken.
    st_sprite_class* allocate_class(const char* name);
    void register_class(st_sprite_class* cls, float scale_x, float scale_y);
    st_sprite_class* find_class(const char* name) const;

    sprite_object* create_object(int32_t layer_index, st_sprite_class* cls, int32_t state,
                                 int32_t way, bool release);
    void link(sprite_object* sprite);
    void unlink(sprite_object* sprite);
    void update();  // act frames: one animation step of every sprite
    // Deletes every bare sprite (actors delete their own).
    void clear_sprites();
    // The script side goes: bare sprites, then every class with its frame
    // extend references released in L (null: the state is already gone).
    void release_script(lua_State* L);

    float default_wait = 8.0f;
    // The largest class reach so far; the field view widens its margin by it.
    int32_t reach_x = 0, reach_y = 0;
    const std::vector<sprite_object*>& sprites() const { return list_; }
    size_t sprite_count() const { return list_.size() - holes_; }
    const std::map<std::string, st_sprite_class*>& classes() const { return classes_; }

private:
    std::map<std::string, st_sprite_class*> classes_;
    std::vector<sprite_object*> list_;
    size_t holes_ = 0;
};

#endif
