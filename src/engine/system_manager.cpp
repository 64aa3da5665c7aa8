#include "engine/system_manager.h"

#include <windows.h>

#include <cstdarg>
#include <new>

#include "controls/control_library.h"
#include "engine/control_hooks_install.h"
#include "actions/action_library.h"
#include "core/script.h"
#include "core/system_log.h"
#include "core/trace.h"
#include "core/frame_timer.h"
#include "engine/field_view_hooks.h"
#include "engine/frame_loop.h"
#include "engine/math_library.h"
#include "engine/action_hooks.h"
#include "engine/script_files.h"
#include "engine/system_library.h"
#include "engine/system_log.h"
#include "graphics/graphic.h"
#include "graphics/graphic3d.h"
#include "graphics/render_layer.h"
#include "graphics/text.h"
#include "graphics/texture.h"
#include "graphics/transition.h"
#include "input/input.h"
#include "sound/sound.h"
#include "input/inputs_library.h"
#include "world/actor_object.h"
#include "world/extend_action.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"

#include "lauxlib.h"
#include "lua.h"

namespace {
void report_script_error(const char* label, const script_error_info& info) {
    system_manager::trace(1, label, "%s", info.message.c_str());
    if (!info.trace_text.empty()) system_manager::trace(1, "\n", "%s", info.trace_text.c_str());
}
}  // namespace

system_manager::system_manager() : fonts_(graphic::instance()) {
    set_frame_counter(&frame_);
    set_sprite_image_resolver(resolve_image_file);
    set_mesh_texture_resolver(resolve_image_file);
    input_shared().resolve_replay = [](const char* name, wstring& path) {
        string entry;
        return search_path_resolve(engine_system_manager_object().paths(), -4, name, path, entry) && entry.empty();
    };
    set_transition_image_resolver(resolve_image_file);
    sound_manager::set_file_resolver(resolve_sound_file);
    sound_manager::set_view_hooks(field_sound_view_hooks());
}

system_manager::~system_manager() {
    release_all();
    sound_manager::set_view_hooks(nullptr);
    if (instance() == this) set_frame_counter(nullptr);
}

void system_manager::trace(int32_t level, const char* origin, const char* format, ...) {
    i_system_log* log = system_log();
    if (!log || level > log->level()) return;
    va_list args;
    va_start(args, format);
    string text;
    string_vprintf(text, format, args);
    va_end(args);
    log->write(level, origin, text.c_str());
}

bool system_manager::init_trace(const wstring& path, bool overwrite) {
    return engine_system_log().open(path, overwrite);
}

void system_manager::set_main_script(const wstring& name) {
    main_script_ = string();
    int n = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
        main_script_.chars().resize(static_cast<size_t>(n));
        WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, main_script_.chars().data(), n, nullptr,
                            nullptr);
    }
}

bool system_manager::initialize(const wstring& font_face, const wstring& main_script, bool debug) {
    set_main_script(main_script);
    if (!font_face.empty()) fonts_.set_default_face(font_face.c_str());
    debug_ = debug ? 1 : 0;
    if (!create_render_world()) return false;
    if (!create_default_transition()) return false;
    if (!create_overlay()) return false;
    // Games that keep the old save extension may still have headerless saves.
    if (paths_.builtin[3].second == string("vys")) {
        TRACE_ERROR("system_manager::initialize", "allow old format save data file", 0);
        save_.set_allow_old_format(true);
    }
    if (!init_script()) {
        TRACE_ERROR("system_manager::initialize", "init_script", -1);
        return false;
    }
    return true;
}

bool system_manager::set_path(int32_t path_id, int32_t index) {
    int32_t k = path_id < 0 ? -1 - path_id : path_id;
    if (k < 0 || k >= search_path_builtin_count) {
        trace(0, "system.set_path(-)", "invalid path-id %d", path_id);
        return false;
    }
    string origin;
    string_printf(origin, "system.set_path(%s)", search_path_set::builtin_name(-1 - k));
    search_path& current = paths_.builtin[k];
    if (index < 0) {
        current = saved_paths_[k];
        trace(6, origin.c_str(), "restore");
        return true;
    }
    if (index == 0) {
        current = search_path();
        trace(6, origin.c_str(), "disable");
        return true;
    }
    if (index > static_cast<int32_t>(paths_.added.size())) {
        trace(0, origin.c_str(), "invalid path index %d", index);
        return false;
    }
    current = paths_.added[static_cast<size_t>(index - 1)];
    if (!current.validate()) {
        trace(0, origin.c_str(), "failed in setting of path[%d]", index);
        return false;
    }
    if (saved_paths_[k].path.empty()) saved_paths_[k] = current;
    trace(6, origin.c_str(), "set path[%d]", index);
    return true;
}

