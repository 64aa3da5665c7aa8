// The collision debug view: every body of a list outlined on screen, in a
// colour that tells the list and whether the body has an owner.
#ifndef VY_WORLD_COLLISION_VIEW_H
#define VY_WORLD_COLLISION_VIEW_H

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/line.h"
#include "graphics/render_layer.h"

struct st_body;
struct st_shape;
class collision_manager;

class body_render : public graphic_render_object {
public:
    body_render(graphic* owner, const std::vector<st_body*>* list, uint32_t owned_colour,
                uint32_t free_colour);
    bool render() override;

    // 0x10000 or more: every layer; negative: the field's current layer;
    // anything else: that layer only.
    int32_t layer_filter = 0x10000;

private:
    void draw_shape(const st_shape* shape, const float view[3], uint32_t colour);

    const std::vector<st_body*>* list_;
    std::unique_ptr<graphic_line> line_;
    uint32_t owned_colour_;
    uint32_t free_colour_;
};

// Shows (one renderer per list, attached to the render layer) or hides the
// view; false when a renderer could not be made.
bool body_render_show(collision_manager* manager, bool show, int32_t layer);
// The layer filter of every renderer shown now and later.
void body_render_filter(int32_t filter);
// How many renderers are shown (for checks).
int body_render_count();

// What the field view gives the debug view; without a field a body's
// position is its own view position at depth 0 and the current layer is 0.
struct collision_view_hooks {
    bool (*to_view)(float x, float y, int32_t layer, float view[3]) = nullptr;
    int32_t (*current_layer)() = nullptr;
};
collision_view_hooks& collision_view();

#endif
