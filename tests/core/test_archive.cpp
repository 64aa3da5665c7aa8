// Packages built byte by byte in a temp folder, opened through real file
// mappings.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>

#include "core/archive.h"
#include "package_builder.h"
#include "scratch_dir.h"

namespace {

std::string entry_text(archive& a, const char* name) {
    auto it = a.find(name);
    if (it == a.end()) return "<absent>";
    if (!a.lock_entry(it)) return "<lock failed>";
    std::string out(reinterpret_cast<const char*>(archive::entry_data(it)), archive::entry_size(it));
    a.unlock_entry(it);
    return out;
}

std::vector<std::string> names_of(const archive& a) {
    std::vector<std::string> out;
    for (const auto& item : a.entries()) out.push_back(item.first.c_str());
    return out;
}

// Run-length decoder: stored pairs (count, byte).
class run_length_decoder : public archive_decoder {
public:
    bool decode(const void* source, uint32_t stored_size, void* destination,
                uint32_t size) override {
        const uint8_t* s = static_cast<const uint8_t*>(source);
        uint8_t* d = static_cast<uint8_t*>(destination);
        uint32_t written = 0;
        for (uint32_t i = 0; i + 1 < stored_size; i += 2) {
            if (written + s[i] > size) return false;
            memset(d + written, s[i + 1], s[i]);
            written += s[i];
        }
        ++calls;
        return written == size;
    }
    int calls = 0;
};

archive_decoder_id id_of(const std::string& text) {
    archive_decoder_id id{};
    memcpy(id.data(), text.data(), text.size() < id.size() ? text.size() : id.size());
    return id;
}

}  // namespace

TEST(ArchiveFormat, BothVersionsServeEntriesByName) {
    scratch_dir dir;
    const std::vector<package_item> items = {
        {"script\\main.lua", "print('hi')"},
        {"image\\a.png", std::string("\x89PNG\0\x01\x02", 7)},
        {"empty", ""},
        {"Image\\A.png", "names keep their case"},
    };
    for (uint32_t version : {0u, 1u}) {
        SCOPED_TRACE(version);
        std::wstring path = dir.path(L"v" + std::to_wstring(version) + L".pak");
        ASSERT_TRUE(write_whole(path, make_package(version, items)));
        archive* a = archive_manager::instance()->open_archive(path.c_str());
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->size(), 4u);
        EXPECT_EQ(a->decoder(), nullptr);
        for (const auto& item : items) EXPECT_EQ(entry_text(*a, item.name.c_str()), item.stored);
        EXPECT_EQ(entry_text(*a, "image/a.png"), "<absent>");  // no separator conversion
        EXPECT_EQ(entry_text(*a, "IMAGE\\A.PNG"), "<absent>");  // no case folding
        // Unlocked entries hold no view and no data.
        for (const auto& item : a->entries()) {
            EXPECT_EQ(item.second.lock_count, 0);
            EXPECT_EQ(item.second.data, nullptr);
            EXPECT_EQ(item.second.view, nullptr);
        }
        EXPECT_EQ(archive_manager::instance()->open_archive(path.c_str()), a);
    }
}

TEST(ArchiveFormat, AnyOtherFileIsOneEntryNamedEmpty) {
    scratch_dir dir;
    const std::vector<std::string> contents = {
        "x",
        "WZAF",                          // magic, but too short for a header
        std::string("WZAF\0\0\0", 7),    // still short of 16 bytes
        "plain text that happens to be longer than a header",
        std::string("WZAG\0\0\0\0\x01\0\0\0\x10\0\0\0", 16),
    };
    int n = 0;
    for (const auto& bytes : contents) {
        SCOPED_TRACE(n);
        std::wstring path = dir.path(L"plain" + std::to_wstring(n++) + L".bin");
        ASSERT_TRUE(write_whole(path, bytes));
        archive a(path.c_str());
        ASSERT_TRUE(a.open());
        EXPECT_EQ(names_of(a), std::vector<std::string>{""});
        EXPECT_EQ(entry_text(a, ""), bytes);
    }
    // A 0-byte file cannot be mapped.
    std::wstring empty = dir.path(L"empty.bin");
    ASSERT_TRUE(write_whole(empty, ""));
    archive a(empty.c_str());
    EXPECT_FALSE(a.open());
    EXPECT_FALSE(a.is_open());
    archive missing(dir.path(L"missing.bin").c_str());
    EXPECT_FALSE(missing.open());
}

