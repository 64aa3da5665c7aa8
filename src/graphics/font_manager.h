// `graphic_font_manager` owns every font and shares one per font key
// through counted `font_handle`s; at construction it installs the game's
// private font files.
#ifndef VY_GRAPHICS_FONT_MANAGER_H
#define VY_GRAPHICS_FONT_MANAGER_H

#include <cstdint>
#include <cstring>
#include <map>

#include "core/singleton.h"
#include "core/strings.h"
#include "graphics/font.h"

class graphic;
class graphic_font_manager;

struct font_key_less {
    bool operator()(const font_key& a, const font_key& b) const {
        return std::memcmp(&a, &b, sizeof a) < 0;
    }
};

struct font_entry {
    graphic_font* font;
    int32_t count;
};

using font_map = std::map<font_key, font_entry, font_key_less>;

// A font entry named without a reference of its own: what glyph records
// carry, copied bytewise. Whoever fills the records keeps a counted handle.
struct font_ref {
    graphic_font_manager* manager = nullptr;
    font_map::iterator entry{};

    graphic_font* font() const { return manager ? entry->second.font : nullptr; }
    bool is_valid() const { return font() != nullptr; }
};

// A counted reference to a shared font; the empty handle holds none.
class font_handle {
public:
    font_handle() = default;
    font_handle(const font_handle& other) { copy(other); }
    font_handle& operator=(const font_handle& other);
    ~font_handle() { release(); }

    // Takes a reference to what other refers to (the old one is dropped).
    void copy(const font_handle& other) { assign(other.ref_.manager, other.ref_.entry); }
    void assign(graphic_font_manager* manager, font_map::iterator entry);
    void release();
    // Lets go without counting (the manager going away).
    void forget() { ref_ = font_ref(); }

    bool is_valid() const { return ref_.is_valid(); }
    graphic_font* font() const { return ref_.font(); }
    const font_ref& ref() const { return ref_; }

private:
    font_ref ref_;
};

class graphic_font_manager : public singleton<graphic_font_manager> {
public:
    // Installs the fonts of folder (relative to the base directory).
    explicit graphic_font_manager(graphic* owner, const wchar_t* folder = L"font");
    ~graphic_font_manager() override;
    graphic_font_manager(const graphic_font_manager&) = delete;
    graphic_font_manager& operator=(const graphic_font_manager&) = delete;

    // One more reference to the font of the description; the none handle
    // when the font can't be made. Capacity 0 means 256 glyph cells.
    font_handle get_font_handle(const wchar_t* face, int32_t height, int32_t weight,
                                uint32_t flags, uint32_t capacity);
    // The entry of the key, made when missing (with no reference counted
    // yet), or the none entry.
    font_map::iterator get_font(const font_key& key, uint32_t capacity);
    font_handle find_handle(const graphic_font* font);
    // Drops one reference; the last one deletes the font and its entry.
    void release(const font_ref& handle);
    void add_reference(font_map::iterator entry);
    void install_fonts(const wchar_t* folder);

    const font_handle& none_handle() const { return none_; }
    font_map::iterator none_entry() const { return none_.ref().entry; }
    const wstring& default_face() const { return default_face_; }
    void set_default_face(const wchar_t* face) { default_face_ = face; }
    const font_map& fonts() const { return fonts_; }
    graphic* owner() const { return graphic_; }

private:
    graphic* graphic_;
    font_map fonts_;
    font_handle none_;
    wstring default_face_;
};

#endif
