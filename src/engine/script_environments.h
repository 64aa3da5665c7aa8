// Named script environments: separate Lua states with the standard
// libraries only, where game scripts compute apart from the engine and
// exchange values with it by copying.
#ifndef VY_ENGINE_SCRIPT_ENVIRONMENTS_H
#define VY_ENGINE_SCRIPT_ENVIRONMENTS_H

#include <map>

#include "core/strings.h"

struct lua_State;

class script_environments {
public:
    script_environments() = default;
    ~script_environments() { close_all(); }
    script_environments(const script_environments&) = delete;
    script_environments& operator=(const script_environments&) = delete;

    // The environment's state, or null.
    lua_State* find(const string& name) const;
    // Logs its own failures under origin; false when the name is taken or
    // no state could be opened.
    bool open(const string& name, const char* origin);
    // False when no environment has the name.
    bool close(const string& name);
    void close_all();

private:
    std::map<string, lua_State*, string_less> states_;
};

#endif
