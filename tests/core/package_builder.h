// Builds "WZAF" packages byte by byte, independent of the reader under test.
#ifndef VY_TESTS_CORE_PACKAGE_BUILDER_H
#define VY_TESTS_CORE_PACKAGE_BUILDER_H

#include <cstdint>
#include <string>
#include <vector>

struct package_item {
    std::string name;
    std::string stored;  // the bytes in the file
    int64_t size = -1;   // the size field; -1: the stored length
};

inline void put_u32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}

inline void put_u64(std::string& out, uint64_t v) {
    put_u32(out, uint32_t(v));
    put_u32(out, uint32_t(v >> 32));
}

inline void set_u32(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = char((v >> (8 * i)) & 0xFF);
}

// Header, index, then the data of each item in order, starting at data_at
// (or right after the index when that is further on).
inline std::string make_package(uint32_t version, const std::vector<package_item>& items,
                                uint64_t data_at = 0, const std::string& decoder_id = "") {
    const uint32_t header = version == 1 ? 48 : 16;
    const uint32_t fixed = version == 1 ? 20 : 12;
    uint32_t index_end = header;
    for (const auto& item : items) index_end += fixed + uint32_t(item.name.size()) + 1;
    uint64_t offset = data_at > index_end ? data_at : index_end;

    std::string out = "WZAF";
    put_u32(out, version);
    put_u32(out, uint32_t(items.size()));
    put_u32(out, index_end);
    if (version == 1) {
        std::string id = decoder_id;
        id.resize(32, '\0');
        out += id;
    }
    std::string data;
    for (const auto& item : items) {
        uint32_t size = item.size < 0 ? uint32_t(item.stored.size()) : uint32_t(item.size);
        uint32_t length = fixed + uint32_t(item.name.size()) + 1;
        if (version == 1) {
            put_u64(out, offset);
            put_u32(out, size);
            put_u32(out, length);
            put_u32(out, uint32_t(item.stored.size()));
        } else {
            put_u32(out, uint32_t(offset));
            put_u32(out, size);
            put_u32(out, length);
        }
        out += item.name;
        out.push_back('\0');
        data += item.stored;
        offset += item.stored.size();
    }
    uint64_t first = data_at > index_end ? data_at : index_end;
    out.resize(size_t(first), '\0');
    return out + data;
}

#endif
