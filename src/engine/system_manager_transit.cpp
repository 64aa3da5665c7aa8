// The system manager's screen transitions: the two scene targets swap at
// every start, the running transition steps at the end of each frame, and
// the default transition shows the scene between script transitions.
#include <utility>

#include "core/trace.h"
#include "engine/system_manager.h"
#include "graphics/graphic.h"
#include "graphics/text.h"
#include "graphics/transition.h"
#include "world/actor_object.h"

namespace {
// Takes the transition out of the layer it draws in.
void detach(transition* t) {
    graphic* g = t->owner();
    graphic_render_layer* layer = g ? g->get_layer(t->layer_id) : nullptr;
    if (!layer) return;
    layer->objects.remove(t);
    layer->flags |= layer_flag_object_removed;
}

void destroy(transition* t) {
    detach(t);
    t->release(false);
    delete t;
}
}  // namespace

bool system_manager::create_default_transition() {
    default_transition_ = create_transition(0, nullptr, 0, 0);
    if (!default_transition_) {
        TRACE_ERROR("system_manager::initialize", "create_transition", -1);
        return false;
    }
    if (!set_transition(nullptr)) {
        TRACE_ERROR("system_manager::initialize", "set_transition", -1);
        return false;
    }
    return true;
}

transition* system_manager::create_transition(int32_t type, lua_State* L, int params,
                                              uint32_t duration) {
    // Scripts pass their number straight on: ids past the table are refused
    // like a creator that makes nothing.
    transition* t = type >= 0 && type < transition_type_count
                        ? transition_create(type, graphic::instance())
                        : nullptr;
    if (!t) {
        TRACE_ERROR("system_manager::create_transition", "transition_creater", -1);
        return nullptr;
    }
    if (!t->create(L, params, duration)) {
        TRACE_ERROR("system_manager::create_transition", "transition::create", -1);
        destroy(t);
        return nullptr;
    }
    transit_id_ = type;
    return t;
}

bool system_manager::start_transition(int32_t type, lua_State* L, int params, uint32_t duration,
                                      actor_object* end_actor, int32_t end_event) {
    transition* t = create_transition(type, L, params, duration);
    if (!t) {
        TRACE_ERROR("system_manager::start_transition", "create_transition", -1);
        return false;
    }
    if (!set_transition(t, end_actor, end_event)) {
        TRACE_ERROR("system_manager::start_transition", "set_transition", -1);
        destroy(t);
        return false;
    }
    return true;
}

void system_manager::notify_transition_end() {
    if (transit_notified_) return;
    transit_notified_ = 1;
    if (transit_end_actor_)
        actor_throw_event(transit_end_actor_, transit_end_event_, nullptr, script_value{0, 0});
}

// Finishes the current transition; the default one is kept for reuse.
void system_manager::end_transition() {
    if (transit_running_) notify_transition_end();
    actor_ref_release(transit_end_actor_);
    transit_running_ = 0;
    if (!transition_) return;
    transition_->finish();
    if (transition_ == default_transition_) {
        detach(transition_);
    } else {
        destroy(transition_);
    }
    transition_ = nullptr;
}

bool system_manager::set_transition(transition* t, actor_object* end_actor, int32_t end_event) {
    end_transition();
    if (!t) {
        t = default_transition_;
        transit_id_ = 0;
    }
    if (!t) return false;
    keep_old_scene();
    switch_render_target();
    // Target 0 now takes the new scene; target 1 keeps the last old one.
    int32_t first = layer_ids_[layer_transit], second = layer_ids_[layer_transit_secondary];
    if (!t->start(render_targets_[0], render_targets_[1], first, second)) {
        TRACE_ERROR("system_manager::set_transition", "transition::initialize", -1);
        detach(t);
        return false;
    }
    transition_ = t;
    actor_ref_assign(transit_end_actor_, end_actor);
    transit_end_event_ = end_event;
    transit_running_ = 1;
    transit_notified_ = 0;
    return true;
}

void system_manager::switch_render_target() {
    trace(10, "system_manager::switch_render_target", "transit id = %d", transit_id_);
    std::swap(render_targets_[0], render_targets_[1]);
    graphic* g = graphic::instance();
    graphic_render_target* target = render_targets_[0] ? render_targets_[0] : g->back_buffer();
    for (int position : {layer_background, layer_object, layer_effect})
        g->set_layer_target(layer_ids_[position], target);
}

