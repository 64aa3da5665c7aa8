// Actors made by a game script: N actors created with actors.create, each a
// coroutine that moves itself with actors.set_position and waits, each with
// an animated 32x32 sprite. Prints the world's frame step beside the bare
// cost of resuming N plain coroutines with the same body, then whole frames
// a second with rendering on a real device.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bare_resumes.h"
#include "core/system_timer.h"
#include "graphics/graphic.h"
#include "graphics/render_layer.h"
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
#include "world/action_manager.h"
#include "world/object_manager.h"
#include "world/sprite_manager.h"

namespace {
// The start position the scripted actors get.
int push_start_x(lua_State* t, int i) {
    lua_pushnumber(t, 20 + (i * 37) % 580);
    return 1;
}

const char* body =
    "function(a, x) "
    "  while true do "
    "    x = x + 1 if x > 600 then x = 20 end "
    "    actors.set_position(a, x, 240, 0) actors.wait() "
    "  end "
    "end";

double now_ns() { return double(system_timer::source()); }

// Four 32x32 cells of different colours.
std::string write_image() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "vy_bench_cells.bmp";
    const int width = 128, height = 32, row = width * 3;
    std::vector<unsigned char> bytes(54 + size_t(row) * height);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = (unsigned char)(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, uint32_t(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &bytes[54 + size_t(y) * row + size_t(x) * 3];
            p[0] = (unsigned char)(60 * (x / 32));
            p[1] = (unsigned char)(4 * y);
            p[2] = 200;
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

HWND make_window(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"vy_bench_sprites";
    RegisterClassW(&wc);
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowW(L"vy_bench_sprites", L"sprite actors", WS_OVERLAPPEDWINDOW, 0, 0, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    return w;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

// Nanoseconds a frame of the world with n script actors; with a window,
// every frame is rendered and presented too.
double world_frame_ns(int n, int frames, const std::string& image, HWND window, double* end_share = nullptr) {
    auto screen = std::make_unique<graphic>();
    int32_t layer = 0;
    if (window) {
        if (!screen->create() || !screen->check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) ||
            !screen->initialize(window)) {
            std::fprintf(stderr, "no device\n");
            return 0;
        }
        layer = screen->create_render_layer<graphic_alpha_sprite_render_layer>();
        screen->set_layer_target(layer, nullptr);
    }
    set_render_layer_table(&layer, 1);
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    auto actions = std::make_unique<action_manager>();
    actions->set_lua(L);
    auto objects = std::make_unique<object_manager>();
    objects->initialize(L);
    const std::string script =
        "sprites.class_create{name = 'cells', image = {[[" + image + "]], nil, {32, 32}}, "
        "  frame = {ways = 1, {0}, {1}, {2}, {3}}, scene = {{0, 4, 0, 4}}} "
        "actors.class_create{name = 'runner', sprite = 'cells', param = {0x100000}, "
        "  action = {start = " + body + "}} "
        "for i = 1, " + std::to_string(n) + " do "
        "  local x = 20 + (i * 37) % 580 "
        "  if not actors.create{'runner', x, 240, 0, init = x} then error('not created') end "
        "end";
    if (luaL_dostring(L, script.c_str()) != 0) {
        std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
        return 0;
    }
    double ended = 0;
    auto one_frame = [&] {
        if (world_frame_step() != 0) std::fprintf(stderr, "frame failed\n");
        if (window) {
            pump();
            screen->render();
        }
        const double t = now_ns();
        world_end_frame();
        ended += now_ns() - t;
    };
    for (int i = 0; i < 3; ++i) one_frame();
    ended = 0;
    const double start = now_ns();
    for (int i = 0; i < frames; ++i) one_frame();
    const double elapsed = now_ns() - start;
    if (end_share) *end_share = ended / frames;
    objects.reset();
    actions.reset();
    lua_close(L);
    if (window) {
        for (size_t id = 0; id < screen->layer_id_count(); ++id) delete screen->remove_render_layer(int32_t(id));
    }
    screen.reset();
    set_render_layer_table(nullptr, 0);
    return elapsed / frames;
}

// Nanoseconds for one round of resuming n plain coroutines with the body.
double bare_round_ns(int n, int rounds) {
    lua_State* L = bare_actor_state();
    luaL_dostring(L, (std::string("return ") + body).c_str());
    return bare_resume_round_ns(L, n, rounds, push_start_x);
}
}  // namespace

int main() {
    const std::string image = write_image();
    std::printf("%8s %14s %10s %10s %16s %7s\n", "actors", "step us/frame", "(end us)", "frames/s",
                "bare us/round", "ratio");
    for (int n : {1000, 10000}) {
        const int frames = n >= 10000 ? 200 : 1000;
        double world = 0, bare = 0, end = 0;
        // Best of three runs of each, interleaved, against noise.
        for (int run = 0; run < 3; ++run) {
            double e = 0;
            const double w = world_frame_ns(n, frames, image, nullptr, &e);
            const double b = bare_round_ns(n, frames);
            if (run == 0 || w < world) {
                world = w;
                end = e;
            }
            if (run == 0 || b < bare) bare = b;
        }
        std::printf("%8d %14.1f %10.1f %10.0f %16.1f %7.2f\n", n, world / 1000.0, end / 1000.0, 1e9 / world,
                    bare / 1000.0, world / bare);
    }
    HWND window = make_window(640, 480);
    std::printf("\nwith rendering (640x480 window)\n%8s %14s %10s\n", "sprites", "us/frame", "frames/s");
    for (int n : {1000, 10000}) {
        const double ns = world_frame_ns(n, n >= 10000 ? 30 : 300, image, window);
        std::printf("%8d %14.1f %10.1f\n", n, ns / 1000.0, ns > 0 ? 1e9 / ns : 0.0);
    }
    DestroyWindow(window);
    DeleteFileA(image.c_str());
    return 0;
}
