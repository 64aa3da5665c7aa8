// The render object that draws the current field's visible cells, once a
// frame, on the object layer.
#ifndef VY_WORLD_FIELD_RENDER_H
#define VY_WORLD_FIELD_RENDER_H

#include "graphics/sprite.h"

class field_manager;

class field_render : public graphic_sprite_object {
public:
    field_render(graphic* owner, field_manager* manager);
    ~field_render() override;

    bool render() override;

private:
    field_manager* manager_;
};

#endif
