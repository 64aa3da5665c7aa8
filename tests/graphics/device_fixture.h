// A real window with a real Direct3D device behind the engine's graphic,
// and ways to look at what it drew.
#ifndef VY_TESTS_GRAPHICS_DEVICE_FIXTURE_H
#define VY_TESTS_GRAPHICS_DEVICE_FIXTURE_H

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

inline HWND make_test_window(int width, int height) {
    static bool registered = false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.lpszClassName = L"vy_graphics_test";
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        RegisterClassW(&wc);
        registered = true;
    }
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    HWND w = CreateWindowW(L"vy_graphics_test", L"graphics test", WS_OVERLAPPEDWINDOW, 0, 0,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                           nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    return w;
}

// Sets the client area to exactly width x height.
inline void set_client_size(HWND w, int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Pixels of a surface as A8R8G8B8 words (row-major), read through a
// system-memory copy.
inline std::vector<uint32_t> read_surface(IDirect3DDevice9* device, IDirect3DSurface9* surface,
                                          uint32_t& width, uint32_t& height) {
    std::vector<uint32_t> out;
    D3DSURFACE_DESC desc;
    if (FAILED(surface->GetDesc(&desc))) return out;
    IDirect3DSurface9* copy = nullptr;
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                   D3DPOOL_SYSTEMMEM, &copy, nullptr)))
        return out;
    D3DLOCKED_RECT lr;
    if (SUCCEEDED(device->GetRenderTargetData(surface, copy)) &&
        SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
        width = desc.Width;
        height = desc.Height;
        out.resize(size_t(width) * height);
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(&out[size_t(y) * width], static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch,
                        width * 4);
        copy->UnlockRect();
    }
    copy->Release();
    return out;
}

struct pixels {
    std::vector<uint32_t> data;
    uint32_t width = 0, height = 0;
    uint32_t at(int x, int y) const { return data[size_t(y) * width + x]; }
    // Opaque-colour comparison with a tolerance per channel.
    static bool close_to(uint32_t a, uint32_t b, int tolerance) {
        for (int s = 0; s < 24; s += 8) {
            int d = int((a >> s) & 0xFF) - int((b >> s) & 0xFF);
            if (d < -tolerance || d > tolerance) return false;
        }
        return true;
    }
};

inline pixels read_target(graphic& g, graphic_render_target* t) {
    pixels p;
    if (t && t->render_surface())
        p.data = read_surface(g.device(), t->render_surface(), p.width, p.height);
    return p;
}

// A 32-bit top-down BMP file image of width x height texels from a function.
template <class F>
std::vector<uint8_t> make_bmp(int width, int height, F texel) {
    const uint32_t data_size = uint32_t(width) * height * 4;
    std::vector<uint8_t> out(54 + data_size);
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&out[at], &v, 2); };
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&out[at], &v, 4); };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, uint32_t(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(-height));
    put16(26, 1);
    put16(28, 32);
    put32(34, data_size);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) put32(54 + (size_t(y) * width + x) * 4, texel(x, y));
    return out;
}

inline std::vector<uint8_t> solid_bmp(int width, int height, uint32_t color) {
    return make_bmp(width, height, [&](int, int) { return color; });
}

// The engine's trace moved to a file of the test's own, read back whole.
class trace_capture {
public:
    trace_capture() {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        static int counter = 0;
        path_ = std::wstring(dir) + L"vy_graphics_trace_" +
                std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter) +
                L".log";
        default_trace().open(path_.c_str(), trace_overwrite | trace_no_backup);
    }
    ~trace_capture() {
        default_trace().close();
        DeleteFileW(path_.c_str());
    }
    std::string text() const {
        std::string out;
        HANDLE h = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return out;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
        CloseHandle(h);
        return out;
    }
    size_t count(const std::string& needle) const {
        std::string t = text();
        size_t n = 0;
        for (size_t at = t.find(needle); at != std::string::npos; at = t.find(needle, at + 1)) ++n;
        return n;
    }

private:
    std::wstring path_;
};

// The engine's graphic on a window of its own.
struct test_device {
    HWND window = nullptr;
    std::unique_ptr<graphic> g;

    bool open(int width, int height) {
        window = make_test_window(width, height);
        if (!window) return false;
        g = std::make_unique<graphic>();
        return g->create() && g->check_format(D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8) &&
               g->initialize(window);
    }
    void close() {
        g.reset();
        if (window) DestroyWindow(window);
        window = nullptr;
    }
};

// One device shared by the tests of a suite (opening a device takes a
// couple of seconds here); each test's layers and objects are removed
// after it.
class device_test : public ::testing::Test {
protected:
    static constexpr int width = 160;
    static constexpr int height = 120;

    static void SetUpTestSuite() {
        shared_ = new test_device;
        opened_ = shared_->open(width, height);
    }
    static void TearDownTestSuite() {
        shared_->close();
        delete shared_;
        shared_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(opened_) << "no device";
        first_layer_id_ = g().layer_id_count();
        first_object_ = g().objects().size();
        g().back_buffer()->clear_color = 0xFF000000;
    }

    void TearDown() override {
        if (!opened_) return;
        for (size_t id = first_layer_id_; id < g().layer_id_count(); ++id)
            delete g().remove_render_layer(int32_t(id));
        // Oldest first: an owner takes the objects it registered with it.
        while (g().objects().size() > first_object_) g().delete_object(g().objects()[first_object_]);
    }

    graphic& g() { return *shared_->g; }
    HWND window() { return shared_->window; }

    // A texture from image bytes the way the cache loads them.
    graphic_texture* image_texture(const std::vector<uint8_t>& image) {
        graphic_texture* t = g().new_texture(true);
        if (!t->create_from_image(image.data(), uint32_t(image.size()), D3DFMT_UNKNOWN,
                                  D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC))
            return nullptr;
        return t;
    }

    // A sprite of the whole texture with its top-left corner at (x, y).
    std::unique_ptr<graphic_sprite_object> sprite_at(graphic_texture* t, float x, float y,
                                                     float z = 0.0f) {
        auto s = std::make_unique<graphic_sprite_object>(&g());
        s->set_texture(t);
        s->rect = RECT{0, 0, LONG(t->width()), LONG(t->height())};
        s->position = D3DXVECTOR3(x, y, z);
        s->update_bound();
        return s;
    }

    // Draws one layer on its own, outside a frame.
    bool draw_layer(int32_t id) {
        IDirect3DDevice9* d = g().device();
        if (FAILED(d->BeginScene())) return false;
        graphic_render_layer* l = g().get_layer(id);
        bool ok = l && l->render();
        d->EndScene();
        return ok;
    }

private:
    static inline test_device* shared_ = nullptr;
    static inline bool opened_ = false;
    size_t first_layer_id_ = 0;
    size_t first_object_ = 0;
};

#endif