bool system_manager::add_patch() {
    search_path& r = paths_.builtin[search_path_builtin_count - 1];
    std::vector<string> names;
    if (!r.find_files(names)) return true;  // no patch pattern, nothing to add
    for (const string& name : names) {
        wstring wide_name, full;
        string_to_wstring(name, wide_name);
        full = r.path;
        if (!full.empty() && full.c_str()[full.length() - 1] != L'\\') full += L"\\";
        full += wide_name;
        paths_.add_patch(full.c_str());
        trace(6, "system.add_patch", "add patch path[%d] \"%s\"",
              static_cast<int>(paths_.patches.size()) - 1, name.c_str());
    }
    return true;
}

bool system_manager::create_render_world() {
    graphic* g = graphic::instance();
    draws_direct_ = 0;
    for (int i = 0; i < 2; ++i) {
        render_targets_[i] = graphic_render_target_create(g);
        if (!render_targets_[i]) {
            TRACE_ERROR("system_manager::initialize", "graphic::create_object", i + 1);
            return false;
        }
        render_targets_[i]->clear_color = 0xFF000000;
        if (!render_targets_[i]->create(0, 0)) {
            TRACE_ERROR("system_manager::initialize", "graphic_render_target::create", i + 1);
            return false;
        }
    }
    struct layer_entry {
        int32_t (*create)(graphic*);
        const char* failure;
        bool world;  // draws into render target 0
    };
    static const layer_entry layers[system_layer_count] = {
        {[](graphic* gr) { return gr->create_render_layer<graphic_opaque_sprite_render_layer>(); },
         "graphic::create_render_layer<graphic_opaque_sprite_render_layer>[BackGroundLayer]", true},
        {[](graphic* gr) { return gr->create_render_layer<graphic_sprite_blendstate_layer>(); },
         "graphic::create_render_layer<graphic_sprite_blendstate_layer>[ObjectLayer]", true},
        {[](graphic* gr) { return gr->create_render_layer<graphic_addalpha_sprite_render_layer>(); },
         "graphic::create_render_layer<graphic_alpha_sprite_render_layer>[EffectLayer]", true},
        {[](graphic* gr) { return gr->create_render_layer<graphic_sprite_staterender_layer>(); },
         "graphic::create_render_layer<graphic_opaque_sprite_alpharender_layer>[TransitLayer]", false},
        {[](graphic* gr) { return gr->create_render_layer<graphic_sprite_staterender_layer>(); },
         "graphic::create_render_layer<graphic_opaque_sprite_alpharender_layer>[TransitSecondaryLayer]", false},
        {[](graphic* gr) { return gr->create_render_layer<graphic_alpha_sprite_render_layer>(); },
         "graphic::create_render_layer<graphic_alpha_sprite_render_layer>[InterfaceLayer]", false},
        {[](graphic* gr) { return gr->create_render_layer<graphic_alpha_sprite_render_layer>(); },
         "graphic::create_render_layer<graphic_alpha_sprite_render_layer>[SystemLayer]", false},
    };
    for (int i = 0; i < system_layer_count; ++i) {
        layer_ids_[i] = layers[i].create(g);
        if (layer_ids_[i] < 0) {
            TRACE_ERROR("system_manager::initialize", layers[i].failure, -1);
            return false;
        }
        // The graphic's off-screen screen (its "back buffer"; the screen layer
        // copies it to the device's back buffer).
        graphic_render_target* target = layers[i].world && render_targets_[0] ? render_targets_[0]
                                                                               : g->back_buffer();
        g->set_layer_target(layer_ids_[i], target);
    }
    set_render_layer_table(layer_ids_, system_layer_count);
    set_background_colour(0xFF000000);
    return true;
}

