// Reads the same data from packages and from plain files in a folder and
// prints how long each takes: 2,000 small files, then one 64 MB file.
// Every byte is touched, so mapped pages really get read.
//
//   bench_archive_read.exe [rounds]     (default 5; the best round counts)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/file.h"
#include "core/system_timer.h"

namespace {

struct item {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The engine's own nanosecond clock, in milliseconds.
double now_ms() { return double(system_timer::source()) / 1e6; }

uint64_t touch(const uint8_t* p, size_t n) {
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        memcpy(&w, p + i, 8);
        sum += w;
    }
    for (; i < n; ++i) sum += p[i];
    return sum;
}

void put_u32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(char(v >> (8 * i)));
}

bool write_bytes(const std::wstring& path, const void* data, size_t n, bool append = false) {
    HANDLE h = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                           append ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = n == 0 || (WriteFile(h, data, DWORD(n), &done, nullptr) && done == n);
    CloseHandle(h);
    return ok;
}

// A version-0 package: header, index, then the entries' bytes in order.
bool write_package(const std::wstring& path, const std::vector<item>& items) {
    uint32_t index_end = 16;
    for (const auto& it : items) index_end += 12 + uint32_t(it.name.size()) + 1;
    std::string head = "WZAF";
    put_u32(head, 0);
    put_u32(head, uint32_t(items.size()));
    put_u32(head, index_end);
    uint32_t offset = index_end;
    for (const auto& it : items) {
        put_u32(head, offset);
        put_u32(head, uint32_t(it.bytes.size()));
        put_u32(head, 12 + uint32_t(it.name.size()) + 1);
        head += it.name;
        head.push_back('\0');
        offset += uint32_t(it.bytes.size());
    }
    if (!write_bytes(path, head.data(), head.size())) return false;
    for (const auto& it : items)
        if (!write_bytes(path, it.bytes.data(), it.bytes.size(), true)) return false;
    return true;
}

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// One round over the package: open, lock, touch and unlock every entry.
double read_package(const std::wstring& path, uint64_t& sum) {
    double start = now_ms();
    archive a(path.c_str());
    if (!a.open()) return -1;
    for (auto it = a.first(); it != a.end(); ++it) {
        if (!a.lock_entry(it)) return -1;
        sum += touch(archive::entry_data(it), archive::entry_size(it));
        a.unlock_entry(it);
    }
    a.close();
    return now_ms() - start;
}

// One round over the folder: open, read whole, touch and close every file.
double read_folder(const std::wstring& folder, const std::vector<item>& items,
                   std::vector<uint8_t>& buffer, uint64_t& sum) {
    double start = now_ms();
    for (const auto& it : items) {
        file f((folder + L"\\" + widen(it.name)).c_str());
        if (!f.open(file_read | file_share_read | file_sequential)) return -1;
        uint32_t size = f.size();
        if (buffer.size() < size) buffer.resize(size);
        if (size && !f.read_exact(buffer.data(), size)) return -1;
        sum += touch(buffer.data(), size);
        f.close();
    }
    return now_ms() - start;
}

void remove_tree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(h, &data));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

bool run_case(const char* label, const std::wstring& root, const std::vector<item>& items, int rounds) {
    std::wstring folder = root + L"\\" + widen(label);
    std::wstring package = root + L"\\" + widen(label) + L".pak";
    CreateDirectoryW(folder.c_str(), nullptr);
    uint64_t total_bytes = 0;
    for (const auto& it : items) {
        if (!write_bytes(folder + L"\\" + widen(it.name), it.bytes.data(), it.bytes.size())) return false;
        total_bytes += it.bytes.size();
    }
    if (!write_package(package, items)) return false;

    std::vector<uint8_t> buffer;
    uint64_t package_sum = 0, folder_sum = 0;
    // One warm-up round each puts both copies in the system's cache.
    read_package(package, package_sum);
    read_folder(folder, items, buffer, folder_sum);
    double best_package = 1e300, best_folder = 1e300;
    for (int r = 0; r < rounds; ++r) {
        package_sum = folder_sum = 0;
        double p = read_package(package, package_sum);
        double f = read_folder(folder, items, buffer, folder_sum);
        if (p < 0 || f < 0 || package_sum != folder_sum) {
            printf("%s: read failed or data differs\n", label);
            return false;
        }
        if (p < best_package) best_package = p;
        if (f < best_folder) best_folder = f;
    }
    double mb = double(total_bytes) / (1024.0 * 1024.0);
    printf("%-12s %5zu entries %8.1f MB | package %8.2f ms %8.1f MB/s | folder %8.2f ms %8.1f MB/s | "
           "ratio package/folder %.2f\n",
           label, items.size(), mb, best_package, mb / (best_package / 1000.0), best_folder,
           mb / (best_folder / 1000.0), best_package / best_folder);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    if (rounds < 1) rounds = 1;
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"vy_bench_archive_" + std::to_wstring(GetCurrentProcessId());
    remove_tree(root);
    CreateDirectoryW(root.c_str(), nullptr);

    std::mt19937 rng(4);
    std::vector<item> small;
    for (int i = 0; i < 2000; ++i) {
        item it;
        it.name = "file" + std::to_string(i) + ".bin";
        it.bytes.resize(512 + rng() % 7680);  // 0.5 to 8 KB
        for (auto& b : it.bytes) b = uint8_t(rng());
        small.push_back(std::move(it));
    }
    std::vector<item> large(1);
    large[0].name = "large.bin";
    large[0].bytes.resize(64u << 20);
    for (size_t i = 0; i < large[0].bytes.size(); i += 4) {
        uint32_t v = rng();
        memcpy(&large[0].bytes[i], &v, 4);
    }

    bool ok = run_case("small_files", root, small, rounds) && run_case("one_64mb", root, large, rounds);
    remove_tree(root);
    return ok ? 0 : 1;
}
