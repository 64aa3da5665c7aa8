#include "actions/text_action.h"

#include <new>

#include "actions/action_library.h"
#include "actions/action_view.h"
#include "core/lua_readers.h"
#include "core/system_log.h"
#include "graphics/graphic.h"
#include "graphics/text.h"
#include "lua.h"
#include "world/actor_manager.h"
#include "world/actor_object.h"
#include "world/sprite_manager.h"

namespace {
const char* const parse_label = "text_action.parse";
const char* const request_label = "text_action.request";
const uint32_t released_value = 0x80000000u;  // a counter taken back by a clear

// Readers that throw their message: a nil optional element keeps out.
bool read_number(lua_State* L, int index, double& out) {
    if (lua_type(L, index) != LUA_TNUMBER && !lua_isnumber(L, index)) return false;
    out = lua_tonumber(L, index);
    return true;
}

template <class T, class Convert>
void element(lua_State* L, int table, int n, const char* key, T& out, bool required,
             const char* message, Convert convert) {
    if (key) {
        lua_getfield(L, table, key);
    } else {
        lua_rawgeti(L, table, n);
    }
    double v = 0;
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        if (required) throw message;
        return;
    }
    if (!read_number(L, -1, v)) {
        lua_pop(L, 1);
        throw message;
    }
    lua_pop(L, 1);
    out = convert(v);
}

void int_at(lua_State* L, int t, int n, int32_t& out, bool required, const char* message) {
    element(L, t, n, nullptr, out, required, message, script_truncate_int);
}
void uint_at(lua_State* L, int t, int n, uint32_t& out, bool required, const char* message) {
    element(L, t, n, nullptr, out, required, message, script_truncate_uint);
}
void float_at(lua_State* L, int t, int n, float& out, bool required, const char* message) {
    element(L, t, n, nullptr, out, required, message, [](double v) { return float(v); });
}

// The four box members of the table at the index, all required.
void read_box(lua_State* L, int t, int32_t out[4], const char* const messages[4]) {
    for (int i = 0; i < 4; ++i) int_at(L, t, i + 1, out[i], true, messages[i]);
}

const char* const parse_box_messages[4] = {"no text_action.rect.left", "no text_action.rect.top",
                                           "no text_action.rect.right",
                                           "no text_action.rect.bottom"};
const char* const request_box_messages[4] = {"no rect.left", "no rect.top", "no rect.right",
                                             "no rect.bottom"};

// Reads the box from field key (or element [4] when key is null); false
// when it is absent.
bool box_from(lua_State* L, int t, const char* key, const char* invalid, int32_t out[4]) {
    if (key) {
        lua_getfield(L, t, key);
    } else {
        lua_rawgeti(L, t, 4);
    }
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        throw invalid;
    }
    const int box = lua_gettop(L);
    read_box(L, box, out, parse_box_messages);
    lua_pop(L, 1);
    return true;
}

void parse_into(lua_State* L, int t, text_action_info& info) {
    int_at(L, t, 1, info.size, false, "invalid text_action.size");
    int_at(L, t, 2, info.weight, false, "invalid text_action.weight");
    lua_rawgeti(L, t, 3);
    if (!lua_isnil(L, -1)) {
        if (lua_type(L, -1) != LUA_TSTRING || !string_to_wstring(lua_tostring(L, -1), info.face)) {
            lua_pop(L, 1);
            throw "invalid text_action.face";
        }
    } else if (graphic_font_manager* fonts = graphic_font_manager::instance()) {
        info.face = fonts->default_face();
    }
    lua_pop(L, 1);
    if (box_from(L, t, "rect", "invalid text_action.rect", info.box)) {
        info.box_mode = text_action_info::box_rect;
    } else if (box_from(L, t, "margin", "invalid text_action.margin", info.box)) {
        info.box_mode = text_action_info::box_margin;
    } else {
        box_from(L, t, nullptr, "invalid text_action.rect", info.box);
        info.box_mode = text_action_info::box_insets;
    }
    element(L, t, 0, "cache", info.cache, false, "invalid text_action.cache", script_truncate_int);
    lua_getfield(L, t, "ascii");
    if (!lua_isnil(L, -1)) {
        if (!lua_isboolean(L, -1)) {
            lua_pop(L, 1);
            throw "invalid text_action.ascii";
        }
        info.ascii = lua_toboolean(L, -1) != 0;
    }
    lua_pop(L, 1);
}

// An alpha of 0 to 1 as a colour's alpha byte, truncated and kept in range
// so a value above 1 cannot spill into the colour below.
uint32_t alpha_byte(float a) {
    const float v = a * 255.0f;
    if (!(v > 0.0f)) return 0;
    return v >= 255.0f ? 255u : uint32_t(v);
}

D3DCOLOR with_alpha(D3DCOLOR c, uint32_t a) { return (c & 0x00FFFFFFu) | a << 24; }

bool number_value(lua_State* L, int index, double& out) {
    return read_number(L, index, out);
}
}  // namespace

