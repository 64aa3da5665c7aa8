// `sound_manager`: the script side of sound. It keeps the channels and
// sound classes the scripts define, by name, registers the `sounds`
// library at every script start and empties both maps at every release.
// What it needs of the engine above it (search paths, the field view)
// comes through hooks the engine installs.
#ifndef VY_SOUND_SOUND_MANAGER_H
#define VY_SOUND_SOUND_MANAGER_H

#include <cstdint>
#include <map>
#include <string>

#include "core/singleton.h"
#include "core/strings.h"
#include "sound/sound_class.h"

struct lua_State;
class actor_object;

// Resolves a sound file name through the search paths; path_index is the
// channel's search path (0: the current ones). entry is empty for a file
// of the file system, else the name inside the package at path.
using sound_file_resolver = bool (*)(int32_t path_index, const char* name, wstring& path, string& entry);

// The current field view: its position and whole-number size; false when
// there is none. And a field position as a view position (x, y, depth);
// what it leaves unset keeps the value given.
struct sound_view_hooks {
    bool (*view)(float position[3], int32_t& width, int32_t& height);
    void (*to_view)(const float position[3], float out[3]);
};

class sound_manager : public singleton<sound_manager> {
public:
    sound_manager();
    ~sound_manager() override;
    sound_manager(const sound_manager&) = delete;
    sound_manager& operator=(const sound_manager&) = delete;

    static sound_manager* instance() { return singleton<sound_manager>::instance(); }

    static void set_file_resolver(sound_file_resolver resolver);
    static bool resolve_file(int32_t path_index, const char* name, wstring& path, string& entry);
    static void set_view_hooks(const sound_view_hooks* hooks);
    static bool view_of_field(float position[3], int32_t& width, int32_t& height);
    static void to_view(const float position[3], float out[3]);

    // Registers `sounds` in the state and resets the listener.
    bool init_script(lua_State* L);
    lua_State* lua() const { return lua_; }

    sound_channel_entry* create_channel(const char* name);
    sound_class* create_class(const char* name);
    void add_channel(sound_channel_entry* entry) { channels_[entry->name] = entry; }
    void add_class(sound_class* cls) { classes_[cls->name] = cls; }
    sound_channel_entry* find_channel(const char* name) const;
    sound_class* find_class(const char* name) const;
    // Live entries only: a pointer the maps don't hold gives false.
    bool has_channel(const sound_channel_entry* entry) const;
    bool has_class(const sound_class* cls) const;

    // Frees the entry (a channel entry never entered into the map too).
    void release_class(sound_class* cls);
    // Releases the channel and every class whose default channel it is.
    void release_channel(sound_channel_entry* entry);
    void clear_classes();
    void clear_channels();
    void stop_all();

    // The road by which actors play their classes' sounds.
    bool play(actor_object* object, sound_class* cls, sound_channel_entry* channel, uint32_t notify);

private:
    lua_State* lua_ = nullptr;
    std::map<std::string, sound_channel_entry*> channels_;
    std::map<std::string, sound_class*> classes_;
};

#endif
