// Parsers of the `sounds` tables: channels, sound classes and listener
// settings. Each throws its first error as a message text.
#ifndef VY_SOUND_SOUND_TABLES_H
#define VY_SOUND_SOUND_TABLES_H

#include <dsound.h>

struct lua_State;
class sound_manager;
class sound_class;
struct sound_channel_entry;

// The table is at index; the caller enters nothing on a throw.
void channel_table_parse(lua_State* L, int index, sound_manager& m, sound_channel_entry*& out);
void sound_table_parse(lua_State* L, int index, sound_manager& m, sound_class*& out);
void listener_table_parse(lua_State* L, int index, DS3DLISTENER& p);

#endif
