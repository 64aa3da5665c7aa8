// `render_layer_action`: a render layer of an actor's own that draws into
// an off-screen target; drawing actions lend it their drawers, and what it
// holds can be saved as an image file.
#ifndef VY_ACTIONS_RENDER_LAYER_ACTION_H
#define VY_ACTIONS_RENDER_LAYER_ACTION_H

#include <cstdint>
#include <vector>

#include "world/extend_action.h"

class draw_action;
class graphic_render_target;

class render_layer_action : public extend_action {
public:
    struct member {
        draw_action* draw;
        int32_t previous_layer;
    };

    ~render_layer_action() override;

    // The layer at the end of the drawing order and its target.
    bool create(int32_t width, int32_t height);
    // True also when already a member.
    bool add(draw_action* draw);
    // False when not a member.
    bool remove(draw_action* draw);
    // A size below 1 keeps that side; false when there is no target or it
    // can't be made again (it is then released).
    bool resize(int32_t width, int32_t height);
    bool save(const char* file_name);
    // A member being deleted leaves without moving its drawer.
    void forget(draw_action* draw);

    int32_t layer_id = -1;
    graphic_render_target* target = nullptr;
    std::vector<member> members;
};

// The image format a file name asks for by its extension.
int32_t render_layer_file_format(const char* file_name);

#endif
