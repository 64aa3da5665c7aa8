// The keyed scrambler: a wide text's bytes XORed with a stream drawn from
// the global MT19937 generator seeded from a key text. Applying it twice
// with the same key gives the text back. It reseeds and draws from the
// global generator; main thread only.
#ifndef VY_CORE_CIPHER_H
#define VY_CORE_CIPHER_H

#include <cstdint>
#include <vector>

// The engine's own key text (the debug check and system.crypt).
constexpr const wchar_t* cipher_default_key = L"Kolu";

// Seeds the global generator with a hash of the key (the time when the
// hash comes out 0).
void cipher_seed(const wchar_t* key);

// out = the text's UTF-16 bytes scrambled; false (out empty) for an empty
// or missing key. A null text counts as empty.
bool cipher_apply(const wchar_t* text, const wchar_t* key, std::vector<uint8_t>& out);

// True when the scrambled text has exactly the expected length and bytes;
// false for an empty or missing key.
bool cipher_compare(const wchar_t* text, const wchar_t* key, const uint8_t* expected,
                    uint32_t expected_length);

#endif
