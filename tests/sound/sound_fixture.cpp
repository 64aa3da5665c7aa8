#include "sound_fixture.h"

#include <cmath>
#include <cstring>

#include "core/directories.h"
#include "lauxlib.h"

std::wstring binary_dir() {
    std::wstring out = L"Z:";
    for (const char* p = VY_BINARY_DIR; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

namespace {
// The decoder library lives in "lib\" under the base directory: the
// engine's folder of this build.
struct base_directory_at_bin {
    base_directory_at_bin() {
        std::wstring bin = binary_dir() + L"\\bin";
        SetCurrentDirectoryW(bin.c_str());
        recache_base_directory();
    }
};
}  // namespace

bool captured_log::has(const std::string& line) const {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

std::string riff_chunk_sized(const char id[4], uint32_t size, const std::string& body) {
    std::string out(id, 4);
    out.append(reinterpret_cast<const char*>(&size), 4);
    out += body;
    if (body.size() & 1) out += '\0';
    return out;
}

std::string riff_chunk(const char id[4], const std::string& body) {
    return riff_chunk_sized(id, static_cast<uint32_t>(body.size()), body);
}

std::string fmt_body(uint16_t channels, uint32_t rate, uint16_t bits) {
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * rate;
    return std::string(reinterpret_cast<const char*>(&f), 16);
}

std::string wave_file(const std::vector<std::string>& chunks, const char form[4]) {
    std::string body(form, 4);
    for (const std::string& c : chunks) body += c;
    return riff_chunk("RIFF", body);
}

std::string pcm16(const std::vector<int16_t>& samples) {
    return std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
}

std::string wav_of(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& samples) {
    return wave_file({riff_chunk("fmt ", fmt_body(channels, rate, bits)), riff_chunk("data", samples)});
}

std::string tone16(uint32_t frames, uint32_t rate, double hz) {
    std::vector<int16_t> s(frames);
    for (uint32_t i = 0; i < frames; ++i) s[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * i / rate));
    return pcm16(s);
}

bool make_ogg_tone(const std::wstring& path, double seconds, int channels, long rate, double hz) {
    std::wstring line = L"\"" + binary_dir() + L"\\tests\\make_ogg_tone.exe\" \"" + path + L"\" " +
                        std::to_wstring(seconds) + L" " + std::to_wstring(channels) + L" " + std::to_wstring(rate) +
                        L" " + std::to_wstring(hz);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    DWORD code = 1;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code == 0;
}

std::wstring sink_path() {
    wchar_t unix_path[1024] = {};
    if (!GetEnvironmentVariableW(L"VY_SOUND_SINK", unix_path, 1024)) return L"";
    std::wstring p = L"Z:";
    p += unix_path;
    for (wchar_t& c : p)
        if (c == L'/') c = L'\\';
    return p;
}

uint64_t sink_size() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(sink_path().c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {
// Bytes of the sink past offset.
std::string sink_tail(uint64_t offset) {
    HANDLE h = CreateFileW(sink_path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string out;
    if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) {
        char buf[65536];
        DWORD got = 0;
        while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    }
    CloseHandle(h);
    return out;
}

bool all_zero(const std::string& bytes) {
    for (char c : bytes)
        if (c != 0) return false;
    return true;
}
}  // namespace

bool sink_sound_after(uint64_t offset, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    do {
        std::string tail = sink_tail(offset);
        if (!tail.empty() && !all_zero(tail)) return true;
        Sleep(50);
    } while (GetTickCount() - start < timeout_ms);
    return false;
}

bool sink_silent_after(uint64_t offset, DWORD wait_ms) {
    Sleep(wait_ms);
    return all_zero(sink_tail(offset));
}

void sound_test::SetUp() {
    static base_directory_at_bin at_bin;
    script_test::SetUp();
    set_system_log(&log);
    window = CreateWindowExW(0, L"STATIC", L"sound test", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    device = new sound;
    ASSERT_EQ(device, sound::instance());
    ASSERT_TRUE(device->create(window)) << "DirectSound needs the ALSA default device (tools/wine-env.sh)";
    manager = new sound_manager;
    ASSERT_TRUE(manager->init_script(s.state()));
}

void sound_test::TearDown() {
    delete manager;
    delete device;
    if (window) DestroyWindow(window);
    set_system_log(nullptr);
    script_test::TearDown();
}

void sound_test::run_updates(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        device->update();
        Sleep(100);
    } while (GetTickCount() - start < ms);
}

bool sound_test::lua_ok(const char* code) {
    lua_State* L = s.state();
    if (luaL_dostring(L, code) == 0) return true;
    ADD_FAILURE() << lua_tostring(L, -1);
    lua_pop(L, 1);
    return false;
}
