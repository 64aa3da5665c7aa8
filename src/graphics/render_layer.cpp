// Render objects, the layer kinds and the screen layer.
#include "graphics/render_layer.h"

#include <algorithm>
#include <new>
#include <vector>

#include "graphics/graphic.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

namespace {

// Begin flags by layer state; states past the table draw as state 1.
constexpr uint32_t state_begin_flags[16] = {0x80, 0x50, 0x50, 0x50, 0x90, 0x50, 0x50, 0x50,
                                            0x50, 0x50, 0x50, 0x50, 0x50, 0x50, 0x50, 0x50};

// Filter field values; values past the table filter as NONE.
D3DTEXTUREFILTERTYPE filter_of(uint32_t value) {
    switch (value) {
    case 0: return D3DTEXF_LINEAR;
    case 1: return D3DTEXF_POINT;
    case 2: return D3DTEXF_ANISOTROPIC;
    case 3: return D3DTEXF_PYRAMIDALQUAD;
    case 4: return D3DTEXF_GAUSSIANQUAD;
    default: return D3DTEXF_NONE;
    }
}

void apply_layer_state(IDirect3DDevice9* device, uint32_t state) {
    switch (state) {
    case 2:
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        break;
    case 3:
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        break;
    case 4:
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        break;
    case 5:
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT);
        break;
    case 6:
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
        break;
    case 7:
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTCOLOR);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        break;
    case 8:
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
        break;
    default:
        break;
    }
}

}  // namespace

uint32_t layer_state_begin_flags(uint32_t state) {
    return state < 16 ? state_begin_flags[state] : state_begin_flags[1];
}

graphic_render_object::graphic_render_object(graphic* owner) : graphic_(owner) {
    clip = RECT{0, 0, LONG(owner->client_width()), LONG(owner->client_height())};
}

void graphic_render_object::set_flag(uint32_t mask, bool on) {
    flags &= ~mask;
    if (on) flags |= mask;
}

void graphic_render_object::set_clip_rect(const RECT& rect) {
    clip = rect;
    const LONG w = LONG(graphic_->client_width()), h = LONG(graphic_->client_height());
    if (clip.left < 0) clip.left = 0;
    if (clip.left >= w) flags |= render_flag_hidden;
    if (clip.right <= 0) flags |= render_flag_hidden;
    if (clip.right > w) clip.right = w;
    if (clip.top < 0) clip.top = 0;
    if (clip.top >= h) flags |= render_flag_hidden;
    if (clip.bottom <= 0) flags |= render_flag_hidden;
    if (clip.bottom > h) clip.bottom = h;
}

bool graphic_render_layer::select_target() {
    // A layer without a target of its own draws into the off-screen screen.
    graphic_render_target* t = target ? target : graphic_->back_buffer();
    return t ? t->set_target() : true;
}

bool graphic_render_layer::render() {
    if (skipped) return true;
    if (!select_target()) return true;
    if ((flags & layer_flag_hidden) || objects.empty()) return true;
    return draw();
}

bool graphic_render_layer::render_objects() {
    bool result = true;
    for (graphic_render_object* o : objects) result = o->render() && result;
    return result;
}

bool graphic_render_layer::draw() {
    // Larger keys first; equal keys keep their insertion order, and the
    // list stays sorted for the next frame (mostly it already is).
    auto later_first = [](const graphic_render_object* a, const graphic_render_object* b) {
        return a->order > b->order;
    };
    if (std::is_sorted(objects.begin(), objects.end(), later_first)) return render_objects();
    std::vector<graphic_render_object*> sorted(objects.begin(), objects.end());
    std::stable_sort(sorted.begin(), sorted.end(), later_first);
    objects.assign(sorted.begin(), sorted.end());
    return render_objects();
}

