// Seeded mutation runs over every reader of bytes that come from outside:
// packages, stored script values, save files with thumbnails, replay files,
// input.ini, WAV and Ogg Vorbis headers, the VYCOMM block, patch lists,
// version.ini and the updater's ini files.
//
//   bench_fuzz_parsers [--count N] [--only NAME] [--limit-ms T] [--memory-mb M]
//
// Each reader runs in a child process of its own, so that a crash is counted
// and the run goes on after the faulting input, and its peak memory is its
// own. Input i of a reader is made from the reader's seeds by a generator
// seeded with the reader's name and i: a figure or a fault reproduces with
// --only NAME --from i --count i+1. A child that spends more than the limit
// on one input is a hang; one whose private memory passes the ceiling is a
// memory fault. Exit code 0 only when every reader ran every input cleanly.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../tests/core/package_builder.h"
#include "core/archive.h"
#include "core/directories.h"
#include "core/ini_file.h"
#include "core/process.h"
#include "core/script.h"
#include "engine/save_data.h"
#include "engine/vycommdll.h"
#include "input/input.h"
#include "sound/oggvorbis_loader.h"
#include "sound/wave_loader.h"
#include "updater/update_settings.h"

#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"

namespace {

using bytes = std::string;

// ---------------------------------------------------------------- mutation

struct generator {
    uint64_t state;
    explicit generator(uint64_t seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    uint32_t below(uint32_t n) { return n ? static_cast<uint32_t>(next() % n) : 0; }
};

uint64_t name_hash(const char* name) {
    uint64_t h = 1469598103934665603ull;
    for (; *name; ++name) h = (h ^ static_cast<uint8_t>(*name)) * 1099511628211ull;
    return h;
}

const uint32_t interesting32[] = {0, 1, 2, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x10000, 0x7FFFFFFF,
                                  0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu, 0x40000000, 0x0FFFFFFF, 16, 48};
const char* interesting_text[] = {"0", "-1", "4294967295", "2147483647", "99999999999", "=", "[", "]",
                                  "\r\n", "\"", "%", "&", "..\\", ":", "#", "\xFF\xFE", "\0", "65536",
                                  "0x7FFFFFFF", "1e308", "<", ">", "<9>", "<0x7FFFFFFF>"};

void put32(bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

// One to eight edits of one seed: bit flips, bytes, 32-bit fields, text
// tokens, insertions, deletions, copies and cuts.
bytes mutate(const std::vector<bytes>& seeds, generator& g) {
    bytes b = seeds[g.below(static_cast<uint32_t>(seeds.size()))];
    const uint32_t edits = 1 + g.below(8);
    for (uint32_t e = 0; e < edits; ++e) {
        const size_t n = b.size();
        const size_t at = n ? g.below(static_cast<uint32_t>(n)) : 0;
        switch (g.below(10)) {
            case 0:
                if (n) b[at] = static_cast<char>(b[at] ^ (1 << g.below(8)));
                break;
            case 1:
                if (n) b[at] = static_cast<char>(g.next());
                break;
            case 2:
                if (n) put32(b, at & ~size_t(3), interesting32[g.below(sizeof interesting32 / sizeof *interesting32)]);
                break;
            case 3:
                if (n) put32(b, at, interesting32[g.below(sizeof interesting32 / sizeof *interesting32)]);
                break;
            case 4: {
                const char* t = interesting_text[g.below(sizeof interesting_text / sizeof *interesting_text)];
                b.insert(at, t, *t ? std::strlen(t) : 1);
                break;
            }
            case 5: {
                const size_t count = 1 + g.below(16);
                for (size_t i = 0; i < count; ++i) b.insert(b.begin() + static_cast<ptrdiff_t>(at), static_cast<char>(g.next()));
                break;
            }
            case 6:
                if (n) b.erase(at, 1 + g.below(static_cast<uint32_t>(std::min<size_t>(n - at, 64))));
                break;
            case 7:
                if (n) {
                    const size_t from = g.below(static_cast<uint32_t>(n));
                    const size_t len = 1 + g.below(static_cast<uint32_t>(std::min<size_t>(n - from, 256)));
                    b.insert(at, b.substr(from, len));
                }
                break;
            case 8:
                if (n) b.resize(at);
                break;
            default:
                if (n) {
                    // Digits in place: counts and sizes written as text.
                    const uint32_t digits = 1 + g.below(11);
                    for (uint32_t i = 0; i < digits && at + i < b.size(); ++i) b[at + i] = static_cast<char>('0' + g.below(10));
                }
                break;
        }
        if (b.size() > (1u << 20)) b.resize(1u << 20);
    }
    return b;
}

// ---------------------------------------------------------------- helpers

std::wstring scratch;  // the child's own folder, with a trailing backslash

std::wstring in_scratch(const wchar_t* name) { return scratch + name; }

bool write_file(const std::wstring& path, const bytes& b) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = b.empty() || WriteFile(h, b.data(), static_cast<DWORD>(b.size()), &written, nullptr);
    CloseHandle(h);
    return ok;
}

bytes read_file(const std::wstring& path) {
    bytes out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
    CloseHandle(h);
    return out;
}

std::string narrow(const std::wstring& w) {
    std::string out;
    for (wchar_t c : w) out += static_cast<char>(c);
    return out;
}

// Lua stops a runaway request chunk; the engine's own state has no such
// hook, but a loop written by a companion is not what this bench looks for.
void stop_runaway(lua_State* L, lua_Debug*) { luaL_error(L, "instruction limit"); }

lua_State* new_state() {
    lua_State* L = luaL_newstate();
    lua_sethook(L, stop_runaway, LUA_MASKCOUNT, 1000000);
    return L;
}

bytes store_of(lua_State* L, const char* source) {
    std::vector<uint8_t> out;
    if (luaL_dostring(L, source) != 0) return bytes();
    script(L).store(out, -1);
    lua_settop(L, 0);
    return bytes(out.begin(), out.end());
}

const char* value_source =
    "return {1, 2.5, -3, 'text', true, false, {x = 1, y = {z = 'deep', [10] = 4}}, "
    "name = 'value', [7] = {}, list = {'a', 'b', 'c'}, big = 1e300, small = -1e-300}";

// A complete 2 x 2 BMP, 24 bits a pixel: the thumbnail of a save file.
bytes tiny_bmp() {
    bytes b = "BM";
    put_u32(b, 54 + 16);
    put_u32(b, 0);
    put_u32(b, 54);
    put_u32(b, 40);
    put_u32(b, 2);
    put_u32(b, 2);
    b += std::string("\x01\x00\x18\x00", 4);
    put_u32(b, 0);
    put_u32(b, 16);
    for (int i = 0; i < 4; ++i) put_u32(b, 0);
    b += std::string("\x10\x20\x30\x40\x50\x60\0\0\x70\x80\x90\xA0\xB0\xC0\0\0", 16);
    return b;
}

bytes riff(const char id[4], const bytes& body) {
    bytes out(id, 4);
    put_u32(out, static_cast<uint32_t>(body.size()));
    out += body;
    if (body.size() & 1) out.push_back('\0');
    return out;
}

bytes wav_of(uint16_t format, uint16_t channels, uint16_t bits, const bytes& extra, const bytes& data) {
    bytes fmt;
    fmt += std::string(reinterpret_cast<const char*>(&format), 2);
    fmt += std::string(reinterpret_cast<const char*>(&channels), 2);
    put_u32(fmt, 22050);
    put_u32(fmt, 22050u * channels * bits / 8);
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    fmt += std::string(reinterpret_cast<const char*>(&align), 2);
    fmt += std::string(reinterpret_cast<const char*>(&bits), 2);
    if (!extra.empty()) {
        const uint16_t size = static_cast<uint16_t>(extra.size());
        fmt += std::string(reinterpret_cast<const char*>(&size), 2) + extra;
    }
    bytes body = "WAVE" + riff("fmt ", fmt) + riff("LIST", "INFOabcd") + riff("data", data);
    return riff("RIFF", body);
}

// ---------------------------------------------------------------- readers

struct reader {
    const char* name;
    std::function<std::vector<bytes>()> seeds;
    std::function<void(const bytes&)> run;
};

void read_package(const bytes& b) {
    const std::wstring path = in_scratch(L"fuzz.pak");
    if (!write_file(path, b)) return;
    archive a(path.c_str());
    if (a.open()) {
        uint32_t sum = 0;
        for (auto it = a.first(); it != a.end(); ++it) {
            if (!a.lock_entry(it)) continue;
            const uint8_t* data = archive::entry_data(it);
            const uint32_t size = archive::entry_size(it);
            for (uint32_t i = 0; i < size; i += 97) sum += data[i];
            if (size) sum += data[size - 1];
            a.unlock_entry(it);
        }
        (void)sum;
    }
    a.close();
}

lua_State* value_state = nullptr;

void restore_values(const bytes& b) {
    if (!value_state) value_state = new_state();
    script s(value_state);
    const uint8_t* at = reinterpret_cast<const uint8_t*>(b.data());
    size_t left = b.size();
    for (int i = 0; i < 16 && left > 0; ++i) {
        const uint8_t* end = nullptr;
        if (!s.restore(at, left, &end) || !end || end <= at) break;
        left -= static_cast<size_t>(end - at);
        at = end;
    }
    lua_settop(value_state, 0);
    lua_gc(value_state, LUA_GCSTEP, 64);
}

void read_save_file(const bytes& b) {
    const std::wstring path = in_scratch(L"fuzz.vsf");
    if (!write_file(path, b)) return;
    if (!value_state) value_state = new_state();
    save_data sd;
    sd.set_allow_old_format(b.size() & 1);
    if (sd.open(path.c_str(), nullptr, 0, true)) {
        for (int i = 0; i < 64 && sd.restore(value_state); ++i) {
        }
    }
    sd.close();
    lua_settop(value_state, 0);
    lua_gc(value_state, LUA_GCSTEP, 64);
}

void read_replay(const bytes& b) {
    const std::wstring path = in_scratch(L"fuzz.rep");
    if (!write_file(path, b)) return;
    input::record_info replay;
    std::vector<uint8_t> value;
    if (input_replay_load(replay, path.c_str(), value)) {
        input_state state = {};
        for (uint32_t frame = 0; frame < 4096 && replay.restore(state); ++frame) {
        }
        restore_values(bytes(value.begin(), value.end()));
    }
}

void read_input_ini(const bytes& b) {
    const std::wstring path = in_scratch(L"input.ini");
    if (!write_file(path, b)) return;
    input::create_all(nullptr, path.c_str());
    input::destroy_all();
}

void read_wave(const bytes& b) {
    wave_loader loader;
    if (loader.open_memory(b.data(), static_cast<uint32_t>(b.size()))) {
        std::vector<char> pcm(16384);
        for (int i = 0; i < 8 && loader.read(pcm.data(), static_cast<uint32_t>(pcm.size())) > 0; ++i) {
        }
        loader.seek(1);
    }
    loader.close();
}

void read_ogg(const bytes& b) {
    oggvorbis_loader loader;
    if (loader.open_memory(b.data(), static_cast<uint32_t>(b.size()))) {
        std::vector<char> pcm(16384);
        for (int i = 0; i < 8 && loader.read(pcm.data(), static_cast<uint32_t>(pcm.size())) > 0; ++i) {
        }
        loader.seek(1);
    }
    loader.close();
}

// Both sides of one channel in this process; the input is the header's
// length, count and status, then the data area.
struct vycomm_pair {
    vycomm_channel* server = nullptr;
    vycomm_channel* client = nullptr;
    lua_State* L = nullptr;
};
vycomm_pair comm;
constexpr uint32_t comm_capacity = 4096;

void exchange_block(const bytes& b) {
    if (!comm.server) {
        comm.server = VyCommConnect(comm_capacity, GetCurrentProcessId());
        comm.client = VyCommConnect(0, GetCurrentProcessId());
        comm.L = new_state();
        if (!comm.server || !comm.client) {
            std::fprintf(stderr, "vycomm: no channel\n");
            ExitProcess(5);
        }
    }
    if (b.size() < 12) return;
    uint32_t length, count, status;
    std::memcpy(&length, b.data(), 4);
    std::memcpy(&count, b.data() + 4, 4);
    std::memcpy(&status, b.data() + 8, 4);
    const size_t data = std::min<size_t>(b.size() - 12, comm_capacity);
    std::memcpy(comm.client->data(), b.data() + 12, data);
    vycomm_header* h = comm.client->header();
    h->length = length;
    h->count = count;
    // Even statuses ask the engine, odd ones hand the requester a reply.
    if (status & 1) {
        h->status = vycomm_success + (status & 2 ? 1 : 0);
        VyCommReceive(comm.client, nullptr);
    } else {
        h->status = vycomm_request;
        VyCommReceive(comm.server, comm.L);
        lua_settop(comm.L, 0);
        lua_gc(comm.L, LUA_GCSTEP, 64);
        WaitForSingleObject(comm.client->reply_event, 0);
    }
    WaitForSingleObject(comm.server->request_event, 0);
}

updater patch_updater() {
    updater u;
    u.settings.url = L"http://127.0.0.1:1/";
    u.settings.name = "patch";
    u.settings.ext = ".zip";
    u.settings.work = scratch.c_str();
    u.settings.patch_version = L"0101";
    return u;
}

void read_patch_list(const bytes& b) {
    const std::wstring path = in_scratch(L"patch.txt");
    if (!write_file(path, b)) return;
    updater u = patch_updater();
    u.read_patch_list(path.c_str());
    for (size_t i = 0; i < u.settings.patches.size() + 1; ++i) u.patch_name(i);
}

const char* system_ini_text =
    "[UPDATE]\r\nURL=http://127.0.0.1:1/patches\r\nLIST=list/patch.txt\r\nNAME=patch\r\nEXT=zip\r\n"
    "WORK=work\r\nSYSTEM=VyUpdate.ini\r\nVERSION=version.ini\r\n";

void read_system_ini(const bytes& b) {
    const std::wstring path = in_scratch(L"system.ini");
    if (!write_file(path, b)) return;
    updater u;
    u.read_config(path.c_str(), L"");
    wstring version;
    u.patch_version_from_name("patch0102.zip", version);
}

void read_version_ini(const bytes& b) {
    write_file(in_scratch(L"system.ini"), system_ini_text);
    if (!write_file(in_scratch(L"version.ini"), b)) return;
    updater u;
    u.read_config(in_scratch(L"system.ini").c_str(), L"0100");
    wstring version;
    u.patch_version_from_name("patch0102.zip", version);
    u.note_applied_archive(in_scratch(L"patch0103.zip").c_str(), version);
}

void read_tool_ini(const bytes& b) {
    const std::wstring path = in_scratch(L"VyUpdate.ini");
    if (!write_file(path, b)) return;
    ini_file ini(path.c_str());
    // One section an input: the profile functions read the file afresh each call.
    const wchar_t* section = (b.size() & 1) ? L"lzh" : L"zip";
    archive_tool_settings settings = read_archive_tool_settings(ini, section);
    wstring command;
    expand_command_template(command, settings.args, settings.tool,
                            {wstring(L"C:\\work\\patch0102.zip"), wstring(L"C:\\work\\patch0102")});
}

std::vector<bytes> package_seeds() {
    return {make_package(0, {{"script\\main.lua", "print('hello')"}, {"image\\a.bmp", tiny_bmp()}, {"empty", ""}}),
            make_package(1, {{"data\\one.txt", "one"}, {"data\\two.txt", std::string(300, 'x')}}, 4096)};
}

std::vector<bytes> value_seeds() {
    lua_State* L = new_state();
    luaL_openlibs(L);
    std::vector<bytes> out = {store_of(L, value_source), store_of(L, "return 'plain'"), store_of(L, "return 42"),
                              store_of(L, "return {{{{{1}}}}}")};
    lua_close(L);
    return out;
}

std::vector<bytes> save_seeds() {
    lua_State* L = new_state();
    luaL_openlibs(L);
    std::vector<bytes> out;
    const bytes thumb = tiny_bmp();
    for (int with_thumb = 0; with_thumb < 2; ++with_thumb) {
        const std::wstring path = in_scratch(L"seed.vsf");
        save_data sd;
        if (!sd.open(path.c_str(), with_thumb ? thumb.data() : nullptr, with_thumb ? static_cast<uint32_t>(thumb.size()) : 0,
                     false))
            continue;
        luaL_dostring(L, value_source);
        sd.store(L, -1);
        lua_pushstring(L, "second");
        sd.store(L, -1);
        sd.close();
        lua_settop(L, 0);
        out.push_back(read_file(path));
    }
    lua_close(L);
    return out;
}

std::vector<bytes> replay_seeds() {
    input::record_info r;
    r.start(0, 0);
    for (uint32_t code : {1u, 2u, 129u}) r.add_code(code);
    input_state state = {};
    for (int frame = 0; frame < 40; ++frame) {
        input_frame in = {};
        if (frame % 3 == 0) input::set_code(1, in, 1.0f);
        if (frame % 5 == 1) input::set_code(2, in, 1.0f);
        in.axes[0] = static_cast<float>(frame % 7) / 7.0f;
        input::commit(state, in);
        r.record(state);
    }
    const std::wstring path = in_scratch(L"seed.rep");
    std::vector<uint8_t> value = {4, 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
    input_replay_save(r, path.c_str(), value);
    return {read_file(path)};
}

std::vector<bytes> input_ini_seeds() {
    const bytes names =
        "[INPUT]\r\nNUM=2\r\nA=16\r\nB=17\r\nLEFT=128\r\nRIGHT=129\r\n"
        "[KEYBOARD]\r\nZ=90\r\nEnter=13\r\nX=88\r\n[MOUSE]\r\nLeft=1\r\nWheel=16387\r\n"
        "[JOYSTICK]\r\nButton1=1\r\nXPlus=8193\r\n"
        "[#INPUT]\r\n16=A\r\n17=B\r\n128=LEFT\r\n129=RIGHT\r\n[#KEYBOARD]\r\n13=Enter\r\n88=X\r\n90=Z\r\n";
    return {names + "[INPUT1]\r\nMODE=1\r\nJOYSTICK=1\r\nWINDOW=pad\r\n[INPUT1-MODE0]\r\nA=Z\r\nB=Enter\r\nLEFT=XPlus\r\n"
                    "[INPUT1-MODE1]\r\nRIGHT=Wheel\r\n[INPUT2]\r\nMODE=0\r\n[INPUT2-MODE0]\r\nA=Button1\r\n"};
}

std::vector<bytes> wave_seeds() {
    bytes pcm;
    for (int i = 0; i < 400; ++i) pcm.push_back(static_cast<char>(i * 37));
    return {wav_of(1, 1, 16, "", pcm), wav_of(1, 2, 8, "", pcm), wav_of(1, 2, 24, "", pcm.substr(0, 396)),
            wav_of(0xFFFE, 2, 16, bytes(22, '\x01'), pcm), wav_of(2, 1, 4, bytes("\xF4\x01\x07\x00", 4), pcm)};
}

std::wstring build_folder;  // the build folder, from this program's own path

std::vector<bytes> ogg_seeds() {
    std::vector<bytes> out;
    for (int channels = 1; channels <= 2; ++channels) {
        const std::wstring path = in_scratch(L"seed.ogg");
        std::wstring line = L"\"" + build_folder + L"tests\\make_ogg_tone.exe\" \"" + path + L"\" 0.05 " +
                            std::to_wstring(channels) + L" 8000 440";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) continue;
        if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        bytes b = read_file(path);
        if (!b.empty()) out.push_back(b);
    }
    return out;
}

std::vector<bytes> vycomm_seeds() {
    lua_State* L = new_state();
    luaL_openlibs(L);
    const bytes reply = store_of(L, value_source) + store_of(L, "return 'two'");
    lua_close(L);
    auto block = [](uint32_t length, uint32_t count, uint32_t status, const bytes& data) {
        bytes out;
        put_u32(out, length);
        put_u32(out, count);
        put_u32(out, status);
        return out + data;
    };
    const bytes request = "return 6 * 7, 'text', {1, {2}}, nil, true";
    return {block(static_cast<uint32_t>(reply.size()), 2, 1, reply),
            block(static_cast<uint32_t>(request.size()), 0, 0, request),
            block(5, 0, 0, "x = = 1")};
}

std::vector<bytes> patch_list_seeds() {
    return {"# patches\r\n\r\npatch0102.zip\r\nhttp://mirror.test/a/patch0103.zip\r\nsub/patch0104.zip\n"
            "http://one.test/patch0105.zip\nhttp://two.test/patch0105.zip\npatch.zip\npatch0100.zip"};
}

std::vector<bytes> tool_ini_seeds() {
    return {"[zip]\r\nTOOL=missing_tool.exe\r\nSHELL=0\r\nARGS=\"<0>\" x \"<1>\" -o\"<2>\"\r\n"
            "[lzh]\r\nTOOL=C:\\tools\\lha.exe\r\nSHELL=1\r\nARGS=\"\"<0>\" e \"<1>\" \"<2>\\\\\"\"\r\n"};
}

std::vector<reader> readers() {
    return {
        {"package", package_seeds, read_package},
        {"script_value", value_seeds, restore_values},
        {"save_file", save_seeds, read_save_file},
        {"replay", replay_seeds, read_replay},
        {"input_ini", input_ini_seeds, read_input_ini},
        {"wav", wave_seeds, read_wave},
        {"ogg", ogg_seeds, read_ogg},
        {"vycomm", vycomm_seeds, exchange_block},
        {"patch_list", patch_list_seeds, read_patch_list},
        {"version_ini", [] { return std::vector<bytes>{"[VERSION]\r\nPATCHVER=0101\r\n"}; }, read_version_ini},
        {"system_ini", [] { return std::vector<bytes>{system_ini_text}; }, read_system_ini},
        {"tool_ini", tool_ini_seeds, read_tool_ini},
    };
}

// ---------------------------------------------------------------- child

struct options {
    uint32_t count = 100000;
    uint32_t from = 0;
    uint32_t limit_ms = 10000;
    uint32_t memory_mb = 1024;
    std::string only;
    std::string result;  // the child's result file
    bool child = false;
    bool show_seeds = false;  // the child lists its seeds' sizes and ends
};

std::atomic<uint32_t> current_index{0};
std::atomic<DWORD> input_started{0};  // 0: between inputs
std::wstring result_path;
const char* current_reader = "";

void write_result(const char* kind, uint32_t index, uint32_t code) {
    PROCESS_MEMORY_COUNTERS m = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    char line[256];
    std::snprintf(line, sizeof line, "%s %u %u %llu\n", kind, index, code,
                  static_cast<unsigned long long>(m.PeakPagefileUsage));
    HANDLE h = CreateFileW(result_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(h, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
        CloseHandle(h);
    }
}

LONG WINAPI on_crash(EXCEPTION_POINTERS* e) {
    write_result("crash", current_index, e && e->ExceptionRecord ? e->ExceptionRecord->ExceptionCode : 0);
    ExitProcess(2);
}

DWORD WINAPI watchdog(void* param) {
    const options& o = *static_cast<const options*>(param);
    for (;;) {
        Sleep(20);
        const DWORD started = input_started;
        // Signed: the start may be a tick ahead of the clock read here.
        if (started && static_cast<int32_t>(GetTickCount() - started) > static_cast<int32_t>(o.limit_ms)) {
            write_result("hang", current_index, o.limit_ms);
            ExitProcess(3);
        }
        PROCESS_MEMORY_COUNTERS m = {};
        if (GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m) &&
            m.PagefileUsage > static_cast<SIZE_T>(o.memory_mb) * 1024 * 1024) {
            write_result("memory", current_index, static_cast<uint32_t>(m.PagefileUsage >> 20));
            ExitProcess(4);
        }
    }
}

int run_child(const options& o) {
    SetUnhandledExceptionFilter(on_crash);
    for (const reader& r : readers()) {
        if (o.only != r.name) continue;
        current_reader = r.name;
        const std::vector<bytes> seeds = r.seeds();
        if (seeds.empty()) {
            write_result("noseed", 0, 0);
            return 6;
        }
        if (o.show_seeds) {
            for (const bytes& b : seeds) std::printf("%s seed: %u bytes\n", r.name, static_cast<unsigned>(b.size()));
            return 0;
        }
        CreateThread(nullptr, 0, watchdog, const_cast<options*>(&o), 0, nullptr);
        for (uint32_t i = o.from; i < o.count; ++i) {
            generator g(name_hash(r.name) ^ (uint64_t(i) * 0x9E3779B97F4A7C15ull));
            const bytes input = mutate(seeds, g);
            current_index = i;
            input_started = GetTickCount() | 1;
            try {
                r.run(input);
            } catch (...) {
                input_started = 0;
                write_result("crash", i, 0xE06D7363);
                return 2;
            }
            input_started = 0;
        }
        write_result("done", o.count, 0);
        return 0;
    }
    return 7;
}

// ---------------------------------------------------------------- driver

// The child's folder and whatever the mutated settings made in it.
void remove_tree(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(0);
    from.push_back(0);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

struct outcome {
    uint32_t inputs = 0, crashes = 0, hangs = 0, memory = 0;
    unsigned long long peak = 0;
    double seconds = 0;
    std::vector<std::string> faults;
};

std::wstring own_path() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Runs one reader from input `from` on; returns what ended the child.
std::string run_slice(const options& o, const char* name, uint32_t from, std::string& detail) {
    result_path = scratch + L"result_" + std::wstring(name, name + std::strlen(name)) + L".txt";
    DeleteFileW(result_path.c_str());
    std::wstring line = L"\"" + own_path() + L"\" --child --only " + std::wstring(name, name + std::strlen(name)) +
                        L" --from " + std::to_wstring(from) + L" --count " + std::to_wstring(o.count) +
                        L" --limit-ms " + std::to_wstring(o.limit_ms) + L" --memory-mb " +
                        std::to_wstring(o.memory_mb) + L" --result \"" + result_path + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        detail = "cannot start";
        return "error";
    }
    CloseHandle(pi.hThread);
    // The child's own watchdog ends a hang; this bound is for a child that
    // can't even do that.
    const DWORD whole = static_cast<DWORD>(std::min<uint64_t>(0xFFFFFFF0ull, uint64_t(o.count - from) * 50 + 600000));
    if (WaitForSingleObject(pi.hProcess, whole) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 9);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        detail = "stuck";
        return "hang";
    }
    CloseHandle(pi.hProcess);
    detail = read_file(result_path);
    char kind[16] = {};
    if (std::sscanf(detail.c_str(), "%15s", kind) != 1) return "error";
    return kind;
}

int run_driver(const options& o) {
    std::printf("%-13s %8s %8s %6s %7s %10s %9s\n", "reader", "inputs", "crashes", "hangs", "memory", "peak MB",
                "seconds");
    bool clean = true;
    for (const reader& r : readers()) {
        if (!o.only.empty() && o.only != r.name) continue;
        outcome out;
        const DWORD start = GetTickCount();
        uint32_t from = o.from;
        while (from < o.count) {
            std::string detail;
            const std::string kind = run_slice(o, r.name, from, detail);
            unsigned index = 0, code = 0;
            unsigned long long peak = 0;
            std::sscanf(detail.c_str(), "%*s %u %u %llu", &index, &code, &peak);
            if (peak > out.peak) out.peak = peak;
            if (kind == "done") {
                out.inputs += o.count - from;
                break;
            }
            if (kind == "crash" || kind == "hang" || kind == "memory") {
                if (kind == "crash") ++out.crashes;
                if (kind == "hang") ++out.hangs;
                if (kind == "memory") ++out.memory;
                char text[160];
                std::snprintf(text, sizeof text, "%s: %s at input %u (code 0x%08X)", r.name, kind.c_str(), index, code);
                out.faults.push_back(text);
                out.inputs += index + 1 - from;
                from = index + 1;
                continue;
            }
            out.faults.push_back(std::string(r.name) + ": " + kind + " " + detail);
            break;
        }
        out.seconds = (GetTickCount() - start) / 1000.0;
        std::printf("%-13s %8u %8u %6u %7u %10.1f %9.1f\n", r.name, out.inputs, out.crashes, out.hangs, out.memory,
                    out.peak / (1024.0 * 1024.0), out.seconds);
        for (const std::string& f : out.faults) std::printf("  %s\n", f.c_str());
        std::fflush(stdout);
        if (!out.faults.empty() || out.inputs != o.count - o.from) clean = false;
    }
    return clean ? 0 : 1;
}

options parse(int argc, char** argv) {
    options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : "0";
        if (a == "--child") o.child = true;
        else if (a == "--show-seeds") o.child = o.show_seeds = true;
        else if (a == "--count") o.count = static_cast<uint32_t>(std::strtoul(v, nullptr, 10)), ++i;
        else if (a == "--from") o.from = static_cast<uint32_t>(std::strtoul(v, nullptr, 10)), ++i;
        else if (a == "--limit-ms") o.limit_ms = static_cast<uint32_t>(std::strtoul(v, nullptr, 10)), ++i;
        else if (a == "--memory-mb") o.memory_mb = static_cast<uint32_t>(std::strtoul(v, nullptr, 10)), ++i;
        else if (a == "--only") o.only = v, ++i;
        else if (a == "--result") o.result = v, ++i;
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const options o = parse(argc, argv);
    // This program lives in <build>\bench; the decoder library and the
    // encoder of the Ogg seeds are elsewhere in the build folder.
    std::wstring self = own_path();
    self = self.substr(0, self.rfind(L'\\'));
    build_folder = self.substr(0, self.rfind(L'\\') + 1);

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    scratch = std::wstring(temp) + L"vy_fuzz_" + std::to_wstring(o.child ? GetCurrentProcessId() : 0) + L"_" +
              std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(scratch.c_str(), nullptr);
    if (!o.child) {
        const int code = run_driver(o);
        remove_tree(scratch);
        return code;
    }
    std::wstring own = scratch;
    for (char c : o.result) result_path += static_cast<wchar_t>(static_cast<unsigned char>(c));
    // Relative paths in the files read (WORK, VERSION, lib\...) resolve
    // against the base directory: the decoder's folder first, then the
    // child's own scratch folder, so nothing lands in the build.
    SetCurrentDirectoryW((build_folder + L"bin").c_str());
    recache_base_directory();
    if (o.only == "ogg" && !oggvorbis_loader::initialize()) {
        std::fprintf(stderr, "ogg: no decoder library under %ls\n", (build_folder + L"bin\\lib").c_str());
        return 8;
    }
    SetCurrentDirectoryW(own.c_str());
    recache_base_directory();
    const int code = run_child(o);
    std::fflush(nullptr);
    remove_tree(own);
    return code;
}