text_action_info* text_action_parse(lua_State* L) {
    text_action_info* info = new (std::nothrow) text_action_info;
    if (!info) {
        system_log_trace(1, parse_label, "no memory");
        return nullptr;
    }
    const int top = lua_gettop(L);
    try {
        if (!lua_istable(L, top)) throw "invalid text_action";
        parse_into(L, top, *info);
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, parse_label, "%s", message);
        delete info;
        return nullptr;
    }
    return info;
}

bool text_action::text_render::render() {
    actor_object* owner = action ? action->owner : nullptr;
    if (owner && (owner->flags & actor_hidden_by_script)) return true;
    return graphic_font_object2::render();
}

text_action::~text_action() {
    if (renderer) {
        if (graphic* g = renderer->owner()) g->detach_render_object(renderer);
        delete renderer;
        renderer = nullptr;
    }
    actor_ref_release(notify);
    font.release();
}

bool text_action::init(actor_object* actor, const text_action_info* info) {
    graphic_font_manager* fonts = graphic_font_manager::instance();
    graphic* g = graphic::instance();
    if (!info || !fonts || !g || !actor) return false;
    const uint32_t flags = info->ascii ? 0x1830000u : 0x3830000u;
    font = fonts->get_font_handle(info->face.c_str() ? info->face.c_str() : L"", info->size,
                                  info->weight, flags, uint32_t(info->cache));
    if (!font.is_valid()) return false;

    int32_t layer = -1;
    const int32_t index = actor->cls ? int32_t((actor->cls->flags & class_layer_mask) >> 8) : 0;
    if (!render_layer_from_index(index, layer)) return false;
    text_render* r = new (std::nothrow) text_render(g, this);
    if (!r) return false;
    if (!g->attach_render_object(r, layer)) {
        delete r;
        return false;
    }
    if (renderer) {
        // A second init replaces the renderer of the first.
        if (graphic_render_layer* old = g->get_layer(renderer->layer_id)) {
            old->objects.remove(renderer);
            old->flags |= layer_flag_object_removed;
        }
        delete renderer;
    }
    renderer = r;
    renderer->font = font;
    set_box(info->box, info->box_mode);
    z_offset = 1;
    set_flags(0x8000u);
    return true;
}

// Insets from the owner's class rectangle when it has a width; a margin
// without one is taken from the screen; a rect is taken as it is.
void text_action::set_box(const int32_t in[4], int32_t mode) {
    const float* cr = owner && owner->cls ? owner->cls->rect : nullptr;
    int32_t out[4] = {in[0], in[1], in[2], in[3]};
    if (mode != text_action_info::box_rect) {
        if (cr && cr[2] - cr[0] > 0.0f) {
            out[0] = int32_t(cr[0]) + in[0];
            out[1] = int32_t(cr[1]) + in[1];
            out[2] = int32_t(cr[2]) - in[2];
            out[3] = int32_t(cr[3]) - in[3];
        } else if (mode == text_action_info::box_margin) {
            graphic* g = graphic::instance();
            out[2] = (g ? int32_t(g->client_width()) : 0) - in[2];
            out[3] = (g ? int32_t(g->client_height()) : 0) - in[3];
        }
    }
    for (int i = 0; i < 4; ++i) box[i] = out[i];
    if (renderer) renderer->rect = RECT{out[0], out[1], out[2], out[3]};
}

// The renderer keeps its hidden bit among its render flags and the rest
// among its text flags; scripts see one word.
uint32_t text_action::flag_word() const {
    if (!renderer) return 0;
    return (renderer->text_flags & 0x7FFFFFFFu) | (renderer->flags & render_flag_hidden);
}

void text_action::set_flags(uint32_t flags) {
    if (!renderer) return;
    renderer->text_flags = flags & 0x7FFFFFFFu;
    renderer->set_flag(render_flag_hidden, (flags & render_flag_hidden) != 0);
}

void text_action::suspend() {
    saved_flags = flag_word();
    if (renderer) renderer->set_flag(render_flag_hidden, true);
}

bool text_action::restore() {
    set_flags(saved_flags);
    return true;
}

int32_t text_action::key_signal() const {
    if (input_index < 0) return -1;
    const action_library_hooks& hooks = action_hooks();
    auto value_of = [&](int32_t code, int32_t& v) {
        return hooks.input_code && hooks.input_code(input_index, code, v);
    };
    int32_t k = -1;
    int32_t v = 0;
    if (key_a >= 0) {
        k = value_of(key_a, v) && uint32_t(v) != released_value && v < 0 ? 1 : 0;
    }
    if (k != 1 && key_b >= 0) {
        k = value_of(key_b, v) && v > 0 && v % 10 == 0 ? 1 : 0;
    }
    return k;
}

void text_action::step() {
    if (!renderer || renderer->glyphs.empty()) return;
    action_hold hold(this);
    const int32_t k = key_signal();
    switch (renderer->state) {
        case text_state_waiting:
            if (k > 0) renderer->set_state(text_state_revealing - 5);
            break;
        case text_state_revealing:
            if (k > 0) renderer->set_state(text_state_shown - 5);
            break;
        case text_state_revealed:
            if (k == -1 || k > 0) renderer->set_state(text_state_shown - 5);
            break;
        case text_state_shown:
            if (k > 0) renderer->set_state(text_state_closing - 5);
            break;
        case text_state_finished:
            if (finish_pending && finish_event && notify) {
                finish_pending = false;
                actor_throw_event(notify, finish_event, owner, script_value{0, 0});
                if (hold.gone() || !renderer) return;
            }
            break;
        default:
            break;
    }
    renderer->update();
    float view[3];
    owner_to_view(owner, z_offset, view);
    renderer->x = view[0];
    renderer->y = view[1];
}

