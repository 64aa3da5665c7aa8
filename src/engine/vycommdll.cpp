#include "engine/vycommdll.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/script.h"
#include "core/script_heap.h"
#include "core/trace.h"

#include "lauxlib.h"
#include "lua.h"

// Lines of this channel locate as "vycommdll(N)", whatever the source file
// is called: tools that read the trace look for that name.
#define VYCOMM_TRACE(label, message, code)                                                  \
    do {                                                                                    \
        static char vy_trace_short_name_[trace_short_name_size];                            \
        trace_error(default_trace(), "vycommdll", vy_trace_short_name_,                     \
                    sizeof vy_trace_short_name_, __LINE__, (label), (message),              \
                    static_cast<int32_t>(code));                                            \
    } while (0)

namespace {
constexpr uint32_t guard_size = 16;
constexpr uint8_t guard_byte = 0xCD;

void channel_name(wchar_t* out, size_t size, const vycomm_channel* c, const wchar_t* kind) {
    _snwprintf(out, size, L"VYCOMM:%08x<=>%08x:%ls", c->first_id, c->second_id, kind);
    out[size - 1] = 0;
}

int panic(lua_State* L) {
    VYCOMM_TRACE("vycomm", lua_tostring(L, -1) ? lua_tostring(L, -1) : "lua panic", -1);
    return 0;
}

HANDLE make_event(const vycomm_channel* c, const wchar_t* kind) {
    wchar_t name[64];
    channel_name(name, 64, c, kind);
    return CreateEventW(nullptr, FALSE, FALSE, name);
}

bool close_handle(HANDLE& h, const char* message) {
    if (!h) return true;
    bool ok = CloseHandle(h) != 0;
    if (!ok) VYCOMM_TRACE("VyCommClose", message, GetLastError());
    h = nullptr;
    return ok;
}

// Closes what a failed connect opened, newest first.
void discard(vycomm_channel* c) {
    if (c->reply_event) CloseHandle(c->reply_event);
    if (c->request_event) CloseHandle(c->request_event);
    if (c->view) UnmapViewOfFile(c->view);
    if (c->mapping) CloseHandle(c->mapping);
    if (c->state) lua_close(c->state);
    GlobalFree(c);
}

vycomm_channel* fail_connect(vycomm_channel* c, const char* message, int32_t code) {
    VYCOMM_TRACE("VyCommConnect", message, code);
    discard(c);
    return nullptr;
}

bool usable(vycomm_channel* c, const char* label) {
    if (c && c->view && c->request_event && c->reply_event) return true;
    VYCOMM_TRACE(label, "Invalid Handle", static_cast<int32_t>(reinterpret_cast<intptr_t>(c)));
    return false;
}

bool signal_reply(vycomm_channel* c) {
    if (SetEvent(c->reply_event)) return true;
    VYCOMM_TRACE("VyCommReceive", "SetEvent", GetLastError());
    return false;
}

// Runs the request in L; the stack above top then holds its results, or its
// error message and traceback. False when the chunk failed.
// The source is a private copy of exactly length bytes: the requester may
// go on writing the block after it signalled.
bool run_request(vycomm_channel* c, lua_State* L, uint32_t length) {
    std::vector<char> text(static_cast<size_t>(length) + 1, 0);
    std::memcpy(text.data(), c->data(), length);
    script s(L);
    script_error_info info;
    if (s.load(text.data(), info) && s.call(0, LUA_MULTRET, info)) return true;
    VYCOMM_TRACE("VyCommReceive", info.message.c_str(), -1);
    if (!info.trace_text.empty()) VYCOMM_TRACE("VyCommReceive", info.trace_text.c_str(), -1);
    lua_pushstring(L, info.message.c_str());
    lua_pushstring(L, info.trace_text.c_str());
    return false;
}

// Stores every value above top into the data area; false (logged) when one
// can't be stored or they don't fit.
bool store_results(vycomm_channel* c, lua_State* L, int top) {
    std::vector<uint8_t> bytes;
    script s(L);
    for (int i = top + 1; i <= lua_gettop(L); ++i) {
        if (s.store(bytes, i) != 0) {
            VYCOMM_TRACE("VyCommReceive", "store", i);
            return false;
        }
    }
    if (bytes.size() > c->capacity) {
        VYCOMM_TRACE("VyCommReceive", "Reply DataLength too Long", static_cast<int32_t>(bytes.size()));
        return false;
    }
    vycomm_header* h = c->header();
    h->count = static_cast<uint32_t>(lua_gettop(L) - top);
    h->length = static_cast<uint32_t>(bytes.size());
    if (bytes.empty())
        c->data()[0] = 0;
    else
        std::memcpy(c->data(), bytes.data(), bytes.size());
    return true;
}

void empty_reply(vycomm_channel* c) {
    vycomm_header* h = c->header();
    h->count = 0;
    h->length = 0;
    c->data()[0] = 0;
    h->status = vycomm_failure_empty;
}

bool serve(vycomm_channel* c, lua_State* L) {
    vycomm_header* h = c->header();
    if (h->status != vycomm_request) {
        VYCOMM_TRACE("VyCommReceive", "Invalid Status", static_cast<int32_t>(h->status));
        return false;
    }
    if (!L) {
        VYCOMM_TRACE("VyCommReceive", "Invalid lua_State", -1);
        empty_reply(c);
        signal_reply(c);
        return false;
    }
    int top = lua_gettop(L);
    uint32_t status = vycomm_failure_empty;
    // Read once: the block is shared, a second read may see another value.
    const uint32_t length = *static_cast<volatile uint32_t*>(&h->length);
    if (length >= c->capacity) {
        VYCOMM_TRACE("VyCommReceive", "Receieve DataLength too Long", static_cast<int32_t>(length));
    } else {
        bool ran = run_request(c, L, length);
        if (store_results(c, L, top)) status = ran ? vycomm_success : vycomm_failure;
    }
    lua_settop(L, top);
    if (status == vycomm_failure_empty)
        empty_reply(c);
    else
        h->status = status;
    bool signalled = signal_reply(c);
    return signalled && status == vycomm_success;
}

// Restores from a private copy of the reply: its length and count are read
// once and the length must lie inside the data area.
bool restore_values(vycomm_channel* c) {
    vycomm_header* h = c->header();
    lua_State* L = c->state;
    const uint32_t length = *static_cast<volatile uint32_t*>(&h->length);
    const uint32_t count = *static_cast<volatile uint32_t*>(&h->count);
    if (length > c->capacity) {
        VYCOMM_TRACE("VyCommReceive", "Invalid DataLength", static_cast<int32_t>(length));
        return false;
    }
    const std::vector<uint8_t> reply(c->data(), c->data() + length);
    const uint8_t* at = reply.data();
    uint32_t remaining = length;
    script s(L);
    for (uint32_t i = 1; i <= count; ++i) {
        if (remaining == 0) {
            VYCOMM_TRACE("VyCommReceive", "Invalid DataLength", i);
            return false;
        }
        const uint8_t* end = nullptr;
        if (!s.restore(at, remaining, &end)) {
            VYCOMM_TRACE("VyCommReceive", "restore", i);
            return false;
        }
        uint32_t used = static_cast<uint32_t>(end - at);
        if (used > remaining) {
            VYCOMM_TRACE("VyCommReceive", "Invalid DataLength", i);
            return false;
        }
        at = end;
        remaining -= used;
    }
    return true;
}

bool take_reply(vycomm_channel* c) {
    vycomm_header* h = c->header();
    if (h->status != vycomm_success && h->status != vycomm_failure) {
        VYCOMM_TRACE("VyCommReceive", "Invalid Status", static_cast<int32_t>(h->status));
        return false;
    }
    bool ok = false;
    if (!c->state) {
        VYCOMM_TRACE("VyCommReceive", "Invalid lua_State", -1);
    } else {
        lua_settop(c->state, 0);
        ok = restore_values(c);
        if (!ok) lua_settop(c->state, 0);
    }
    h->status += vycomm_taken;
    return ok;
}
}  // namespace

