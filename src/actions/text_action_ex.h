// `text_action_ex`: text laid out in styles of its own and animated in
// sets, each a run of characters with its own phase machine, waits, text
// effects and links to another set.
#ifndef VY_ACTIONS_TEXT_ACTION_EX_H
#define VY_ACTIONS_TEXT_ACTION_EX_H

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "actions/text_effect.h"
#include "graphics/text.h"
#include "world/extend_action.h"

class text_action_ex;

// The font of a font object or a font table at the index (a new reference);
// throws the message of a bad value.
font_handle text_font_of(lua_State* L, int index);

// Format bits of a set.
enum : uint32_t {
    set_start_bits = 0x1F0u,
    set_done_bits = 0x1F000u,
    set_end_bits = 0x1F00000u,
    set_skip_reveal = 0x40000u,
    set_skip_hold = 0x4000000u,
    set_report = 0x40000000u,
};

struct text_set {
    ~text_set();
    uint32_t format = 0;
    uint32_t wait[3] = {};  // start, done, end (frames)
    int32_t counter = 0;
    int32_t phase = 0;
    text_set* other = nullptr;
    uint32_t initial_state = 1;
    actor_object* notify = nullptr;  // counted reference
    size_t first = 0;
    size_t end = SIZE_MAX;  // not ended yet
    std::vector<std::unique_ptr<text_effect>> effects;
};

// The layout style: what the formalizer lays new text out with.
struct text_style_ex {
    font_handle font;
    RECT rect{0, 0, 0, 0};
    uint32_t format = 0;
    float rotate = 0;
    float scale = 1;
    float alpha = 1;
    D3DCOLOR face = 0xFFFFFFFF;
    D3DCOLOR edge = 0xFF000000;
    int32_t chars = 0;
    int32_t lines = 0;
};

class text_action_ex : public extend_action {
public:
    class text_render : public graphic_text_renderer {
    public:
        text_render(graphic* g, text_action_ex* a) : graphic_text_renderer(g), action(a) {}
        text_action_ex* action;
    };

    ~text_action_ex() override;

    // The renderer on the owner's class layer; false when there is none.
    bool create_renderer();
    // Reads the table at the index into the current style (and at creation
    // also into the creation style); false (logged) on a bad key.
    bool parse(lua_State* L, int index, bool creating);
    void apply_style();
    void lay_out(const char* text, RECT* extent);
    void add_text(const char* text);
    void end_text(RECT& extent);
    void clear();
    void purge();
    text_set* add_set(lua_State* L, int index);
    bool owns(const text_set* set) const;
    void end_set(text_set* set);
    bool set_phase(text_set* set, int32_t phase);
    // The overall state put to every set.
    void set_all_phases(int32_t phase);
    void step_set(text_set* set);
    void step();
    void place();

    glyph_record_list glyphs;
    // Every font the laid-out glyphs name (they do not count it): a style
    // change must not free a font that is still drawn.
    std::vector<font_handle> glyph_fonts;
    graphic_text_formalizer layout;
    text_style_ex style;
    text_style_ex created;
    std::vector<std::unique_ptr<text_set>> sets;
    text_render* renderer = nullptr;
    uint32_t sets_epoch = 0;  // grows when the sets are thrown away

private:
    void keep_style_font();
    // False once the action was released or its sets cleared since the
    // epoch was read: the set in hand may be gone.
    bool still(const action_hold& hold, uint32_t epoch) const {
        return !hold.gone() && sets_epoch == epoch;
    }
};

#endif
