// The engine's additions to Lua's math and string tables, as plain
// functions: rounding, table sine and cosine, bit arrays held in strings,
// the leading number of a text, and the three process-wide generators of
// math.srandom, math.xrandom and math.frandom.
#ifndef VY_ENGINE_MATH_ADDITIONS_H
#define VY_ENGINE_MATH_ADDITIONS_H

#include <cstddef>
#include <cstdint>
#include <string>

class irandom;

// x rounded away from zero once its fraction reaches the threshold.
double round_threshold(double x, double threshold);

// Index into the fast sine and cosine tables (hundredths of a degree).
int32_t trigon_table_index(double degrees);

// Bit arrays: bit i is bit (i mod 8) of byte (i div 8).
// A zeroed array of max(32, bits rounded up to whole bytes) bits.
size_t bit_array_bytes(uint32_t bits);
bool bit_array_test(const char* bytes, size_t size, uint32_t bit);
// Sets or clears a bit in place; a bit past the end changes nothing.
void bit_array_set(char* bytes, size_t size, uint32_t bit, bool on);

// The leading decimal integer after white space and an optional sign (0
// when there is none) as an unsigned 32-bit value, and where the text
// after the first character begins (a double-byte Japanese character
// counts as one).
uint32_t leading_number(const char* text, size_t size);
size_t after_first_character(const char* text, size_t size);

// The draw forms shared by the three generators: the next value, below n
// (0 for n = 0, drawing nothing), or from a up to b (a for b = a).
uint32_t random_draw_below(irandom& g, uint32_t n);
uint32_t random_draw_between(irandom& g, uint32_t a, uint32_t b);

// The generators, each seeded with 5489 before its first draw.
irandom& script_xorshift_random();
irandom& script_mt_random();
irandom& script_buffered_random();

#endif
