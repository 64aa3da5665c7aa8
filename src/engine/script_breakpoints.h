// Breakpoints in the game's script files and the debug routine they call.
// The list outlives a script restart and is hooked into each new state.
#ifndef VY_ENGINE_SCRIPT_BREAKPOINTS_H
#define VY_ENGINE_SCRIPT_BREAKPOINTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/strings.h"

struct lua_State;
struct lua_Debug;

class script_breakpoints {
public:
    // Appends {source, line}; hooks the state when the list was empty.
    // Answers the number of breakpoints.
    size_t add(lua_State* L, const char* source, int32_t line);
    // Every entry of that source and line; unhooks once the list is empty.
    void remove(lua_State* L, const char* source, int32_t line);
    // The entry at a 0-based index; false when there is none.
    bool remove_at(lua_State* L, int32_t index);
    // A new main state: hooked again when breakpoints are listed.
    void attach(lua_State* L);
    size_t size() const { return entries_.size(); }

    // The global function the breakpoint action calls; empty: none.
    void set_routine(const char* name) { routine_ = name; }
    const string& routine() const { return routine_; }

    // The action for the Lua function at level of L, under the name the
    // list uses for its source.
    void hit(lua_State* L, int level);
    // The line hook: whether a listed breakpoint is at this place.
    bool listed(const char* relative_source, int32_t line) const;
    bool has_line(int32_t line) const;

private:
    struct entry {
        string source;
        int32_t line;
    };
    std::vector<entry> entries_;
    string routine_;
};

// A chunk source as breakpoints name it: below the script folder when it
// lies there, else unchanged ("@" cut off for files).
string breakpoint_source_name(const char* source, const wchar_t* script_folder);
// Same file: compared without regard to case, either slash.
bool breakpoint_source_matches(const char* listed, const char* source);

#endif