namespace {

constexpr DWORD write_rgb =
    D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_BLUE;

template <class F>
bool draw_in_batch(graphic* g, bool keep_alpha, uint32_t begin_flags, F&& states_and_objects) {
    graphic_sprite* batch = g->sprite();
    if (!batch || FAILED(batch->begin(begin_flags))) return false;
    // After begin: the batch's own states write every channel.
    if (keep_alpha) g->device()->SetRenderState(D3DRS_COLORWRITEENABLE, write_rgb);
    bool result = states_and_objects(g->device());
    batch->end();
    if (keep_alpha)
        g->device()->SetRenderState(D3DRS_COLORWRITEENABLE, write_rgb | D3DCOLORWRITEENABLE_ALPHA);
    return result;
}

}  // namespace

bool graphic_opaque_sprite_render_layer::draw() {
    return draw_in_batch(graphic_, keep_alpha, sprite_begin_opaque,
                         [&](IDirect3DDevice9*) { return render_objects(); });
}

bool graphic_alpha_sprite_render_layer::draw() {
    return draw_in_batch(graphic_, keep_alpha, sprite_begin_alpha,
                         [&](IDirect3DDevice9*) { return render_objects(); });
}

bool graphic_addalpha_sprite_render_layer::draw() {
    return draw_in_batch(graphic_, keep_alpha, sprite_begin_alpha, [&](IDirect3DDevice9* device) {
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        return render_objects();
    });
}

bool graphic_sprite_staterender_layer::draw() {
    uint32_t state = flags & layer_state_mask;
    if (state >= 16) state = 1;
    return draw_in_batch(graphic_, keep_alpha, state_begin_flags[state], [&](IDirect3DDevice9* device) {
        apply_layer_state(device, state);
        device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter_of((flags >> 12) & 0xF));
        device->SetSamplerState(0, D3DSAMP_MINFILTER, filter_of((flags >> 8) & 0xF));
        return render_objects();
    });
}

graphic_screen_render_layer::graphic_screen_render_layer(graphic* owner, int32_t layer_id)
    : graphic_render_layer(owner, layer_id) {}

graphic_screen_render_layer::~graphic_screen_render_layer() {
    delete sprite_;
}

bool graphic_screen_render_layer::initialize(graphic_render_target* source,
                                             graphic_render_target* destination) {
    delete sprite_;
    sprite_ = new (std::nothrow) graphic_sprite_object(graphic_);
    if (!sprite_) return false;
    sprite_->set_texture(source);
    source_ = source;
    sprite_->rect = RECT{0, 0, LONG(graphic_->client_width()), LONG(graphic_->client_height())};
    sprite_->fit_texture(0.0f);
    // Copied with its colour as it is: the off-screen screen's own alpha
    // must neither darken the copy nor drop texels at the alpha test.
    sprite_->blend = 4;
    target = destination;
    return true;
}

// When the off-screen screen and the back buffer are the same size and
// nothing is scaled, the copy is a plain one-to-one blit: it needs no clear
// and no vertices, so it never waits for the device to take a vertex upload.
bool graphic_screen_render_layer::copy_whole() {
    if (!target || !source_ || !target->render_surface() || !source_->render_surface())
        return false;
    const uint32_t w = graphic_->client_width(), h = graphic_->client_height();
    if (target->width() != w || target->height() != h || source_->width() != w ||
        source_->height() != h)
        return false;
    const RECT r{0, 0, LONG(w), LONG(h)};
    return SUCCEEDED(graphic_->device()->StretchRect(source_->render_surface(), &r,
                                                     target->render_surface(), &r,
                                                     D3DTEXF_POINT));
}

bool graphic_screen_render_layer::render() {
    if (!sprite_) return false;
    bool unscaled = graphic_->present_parameters().Windowed || !graphic_->scaling();
    if (unscaled && copy_whole()) return true;
    if (target && !target->set_target()) return false;
    sprite_->scale_x = unscaled ? 1.0f : graphic_->fs_scale_x();
    sprite_->scale_y = unscaled ? 1.0f : graphic_->fs_scale_y();
    sprite_->update_bound();
    graphic_sprite* batch = graphic_->sprite();
    if (!batch || FAILED(batch->begin(sprite_begin_alpha))) return false;
    sprite_->fit_texture(0.0f);
    bool result = sprite_->render();
    batch->end();
    return result;
}