bool text_action::apply(int32_t code, lua_State* L, int at) {
    if (!renderer) return false;
    text_render& r = *renderer;
    double n = 0;
    const bool is_number = number_value(L, at, n);
    switch (code) {
        case text_request_clear:
            r.text();
            return true;
        case text_request_text:
            finish_pending = true;
            if (lua_type(L, at) == LUA_TSTRING) text = lua_tostring(L, at);
            graphic_text_formalizer::layout(r, text.c_str() ? text.c_str() : "");
            return true;
        case text_request_finish:
            r.state = text_state_finished;
            r.set_state(text_state_finished - 5);
            return true;
        case text_request_color: {
            uint32_t face = 0xFFFFFFFFu, edge = 0xFF000000u;
            if (is_number && lua_type(L, at) != LUA_TTABLE) {
                face = script_truncate_uint(n);
            } else if (lua_istable(L, at)) {
                uint_at(L, at, 1, face, true, "no font color");
                uint_at(L, at, 2, edge, false, "invalid edge color");
            } else {
                return false;
            }
            r.shown_face = face;
            r.shown_edge = edge;
            r.hidden_face = with_alpha(face, 0);
            r.hidden_edge = with_alpha(edge, 0);
            return true;
        }
        case text_request_alpha: {
            float high = 1.0f, low = 0.0f;
            if (is_number) {
                high = float(n);
            } else if (lua_istable(L, at)) {
                float_at(L, at, 1, high, true, "no max alpha color");
                float_at(L, at, 2, low, false, "invalid min alpha color");
            } else {
                return false;
            }
            r.shown_face = with_alpha(r.shown_face, alpha_byte(high));
            r.shown_edge = with_alpha(r.shown_edge, alpha_byte(high));
            r.hidden_face = with_alpha(r.hidden_face, alpha_byte(low));
            r.hidden_edge = with_alpha(r.hidden_edge, alpha_byte(low));
            return true;
        }
        case text_request_timing: {
            float t[4];
            if (is_number) {
                const float f = float(n);
                t[0] = f, t[1] = f, t[2] = 5.0f * f, t[3] = 0.0f;
            } else if (lua_istable(L, at)) {
                float_at(L, at, 1, t[0], true, "no char-feed frame");
                t[1] = t[0], t[2] = 5.0f * t[0], t[3] = 0.0f;
                float_at(L, at, 2, t[1], false, "invalid fade-in frame");
                float_at(L, at, 3, t[2], false, "invalid text-show frame");
                float_at(L, at, 4, t[3], false, "invalid fade-out frame");
            } else {
                return false;
            }
            r.set_timing(t[0], t[1], t[2], t[3]);
            return true;
        }
        case text_request_notify: {
            actor_object* actor = lua_isnoneornil(L, at) ? nullptr : to_actor(L, at);
            actor_ref_assign(notify, actor);
            return true;
        }
        case text_request_visible:
            visible = lua_toboolean(L, at) != 0;
            r.set_flag(render_flag_hidden, !visible);
            return true;
        case text_request_rect: {
            if (!lua_istable(L, at)) return false;
            int32_t b[4];
            read_box(L, at, b, request_box_messages);
            set_box(b, text_action_info::box_insets);
            return true;
        }
        default:
            break;
    }
    if (!is_number) return false;
    const int32_t i = script_truncate_int(n);
    switch (code) {
        case text_request_event:
            finish_event = i;
            return true;
        case text_request_input:
            input_index = i;
            return true;
        case text_request_key_a:
            key_a = i;
            return true;
        case text_request_key_b:
            key_b = i;
            return true;
        case text_request_flags: {
            uint32_t f = script_truncate_uint(n);
            if (f & reveal_hide_at_once) f |= 0x800000u;
            set_flags(f);
            return true;
        }
        case text_request_state:
            r.state = i;
            if (i >= text_state_waiting && i <= text_state_finished) r.set_state(i - 5);
            return true;
        case text_request_z:
            z_offset = i;
            return true;
        default:
            return false;
    }
}

bool text_action_request_at(text_action* action, int32_t code, lua_State* L, int index) {
    const int top = lua_gettop(L);
    try {
        return action->apply(code, L, index);
    } catch (const char* message) {
        lua_settop(L, top);
        system_log_trace(1, request_label, "%s", message);
        return false;
    }
}

bool text_action_request(text_action* action, int32_t code, lua_State* L, script_value value) {
    if (!action || !L) return false;
    script_value_push(value, L, L);
    const int at = lua_gettop(L);
    const bool handled = text_action_request_at(action, code, L, at);
    lua_settop(L, at - 1);
    return handled;
}
