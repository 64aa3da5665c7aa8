#include "sound/sounds_library.h"

#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lauxlib.h"
#include "lua.h"
#include "sound/sound.h"
#include "sound/sound_channel.h"
#include "sound/sound_file.h"
#include "sound/sound_listener.h"
#include "sound/sound_manager.h"
#include "sound/sound_tables.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"

namespace {
sound_manager* manager() { return sound_manager::instance(); }

// A light userdata, a full userdata holding the pointer, or a name; only
// what the manager still holds counts.
void* pointer_argument(lua_State* L, int index) {
    if (lua_type(L, index) == LUA_TLIGHTUSERDATA) return lua_touserdata(L, index);
    if (lua_type(L, index) == LUA_TUSERDATA && lua_objlen(L, index) >= sizeof(void*))
        return *static_cast<void**>(lua_touserdata(L, index));
    return nullptr;
}

sound_channel_entry* to_channel(lua_State* L, int index) {
    sound_manager* m = manager();
    if (!m) return nullptr;
    if (lua_type(L, index) == LUA_TSTRING) return m->find_channel(lua_tostring(L, index));
    auto* e = static_cast<sound_channel_entry*>(pointer_argument(L, index));
    return m->has_channel(e) ? e : nullptr;
}

sound_class* to_class(lua_State* L, int index) {
    sound_manager* m = manager();
    if (!m) return nullptr;
    if (lua_type(L, index) == LUA_TSTRING) return m->find_class(lua_tostring(L, index));
    auto* c = static_cast<sound_class*>(pointer_argument(L, index));
    return m->has_class(c) ? c : nullptr;
}

float number_argument(lua_State* L, int index) {
    float v = 0;
    lua_get_float(L, index, v);
    return v;
}

int channel_create(lua_State* L) {
    sound_manager* m = manager();
    sound_channel_entry* e = nullptr;
    try {
        if (!m) throw "no sound manager";
        channel_table_parse(L, 1, *m, e);
    } catch (const char* message) {
        lua_settop(L, 1);
        system_log_trace(1, "sounds.channel_create", "error: %s.", message);
        if (e) {
            if (sound::instance()) sound::instance()->delete_channel(e->channel);
            delete e;
        }
        lua_pushnil(L);
        return 1;
    }
    m->add_channel(e);
    system_log_trace(6, "sounds.channel_create", "%s is created successfully", e->name.c_str());
    lua_pushlightuserdata(L, e);
    return 1;
}

int create(lua_State* L) {
    sound_manager* m = manager();
    sound_class* c = nullptr;
    try {
        if (!m) throw "no sound manager";
        sound_table_parse(L, 1, *m, c);
    } catch (const char* message) {
        lua_settop(L, 1);
        system_log_trace(1, "sounds.create", "%s", message);
        delete c;
        lua_pushnil(L);
        return 1;
    }
    m->add_class(c);
    system_log_trace(6, "sounds.create", "%s is created successfully", c->name.c_str());
    lua_pushlightuserdata(L, c);
    return 1;
}

int channel_release(lua_State* L) {
    sound_channel_entry* e = to_channel(L, 1);
    if (!e)
        system_log_trace(1, "sounds.channel_release", "invalid sound channel");
    else
        manager()->release_channel(e);
    return 0;
}

int release(lua_State* L) {
    sound_class* c = to_class(L, 1);
    if (!c)
        system_log_trace(1, "sounds.release", "invalid sound");
    else
        manager()->release_class(c);
    return 0;
}

int channel(lua_State* L) {
    sound_class* c = to_class(L, 1);
    if (!c) {
        system_log_trace(1, "sounds.channel", "invalid sound");
        lua_pushnil(L);
        return 1;
    }
    if (!c->channel || !manager()->has_channel(c->channel)) {
        system_log_trace(1, "sounds.channel", "cannot get channel name");
        lua_pushstring(L, "");
        return 1;
    }
    lua_pushstring(L, c->channel->name.c_str());
    return 1;
}

int volume(lua_State* L) {
    sound* d = sound::instance();
    lua_pushnumber(L, d ? d->volume() : 0.0);
    return 1;
}

int set_volume(lua_State* L) {
    if (sound* d = sound::instance()) d->set_volume(number_argument(L, 1));
    return 0;
}

int channel_volume(lua_State* L) {
    // nil, not nothing: a script's tostring() of the answer must not fail.
    sound_channel_entry* e = to_channel(L, 1);
    if (!e) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushnumber(L, e->channel->volume());
    return 1;
}

int set_channel_volume(lua_State* L) {
    if (sound_channel_entry* e = to_channel(L, 1)) e->channel->set_volume(number_argument(L, 2));
    return 0;
}

sound_listener* listener() {
    sound* d = sound::instance();
    return d ? d->listener() : nullptr;
}

void push_vector(lua_State* L, const char* name, const D3DVECTOR& v) {
    lua_createtable(L, 3, 0);
    lua_set_index_number(L, -1, 1, v.x);
    lua_set_index_number(L, -1, 2, v.y);
    lua_set_index_number(L, -1, 3, v.z);
    lua_setfield(L, -2, name);
}

int get_listener(lua_State* L) {
    sound_listener* l = listener();
    DS3DLISTENER p = {};
    if (!l || !l->get_parameter(p)) {
        lua_pushnil(L);
        return 1;
    }
    lua_createtable(L, 0, 7);
    lua_pushnumber(L, p.flDistanceFactor);
    lua_setfield(L, -2, "distance");
    lua_pushnumber(L, p.flDopplerFactor);
    lua_setfield(L, -2, "doppler");
    lua_pushnumber(L, p.flRolloffFactor);
    lua_setfield(L, -2, "rolloff");
    push_vector(L, "front", p.vOrientFront);
    push_vector(L, "top", p.vOrientTop);
    push_vector(L, "position", p.vPosition);
    push_vector(L, "velocity", p.vVelocity);
    return 1;
}

int set_listener(lua_State* L) {
    sound_listener* l = listener();
    DS3DLISTENER p = {};
    if (!l || !l->get_parameter(p)) return 0;
    try {
        listener_table_parse(L, 1, p);
    } catch (const char* message) {
        lua_settop(L, 1);
        system_log_trace(1, "sounds.set_param", "%s", message);
        return 0;
    }
    if (l->set_parameter(p)) l->commit();
    return 0;
}

int set_position(lua_State* L) {
    if (sound_listener* l = listener())
        for (int i = 0; i < 3; ++i) l->position[i] = number_argument(L, i + 1);
    return 0;
}

int set_velocity(lua_State* L) {
    if (sound_listener* l = listener())
        for (int i = 0; i < 3; ++i) l->velocity[i] = number_argument(L, i + 1);
    return 0;
}

int lock(lua_State* L) {
    sound_class* c = to_class(L, 1);
    if (!c || !c->file) {
        system_log_trace(1, "sounds.lock", "invalid sound");
        lua_pushboolean(L, 0);
        return 1;
    }
    bool ok = c->file->lock();
    if (!ok) system_log_trace(1, "sounds.lock", "fail to lock sound");
    lua_pushboolean(L, ok);
    return 1;
}

int unlock(lua_State* L) {
    sound_class* c = to_class(L, 1);
    if (!c || !c->file) {
        system_log_trace(1, "sounds.lock", "invalid sound");
        lua_pushboolean(L, 0);
        return 1;
    }
    c->file->unlock();
    lua_pushboolean(L, 1);
    return 1;
}

const char* const notify_methods[] = {"status", "position", "time", "stop", "release"};
int notify_status(lua_State* L);
int notify_position(lua_State* L);
int notify_time(lua_State* L);
int notify_stop(lua_State* L);
int notify_release(lua_State* L);
const lua_CFunction notify_functions[] = {notify_status, notify_position, notify_time, notify_stop, notify_release};

void push_notify(lua_State* L, sound_class* c, uint32_t slot) {
    lua_createtable(L, 0, 7);
    lua_pushlightuserdata(L, c);
    lua_setfield(L, -2, "class");
    lua_pushnumber(L, slot);
    lua_setfield(L, -2, "notify");
    for (int i = 0; i < 5; ++i) {
        lua_pushcfunction(L, notify_functions[i]);
        lua_setfield(L, -2, notify_methods[i]);
    }
}

// The play functions' one road. Raised messages are logged, never thrown.
int play_common(lua_State* L, bool with_channel, bool with_notify) {
    sound_class* c = to_class(L, 1);
    sound_channel_entry* e = nullptr;
    const char* refused = !c ? "invalid sound" : nullptr;
    if (!refused && with_channel && !(e = to_channel(L, 2))) refused = "invalid sound channel";
    if (refused) {
        system_log_trace(1, "sounds.play", "%s", refused);
        if (with_notify) return 0;
        lua_pushboolean(L, 0);
        return 1;
    }
    const int first = with_channel ? 3 : 2;
    uint32_t slot = 0;
    bool ok = false;
    try {
        if (with_notify && (slot = c->take_notify()) == 0) throw "cannot create notify";
        if (!lua_is_none_or_nil(L, first) && to_object(L, first)) {
            actor_object* actor = to_actor(L, first);
            const float zero[3] = {};
            ok = actor ? manager()->play(actor, c, e, slot) : c->play(slot, e, zero, zero, zero);
        } else {
            float position[3] = {};
            sound_listener* l = listener();
            if ((c->type() & sound_type_3d) && l)
                for (int i = 0; i < 3; ++i) position[i] = l->position[i];
            static const char* const invalid[3] = {"invalid position.x", "invalid position.y", "invalid position.z"};
            for (int i = 0; i < 3; ++i) {
                if (lua_is_none_or_nil(L, first + i)) continue;
                if (!lua_get_float(L, first + i, position[i])) throw invalid[i];
            }
            const float zero[3] = {};
            ok = c->play(slot, e, position, zero, zero);
        }
    } catch (const char* message) {
        system_log_trace(1, "sounds.play", "%s", message);
        if (slot) c->free_notify(slot);
        slot = 0;
        ok = false;
    }
    if (!with_notify) {
        lua_pushboolean(L, ok);
        return 1;
    }
    if (!slot) return 0;
    push_notify(L, c, slot);
    return 1;
}

int play(lua_State* L) { return play_common(L, false, false); }
int play2(lua_State* L) { return play_common(L, true, false); }
int play_notify(lua_State* L) { return play_common(L, false, true); }
int play_notify2(lua_State* L) { return play_common(L, true, true); }

int stop(lua_State* L) {
    sound_manager* m = manager();
    if (!m) return 0;
    if (lua_is_none_or_nil(L, 1)) {
        m->stop_all();
        return 0;
    }
    if (sound_channel_entry* e = to_channel(L, 1)) e->channel->stop_all();
    return 0;
}

int mute(lua_State* L) {
    if (sound* d = sound::instance()) d->set_mute(lua_toboolean(L, 1) != 0);
    return 0;
}

int real_size(lua_State* L) {
    sound_class* c = to_class(L, 1);
    if (!c || !c->file)
        system_log_trace(1, "sounds.real_size", "invalid sound");
    else
        c->file->measure();
    return 0;
}

// The notify record of self, or null after logging under the label.
sound_notify* notify_of(lua_State* L, const char* label, sound_class** cls = nullptr, uint32_t* slot = nullptr) {
    sound_notify* n = nullptr;
    if (lua_istable(L, 1)) {
        lua_getfield(L, 1, "class");
        sound_class* c = static_cast<sound_class*>(lua_touserdata(L, -1));
        lua_getfield(L, 1, "notify");
        uint32_t index = lua_isnumber(L, -1) ? lua_to_uint(L, -1) : 0;
        lua_pop(L, 2);
        sound_manager* m = manager();
        if (m && m->has_class(c)) n = c->notify(index);
        if (cls) *cls = c;
        if (slot) *slot = index;
    }
    if (!n) system_log_trace(1, label, "invalid notify instance");
    return n;
}

double milliseconds(sound_notify* n, uint32_t bytes) {
    const WAVEFORMATEX* f = n->file ? n->file->format() : nullptr;
    if (!f || f->nAvgBytesPerSec == 0) return 0;
    return static_cast<double>(static_cast<uint64_t>(bytes) * 1000 / f->nAvgBytesPerSec);
}

int notify_status(lua_State* L) {
    sound_notify* n = notify_of(L, "sounds.notify:status");
    if (!n) return 0;
    lua_pushboolean(L, n->playing && n->voice && n->voice->is_playing());
    return 1;
}

int notify_position(lua_State* L) {
    sound_notify* n = notify_of(L, "sounds.notify:position");
    if (!n) return 0;
    lua_pushnumber(L, milliseconds(n, n->position));
    return 1;
}

int notify_time(lua_State* L) {
    sound_notify* n = notify_of(L, "sounds.notify:time");
    if (!n) return 0;
    uint32_t bytes = 0;
    if (n->file) bytes = n->file->data_size() ? n->file->data_size() : n->file->delivered();
    lua_pushnumber(L, milliseconds(n, bytes));
    return 1;
}

int notify_stop(lua_State* L) {
    sound_notify* n = notify_of(L, "sounds.notify:stop");
    if (n && n->voice && sound::instance()) sound::instance()->stop_buffer(n->voice);
    return 0;
}

int notify_release(lua_State* L) {
    sound_class* c = nullptr;
    uint32_t slot = 0;
    if (notify_of(L, "sounds.notify:release", &c, &slot)) c->free_notify(slot);
    return 0;
}

const luaL_Reg functions[] = {
    {"channel_create", channel_create},
    {"create", create},
    {"channel_release", channel_release},
    {"release", release},
    {"channel", channel},
    {"volume", volume},
    {"set_volume", set_volume},
    {"channel_volume", channel_volume},
    {"set_channel_volume", set_channel_volume},
    {"listener", get_listener},
    {"param", get_listener},
    {"set_listener", set_listener},
    {"set_param", set_listener},
    {"set_position", set_position},
    {"set_velocity", set_velocity},
    {"lock", lock},
    {"unlock", unlock},
    {"play", play},
    {"play2", play2},
    {"play_notify", play_notify},
    {"play_notify2", play_notify2},
    {"stop", stop},
    {"mute", mute},
    {"real_size", real_size},
    {nullptr, nullptr},
};
}  // namespace

void register_sounds_library(lua_State* L) { luaL_register(L, "sounds", functions); }
