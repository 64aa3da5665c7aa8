#include "sound/sound_tables.h"

#include <algorithm>

#include "core/lua_readers.h"
#include "core/system_log.h"
#include "lua.h"
#include "sound/sound.h"
#include "sound/sound_channel.h"
#include "sound/sound_file.h"
#include "sound/sound_listener.h"
#include "sound/sound_manager.h"

namespace {
bool device_has_listener() {
    sound* d = sound::instance();
    return d && d->listener();
}

// t.name as a string: the string type only.
bool field_string(lua_State* L, int t, const char* name, string& out) {
    lua_getfield(L, t, name);
    bool ok = lua_type(L, -1) == LUA_TSTRING;
    if (ok) out = lua_tostring(L, -1);
    lua_pop(L, 1);
    return ok;
}

// A number key: absent gives false, another type throws.
bool field_float(lua_State* L, int t, const char* name, float& out, const char* message) {
    return lua_get_field_float(L, t, name, out, true, message);
}

void read_vector(lua_State* L, int t, const char* name, D3DVECTOR& v, const char* invalid,
                 const char* const missing[3]) {
    if (!lua_get_field_table(L, t, name, true, invalid)) return;
    int at = lua_gettop(L);
    float xyz[3];
    for (int i = 0; i < 3; ++i) lua_get_index_float(L, at, i + 1, xyz[i], false, missing[i]);
    lua_pop(L, 1);
    v = {xyz[0], xyz[1], xyz[2]};
}
}  // namespace

void channel_table_parse(lua_State* L, int t, sound_manager& m, sound_channel_entry*& out) {
    string name;
    if (!lua_istable(L, t) || !field_string(L, t, "name", name)) throw "no sound channel name";
    system_log_trace(6, "sounds.channel_create", "create sound channel %s", name.c_str());
    out = m.create_channel(name.c_str());
    if (!out) throw "specified channel name is already existed, or no memory";
    uint32_t type = 0;
    lua_get_field_uint(L, t, "type", type, true, "invalid default type");
    if (!device_has_listener()) type &= ~sound_type_3d;
    out->type = type;
    int32_t max_play = 0;
    if (lua_get_field_int(L, t, "max_play", max_play, true, "invalid max play")) out->channel->max_play = max_play;
    int32_t path = 0;
    if (lua_get_field_int(L, t, "path", path, true, "invalid loading path")) out->path = path;
}

void sound_table_parse(lua_State* L, int t, sound_manager& m, sound_class*& out) {
    string name;
    if (!lua_istable(L, t) || !field_string(L, t, "name", name)) throw "no sound name";
    system_log_trace(6, "sounds.create", "create sound %s", name.c_str());
    out = m.create_class(name.c_str());
    if (!out) throw "specified sound name is already existed, or no memory";
    string channel;
    if (!field_string(L, t, "channel", channel)) throw "no channel name";
    out->channel = m.find_channel(channel.c_str());
    if (!out->channel) throw "invalid sound channel name";
    uint32_t type = 0;
    lua_get_field_uint(L, t, "type", type, true, "invalid sound type");
    type |= out->channel->type;
    if (!device_has_listener()) type &= ~sound_type_3d;
    string file;
    if (!field_string(L, t, "file", file)) throw "no sound file path";
    wstring path;
    string entry;
    if (!sound_manager::resolve_file(out->channel->path, file.c_str(), path, entry) ||
        !out->acquire_file(path.c_str(), entry, type))
        throw "invalid sound file path";
    int32_t max_play = 0;
    if (lua_get_field_int(L, t, "max_play", max_play, true, "invalid max play")) {
        out->file->max_play = max_play;
        if (max_play > 0)
            out->notifies.reserve(static_cast<size_t>(std::min(max_play, sound_class::notify_step_ceiling)));
    }
    float v = 0;
    if (field_float(L, t, "min", v, "invalid min distance") && v >= 0) out->min_distance = v;
    if (field_float(L, t, "max", v, "invalid max distance") && v >= 0) out->max_distance = v;
    if (field_float(L, t, "inside", v, "invalid inside cone angle") && v >= 0) out->inside_angle = script_round_int(v);
    if (field_float(L, t, "outside", v, "invalid outside cone angle") && v >= 0)
        out->outside_angle = script_round_int(v);
    if (field_float(L, t, "volume", v, "invalid outside cone volume") && v >= 0)
        out->outside_volume = -10000 + script_round_int(v * 10000.0);
}

void listener_table_parse(lua_State* L, int t, DS3DLISTENER& p) {
    if (!lua_istable(L, t)) throw "invalid listener";
    lua_get_field_float(L, t, "distance", p.flDistanceFactor, true, "invalid distance factor");
    lua_get_field_float(L, t, "doppler", p.flDopplerFactor, true, "invalid doppler factor");
    lua_get_field_float(L, t, "rolloff", p.flRolloffFactor, true, "invalid roll-off factor");
    static const char* const front[3] = {"no front.x", "no front.y", "no front.z"};
    static const char* const top[3] = {"no top.x", "no top.y", "no top.z"};
    static const char* const position[3] = {"no position.x", "no position.y", "no position.z"};
    static const char* const velocity[3] = {"no velocity.x", "no velocity.y", "no velocity.z"};
    read_vector(L, t, "front", p.vOrientFront, "invalid front orientation", front);
    read_vector(L, t, "top", p.vOrientTop, "invalid top orientation", top);
    read_vector(L, t, "position", p.vPosition, "invalid position", position);
    read_vector(L, t, "velocity", p.vVelocity, "invalid velocity", velocity);
}
