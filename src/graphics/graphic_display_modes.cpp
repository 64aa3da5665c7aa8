#include "graphics/graphic.h"

const graphic::resolution* graphic::display_mode(uint32_t index) const {
    return index < resolutions_.size() ? &resolutions_[index] : nullptr;
}

void graphic::select_display_mode(uint32_t index) {
    const resolution* mode = display_mode(index);
    if (!mode) return;
    fullscreen_width_ = mode->width;
    fullscreen_height_ = mode->height;
    set_fs_scale();
    // In a window the new size waits for the next switch to full screen.
    if (device_ && !present_.Windowed) fullscreen(true);
}