TEST(ArchiveFormat, MalformedIndexFailsTheOpen) {
    const std::string good = make_package(0, {{"a", "alpha"}, {"bb", "beta"}});
    // Offsets: header 16; record a at 16 (length 14), record bb at 30 (15);
    // index end 45; data at 45.
    struct mutation {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const mutation cases[] = {
        {"version 2", 4, 2},
        {"index end past the file", 12, 1000},
        {"index end inside the header", 12, 15},
        {"count past the index", 8, 3},
        {"count huge", 8, 0xFFFFFFFF},
        {"record length below the fixed part", 16 + 8, 11},
        {"record length running past the name into garbage", 16 + 8, 0x7FFFFFFF},
        {"data offset past the file", 16, 5000},
        {"data size past the file", 16 + 4, 100},
        {"offset plus size wraps", 30, 0xFFFFFFF0},
    };
    scratch_dir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        set_u32(bytes, c.at, c.value);
        std::wstring path = dir.path(L"bad.pak");
        ASSERT_TRUE(write_whole(path, bytes));
        archive a(path.c_str());
        EXPECT_FALSE(a.open());
        EXPECT_FALSE(a.is_open());
        EXPECT_FALSE(a.is_mapped());
        EXPECT_EQ(a.size(), 0u);
    }
    {
        SCOPED_TRACE("name not terminated inside the index");
        std::string bytes = good;
        bytes[44] = 'x';  // the terminator of "bb", the index's last byte
        std::wstring path = dir.path(L"bad.pak");
        ASSERT_TRUE(write_whole(path, bytes));
        archive a(path.c_str());
        EXPECT_FALSE(a.open());
    }
    std::wstring path = dir.path(L"good.pak");
    ASSERT_TRUE(write_whole(path, good));
    archive a(path.c_str());
    ASSERT_TRUE(a.open());
    EXPECT_EQ(entry_text(a, "bb"), "beta");
}

TEST(ArchiveViews, ViewsCoverTheEntryFromAnAlignedBase) {
    scratch_dir dir;
    std::wstring path = dir.path(L"far.pak");
    std::string payload(5000, 'q');
    payload[0] = 'F';
    payload.back() = 'L';
    ASSERT_TRUE(write_whole(path, make_package(0, {{"far", payload}, {"next", "n"}}, 70000)));
    archive a(path.c_str());
    ASSERT_TRUE(a.open());
    ASSERT_EQ(a.granularity(), 65536u);
    auto it = a.find("far");
    ASSERT_NE(it, a.end());
    EXPECT_EQ(it->second.offset, 70000u);
    EXPECT_EQ(it->second.view_base, 65536u);

    ASSERT_TRUE(a.lock_entry(it));
    void* view = it->second.view;
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(view) % 65536, 0u);
    EXPECT_EQ(archive::entry_data(it) - static_cast<const uint8_t*>(view), 4464);
    EXPECT_EQ(archive::entry_data(it)[0], 'F');
    EXPECT_EQ(archive::entry_data(it)[4999], 'L');
    // The view maps size + 4464 bytes, so it ends inside the page that holds
    // the entry's last byte.
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(VirtualQuery(view, &info, sizeof info), 0u);
    EXPECT_EQ(info.AllocationBase, view);
    EXPECT_EQ(info.RegionSize, (4464u + 5000u + 4095u) / 4096u * 4096u);

    // A second lock shares the view; the last unlock drops it.
    ASSERT_TRUE(a.lock_entry(it));
    EXPECT_EQ(it->second.view, view);
    EXPECT_EQ(it->second.lock_count, 2);
    ASSERT_TRUE(a.unlock_entry(it));
    EXPECT_EQ(it->second.view, view);
    ASSERT_TRUE(a.unlock_entry(it));
    EXPECT_EQ(it->second.view, nullptr);
    EXPECT_EQ(archive::entry_data(it), nullptr);
    ASSERT_NE(VirtualQuery(view, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));

    // Unlocking what is not locked changes nothing; the end position is a
    // harmless no-op for unlock and a failure for lock.
    EXPECT_FALSE(a.unlock_entry(it));
    EXPECT_EQ(it->second.lock_count, 0);
    EXPECT_TRUE(a.unlock_entry(a.end()));
    EXPECT_FALSE(a.lock_entry(a.end()));

    // Closing drops views still locked.
    ASSERT_TRUE(a.lock_entry(it));
    view = it->second.view;
    EXPECT_TRUE(a.close());
    ASSERT_NE(VirtualQuery(view, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
    EXPECT_EQ(a.size(), 0u);
    EXPECT_FALSE(a.lock_entry(a.first()));
}

TEST(ArchiveDecoders, VersionOneBindsItsRegisteredDecoder) {
    scratch_dir dir;
    run_length_decoder decoder;
    archive_manager::instance()->add_decoder(id_of("test run length"), &decoder);
    const std::vector<package_item> items = {
        {"abc", std::string("\x03" "a" "\x02" "b" "\x01" "c"), 6},
        {"none", "", 0},
        {"vast", "\x01v", archive_decoded_ceiling + 1},
    };
    std::wstring path = dir.path(L"coded.pak");
    ASSERT_TRUE(write_whole(path, make_package(1, items, 0, "test run length")));
    {
        archive a(path.c_str());
        ASSERT_TRUE(a.open());
        EXPECT_EQ(a.decoder(), &decoder);
        auto it = a.find("abc");
        ASSERT_TRUE(a.lock_entry(it));
        ASSERT_TRUE(a.lock_entry(it));
        EXPECT_EQ(decoder.calls, 1);  // decoded once for both locks
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(archive::entry_data(it)), 6), "aaabbc");
        EXPECT_EQ(it->second.view, nullptr);  // the copy is kept, the view is not
        a.unlock_entry(it);
        a.unlock_entry(it);
        EXPECT_EQ(it->second.buffer, nullptr);
        EXPECT_EQ(entry_text(a, "none"), "");
        // A claimed size past the ceiling is refused before the copy is made.
        EXPECT_FALSE(a.lock_entry(a.find("vast")));
        EXPECT_EQ(a.find("vast")->second.buffer, nullptr);
    }
    // Unknown identifier: the stored bytes are served as they are.
    std::wstring other = dir.path(L"unknown.pak");
    ASSERT_TRUE(write_whole(other, make_package(1, {{"raw", "stored"}}, 0, "nobody")));
    archive b(other.c_str());
    ASSERT_TRUE(b.open());
    EXPECT_EQ(b.decoder(), nullptr);
    EXPECT_EQ(entry_text(b, "raw"), "stored");
    archive_manager::instance()->add_decoder(id_of("test run length"), nullptr);
}

