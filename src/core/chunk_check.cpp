// Walks a precompiled chunk the way Lua's loader does, checking every count
// against the bytes that are really left before anything is allocated.
#include "core/chunk_check.h"

#include <cstdint>
#include <cstring>

#include "lua.h"

namespace {

// The header this build writes: signature, version, format, little-endian,
// then the sizes of int, size_t, Instruction and lua_Number, and whether
// lua_Number is integral.
constexpr unsigned char native_header[12] = {
    0x1B, 'L', 'u', 'a', 0x51, 0, 1, sizeof(int), sizeof(size_t), 4, sizeof(lua_Number), 0};

// Lua's own nesting limit for functions in a chunk.
constexpr int max_depth = 200;

class chunk_walker {
public:
    chunk_walker(const unsigned char* p, size_t left) : p_(p), left_(left) {}

    bool function(int depth) {
        if (depth > max_depth) return false;
        size_t count = 0;
        if (!string() || !skip(2 * sizeof(int) + 4)) return false;
        if (!items(count, 4) || !skip(count * 4)) return false;  // code
        if (!items(count, 1)) return false;                       // constants
        for (size_t i = 0; i < count; ++i)
            if (!constant()) return false;
        if (!items(count, 1)) return false;  // nested functions
        for (size_t i = 0; i < count; ++i)
            if (!function(depth + 1)) return false;
        if (!items(count, 4) || !skip(count * 4)) return false;  // line info
        if (!items(count, sizeof(size_t) + 2 * sizeof(int))) return false;  // locals
        for (size_t i = 0; i < count; ++i)
            if (!string() || !skip(2 * sizeof(int))) return false;
        if (!items(count, sizeof(size_t))) return false;  // upvalue names
        for (size_t i = 0; i < count; ++i)
            if (!string()) return false;
        return true;
    }

private:
    bool skip(size_t n) {
        if (n > left_) return false;
        p_ += n;
        left_ -= n;
        return true;
    }

    // A count of items of at least item_size bytes each: it can't be more
    // than the bytes left could hold.
    bool items(size_t& count, size_t item_size) {
        int n = 0;
        if (left_ < sizeof n) return false;
        std::memcpy(&n, p_, sizeof n);
        if (!skip(sizeof n) || n < 0) return false;
        count = static_cast<size_t>(n);
        return count <= left_ / item_size;
    }

    bool string() {
        size_t n = 0;
        if (left_ < sizeof n) return false;
        std::memcpy(&n, p_, sizeof n);
        return skip(sizeof n) && skip(n);
    }

    bool constant() {
        if (left_ < 1) return false;
        const int type = *p_;
        skip(1);
        switch (type) {
        case LUA_TNIL: return true;
        case LUA_TBOOLEAN: return skip(1);
        case LUA_TNUMBER: return skip(sizeof(lua_Number));
        case LUA_TSTRING: return string();
        default: return false;
        }
    }

    const unsigned char* p_;
    size_t left_;
};

}  // namespace

chunk_kind script_check_chunk(const void* bytes, size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    if (size == 0 || p[0] != native_header[0]) return chunk_kind::source;
    if (size < sizeof native_header || std::memcmp(p, native_header, sizeof native_header) != 0)
        return chunk_kind::foreign;
    chunk_walker walker(p + sizeof native_header, size - sizeof native_header);
    return walker.function(0) ? chunk_kind::native : chunk_kind::damaged;
}