// The world last drawn straight into the off-screen screen is what the
// next transition takes as its old scene: it goes where render target 0
// would have held it (nothing else drew there, or the world would not
// have drawn directly).
void system_manager::keep_old_scene() {
    if (!draws_direct_) return;
    graphic* g = graphic::instance();
    graphic_render_target* screen = g ? g->back_buffer() : nullptr;
    graphic_render_target* scene = render_targets_[0];
    set_draw_direct(false);
    if (!screen || !scene || !screen->render_surface() || !scene->render_surface()) return;
    HRESULT hr = g->device()->StretchRect(screen->render_surface(), nullptr,
                                          scene->render_surface(), nullptr, D3DTEXF_NONE);
    if (FAILED(hr)) TRACE_ERROR("system_manager::keep_old_scene", "StretchRect", hr);
}

// Empty, or holding only the hidden debug overlay.
bool system_manager::draws_nothing(const graphic_render_layer& layer) const {
    for (const graphic_render_object* o : layer.objects)
        if (o != overlay_text_ || !o->hidden()) return false;
    return true;
}

bool system_manager::world_can_draw_direct() const {
    graphic* g = graphic::instance();
    if (!g || !g->back_buffer() || !render_targets_[0]) return false;
    if (!transition_ || transition_ != default_transition_ || !transit_running_) return false;
    graphic_render_target* screen = g->back_buffer();
    for (int position = 0; position < system_layer_count; ++position) {
        int32_t id = layer_ids_[position];
        g->resolve_layer_index(id);
        graphic_render_layer* layer = g->get_layer(id);
        if (!layer) return false;
        switch (position) {
        case layer_background:
        case layer_object:
        case layer_effect:
            if (layer->target != render_targets_[0] && layer->target != screen) return false;
            break;
        case layer_transit:
            // Only the default transition's plain, opaque copy of the scene.
            if ((layer->flags & (layer_flag_hidden | 0xFFFFu)) != 4) return false;
            if (layer->objects.size() != 1 || layer->objects.front() != transition_) return false;
            if (transition_->hidden() || transition_->color != 0xFFFFFFFFu) return false;
            if (layer->target && layer->target != screen) return false;
            break;
        default:
            break;
        }
    }
    // Every other layer that would draw into the off-screen screen is empty
    // or hidden: the screen then holds nothing but the world.
    for (graphic_render_layer* layer : g->layers()) {
        bool world = false;
        for (int position : {layer_background, layer_object, layer_effect, layer_transit}) {
            int32_t id = layer_ids_[position];
            g->resolve_layer_index(id);
            if (g->get_layer(id) == layer) world = true;
        }
        if (world || (layer->flags & layer_flag_hidden) || draws_nothing(*layer)) continue;
        graphic_render_target* t = layer->target ? layer->target : screen;
        if (t == screen || t == render_targets_[0] || t == render_targets_[1]) return false;
    }
    return true;
}

void system_manager::set_draw_direct(bool on) {
    draws_direct_ = on;
    graphic* g = graphic::instance();
    if (!g) return;
    graphic_render_target* target = on ? g->back_buffer() : render_targets_[0];
    if (!target) target = g->back_buffer();
    for (int position : {layer_background, layer_object, layer_effect}) {
        g->set_layer_target(layer_ids_[position], target);
        int32_t id = layer_ids_[position];
        g->resolve_layer_index(id);
        // The copy it replaces leaves the screen opaque.
        if (graphic_render_layer* layer = g->get_layer(id)) layer->keep_alpha = on;
    }
    int32_t id = layer_ids_[layer_transit];
    g->resolve_layer_index(id);
    if (graphic_render_layer* layer = g->get_layer(id)) layer->skipped = on;
}

void system_manager::prepare_render() {
    bool direct = world_can_draw_direct();
    if (direct != (draws_direct_ != 0)) set_draw_direct(direct);
    graphic* g = graphic::instance();
    graphic_render_target* screen = g ? g->back_buffer() : nullptr;
    if (!direct || !screen) return;
    // Cleared as render target 0 would be, opaque as the copy leaves it.
    screen_clear_colour_ = screen->clear_color;
    screen->clear_color = render_targets_[0]->clear_color | 0xFF000000u;
}

void system_manager::finish_render() {
    graphic* g = graphic::instance();
    if (draws_direct_ && g && g->back_buffer()) g->back_buffer()->clear_color = screen_clear_colour_;
}

void system_manager::end_frame() {
    if (!transition_ && !set_transition(nullptr)) return;
    if (!transit_running_ || transit_notified_ || transit_suspended_) return;
    if (!transition_->step()) notify_transition_end();
}