void system_manager::set_background_colour(uint32_t colour) {
    if (colour == background_colour_) return;
    background_colour_ = colour;
    graphic* g = graphic::instance();
    if (g && g->back_buffer()) g->back_buffer()->clear_color = colour;
    set_transition_background(colour);
    for (graphic_render_target* t : render_targets_)
        if (t) t->clear_color = colour;
}

void system_manager::set_layer_visible(int position, bool visible) {
    if (position < 0 || position >= system_layer_count) return;
    graphic* g = graphic::instance();
    int32_t id = layer_ids_[position];
    g->resolve_layer_index(id);
    graphic_render_layer* layer = g->get_layer(id);
    if (!layer) return;
    if (visible) layer->flags &= ~0x80000000u;
    else layer->flags |= 0x80000000u;
}

bool system_manager::init_script() {
    frame_ = 0;
    set_script_error_trace(&engine_system_log().file());
    trace(6, "system", "initialize");
    script s;
    if (!s.open(script_all_libs)) {
        TRACE_ERROR("system_manager::intialize", "script::open", -1);
        return false;
    }
    lua_ = s.state();
    register_system_library(lua_);
    lua_pop(lua_, 1);
    register_math_additions(lua_);
    register_string_additions(lua_);
    register_images_library(lua_);
    breakpoints_.attach(lua_);  // the list outlives a restart
    if (!fields_.initialize(lua_)) {
        TRACE_ERROR("system_manager::intialize", "field_manager::initialize", -1);
        return false;
    }
    init_field_view();
    // The action library registers here as it is built.
    actions_.set_lua(lua_);
    install_action_hooks();
    action_library_register(lua_);
    install_control_hooks();
    control_action_register(lua_);
    if (!objects_.initialize(lua_)) {
        TRACE_ERROR("system_manager::intialize", "object_manager::initialize", -1);
        return false;
    }
    if (!sounds_.init_script(lua_)) {
        TRACE_ERROR("system_manager::intialize", "sound_manager::initialize", -1);
        return false;
    }
    inputs_library_register(lua_);
    if (!system_main()) {
        TRACE_ERROR("system_manager::intialize", "system_main", -1);
        return false;
    }
    running_ = 1;
    return true;
}

bool system_manager::system_main() {
    script_error_info info;
    wstring path;
    string package;
    bool ok = find_script(main_script_, path, package) &&
              script_load_path(path, lua_, package, info) && script(lua_).call(0, 0, info);
    if (!ok) {
        TRACE_ERROR("system_manager::system_main", "script::exec", -1);
        report_script_error("system.exec", info);
    }
    return ok;
}

void system_manager::init_field_view() {
    graphic* g = graphic::instance();
    fields_.init_view(g ? int32_t(g->client_width()) : 0, g ? int32_t(g->client_height()) : 0, 16, 16);
}

bool system_manager::restart_script() {
    restart_requested_ = 0;
    // The running transition ends first, so its end event reaches its actor.
    set_transition(nullptr);
    release_script();
    return init_script();
}

void system_manager::carry_out_restart() {
    if (restart_requested_ && !restart_script()) TRACE_ERROR("system_manager::restart_script", "init_script", -1);
}

void system_manager::release_script() {
    if (!lua_) return;
    trace(6, "system", "release");
    sounds_.clear_classes();
    sounds_.clear_channels();
    // Extend actions first: they still reach their owners while going.
    auto& extends = actions_.extend_list();
    while (!extends.empty()) {
        extend_action* action = extends.front();
        if (action) extend_action_delete(action);
        else extends.pop_front();
    }
    // The threads' hold on their owners goes while the actors are still there.
    for (script_thread& t : threads_) actor_ref_release(t.owner);
    inputs_.clear_events();
    fields_.release_all();
    objects_.actors.clear_all();
    // Sprite classes hold frame extend references of this state, and bare
    // sprites draw until deleted: both go before the state closes.
    objects_.sprites.release_script(lua_);
    threads_.clear();
    clear_callbacks();
    script(lua_).close();
    lua_ = nullptr;
    actions_.set_lua(nullptr);
}

