// `graphic_font_object2`: one laid-out text whose characters appear, hold
// and disappear one after another, for the text actions.
#ifndef VY_GRAPHICS_FONT_OBJECT2_H
#define VY_GRAPHICS_FONT_OBJECT2_H

#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <vector>

#include "graphics/font_manager.h"
#include "graphics/render_layer.h"

// A character or line of an animated text, with its times in frames.
struct animated_glyph {
    uint32_t code;
    uint32_t line;  // 1 on line records
    float x;
    float y;
    float appear;
    float shown;
    float hide;
    float gone;
    float scale;
    float angle;
    D3DCOLOR face_color;
    D3DCOLOR edge_color;
};
static_assert(sizeof(animated_glyph) == 48, "animated glyph records are 48 bytes");

// Animation flags (bits 0-15 are the layout flags of the formalizer).
enum : uint32_t {
    reveal_all_at_once = 0x100000u,
    reveal_hide_at_once = 0x200000u,
    reveal_mode_mask = 0xC00000u,
    reveal_mode_shift = 22,
    reveal_hold_per_glyph = 0x1000000u,
    reveal_no_fade_out = 0x2000000u,
};

// Reveal states and the counter marks between them.
enum : int32_t {
    reveal_revealing = 5,
    reveal_shown = 6,
    reveal_holding = 8,
    reveal_hiding = 9,
    reveal_idle = 13,
    reveal_shown_mark = 0x400000,  // 4194304
    reveal_hide_mark = 0x500000,   // 5242880
    reveal_end_mark = 0x7FFFFFFF,
};

class graphic_font_object2 : public graphic_render_object {
public:
    explicit graphic_font_object2(graphic* owner) : graphic_render_object(owner) {}

    bool create() override { return true; }
    bool render() override;
    // One frame of the animation.
    void update();
    // Alphas 0 to 1 of the shown and the hidden colours.
    void set_alpha(float shown, float hidden);
    // Frames; animated when any is above 0.
    void set_timing(float delay, float fade_in, float hold, float fade_out);
    // 0 restart, 1 end of the reveal, 3 end of the hold, 4 hide, 7 end,
    // 8 idle; other codes change nothing.
    void set_state(int32_t code);
    // Erases the laid-out text.
    void text() { glyphs.clear(); }

    font_handle font;
    float x = 0.0f;
    float y = 0.0f;
    RECT rect{0, 0, 0, 0};
    uint32_t text_flags = 0;
    D3DCOLOR shown_face = 0xFFFFFFFF;
    D3DCOLOR shown_edge = 0xFF000000;
    D3DCOLOR hidden_face = 0x00FFFFFF;
    D3DCOLOR hidden_edge = 0;
    float delay = 0.0f;
    float fade_in = 0.0f;
    float hold = 0.0f;
    float fade_out = 0.0f;
    bool animated = false;
    int32_t counter = reveal_end_mark;
    float total_time = 0.0f;
    int32_t state = reveal_idle;
    std::vector<animated_glyph> glyphs;

    uint32_t mode() const { return (text_flags & reveal_mode_mask) >> reveal_mode_shift; }

private:
    // Colours of every glyph at time c; whether all are shown and all done.
    void paint(float c, bool& all_shown, bool& all_done);
};

#endif
