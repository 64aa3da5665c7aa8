#include "engine/script_environments.h"

#include "core/script.h"
#include "engine/system_manager.h"

#include "lua.h"

lua_State* script_environments::find(const string& name) const {
    auto it = states_.find(name);
    return it == states_.end() ? nullptr : it->second;
}

bool script_environments::open(const string& name, const char* origin) {
    if (find(name)) {
        system_manager::trace(1, origin, "specified environ name already exists");
        return false;
    }
    // An empty name is what every unreadable environment argument becomes;
    // an environment under it would answer calls made with bad arguments.
    script state;
    if (name.length() == 0 || !state.open(script_restricted_libs)) {
        system_manager::trace(1, origin, "env_open is failed");
        return false;
    }
    states_[name] = state.state();
    return true;
}

bool script_environments::close(const string& name) {
    auto it = states_.find(name);
    if (it == states_.end()) return false;
    lua_close(it->second);
    states_.erase(it);
    return true;
}

void script_environments::close_all() {
    for (auto& entry : states_) lua_close(entry.second);
    states_.clear();
}
