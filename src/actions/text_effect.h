// Text effects: what animates the glyphs of one set of an extended text
// (a fade that reveals characters one after another, a shake, an alpha
// pulse, and a notice thrown at an actor when the set reaches a phase).
#ifndef VY_ACTIONS_TEXT_EFFECT_H
#define VY_ACTIONS_TEXT_EFFECT_H

#include <cstdint>
#include <vector>

#include "graphics/text.h"

struct lua_State;
class actor_object;

enum : uint32_t { text_set_fade_driven = 0x80000000u };

class text_effect {
public:
    virtual ~text_effect() = default;
    // The set format bits this effect drives.
    virtual uint32_t mask() const { return 0; }
    // Reads the effect table at the index; false (logged) when it is bad.
    virtual bool parse(lua_State* L, int index) = 0;
    // Plans the glyphs [first, end) once the set is ended.
    virtual void schedule(glyph_record_list& glyphs, size_t first, size_t end) = 0;
    // One frame; true while the effect is still busy in this phase.
    virtual bool step(glyph_record_list& glyphs, int32_t phase, int32_t counter) = 0;

    uint32_t format = 0;
};

class text_effect_fade : public text_effect {
public:
    struct record {
        size_t glyph;
        int64_t start, in_end, out_start, end;
        float target;
    };
    uint32_t mask() const override;
    bool parse(lua_State* L, int index) override;
    void schedule(glyph_record_list& glyphs, size_t first, size_t end) override;
    bool step(glyph_record_list& glyphs, int32_t phase, int32_t counter) override;

    float feed = 0;
    uint32_t fadein = 0;
    float wait = 0;
    uint32_t fadeout = 0;
    float alpha = 0;
    std::vector<record> plan;
};

class text_effect_shake : public text_effect {
public:
    struct record {
        size_t glyph;
        float target[2];
        float home[2];
    };
    uint32_t mask() const override { return 3; }
    bool parse(lua_State* L, int index) override;
    void schedule(glyph_record_list& glyphs, size_t first, size_t end) override;
    bool step(glyph_record_list& glyphs, int32_t phase, int32_t counter) override;

    float speed[2] = {};
    float bound[4] = {};  // left, top, right, bottom
    std::vector<record> plan;

private:
    float next_target(int axis, float current) const;
};

class text_effect_alpha : public text_effect {
public:
    struct record {
        size_t glyph;
        float target;
        float home;
    };
    uint32_t mask() const override { return 3; }
    bool parse(lua_State* L, int index) override;
    void schedule(glyph_record_list& glyphs, size_t first, size_t end) override;
    bool step(glyph_record_list& glyphs, int32_t phase, int32_t counter) override;

    float speed = 0;
    float range[2] = {};
    std::vector<record> plan;

private:
    float next_target(float current) const;
};

class text_effect_notify : public text_effect {
public:
    ~text_effect_notify() override;
    uint32_t mask() const override { return format & 0xF; }
    bool parse(lua_State* L, int index) override;
    void schedule(glyph_record_list&, size_t, size_t) override {}
    bool step(glyph_record_list& glyphs, int32_t phase, int32_t counter) override;

    actor_object* actor = nullptr;  // counted reference
    int32_t event = 0;
    int32_t last_phase = -1;
};

// The effect of a type (1 fade, 2 shake, 3-5 alpha, 7 notify) parsed from
// the table at the index; none for another type or a bad table. A fade
// marks the set's format as driven by it.
text_effect* text_effect_create(uint32_t& set_format, lua_State* L, int index, int32_t type);

#endif
