// Precompiled Lua chunks are checked before Lua reads them: Lua 5.1 sizes
// its arrays from the counts in the chunk and clears them before it notices
// that the bytes behind a count are missing, so a damaged count would make a
// 64-bit process take gigabytes.
#ifndef VY_CORE_CHUNK_CHECK_H
#define VY_CORE_CHUNK_CHECK_H

#include <cstddef>

enum class chunk_kind {
    source,   // not a precompiled chunk: Lua's parser reads it
    native,   // a precompiled chunk of this build whose counts all fit
    foreign,  // a precompiled chunk of another build: Lua refuses its header
    damaged,  // this build's header, but a count runs past the end
};

chunk_kind script_check_chunk(const void* bytes, size_t size);

#endif