vycomm_channel* VyCommConnect(uint32_t data_size, uint32_t peer_id) {
    auto* c = static_cast<vycomm_channel*>(GlobalAlloc(GPTR, sizeof(vycomm_channel)));
    if (!c) {
        VYCOMM_TRACE("VyCommConnect", "GlobalAlloc", GetLastError());
        return nullptr;
    }
    uint32_t own = GetCurrentProcessId();
    wchar_t name[64];
    if (data_size != 0) {
        *c = vycomm_channel{own, peer_id, 1, nullptr, data_size, nullptr, nullptr, nullptr, nullptr};
        if (data_size >= 0xFFFFFFC1u)
            return fail_connect(c, "DataSize too Huge", static_cast<int32_t>(data_size));
        channel_name(name, 64, c, L"DATA");
        uint32_t size = (data_size + 48) & ~15u;
        c->mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
        if (!c->mapping) return fail_connect(c, "CreateFileMapping", GetLastError());
    } else {
        *c = vycomm_channel{peer_id, own, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr};
        c->state = script_new_state();
        if (!c->state) return fail_connect(c, "lua_open", errno);
        lua_atpanic(c->state, panic);
        channel_name(name, 64, c, L"DATA");
        c->mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name);
        if (!c->mapping) return fail_connect(c, "OpenFileMapping", GetLastError());
    }
    c->view = static_cast<uint8_t*>(MapViewOfFile(c->mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!c->view) return fail_connect(c, "MapViewOfFile", GetLastError());
    if (c->role == 1) {
        *c->header() = vycomm_header{c->capacity, 0, 0, 0};
        std::memset(c->data() + c->capacity, guard_byte, guard_size);
    } else {
        // The capacity comes from the peer: the data area and its guard must
        // lie inside what was mapped.
        MEMORY_BASIC_INFORMATION region = {};
        const uint32_t capacity = *static_cast<volatile uint32_t*>(&c->header()->capacity);
        if (!VirtualQuery(c->view, &region, sizeof region))
            return fail_connect(c, "VirtualQuery", GetLastError());
        if (region.RegionSize < sizeof(vycomm_header) + guard_size ||
            capacity > region.RegionSize - sizeof(vycomm_header) - guard_size)
            return fail_connect(c, "Invalid Capacity", static_cast<int32_t>(capacity));
        c->capacity = capacity;
    }
    c->request_event = make_event(c, L"REQUEST");
    if (!c->request_event) return fail_connect(c, "CreateEvent-Request", GetLastError());
    c->reply_event = make_event(c, L"REPLY");
    if (!c->reply_event) return fail_connect(c, "CreateEvent-Reply", GetLastError());
    return c;
}