// The whole tear-down, run by the entry before static destruction: channels,
// transitions, the script side (world objects, sprite classes, threads, the
// state), save data, snapshots. The destructor finds nothing left.
void system_manager::release_all() {
    restart_requested_ = 0;
    close_channels();
    end_transition();
    if (default_transition_) {
        default_transition_->release(false);
        delete default_transition_;
        default_transition_ = nullptr;
    }
    release_script();
    save_.discard();
    release_snapshots();
    release_overlay();
}

void system_manager::clear_callbacks() {
    // The slots name entries of the closing state's registry: a restart
    // must not call what a new state happens to hold under those numbers.
    for (auto& slot : callbacks_) slot = {0, 0};
}

bool system_manager::set_callback(int id) {
    if (!lua_ || id < 0 || id >= callback_count) return false;
    int ref = luaL_ref(lua_, LUA_REGISTRYINDEX);
    if (ref < 1) return false;
    if (callbacks_[id].kind != 0) luaL_unref(lua_, LUA_REGISTRYINDEX, callbacks_[id].reference);
    callbacks_[id] = {130, ref};
    return true;
}

bool system_manager::call_callback(int id, int count, const callback_value* values, int32_t& result) {
    if (id < 0 || id >= callback_count || callbacks_[id].kind == 0 || !lua_) return false;
    lua_State* L = lua_;
    int top = lua_gettop(L);
    lua_rawgeti(L, LUA_REGISTRYINDEX, callbacks_[id].reference);
    if (!lua_isfunction(L, -1)) {
        // A slot whose entry no longer holds a function is a failed call.
        lua_settop(L, top);
        trace(1, "system.callback", "callback %d is not a function", id);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const callback_value& v = values[i];
        switch (v.kind) {
        case callback_value::kind_number: lua_pushnumber(L, v.number); break;
        case callback_value::kind_int: lua_pushnumber(L, v.integer); break;
        case callback_value::kind_uint: lua_pushnumber(L, v.uinteger); break;
        case callback_value::kind_bool: lua_pushboolean(L, v.boolean != 0); break;
        case callback_value::kind_string: lua_pushstring(L, static_cast<const char*>(v.pointer)); break;
        case callback_value::kind_pointer: lua_pushlightuserdata(L, const_cast<void*>(v.pointer)); break;
        case callback_value::kind_stack:
        case callback_value::kind_table:
        case callback_value::kind_other: lua_pushvalue(L, v.index); break;
        default: lua_pushnil(L); break;
        }
    }
    script_error_info info;
    if (!script(L).call(count, 1, info)) {
        report_script_error("system.callback", info);
        lua_settop(L, top);
        return false;
    }
    switch (lua_type(L, -1)) {
    case LUA_TNIL:
    case LUA_TNONE: result = -1; break;
    case LUA_TBOOLEAN: result = lua_toboolean(L, -1) ? 1 : 0; break;
    case LUA_TNUMBER: result = static_cast<int32_t>(lua_tonumber(L, -1)); break;
    case LUA_TSTRING: result = lua_isnumber(L, -1) ? static_cast<int32_t>(lua_tonumber(L, -1)) : 0; break;
    default: result = 0; break;
    }
    lua_settop(L, top);
    return true;
}

void system_manager::resume_threads() {
    // Threads forked during the walk were resumed once by the fork; they
    // start taking frames from the next one.
    size_t left = threads_.size();
    for (auto it = threads_.begin(); left > 0 && it != threads_.end(); --left) {
        script_error_info info;
        int rc = script(it->thread).resume(0, &info);
        if (rc == 0) {
            ++it;
            continue;
        }
        if (rc < 0) report_script_error("script.resume", info);
        else notify_thread_end(*it);
        luaL_unref(lua_, LUA_REGISTRYINDEX, it->reference);
        actor_ref_release(it->owner);
        it = threads_.erase(it);
    }
}

void system_manager::notify_thread_end(const script_thread& t) {
    if (t.owner) actor_throw_event(t.owner, t.end_event, nullptr, script_value{0, 0});
}

