#include "sound/sound_manager.h"

#include "core/trace.h"
#include "sound/sound.h"
#include "sound/sound_channel.h"
#include "sound/sound_listener.h"
#include "world/actor_object.h"
#include "world/actor_sounds.h"
#include "sound/sounds_library.h"
#include "lua.h"

namespace {
bool file_system_path(int32_t, const char* name, wstring& path, string& entry) {
    entry = string();
    return name && *name && string_to_wstring(name, path);
}

sound_file_resolver file_resolver = file_system_path;
const sound_view_hooks* view_hooks = nullptr;

// Cone orientations by an object's direction 0-7.
const float directions[8][3] = {{0, 1, 0},  {0.7f, 0.7f, 0},   {1, 0, 0},  {0.7f, -0.7f, 0},
                                {0, -1, 0}, {-0.7f, -0.7f, 0}, {-1, 0, 0}, {-0.7f, 0.7f, 0}};

void* actor_find_class(const char* name) {
    sound_manager* m = sound_manager::instance();
    return m ? m->find_class(name) : nullptr;
}

bool actor_play(actor_object* actor, void* cls) {
    sound_manager* m = sound_manager::instance();
    auto* c = static_cast<sound_class*>(cls);
    // Actors play their classes' sounds unplaced.
    const float zero[3] = {};
    return m && actor && c && m->has_class(c) && c->play(0, nullptr, zero, zero, zero);
}

const actor_sound_hooks actor_hooks = {actor_find_class, actor_play};
}  // namespace

sound_manager::sound_manager() { set_actor_sound_hooks(&actor_hooks); }

sound_manager::~sound_manager() {
    clear_classes();
    clear_channels();
    if (instance() == this) set_actor_sound_hooks(nullptr);
}

void sound_manager::set_file_resolver(sound_file_resolver resolver) {
    file_resolver = resolver ? resolver : file_system_path;
}

bool sound_manager::resolve_file(int32_t path_index, const char* name, wstring& path, string& entry) {
    return file_resolver(path_index, name, path, entry);
}

void sound_manager::set_view_hooks(const sound_view_hooks* hooks) { view_hooks = hooks; }

bool sound_manager::view_of_field(float position[3], int32_t& width, int32_t& height) {
    return view_hooks && view_hooks->view && view_hooks->view(position, width, height);
}

void sound_manager::to_view(const float position[3], float out[3]) {
    if (view_hooks && view_hooks->to_view)
        view_hooks->to_view(position, out);
    else
        out[0] = position[0], out[1] = position[1], out[2] = position[2];
}

sound_channel_entry* sound_manager::create_channel(const char* name) {
    if (!name || channels_.count(name)) return nullptr;
    sound* device = sound::instance();
    auto* entry = new sound_channel_entry;
    entry->name = name;
    entry->channel = device ? device->create_channel() : nullptr;
    if (!entry->channel) {
        TRACE_ERROR("sound_manager::create_channel", "sound::create_channel", -1);
        delete entry;
        return nullptr;
    }
    return entry;
}

sound_class* sound_manager::create_class(const char* name) {
    if (!name || classes_.count(name)) return nullptr;
    auto* cls = new sound_class;
    cls->name = name;
    return cls;
}

sound_channel_entry* sound_manager::find_channel(const char* name) const {
    auto at = name ? channels_.find(name) : channels_.end();
    return at == channels_.end() ? nullptr : at->second;
}

sound_class* sound_manager::find_class(const char* name) const {
    auto at = name ? classes_.find(name) : classes_.end();
    return at == classes_.end() ? nullptr : at->second;
}

bool sound_manager::has_channel(const sound_channel_entry* entry) const {
    if (!entry) return false;
    for (auto& e : channels_)
        if (e.second == entry) return true;
    return false;
}

bool sound_manager::has_class(const sound_class* cls) const {
    if (!cls) return false;
    for (auto& e : classes_)
        if (e.second == cls) return true;
    return false;
}

void sound_manager::release_class(sound_class* cls) {
    if (!cls) return;
    auto at = classes_.find(cls->name);
    if (at != classes_.end() && at->second == cls) classes_.erase(at);
    delete cls;
}

void sound_manager::release_channel(sound_channel_entry* entry) {
    if (!entry) return;
    for (auto it = classes_.begin(); it != classes_.end();) {
        sound_class* cls = it->second;
        if (cls->channel == entry) {
            it = classes_.erase(it);
            delete cls;
        } else {
            ++it;
        }
    }
    auto at = channels_.find(entry->name);
    if (at != channels_.end() && at->second == entry) channels_.erase(at);
    sound* device = sound::instance();
    if (device && entry->channel) device->delete_channel(entry->channel);
    delete entry;
}

void sound_manager::clear_classes() {
    std::map<std::string, sound_class*> classes;
    classes.swap(classes_);
    for (auto& e : classes) delete e.second;
}

void sound_manager::clear_channels() {
    std::map<std::string, sound_channel_entry*> channels;
    channels.swap(channels_);
    sound* device = sound::instance();
    for (auto& e : channels) {
        if (device && e.second->channel) device->delete_channel(e.second->channel);
        delete e.second;
    }
}

void sound_manager::stop_all() {
    for (auto& e : channels_)
        if (e.second->channel) e.second->channel->stop_all();
}

bool sound_manager::play(actor_object* object, sound_class* cls, sound_channel_entry* channel, uint32_t notify) {
    if (!object || !cls) return false;
    float position[3] = {};
    to_view(object->position, position);
    int32_t way = object->way & 7;
    return cls->play(notify, channel, position, directions[way], object->vector);
}

bool sound_manager::init_script(lua_State* L) {
    lua_ = L;
    register_sounds_library(L);
    lua_pop(L, 1);
    sound* device = sound::instance();
    if (device && device->listener()) device->listener()->apply_defaults();
    return true;
}
