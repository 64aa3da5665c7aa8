#include "engine/math_additions.h"

#include <cmath>

#include "core/random.h"

double round_threshold(double x, double threshold) {
    double whole = 0.0;
    double fraction = std::modf(x, &whole);
    if (x >= 0) return fraction >= threshold ? whole + 1 : whole;
    return fraction <= -threshold ? whole - 1 : whole;
}

int32_t trigon_table_index(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) a += 360.0;
    double scaled = a * 100.0;
    // NaN and infinities have no place in the table.
    if (!(scaled >= 0.0 && scaled < 72000.0)) return 0;
    int32_t index = static_cast<int32_t>(scaled);
    if (index >= 36000) index -= 36000;
    return index;
}

size_t bit_array_bytes(uint32_t bits) {
    size_t bytes = (static_cast<size_t>(bits) + 7) / 8;
    if (bits > 0xFFFFFFF8u) bytes = 0x20000000u;
    return bytes < 4 ? 4 : bytes;
}

bool bit_array_test(const char* bytes, size_t size, uint32_t bit) {
    if (bit / 8 >= size) return false;
    return (static_cast<uint8_t>(bytes[bit / 8]) >> (bit % 8)) & 1;
}

void bit_array_set(char* bytes, size_t size, uint32_t bit, bool on) {
    if (bit / 8 >= size) return;
    uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
    uint8_t& b = reinterpret_cast<uint8_t&>(bytes[bit / 8]);
    b = on ? (b | mask) : (b & ~mask);
}

uint32_t leading_number(const char* text, size_t size) {
    size_t i = 0;
    while (i < size && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0;  // the low 32 bits are all that is kept
    for (; i < size && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + uint32_t(text[i] - '0');
    return negative ? 0u - value : value;
}

size_t after_first_character(const char* text, size_t size) {
    if (size == 0) return 0;
    uint8_t c = static_cast<uint8_t>(text[0]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    // A lead byte at the very end is a character of its own.
    return lead && size >= 2 ? 2 : 1;
}

uint32_t random_draw_below(irandom& g, uint32_t n) { return n == 0 ? 0 : g.next() % n; }

uint32_t random_draw_between(irandom& g, uint32_t a, uint32_t b) {
    uint32_t range = b - a;
    return range == 0 ? a : g.next() % range + a;
}

namespace {
template <class G>
G& seeded_once() {
    static G g;
    static bool seeded = (g.seed(5489), true);
    (void)seeded;
    return g;
}
}  // namespace

irandom& script_xorshift_random() { return seeded_once<xs_random>(); }
irandom& script_mt_random() { return global_random(); }
irandom& script_buffered_random() { return seeded_once<buf_random>(); }
