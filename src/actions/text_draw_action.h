// `text_draw_action`: text a script places character by character into a
// box, each placed piece a run that fades in and out on its own, drawn at
// the owner's place in the field view.
#ifndef VY_ACTIONS_TEXT_DRAW_ACTION_H
#define VY_ACTIONS_TEXT_DRAW_ACTION_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "graphics/font_manager.h"
#include "graphics/text.h"
#include "world/extend_action.h"

struct lua_State;

// Which keys a style table gave.
enum : uint32_t {
    draw_style_font = 0x1,
    draw_style_rect = 0x2,
    draw_style_position = 0x4,
    draw_style_chars = 0x10,
    draw_style_lines = 0x20,
    draw_style_rotate = 0x100,
    draw_style_scale = 0x200,
    draw_style_alpha = 0x800,
    draw_style_char_color = 0x1000,
    draw_style_edge_color = 0x2000,
    draw_style_shadow_color = 0x4000,
    draw_style_fade_in = 0x10000,
    draw_style_fade_out = 0x20000,
    draw_style_min_alpha = 0x40000,
    draw_style_max_alpha = 0x80000,
    draw_style_done = 0x100000,
};

// Run states.
enum : uint32_t {
    draw_run_hidden = 1,
    draw_run_fading_in = 5,
    draw_run_shown = 8,
    draw_run_fading_out = 9,
    draw_run_gone = 12,
    draw_run_none = 14,  // what state() answers without runs
};

struct text_draw_style {
    font_handle font;
    uint32_t given = 0;
    int32_t rect[4] = {};
    bool rect_as_is = false;  // attribute [5]: not insets from the class box
    int32_t chars = 0, lines = 0;
    float x = 0, y = 0;
    float rotate = 0;  // radians
    float scale_x = 1, scale_y = 1;
    float alpha = 1;
    D3DCOLOR face = 0xFFFFFFFF, edge = 0xFF000000, shadow = 0;
    int32_t fade_in = 0, fade_out = 0, done = 0;
    float min_alpha = 0, max_alpha = 1;

    // The keys this style gave, over the base.
    void apply_to(text_draw_style& base) const;
};

// Reads a style table at the index; throws the message of the first bad key.
void text_draw_parse(lua_State* L, int index, text_draw_style& out);

struct text_draw_run {
    size_t first;  // its first glyph
    float min_alpha, max_alpha;
    int32_t fade_in, fade_out, done;
    int32_t counter;
};

class text_draw_action : public extend_action {
public:
    class text_render : public graphic_text_renderer {
    public:
        text_render(graphic* g, text_draw_action* a) : graphic_text_renderer(g), action(a) {}
        bool render() override;
        text_draw_action* action;
    };

    ~text_draw_action() override;

    // The renderer on the owner's class layer; false when there is none.
    bool create_renderer();
    // Takes the style's given keys as the action's own; a rect sets the box.
    void apply(const text_draw_style& s);
    void clear();
    // One character with the style; its advance.
    int32_t place(uint32_t code, const text_draw_style& s);
    // A CP932 string with the style, as one run.
    void place_text(const char* text, const text_draw_style& s);
    // The lowest state of the runs (of run n only, 1-based), draw_run_none
    // without runs.
    uint32_t state(int32_t run = 0) const;
    void set_state(uint32_t state, int32_t run = 0);
    void step();
    void place_renderer();
    void set_box(const int32_t rect[4], bool as_is);
    void suspend() override;
    bool restore() override;

    glyph_record_list glyphs;
    std::vector<float> glyph_alpha;      // each glyph's own alpha
    std::vector<font_handle> fonts;      // every font the glyphs name
    std::vector<text_draw_run> runs;
    text_draw_style style;
    text_render* renderer = nullptr;
    int32_t box[4] = {};
    float cursor[2] = {};
    int32_t line_height = 0;
    uint32_t saved_flags = 0;

private:
    void keep_font(const font_handle& font);
    void new_line(const text_draw_style& s);
    void start_run(size_t first, const text_draw_style& s);
    void put_run(text_draw_run& run, uint32_t state);
    void set_run_alpha(const text_draw_run& run, size_t end, float alpha);
    size_t run_end(size_t index) const;
};

#endif
