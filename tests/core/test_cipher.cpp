// The keyed scrambler.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "core/cipher.h"
#include "core/random.h"

namespace {

using bytes = std::vector<uint8_t>;

// Reference bytes from the published MT19937, computed apart from this code.
const bytes debugme_with_default_key = {0xDB, 0x9D, 0x7A, 0xDF, 0xD2, 0x9E, 0x5C,
                                        0xC1, 0x53, 0x48, 0x0F, 0xA9, 0x1C, 0x5F};

TEST(Cipher, KnownBytesAndRepeatability) {
    struct row {
        const wchar_t* text;
        const wchar_t* key;
        bytes want;
    };
    const row rows[] = {
        {L"debugme", cipher_default_key, debugme_with_default_key},
        {L"A", L"Kolu", {0xFE, 0x9D}},
        {L"\u65E5\u672C", L"\u30AD\u30FC", {0x9D, 0x56, 0xD6, 0xBA}},  // high bytes count too
        {L"", L"Kolu", {}},
    };
    for (const row& r : rows) {
        bytes out{1, 2, 3};
        ASSERT_TRUE(cipher_apply(r.text, r.key, out));
        EXPECT_EQ(out, r.want);
        // Whatever happened to the global generator in between.
        global_random().seed(77);
        global_random_next();
        bytes again;
        ASSERT_TRUE(cipher_apply(r.text, r.key, again));
        EXPECT_EQ(again, out);
    }
}

TEST(Cipher, ScramblingTwiceGivesTheTextBack) {
    const wchar_t* text = L"system.crypt \u30C6\u30B9\u30C8";
    bytes once;
    ASSERT_TRUE(cipher_apply(text, cipher_default_key, once));
    ASSERT_EQ(once.size(), wcslen(text) * 2);

    std::wstring scrambled(once.size() / 2, L'\0');
    for (size_t i = 0; i < scrambled.size(); ++i)
        scrambled[i] = static_cast<wchar_t>(once[2 * i] | once[2 * i + 1] << 8);
    ASSERT_EQ(scrambled.find(L'\0'), std::wstring::npos) << "the text would be cut short";

    bytes twice;
    ASSERT_TRUE(cipher_apply(scrambled.c_str(), cipher_default_key, twice));
    bytes original(reinterpret_cast<const uint8_t*>(text),
                   reinterpret_cast<const uint8_t*>(text + wcslen(text)));
    EXPECT_EQ(twice, original);
}

TEST(Cipher, CompareNeedsEqualLengthAndBytes) {
    bytes changed = debugme_with_default_key;
    changed[13] ^= 1;
    bytes longer = debugme_with_default_key;
    longer.push_back(0);
    struct row {
        const char* name;
        const wchar_t* text;
        const wchar_t* key;
        bytes expected;
        uint32_t length;
        bool want;
    };
    const row rows[] = {
        {"equal", L"debugme", cipher_default_key, debugme_with_default_key, 14, true},
        {"last byte differs", L"debugme", cipher_default_key, changed, 14, false},
        {"expected is shorter", L"debugme", cipher_default_key, debugme_with_default_key, 13, false},
        {"expected is longer", L"debugme", cipher_default_key, longer, 15, false},
        {"other text", L"debugmf", cipher_default_key, debugme_with_default_key, 14, false},
        {"other key", L"debugme", L"Kolv", debugme_with_default_key, 14, false},
        {"empty text, empty expectation", L"", cipher_default_key, {}, 0, true},
        {"empty text, one byte expected", L"", cipher_default_key, {0xDB}, 1, false},
        {"empty key", L"", L"", {}, 0, false},
        {"no key", L"debugme", nullptr, debugme_with_default_key, 14, false},
    };
    for (const row& r : rows)
        EXPECT_EQ(cipher_compare(r.text, r.key, r.expected.data(), r.length), r.want) << r.name;

    bytes out{1};
    EXPECT_FALSE(cipher_apply(L"abc", L"", out)) << "an empty key picks no bytes";
    EXPECT_TRUE(out.empty());
}

TEST(Cipher, KeyWithAZeroHashSeedsFromTheTime) {
    // 1234567890 is even; three factors of 2^15 clear every bit.
    const wchar_t key[] = {0x8000, 0x8000, 0x8000, 0};
    uint32_t before = static_cast<uint32_t>(time(nullptr));
    cipher_seed(key);
    uint32_t after = static_cast<uint32_t>(time(nullptr));
    EXPECT_GE(global_random().seed_value(), before);
    EXPECT_LE(global_random().seed_value(), after);

    cipher_seed(cipher_default_key);
    EXPECT_EQ(global_random().seed_value(), 1787414360u);
}

}  // namespace
