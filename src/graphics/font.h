// `graphic_font`: one GDI font turned into a glyph page. Each character
// that text asks for is rasterised once into a cell of a texture; text is
// drawn as quads cut from that page. Character codes are CP932: one byte,
// or lead byte << 8 | trail byte.
#ifndef VY_GRAPHICS_FONT_H
#define VY_GRAPHICS_FONT_H

#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <map>
#include <vector>

#include "graphics/texture.h"

// Where a glyph sits on the page.
struct graphic_glyph {
    int32_t advance;
    int32_t height;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Key flag bits the font itself reads.
enum : uint32_t {
    font_flag_created = 0x80000000u,
    font_flag_edge = 0x00800000u,
    font_flag_format_shift = 16,
    font_flag_format_mask = 0x00030000u,
};

// The largest glyph cell side in pixels a font may have: its glyph buffer
// is sized from it (about 36 MB at most).
constexpr int32_t font_cell_ceiling = 4096;

// A font as the manager shares it: the LOGFONTW and the flag bits that
// make fonts differ beyond it (edge font, glyph format), compared as bytes.
struct font_key {
    LOGFONTW logfont;
    uint32_t flags;
};
static_assert(sizeof(font_key) == 96, "font keys are compared as 96 bytes");

class graphic_font : public graphic_texture {
public:
    // The key of a face, height, weight and font flag word (style bits
    // 28-30, charset 24-27, edge 23, family 20-22, pitch 18-19, glyph
    // format 16-17).
    static void make_logfont(font_key& key, const wchar_t* face, int32_t height, int32_t weight,
                             uint32_t flags);

    struct glyph_entry {
        int32_t advance;
        int32_t height;
        uint32_t cell;
        uint32_t last_use;
    };
    using glyph_map = std::map<uint32_t, glyph_entry>;

    explicit graphic_font(graphic* owner) : graphic_texture(owner) {}
    ~graphic_font() override;

    // Lost: re-creates the page only; never created: the built-in default.
    bool create() override;
    bool release(bool all) override;
    bool onlost() override;
    bool restore() override;

    // logfont none keeps the one given before. Capacity 0 means 256 cells.
    bool create(const LOGFONTW* logfont, uint32_t key_flags, uint32_t capacity);
    bool get_char(uint32_t code, graphic_glyph& out);
    bool resize_cache(uint32_t capacity);

    const LOGFONTW& logfont() const { return logfont_; }
    uint32_t key_flags() const { return key_flags_; }
    uint32_t space_advance() const { return space_advance_; }
    uint32_t wide_space_advance() const { return wide_space_advance_; }
    uint32_t cell_width() const { return cell_width_; }
    uint32_t cell_height() const { return cell_height_; }
    uint32_t ascent() const { return ascent_; }
    uint32_t capacity() const { return capacity_; }
    uint32_t columns() const { return columns_; }
    uint32_t rows() const { return rows_; }
    const glyph_map& glyphs() const { return glyphs_; }
    graphic_texture* memory_copy() const { return copy_; }
    uint32_t use_counter() const { return use_counter_; }
    // Glyphs drawn with GDI so far (cache misses that reached the page).
    uint32_t rasterised() const { return rasterised_; }

private:
    bool create_gdiobjects();
    void delete_gdiobjects();
    bool create_cache();
    HRESULT upload_copy(const RECT* dirty);
    uint32_t take_cell();
    bool draw_cell(uint32_t cell, const GLYPHMETRICS& metrics, uint32_t size);
    bool move_cells(graphic_texture& to, uint32_t old_columns);
    void fill_glyph(const glyph_entry& e, graphic_glyph& out) const;

    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    LOGFONTW logfont_{};
    HGDIOBJ old_object_ = nullptr;
    uint32_t key_flags_ = 0;
    uint16_t space_advance_ = 0;
    uint16_t wide_space_advance_ = 0;
    uint16_t cell_width_ = 0;
    uint16_t cell_height_ = 0;
    uint16_t ascent_ = 0;
    uint32_t glyph_format_ = GGO_BITMAP;
    std::vector<uint8_t> glyph_buffer_;
    uint32_t capacity_ = 0;
    uint32_t columns_ = 0;
    uint32_t rows_ = 0;
    glyph_map glyphs_;
    // Cells given back by glyphs that could not be drawn; used before new ones.
    std::vector<uint32_t> free_cells_;
    uint32_t cells_handed_ = 0;
    graphic_texture* copy_ = nullptr;
    uint32_t use_counter_ = 0;
    uint32_t rasterised_ = 0;
    // Queued quads sample cells until the frame is drawn: a cell used in the
    // current frame is never handed to another glyph. A page too small for
    // one frame grows at the start of the next, before anything is queued.
    static constexpr uint32_t no_cell = 0xFFFFFFFFu;
    uint32_t frame_seen_ = 0xFFFFFFFFu;
    uint32_t frame_first_use_ = 0;
    uint32_t wanted_capacity_ = 0;
    void begin_frame_if_new();
};

// Writes one glyph texel, white with the given coverage, in the page's
// format; false for formats that take no glyphs.
bool write_glyph_texel(D3DFORMAT format, uint8_t* texel, uint8_t alpha);
// Coverage of a source level of a glyph format (GGO_* constant).
uint8_t glyph_level_alpha(uint32_t glyph_format, uint32_t level);

#endif