bool system_manager::create_thread(actor_object* owner, int32_t end_event, lua_State* from,
                                   const char* name) {
    if (!lua_) return false;
    lua_State* thread = nullptr;
    int ref = script(lua_).create_thread(thread);
    if (ref == 0 || !thread) {
        TRACE_ERROR("system_manager::create_thread", "scipt::create_thread", -1);
        return false;
    }
    script_error_info info;
    if (name) {
        wstring path;
        string package;
        if (!find_script(name, path, package) || !script_load_path(path, thread, package, info)) {
            report_script_error("system.fork", info);
            luaL_unref(lua_, LUA_REGISTRYINDEX, ref);
            return false;
        }
    } else {
        lua_xmove(from, thread, 1);
    }
    script_thread record = {thread, ref, owner, end_event};
    int rc = script(thread).resume(0, &info);
    if (rc == 0) {
        // The owner may die before the thread ends: the thread keeps its
        // record until then, so the end event finds a dead actor, not freed
        // memory.
        threads_.push_back(record);
        threads_.back().owner = nullptr;
        actor_ref_assign(threads_.back().owner, owner);
        return true;
    }
    if (rc < 0) report_script_error("system.fork", info);
    else notify_thread_end(record);
    luaL_unref(lua_, LUA_REGISTRYINDEX, ref);
    return rc == 1;
}

int32_t system_manager::onframe(bool show_overlay) {
    int32_t result = 0;
    if (active_) {
        ++frame_;
        inputs_.dispatch_events();
        resume_threads();
        extend_actions_update();
        objects_.update();
        if (!objects_.actors.update()) result = -1;
        if (objects_.act_frame && !objects_.actors.update_late()) result = -1;
        if (script_error_status != 0) {
            TRACE_ERROR("system_manager::onframe", "fatal error", script_error_status);
            result = -1;
        }
        end_frame();
    }
    debug_info_text(show_overlay);
    return result;
}

bool system_manager::create_overlay() {
    graphic* g = graphic::instance();
    // "ＭＳ ゴシック", 16 pixels, with an edge so it reads over any scene.
    overlay_font_ = fonts_.get_font_handle(L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF", 16, 0, 0x1830000u, 0);
    if (!overlay_font_.is_valid()) {
        TRACE_ERROR("system_manager::initialize", "graphic_font_manager::create", -1);
        return false;
    }
    overlay_text_ = g ? new (std::nothrow) graphic_font_object(g) : nullptr;
    if (!overlay_text_ || !g->attach_render_object(overlay_text_, layer_ids_[layer_system])) {
        delete overlay_text_;
        overlay_text_ = nullptr;
        TRACE_ERROR("system_manager::initialize", "new graphic_font_object", -1);
        return false;
    }
    overlay_text_->style.font = overlay_font_;
    overlay_text_->rect = RECT{0, 0, LONG(g->client_width()), LONG(g->client_height())};
    overlay_text_->format_flags = 0x600;
    overlay_text_->set_flag(render_flag_hidden, true);
    return true;
}

void system_manager::release_overlay() {
    if (overlay_text_) {
        graphic* g = overlay_text_->owner();
        if (graphic_render_layer* layer = g ? g->get_layer(overlay_text_->layer_id) : nullptr) {
            layer->objects.remove(overlay_text_);
            layer->flags |= layer_flag_object_removed;
        }
        delete overlay_text_;
        overlay_text_ = nullptr;
    }
    overlay_font_.release();
}

void system_manager::debug_info_text(bool show) {
    if (!overlay_text_) return;
    if (!show) {
        overlay_text_->set_flag(render_flag_hidden, true);
        return;
    }
    graphic* g = graphic::instance();
    sound* s = sound::instance();
    const float* view = fields_.view.point;
    string text;
    string_printf(text, "%s\nview = (%f, %f, %f)\nvolume = %3.1f\n%.1f", running_ ? "" : "pause", view[0],
                  view[1], view[2], s ? s->volume() : 0.0f, engine_frame_timer().rate());
    overlay_text_->rect = RECT{0, 0, LONG(g ? g->client_width() : 0), LONG(g ? g->client_height() : 0)};
    overlay_text_->set_flag(render_flag_hidden, false);
    overlay_text_->format(text.c_str(), nullptr);
}

bool system_manager::after_frame() {
    if (active_) objects_.end_frame();
    active_ = running_;
    if (step_once_) {
        active_ = 1;
        step_once_ = 0;
    }
    return poll_channels();
}
