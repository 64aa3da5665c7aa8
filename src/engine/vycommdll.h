// The VYCOMM channel: requests of Lua source from companion processes and
// replies of stored script values, through one named file mapping and two
// named auto-reset events. The engine creates each channel (serving side);
// a companion opens it (requesting side) with a Lua state of its own into
// which replies are restored.
#ifndef VY_ENGINE_VYCOMMDLL_H
#define VY_ENGINE_VYCOMMDLL_H

#include <windows.h>

#include <cstdint>

struct lua_State;

// The shared block's header; the data area follows it, then 16 guard bytes.
struct vycomm_header {
    uint32_t capacity;
    uint32_t length;
    uint32_t count;
    uint32_t status;
};

enum : uint32_t {
    vycomm_request = 1,
    vycomm_success = 3,
    vycomm_failure = 4,
    vycomm_failure_empty = 5,
    vycomm_taken = 3,  // added to a reply's status once the requester has it
};

struct vycomm_channel {
    uint32_t first_id;   // the serving process
    uint32_t second_id;  // the requesting process
    uint32_t role;       // 1 serving side, 0 requesting side
    HANDLE mapping;
    uint32_t capacity;
    HANDLE request_event;
    HANDLE reply_event;
    uint8_t* view;
    lua_State* state;  // requesting side only

    vycomm_header* header() const { return reinterpret_cast<vycomm_header*>(view); }
    uint8_t* data() const { return view + sizeof(vycomm_header); }
};

// Data size non-zero: the serving side for the peer; zero: the requesting
// side of the channel the peer serves.
vycomm_channel* VyCommConnect(uint32_t data_size, uint32_t peer_id);
// True when the other side has signalled (polls, never waits).
bool VyCommWait(vycomm_channel* channel);
// Serves one request in L (serving side) or takes one reply into the
// channel's own state (requesting side).
bool VyCommReceive(vycomm_channel* channel, lua_State* L);
bool VyCommClose(vycomm_channel* channel);

#endif