TEST(ArchiveManager, FailedOpensAreNotKept) {
    scratch_dir dir;
    std::wstring path = dir.path(L"later.pak");
    archive_manager* m = archive_manager::instance();
    EXPECT_EQ(m, archive_manager::instance());
    EXPECT_EQ(m->open_archive(path.c_str()), nullptr);
    EXPECT_EQ(m->open_archive(nullptr), nullptr);
    ASSERT_TRUE(write_whole(path, make_package(0, {{"x", "1"}})));
    archive* a = m->open_archive(path.c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(m->open_archive(path.c_str()), a);
    EXPECT_EQ(entry_text(*a, "x"), "1");
}

// Thousands of damaged packages: each either fails to open or serves
// entries that lie wholly inside the file (a read outside would fault).
TEST(ArchiveRobustness, CorruptedPackagesOpenSafelyOrFail) {
    scratch_dir dir;
    std::vector<std::string> bases;
    for (uint32_t version : {0u, 1u}) {
        std::vector<package_item> items;
        for (int i = 0; i < 12; ++i)
            items.push_back({"entry" + std::to_string(i), std::string(size_t(i * 37 + 1), char('a' + i))});
        bases.push_back(make_package(version, items));
    }
    std::mt19937 rng(20261210);
    std::wstring path = dir.path(L"mutant.pak");
    int opened = 0, failed = 0;
    const int rounds = 3000;
    for (int round = 0; round < rounds; ++round) {
        std::string bytes = bases[round % 2];
        switch (rng() % 4) {
            case 0:  // flip a few bytes, mostly in the header and index
                for (int k = 1 + rng() % 4; k > 0; --k) {
                    size_t limit = rng() % 4 ? 400 : bytes.size();
                    bytes[rng() % std::min(limit, bytes.size())] ^= char(1 + rng() % 255);
                }
                break;
            case 1:  // cut the file short
                bytes.resize(rng() % bytes.size());
                break;
            case 2: {  // a huge or odd count, index end, offset, size or record length
                static const uint32_t odd[] = {0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0, 1, 11, 19, 20, 65536};
                size_t at = 8 + 4 * (rng() % 40);
                if (at + 4 <= bytes.size()) set_u32(bytes, at, odd[rng() % 9]);
                break;
            }
            default:  // random bytes over a stretch of the index
                for (size_t i = 16 + rng() % 200, n = rng() % 16; n > 0 && i < bytes.size(); --n, ++i)
                    bytes[i] = char(rng());
        }
        if (bytes.empty()) bytes = "z";
        ASSERT_TRUE(write_whole(path, bytes));
        archive a(path.c_str());
        if (!a.open()) {
            ++failed;
            EXPECT_FALSE(a.is_mapped());
            continue;
        }
        ++opened;
        uint64_t sum = 0;
        for (auto it = a.first(); it != a.end(); ++it) {
            const archive_entry& e = it->second;
            uint64_t extent = a.decoder() ? e.stored_size : e.size;
            ASSERT_LE(e.offset + extent, bytes.size()) << "round " << round;
            if (!a.lock_entry(it)) continue;
            const uint8_t* p = archive::entry_data(it);
            for (uint32_t i = 0; i < archive::entry_size(it); ++i) sum += p[i];
            a.unlock_entry(it);
        }
        (void)sum;
    }
    // Both outcomes happen; the mutations are not all fatal or all harmless.
    EXPECT_GT(opened, rounds / 10);
    EXPECT_GT(failed, rounds / 10);
}