bool VyCommWait(vycomm_channel* c) {
    if (!usable(c, "VyCommWait")) return false;
    DWORD r = WaitForSingleObject(c->role == 1 ? c->request_event : c->reply_event, 0);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_TIMEOUT) VYCOMM_TRACE("VyCommWait", "WaitForSingleObject", GetLastError());
    return false;
}

bool VyCommReceive(vycomm_channel* c, lua_State* L) {
    if (!usable(c, "VyCommReceive")) return false;
    return c->role == 1 ? serve(c, L) : take_reply(c);
}

bool VyCommClose(vycomm_channel* c) {
    if (!c) return true;
    bool ok = true;
    if (c->view) {
        const uint8_t* guard = c->data() + c->capacity;
        for (uint32_t i = 0; i < guard_size; ++i) {
            if (guard[i] != guard_byte) {
                VYCOMM_TRACE("VyCommClose", "Detect Buffer Overflow", -1);
                ok = false;
                break;
            }
        }
        if (!UnmapViewOfFile(c->view)) {
            VYCOMM_TRACE("VyCommClose", "UnmapViewOfFile", GetLastError());
            ok = false;
        }
        c->view = nullptr;
    }
    ok = close_handle(c->mapping, "CloseHandle-Map") && ok;
    ok = close_handle(c->request_event, "CloseHandle-Request") && ok;
    ok = close_handle(c->reply_event, "CloseHandle-Reply") && ok;
    if (c->state) lua_close(c->state);
    if (GlobalFree(c)) {
        VYCOMM_TRACE("VyCommClose", "GlobalFree", GetLastError());
        ok = false;
    }
    return ok;
}
