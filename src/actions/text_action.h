// `text_action`: CP932 text in a box attached to an actor, revealed
// character by character, advanced by input keys and driven by request
// codes; it tells an actor by an event once a text has been shown.
#ifndef VY_ACTIONS_TEXT_ACTION_H
#define VY_ACTIONS_TEXT_ACTION_H

#include <cstdint>

#include "core/strings.h"
#include "graphics/font_manager.h"
#include "graphics/font_object2.h"
#include "world/extend_action.h"

struct lua_State;
class text_action;

// Request codes; the catch slot's event ids are the same numbers.
enum : int32_t {
    text_request_clear = 0x50000101,
    text_request_text = 0x50000102,
    text_request_finish = 0x50000103,
    text_request_color = 0x50000104,
    text_request_alpha = 0x50000105,
    text_request_timing = 0x50000106,
    text_request_event = 0x50000107,
    text_request_notify = 0x50000108,
    text_request_input = 0x50000109,
    text_request_key_a = 0x5000010A,
    text_request_flags = 0x5000010B,
    text_request_key_b = 0x5000010C,
    text_request_state = 0x5000010D,
    text_request_visible = 0x5000010E,
    text_request_rect = 0x5000010F,
    text_request_z = 0x50000110,
};

// Reveal states as the text actions name them.
enum : int32_t {
    text_state_waiting = 5,
    text_state_revealing = 6,
    text_state_revealed = 8,
    text_state_shown = 9,
    text_state_closing = 12,
    text_state_finished = 13,
};

// The parsed parameter table; a definition's parameter {129, info} owns it.
class text_action_info : public igeneric {
public:
    enum : int32_t { box_rect = -1, box_insets = 0, box_margin = 1 };
    int32_t box_mode = box_insets;
    int32_t box[4] = {};  // left, top, right, bottom
    int32_t size = 10;
    int32_t weight = 400;
    int32_t cache = 0;
    bool ascii = false;
    wstring face;
};

class text_action : public extend_action {
public:
    // The animated text, drawn only while its owner is not hidden by script.
    class text_render : public graphic_font_object2 {
    public:
        text_render(graphic* g, text_action* a) : graphic_font_object2(g), action(a) {}
        bool render() override;
        text_action* action;
    };

    ~text_action() override;

    // Font and renderer from the parameters; false when either is missing.
    bool init(actor_object* owner, const text_action_info* info);
    // One step: key signals, the reveal animation, the view position.
    void step();
    int32_t state() const { return renderer ? renderer->state : text_state_finished; }
    // Applies a request with its value at the stack index; false when not
    // handled (the reason is in the log).
    bool apply(int32_t code, lua_State* L, int value_index);

    void suspend() override;  // hide
    bool restore() override;  // show

    string text;
    font_handle font;
    text_render* renderer = nullptr;
    int32_t box[4] = {};
    int32_t finish_event = 0;
    actor_object* notify = nullptr;  // counted reference
    int32_t z_offset = 1;
    int32_t input_index = -1;
    int32_t key_a = -1;
    int32_t key_b = -1;
    bool finish_pending = false;
    uint32_t saved_flags = 0;
    bool visible = true;

private:
    int32_t key_signal() const;
    void set_box(const int32_t insets[4], int32_t mode);
    void set_flags(uint32_t flags);
    uint32_t flag_word() const;
};

// Reads the parameter table at the top of the stack; none (logged under
// "text_action.parse") on failure.
text_action_info* text_action_parse(lua_State* L);
// Applies a request with its value at the stack index, logging a bad value
// under "text_action.request".
bool text_action_request_at(text_action* action, int32_t code, lua_State* L, int index);
// Pushes the value, applies the request, pops the value.
bool text_action_request(text_action* action, int32_t code, lua_State* L, script_value value);

#endif
