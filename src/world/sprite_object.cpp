#include "world/sprite_object.h"

#include <cmath>

#include "graphics/graphic.h"
#include "graphics/texture.h"
#include "world/actor_manager.h"
#include "world/field.h"
#include "world/live_objects.h"
#include "world/object_pool.h"
#include "world/object_container.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"

namespace {
constexpr float degree = 0.017453292f;

// Never destroyed: sprites may still be deleted by other objects' static
// destructors at exit.
object_pool& sprite_pool() {
    static object_pool* pool = new object_pool(sizeof(sprite_object));
    return *pool;
}
}  // namespace

void* sprite_object::operator new(size_t size) {
    void* p = operator new(size, std::nothrow);
    if (!p) throw std::bad_alloc();
    return p;
}

void* sprite_object::operator new(size_t, const std::nothrow_t&) noexcept { return sprite_pool().allocate(); }

void sprite_object::operator delete(void* p) noexcept { sprite_pool().release(p); }

void sprite_object::operator delete(void* p, const std::nothrow_t&) noexcept { sprite_pool().release(p); }

// Sprites are render objects of the graphic, which the engine always has.
sprite_object::sprite_object(graphic* owner, st_sprite_class* c, int32_t layer)
    : graphic_sprite_object(owner ? owner : graphic::instance()), base_class(c), cls(c) {
    owner = graphic_;
    live_object_add(this, live_sprite);
    if (c) sprite_class::lock(c, false);
    if (owner && layer >= 0 && !owner->attach_render_object(this, layer)) layer_id = -1;
    if (!owner || layer < 0) layer_id = -1;
}

sprite_object::~sprite_object() {
    live_object_remove(this);
    if (list_index >= 0) {
        if (sprite_manager* manager = sprite_manager::instance()) manager->unlink(this);
    }
    if (graphic_ && layer_id >= 0) {
        if (graphic_render_layer* layer = graphic_->get_layer(layer_id)) {
            layer->objects.remove(this);
            layer->flags |= layer_flag_object_removed;
        }
    }
    if (base_class) sprite_class::unlock(base_class);
    if (id && object_container::instance()) object_container::instance()->erase(id);
    id = 0;
}

bool sprite_object::render() {
    // An image that did not load (or is still loading) shows nothing.
    if (!texture_ || !texture_->d3d_texture()) return true;
    // World positions reach the screen through the field view.
    const float world[3] = {x, y, z};
    float view[3];
    field::position_to_view(zorder, world, view);
    position.x = view[0];
    position.y = view[1];
    position.z = view[2];
    return graphic_sprite_object::render();
}

const st_sprite_frame* sprite_object::frame_record() const {
    if (!cls || frame < 0 || size_t(frame) >= cls->frames.size()) return nullptr;
    return &cls->frames[size_t(frame)];
}

void sprite_object::end_state() {
    state = -1;
    scene = 0;
    frame = 0;
    flags |= sprite_hidden | sprite_ended;
    frame_events[sprite_event_state_end] = -1;
    // The owner dies of it in this act frame's disposal.
    if (owner)
        if (actor_manager* manager = actor_manager::instance()) manager->note_change();
}

bool sprite_object::init(int32_t s, int32_t w, bool release) {
    if (!base_class || s < 0 || size_t(s) >= base_class->states.size() || w < 0 || w > 7) return false;
    next_change = 0.0f;
    state = 0;
    pending_state = -1;
    scene = 0;
    frame = 0;
    repeat_counter = 0;
    frame_counter = 0;
    set_way(w);
    extra_rotation = 0.0f;
    release_when_ended = release;
    extra_scale[0] = extra_scale[1] = 1.0f;
    alpha = 1.0f;
    color_override = 0xFFFFFFFF;
    zorder = 0;
    use_class(base_class);
    for (int32_t& e : frame_events) e = 0;
    return set_state(s, true);
}

void sprite_object::use_class(st_sprite_class* c) {
    cls = c ? c : base_class;
    set_texture(cls ? cls->image.get() : nullptr);
    sub_rect[0] = sub_rect[1] = 0;
    sub_rect[2] = cls ? cls->cx : 0;
    sub_rect[3] = cls ? cls->cy : 0;
    if (cls) {
        center.x = cls->centers[way][0];
        center.y = cls->centers[way][1];
    }
    update_bound();
}

bool sprite_object::set_state(int32_t s, bool force) {
    if (s < 0 || !base_class || size_t(s) >= base_class->states.size()) {
        // Only a state chain that runs out ends the sprite; a bad request
        // from a script leaves it as it was.
        if (force) end_state();
        return false;
    }
    if (!force && s == state) return true;
    state = s;
    const st_sprite_state& record = base_class->states[size_t(s)];
    st_sprite_class* c = base_class->state_class(record.class_ref);
    return set_scene(c ? c : base_class, record.start_scene);
}

