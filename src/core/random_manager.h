// `random_manager`: the named generators that scripts create, each owned
// by the manager until it is replaced or cleared.
#ifndef VY_CORE_RANDOM_MANAGER_H
#define VY_CORE_RANDOM_MANAGER_H

#include <cstdint>
#include <map>

#include "core/random.h"
#include "core/singleton.h"
#include "core/strings.h"

struct lua_State;

class random_manager : public singleton<random_manager> {
public:
    // Kinds in the high 16 bits of a creation type.
    enum : uint32_t {
        kind_mt = 0x00000,
        kind_mt_too = 0x10000,
        kind_xs = 0x20000,      // xorshift with low bits 0, else MT19937
        kind_buffered = 0x30000, // ring of 1024 << ((type + 5) mod 32) numbers
    };

    random_manager() = default;
    ~random_manager() override { clear(); }
    random_manager(const random_manager&) = delete;
    random_manager& operator=(const random_manager&) = delete;

    irandom* find(const string& name) const;
    // A new, unseeded generator of the type under the name, replacing (and
    // deleting) any generator of that name; null for an unknown kind or a
    // ring that can't be allocated (the old generator then stays).
    irandom* create(uint32_t type, const string& name);
    void clear();
    size_t size() const { return generators_.size(); }

    // The generator a creation type makes, or null.
    static irandom* make(uint32_t type);

    // True while the generator is one of the manager's: a script may hold
    // an object whose generator was replaced or cleared since.
    bool owns(const irandom* generator) const;

    // The generator of the script object at argument 1 (a table whose field
    // "object" holds it). When there is none, a call-stack trace with locals
    // goes to the script-error log and null is answered.
    static irandom* get_object(lua_State* state);

private:
    std::map<string, irandom*, string_less> generators_;
};

// Adds math.randgen (and the math table when it is missing).
void randgen_register(lua_State* state);

#endif
