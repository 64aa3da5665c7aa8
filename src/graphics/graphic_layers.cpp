// The graphic's layer list and id table. Ids come from scripts, so every
// lookup checks that the id still names a layer.
#include "graphics/graphic.h"

#include "graphics/texture.h"

int32_t graphic::new_layer_id() {
    layer_ids_.push_back(layers_.end());
    return int32_t(layer_ids_.size() - 1);
}

void graphic::insert_layer(graphic_render_layer* layer, layer_position before) {
    layer_ids_[size_t(layer->id)] = layers_.insert(before, layer);
}

bool graphic::find_layer(int32_t id, layer_position& position) {
    if (id >= 0 && size_t(id) < layer_ids_.size() && layer_ids_[size_t(id)] != layers_.end()) {
        position = layer_ids_[size_t(id)];
        return true;
    }
    position = layers_.end();
    return false;
}

void graphic::resolve_layer_index(int32_t& index) const {
    if (index >= 0) {
        if (!layer_ids_.empty() && size_t(index) >= layer_ids_.size())
            index = int32_t(layer_ids_.size() - 1);
        return;
    }
    if (layers_.empty() || layer_ids_.empty()) {
        index = 0;
        return;
    }
    // -1 is the first layer drawn; past the end means the last one.
    size_t n = size_t(-(int64_t)index) - 1;
    if (n >= layers_.size()) n = layers_.size() - 1;
    auto it = layers_.begin();
    std::advance(it, n);
    const graphic_render_layer* layer = *it;
    index = 0;
    if (layer->id >= 0 && size_t(layer->id) < layer_ids_.size() &&
        layer_ids_[size_t(layer->id)] == it)
        index = layer->id;
}

graphic_render_layer* graphic::get_layer(int32_t id) {
    layer_position pos;
    return find_layer(id, pos) ? *pos : nullptr;
}

graphic_render_layer* graphic::remove_render_layer(int32_t id) {
    layer_position pos;
    if (!find_layer(id, pos)) return nullptr;
    graphic_render_layer* layer = *pos;
    layers_.erase(pos);
    layer_ids_[size_t(id)] = layers_.end();
    return layer;
}

bool graphic::attach_render_object(graphic_render_object* object, int32_t index) {
    resolve_layer_index(index);
    graphic_render_layer* layer = get_layer(index);
    if (!layer || !object) return false;
    layer->objects.push_back(object);
    layer->flags |= layer_flag_object_added;
    object->layer_id = index;
    return true;
}

void graphic::detach_render_object(graphic_render_object* object) {
    graphic_render_layer* layer = object ? get_layer(object->layer_id) : nullptr;
    if (!layer) return;
    layer->objects.remove(object);
    layer->flags |= layer_flag_object_removed;
}

bool graphic::move_render_object(graphic_render_object* object, int32_t index) {
    resolve_layer_index(index);
    graphic_render_layer* to = get_layer(index);
    if (!to || !object) return false;
    if (graphic_render_layer* from = get_layer(object->layer_id)) {
        from->objects.remove(object);
        from->flags |= layer_flag_object_removed;
    }
    to->objects.push_back(object);
    to->flags |= layer_flag_object_added;
    object->layer_id = index;
    return true;
}

bool graphic::set_layer_target(int32_t index, graphic_render_target* target) {
    resolve_layer_index(index);
    graphic_render_layer* layer = get_layer(index);
    if (!layer) return false;
    layer->target = target ? target : back_buffer_;
    return true;
}

bool graphic::update_layer_state(int32_t index, uint32_t mask, uint32_t value) {
    resolve_layer_index(index);
    graphic_render_layer* layer = get_layer(index);
    if (!layer) return false;
    layer->flags = (layer->flags & ~mask) | (value & mask);
    return true;
}

int32_t render_layer_append(graphic& g) {
    graphic::layer_position end;
    g.find_layer(-1, end);
    return g.create_render_layer<graphic_alpha_sprite_render_layer>(end);
}