bool sprite_object::set_scene(st_sprite_class* c, int32_t s) {
    if (c != cls) use_class(c);
    if (s < 0) {
        const int32_t next = base_class->states[size_t(state)].next_state;
        return set_state(next, true);
    }
    // A state drawn with another class may name scenes that class lacks.
    if (size_t(s) >= cls->scenes.size()) {
        end_state();
        return false;
    }
    scene = s;
    const st_sprite_scene& record = cls->scenes[size_t(s)];
    set_frame(record.start);
    repeat_counter = 0;
    next_change = float(frame_counter) + record.wait;
    frame_events[sprite_event_scene_start] = record.events[0];
    return true;
}

void sprite_object::set_frame(int32_t f) {
    frame = f;
    const st_sprite_frame* record = frame_record();
    if (!record) return;
    const int w = way;
    rect.left = record->x[w] + sub_rect[0];
    rect.top = record->y[w] + sub_rect[1];
    rect.right = record->x[w] + sub_rect[2];
    rect.bottom = record->y[w] + sub_rect[3];
    angle = (record->rotation[w] + extra_rotation) * degree;
    scale_x = extra_scale[0] * record->scale[0];
    scale_y = extra_scale[1] * record->scale[1];
    update_bound();
    apply_color();
    frame_events[sprite_event_frame_enter] = record->events[0];
}

void sprite_object::apply_color() {
    const st_sprite_frame* record = frame_record();
    uint32_t c = color_override != 0xFFFFFFFF ? color_override : (record ? record->color : 0xFFFFFFFF);
    if (alpha != 1.0f) {
        float a = std::nearbyint(float(c >> 24) * alpha);  // ties to even
        a = a < 0.0f ? 0.0f : (a > 255.0f ? 255.0f : a);
        c = (uint32_t(a) << 24) | (c & 0xFFFFFF);
    }
    color = c;
}

bool sprite_object::set_way(int32_t w) {
    if (w < 0 || w > 7) return false;
    way = w;
    if (cls) {
        center.x = cls->centers[w][0] - float(sub_rect[0]);
        center.y = cls->centers[w][1] - float(sub_rect[1]);
    }
    set_frame(frame);
    return true;
}

void sprite_object::set_sub_rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    sub_rect[0] = left;
    sub_rect[1] = top;
    sub_rect[2] = right;
    sub_rect[3] = bottom;
    // The cut part stays where it was in the whole frame.
    if (cls) {
        center.x = cls->centers[way][0] - float(left);
        center.y = cls->centers[way][1] - float(top);
    }
    set_frame(frame);
}

void sprite_object::set_rotation(float degrees) {
    extra_rotation = degrees;
    const st_sprite_frame* record = frame_record();
    angle = ((record ? record->rotation[way] : 0.0f) + extra_rotation) * degree;
}

void sprite_object::set_scale(float sx, float sy) {
    extra_scale[0] = sx;
    extra_scale[1] = sy;
    const st_sprite_frame* record = frame_record();
    scale_x = sx * (record ? record->scale[0] : 1.0f);
    scale_y = sy * (record ? record->scale[1] : 1.0f);
    update_bound();
}

void sprite_object::set_alpha(float a) {
    alpha = a;
    apply_color();
}

void sprite_object::set_color(uint32_t c) {
    color_override = c;
    apply_color();
}

const script_value* sprite_object::frame_extend() const {
    const st_sprite_frame* record = frame_record();
    return record ? &record->extend : nullptr;
}

bool sprite_object::advance_rare() {
    if (flags & sprite_not_yet_shown) {
        flags &= ~sprite_not_yet_shown;
        return true;
    }
    if (state < 0 || !cls) return false;
    if (pending_state >= 0) {
        const int32_t p = pending_state;
        pending_state = -1;
        if (p != state && size_t(p) < base_class->states.size()) {
            state = p;
            const st_sprite_state& record = base_class->states[size_t(p)];
            st_sprite_class* c = base_class->state_class(record.class_ref);
            return set_scene(c ? c : base_class, record.start_scene);
        }
    }
    if (flags & sprite_paused) return true;
    return count_frame() || next_frame();
}

bool sprite_object::next_frame() {
    if (size_t(scene) >= cls->scenes.size()) {
        end_state();
        return false;
    }
    const st_sprite_scene& s = cls->scenes[size_t(scene)];
    if (const st_sprite_frame* record = frame_record()) {
        frame_events[sprite_event_frame_leave] = record->events[1];
    }
    int32_t f = frame + 1;
    if (f >= s.end) {
        ++repeat_counter;
        frame_events[sprite_event_scene_end] = s.events[1];
        if (s.repeat > 0 && repeat_counter >= s.repeat) return set_scene(cls, s.next);
        f = s.start;
    }
    if (f < 0 || size_t(f) >= cls->frames.size()) {
        end_state();
        return false;
    }
    set_frame(f);
    next_change += s.wait;
    return true;
}
