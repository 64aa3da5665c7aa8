// The universal transition: a wipe of the old scene through a mask image.
#include <new>

#include "core/lua_readers.h"
#include "core/system_log.h"
#include "graphics/graphic.h"
#include "graphics/transition.h"

#include "lua.h"

namespace {
bool file_system_path(const char* name, wstring& path, string& entry) {
    entry = string();
    return name && *name && string_to_wstring(name, path);
}

transition_image_resolver image_resolver = file_system_path;

const char* const origin = "system.transit";
}  // namespace

void set_transition_image_resolver(transition_image_resolver resolver) {
    image_resolver = resolver ? resolver : file_system_path;
}

universal_transition::~universal_transition() { free_textures(); }

void universal_transition::free_textures() {
    for (graphic_texture** t : {&copy_, &shown_}) {
        if (*t) graphic_->delete_object(*t);
        *t = nullptr;
    }
}

bool universal_transition::release(bool keep) {
    bool ok = crossfade_transition::release(keep);
    free_textures();
    return ok;
}

bool universal_transition::load_mask(const string& name) {
    wstring path;
    string entry;
    if (!image_resolver(name.c_str(), path, entry)) {
        system_log_trace(1, origin, "invalid image path: %s", name.c_str());
        return false;
    }
    graphic::texture_iterator image = graphic_->load_texture(path.c_str(), entry);
    graphic_texture* source = image.get();
    bool ok = false;
    if (!source || !source->d3d_texture()) {
        system_log_trace(1, origin, "fail to load image: %s", name.c_str());
    } else {
        graphic_texture scaled(graphic_);
        ok = scaled.create_blank(mask_.width, mask_.height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, 0) &&
             scaled.duplicate(source) && scaled.get_alpha_image(mask_);
        if (!ok) system_log_trace(1, origin, "fail to create alpha image from %s", name.c_str());
    }
    if (image.valid()) graphic_->textures().release_entry(image);
    return ok;
}

bool universal_transition::read_parameters(lua_State* L, int params, bool table) {
    if (!crossfade_transition::read_parameters(L, params, table)) return false;
    string image;
    dim_ = 1;
    reverse_ = false;
    if (table) {
        lua_getfield(L, params, "image");
        if (lua_type(L, -1) == LUA_TSTRING) image = string(lua_tostring(L, -1));
        lua_getfield(L, params, "dim");
        if (lua_type(L, -1) == LUA_TNUMBER) dim_ = script_truncate_uint(lua_tonumber(L, -1));
        lua_getfield(L, params, "reverse");
        reverse_ = lua_toboolean(L, -1) != 0;
        lua_pop(L, 3);
    }
    uint32_t w = graphic_->client_width(), h = graphic_->client_height();
    if (!mask_.create(w, h)) {
        system_log_trace(1, origin, "fail to create alpha buffer(%u, %u)", w, h);
        return false;
    }
    has_mask_ = image.length() != 0;
    if (has_mask_) {
        if (!load_mask(image)) return false;
        if (reverse_)
            for (uint8_t& v : mask_.pixels) v = static_cast<uint8_t>(255 - v);
    } else {
        dim_ = duration;
    }
    if (dim_ > duration) dim_ = duration;
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t begin = dim_ == duration ? 0 : static_cast<uint32_t>(uint64_t(v) * (duration - dim_) / 256);
        interval_[v][0] = begin;
        interval_[v][1] = dim_ == duration ? duration : begin + dim_;
        level_[v] = 255;
    }
    return true;
}

bool universal_transition::start(graphic_texture* n, graphic_texture* o, int32_t first, int32_t second) {
    if (colour_given_ && !(fade_ ? n : o)->fill(colour_)) return false;
    uint32_t w = graphic_->client_width(), h = graphic_->client_height();
    copy_ = graphic_->new_texture(true);
    shown_ = graphic_->new_texture(true);
    if (!copy_ || !shown_ || !copy_->create_blank(w, h, o->format(), D3DPOOL_SYSTEMMEM, 0) ||
        !copy_->duplicate(o) || !copy_->get_alpha_image(work_) ||
        !shown_->create_blank(w, h, o->format(), D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC))
        return false;
    if (!old_.attach(shown_, second, 0.0f)) return false;
    int32_t id = second;
    graphic_->resolve_layer_index(id);
    graphic_render_layer* layer = graphic_->get_layer(id);
    saved_state_ = layer ? layer->flags & layer_state_mask : 0;
    graphic_->update_layer_state(second, layer_state_mask, 0);
    if (!transition::start(n, o, first, second)) return false;
    old_.get()->fit_texture(0.0f);
    return true;
}

bool universal_transition::finish() {
    graphic_->update_layer_state(second_layer, layer_state_mask, saved_state_);
    return true;
}

bool universal_transition::step() {
    uint32_t t = elapsed;
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t begin = interval_[v][0], end = interval_[v][1];
        if (t < begin) continue;
        level_[v] = t < end && dim_ != 0 ? static_cast<uint8_t>(255 - (t - begin) * 255 / dim_) : 0;
    }
    for (uint32_t y = 0; y < work_.height; ++y) {
        uint8_t* out = work_.row(y);
        const uint8_t* in = has_mask_ && y < mask_.height ? mask_.row(y) : nullptr;
        for (uint32_t x = 0; x < work_.width; ++x) out[x] = level_[in && x < mask_.width ? in[x] : 0];
    }
    if (!copy_->set_alpha_image(work_) || !shown_->update(copy_)) return false;
    old_.get()->fit_texture(0.0f);
    fit_texture(1.0f);
    return count_step();
}
