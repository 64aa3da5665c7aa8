// Laid-out text: glyph records, the formalizer that fills them from
// styled CP932 text with wrapping and alignment, and the render objects
// that draw them as quads of a font's glyph page.
#ifndef VY_GRAPHICS_TEXT_H
#define VY_GRAPHICS_TEXT_H

#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <vector>

#include "graphics/font_manager.h"
#include "graphics/render_layer.h"

class graphic_font_object2;

enum : uint32_t {
    glyph_code_line = 10,
    glyph_code_style = 27,
    glyph_state_line = 0,
    glyph_state_drawn = 8,  // states of 2 or less are not drawn
};

// One laid-out character, line or style change. The font is named, not
// counted: the formalizer's style or the list's owner keeps it alive.
struct glyph_record {
    uint32_t code;
    uint32_t state;
    float x;
    float y;
    font_ref font;
    float angle;
    float scale;
    float alpha;
    D3DCOLOR face_color;
    D3DCOLOR edge_color;  // 0: no edge
    uint32_t value;
};
// Glyph records live in memory only; their packed size matters to the 32-bit
// product's batch budget, not to any file.
static_assert(sizeof(void*) != 4 || sizeof(glyph_record) == 48, "glyph records are 48 bytes");

using glyph_record_list = std::vector<glyph_record>;

// Layout flags.
enum : uint32_t {
    text_tab_width_mask = 0xFFu,
    text_align_right = 0x100u,
    text_align_center = 0x200u,
    text_block_bottom = 0x400u,
    text_block_middle = 0x800u,
    text_tab_width_set = 0x1000u,
    text_tab_fixed = 0x2000u,
    text_edge = 0x4000u,
    text_wrap = 0x8000u,
    text_fit_keep_right = 0x10000u,
    text_fit_center_x = 0x20000u,
    text_fit_keep_bottom = 0x40000u,
    text_fit_center_y = 0x80000u,
    text_fit = 0x100000u,
};

struct text_style {
    font_handle font;
    float angle = 0.0f;
    float scale = 1.0f;
    float alpha = 1.0f;
    D3DCOLOR face_color = 0xFFFFFFFF;
    D3DCOLOR edge_color = 0xFF000000;
    uint32_t value = 0;
};

// The next character of CP932 text (a lead byte joins its trail byte),
// moving p past it; 0 at the end, also for a lead byte cut off by it.
uint32_t text_next_char(const char*& p);

class graphic_text_formalizer {
public:
    graphic_text_formalizer() = default;
    virtual ~graphic_text_formalizer() = default;

    // Lays the whole text out afresh; box, when given, receives the box.
    void format(const char* text, RECT* box);
    // Appends text in the current style to the open line.
    void add_text(const char* text);
    // Closes the open line and positions what was added since the last
    // finish.
    void finish(RECT* box);
    // The text and timing of an animated text object.
    static bool layout(graphic_font_object2& object, const char* text);

    uint32_t format_flags = 0;
    RECT rect{0, 0, 0, 0};
    text_style style;
    int32_t letter_spacing = 0;
    int32_t line_spacing = 0;
    glyph_record_list* output = nullptr;

protected:
    // Told of each glyph appended and of each full-width space.
    virtual void placed(glyph_record& record) { (void)record; }
    virtual void wide_space() {}

private:
    void line_break(int32_t height);
    void close_line();
    void append(uint32_t code, uint32_t state);
    int32_t tab_width() const;

    int32_t first_unpositioned_ = -1;
    int32_t pen_x_ = 0;
    int32_t pen_y_ = 0;
    int32_t widest_ = 0;
    int32_t line_height_ = 0;
    int32_t column_ = -1;
    int32_t line_record_ = -1;
    bool pending_break_ = false;
    bool line_closed_ = true;
};

// Draws a record list: edges first, then faces.
class graphic_text_renderer : public graphic_render_object {
public:
    explicit graphic_text_renderer(graphic* owner) : graphic_render_object(owner) {}

    bool create() override { return true; }
    bool render() override;

    float x = 0.0f;
    float y = 0.0f;
    glyph_record_list* records = nullptr;
};

// The system's own text: a renderer over the list its formalizer fills.
class graphic_font_object : public graphic_text_renderer, public graphic_text_formalizer {
public:
    explicit graphic_font_object(graphic* owner);
    graphic_font_object(const graphic_font_object&) = delete;
    graphic_font_object& operator=(const graphic_font_object&) = delete;

    glyph_record_list& list() { return list_; }

private:
    glyph_record_list list_;
};

// Queues one glyph quad of the font's page with its unturned top-left
// corner at (x, y); a character without a glyph queues nothing. False when
// the batch refuses the quad.
bool draw_glyph(graphic& g, graphic_font& font, uint32_t code, float x, float y, float angle,
                float scale, D3DCOLOR color, uint32_t blend);

#endif
