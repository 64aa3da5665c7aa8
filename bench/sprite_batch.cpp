// Frames a second of N textured 32x32 sprites drawn through the engine's
// sprite batch (a layer of sprite objects, a full graphic::render) against
// bare ID3DXSprite::Draw calls on the same device, same target, same screen
// copy and present, in blocks taken in turn (medians). Also the main
// thread's CPU milliseconds a frame for each.
// Usage: bench_sprite_batch [seconds for each N]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "graphics/graphic.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

namespace {

HWND make_window(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"vy_bench_sprite";
    RegisterClassW(&wc);
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowW(wc.lpszClassName, L"sprite batch", WS_OVERLAPPEDWINDOW, 0, 0,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance,
                           nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    return w;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

// 32x32 BMP: a ring of colour around a keyed centre, so blending and the
// colour key both take part.
std::vector<uint8_t> sprite_image() {
    const int n = 32;
    std::vector<uint8_t> out(54 + n * n * 4);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out[at + i] = uint8_t(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, uint32_t(out.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, n, 4);
    put(22, uint32_t(-n), 4);
    put(26, 1, 2);
    put(28, 32, 2);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            bool hole = x > 10 && x < 21 && y > 10 && y < 21;
            put(54 + (y * n + x) * 4, hole ? 0xFF00FF00u : 0xFF000000u | (x * 8 << 16) | (y * 8), 4);
        }
    return out;
}

double now_seconds() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(freq.QuadPart);
}

// CPU time of the calling thread: the engine's own work per frame, free of
// the device's rasterising and of other load on the machine.
double thread_seconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto value = [](const FILETIME& f) {
        return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) * 1e-7;
    };
    return value(kernel) + value(user);
}

// Waits until the device has drawn everything queued, so that no frame's
// drawing spills into the next block's time.
void finish(IDirect3DDevice9* d) {
    IDirect3DQuery9* q = nullptr;
    if (FAILED(d->CreateQuery(D3DQUERYTYPE_EVENT, &q))) return;
    q->Issue(D3DISSUE_END);
    while (q->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) Sleep(0);
    q->Release();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Blocks of frames of the two kinds taken in turn, each block timed from an
// idle device to an idle device, so that other load on the machine falls on
// both sides alike and no queued drawing crosses from one kind to the
// other. Answers the median rates and CPU milliseconds a frame.
template <class A, class B>
void alternate(IDirect3DDevice9* d, double seconds, A first, B second, double& first_fps,
               double& second_fps, double& first_cpu_ms, double& second_cpu_ms) {
    const int blocks = 7;
    std::vector<double> fps[2], cpu[2];
    for (int i = 0; i < 3; ++i) {
        first();
        second();
    }
    for (int b = 0; b < blocks; ++b) {
        for (int kind = 0; kind < 2; ++kind) {
            finish(d);
            const double c0 = thread_seconds(), t0 = now_seconds();
            const double end = t0 + seconds / (2 * blocks);
            int frames = 0;
            do {
                kind ? second() : first();
                pump();
                ++frames;
            } while (now_seconds() < end);
            finish(d);
            const double t1 = now_seconds();
            fps[kind].push_back(frames / (t1 - t0));
            cpu[kind].push_back((thread_seconds() - c0) * 1000.0 / frames);
        }
    }
    first_fps = median(fps[0]);
    second_fps = median(fps[1]);
    first_cpu_ms = median(cpu[0]);
    second_cpu_ms = median(cpu[1]);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int width = 640, height = 480;
    HWND window = make_window(width, height);
    graphic g;
    if (!g.create() || !g.check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) || !g.initialize(window)) {
        std::printf("no device\n");
        return 1;
    }
    auto image = sprite_image();
    graphic_texture* texture = g.new_texture(true);
    if (!texture->create_from_image(image.data(), uint32_t(image.size()), D3DFMT_UNKNOWN,
                                    D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC)) {
        std::printf("no texture\n");
        return 1;
    }
    int32_t layer = g.create_render_layer<graphic_alpha_sprite_render_layer>();
    g.set_layer_target(layer, nullptr);
    ID3DXSprite* bare = nullptr;
    if (FAILED(D3DXCreateSprite(g.device(), &bare))) return 1;

    std::printf("%8s %14s %14s %8s %12s %12s\n", "N", "engine fps", "bare fps", "ratio",
                "engine cpu", "bare cpu");
    for (int n : {1000, 10000}) {
        std::srand(12345);
        std::vector<D3DXVECTOR3> positions;
        std::vector<std::unique_ptr<graphic_sprite_object>> sprites;
        for (int i = 0; i < n; ++i) {
            D3DXVECTOR3 p(float(std::rand() % (width - 32)), float(std::rand() % (height - 32)),
                          float(std::rand() % 100) / 100.0f);
            positions.push_back(p);
            auto s = std::make_unique<graphic_sprite_object>(&g);
            s->set_texture(texture);
            s->rect = RECT{0, 0, 32, 32};
            s->position = p;
            s->update_bound();
            g.attach_render_object(s.get(), layer);
            sprites.push_back(std::move(s));
        }
        auto engine_frame = [&] { g.render(); };
        // The same frame with the batch replaced by bare calls.
        IDirect3DDevice9* d = g.device();
        auto bare_frame = [&] {
            d->BeginScene();
            g.back_buffer()->set_target();
            d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
            d->SetRenderState(D3DRS_ZENABLE, FALSE);  // as the batch draws: every pixel
            bare->Begin(D3DXSPRITE_ALPHABLEND);
            for (const D3DXVECTOR3& p : positions)
                bare->Draw(texture->d3d_texture(), nullptr, nullptr, &p, 0xFFFFFFFF);
            bare->End();
            g.screen_layer()->render();
            d->EndScene();
            d->Present(nullptr, nullptr, nullptr, nullptr);
        };
        double engine = 0.0, plain = 0.0, engine_cpu = 0.0, plain_cpu = 0.0;
        alternate(d, seconds, engine_frame, bare_frame, engine, plain, engine_cpu, plain_cpu);
        std::printf("%8d %14.1f %14.1f %8.3f %12.2f %12.2f\n", n, engine, plain, engine / plain,
                    engine_cpu, plain_cpu);
        std::fflush(stdout);
        g.get_layer(layer)->objects.clear();
    }
    bare->Release();
    DestroyWindow(window);
    return 0;
}
