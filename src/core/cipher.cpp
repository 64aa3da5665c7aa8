#include "core/cipher.h"

#include <cstring>
#include <cwchar>

#include "core/random.h"

void cipher_seed(const wchar_t* key) {
    uint32_t h = 1234567890u;
    for (const wchar_t* p = key; p && *p; ++p) h *= static_cast<uint16_t>(*p);
    // A product of 0 is no seed: seed 0 takes the time.
    global_random().seed(h);
}

bool cipher_apply(const wchar_t* text, const wchar_t* key, std::vector<uint8_t>& out) {
    out.clear();
    // The key picks bytes by index; an empty one has none to pick.
    if (!key || !*key) return false;
    size_t n = text ? wcslen(text) * 2 : 0;
    size_t k = wcslen(key) * 2;
    cipher_seed(key);
    out.resize(n);
    // UTF-16 code units in little-endian byte order, as Windows stores them.
    auto byte_of = [](const wchar_t* s, size_t i) -> uint8_t {
        uint16_t unit = static_cast<uint16_t>(s[i / 2]);
        return static_cast<uint8_t>(i & 1 ? unit >> 8 : unit);
    };
    for (size_t i = 0; i < n; ++i) {
        uint32_t r = global_random_next();
        out[i] = static_cast<uint8_t>(byte_of(text, i) ^ byte_of(key, r % k) ^ (r >> 16));
    }
    return true;
}

bool cipher_compare(const wchar_t* text, const wchar_t* key, const uint8_t* expected,
                    uint32_t expected_length) {
    std::vector<uint8_t> scrambled;
    if (!cipher_apply(text, key, scrambled)) return false;
    if (scrambled.size() != expected_length) return false;
    return expected_length == 0 || (expected && memcmp(scrambled.data(), expected, expected_length) == 0);
}
