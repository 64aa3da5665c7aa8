// Frames a second of N textured 32x32 sprites drawn through the engine's
// sprite batch (a layer of sprite objects, a full graphic::render) against
// bare ID3DXSprite::Draw calls on the same device, same target, same screen
// copy and present. Usage: bench_sprite_batch [seconds per run] [rounds]
#include <windows.h>

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

template <class F>
double frames_per_second(double seconds, F frame) {
    for (int i = 0; i < 3; ++i) frame();  // warm-up
    LARGE_INTEGER freq, start, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    int frames = 0;
    do {
        frame();
        pump();
        ++frames;
        QueryPerformanceCounter(&now);
    } while (double(now.QuadPart - start.QuadPart) / double(freq.QuadPart) < seconds);
    return frames / (double(now.QuadPart - start.QuadPart) / double(freq.QuadPart));
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
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

    std::printf("%8s %14s %14s %8s\n", "N", "engine fps", "bare fps", "ratio");
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
        // Rounds taken in turn, best of each kept: other load on the
        // machine then hits both sides alike.
        double engine = 0.0, plain = 0.0;
        for (int round = 0; round < rounds; ++round) {
            double e = frames_per_second(seconds, engine_frame);
            double b = frames_per_second(seconds, bare_frame);
            if (e > engine) engine = e;
            if (b > plain) plain = b;
        }
        std::printf("%8d %14.1f %14.1f %8.3f\n", n, engine, plain, engine / plain);
        std::fflush(stdout);
        g.get_layer(layer)->objects.clear();
    }
    bare->Release();
    DestroyWindow(window);
    return 0;
}
