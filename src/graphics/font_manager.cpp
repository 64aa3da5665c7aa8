// Shared fonts by key, counted handles, and the game's private fonts.
#include "graphics/font_manager.h"

#include <new>

#include "core/folders.h"
#include "core/paths.h"
#include "core/string_ops.h"
#include "core/trace.h"
#include "graphics/graphic.h"

font_handle& font_handle::operator=(const font_handle& other) {
    assign(other.ref_.manager, other.ref_.entry);
    return *this;
}

void font_handle::assign(graphic_font_manager* manager, font_map::iterator entry) {
    // The new reference first: assigning a handle to itself keeps the font.
    if (manager) manager->add_reference(entry);
    release();
    ref_.manager = manager;
    ref_.entry = entry;
}

void font_handle::release() {
    graphic_font_manager* manager = ref_.manager;
    // A handle that outlives its manager has nothing left to give back.
    if (!manager || graphic_font_manager::instance() != manager) {
        ref_ = font_ref();
        return;
    }
    manager->release(ref_);
    ref_.entry = manager->none_entry();
}

graphic_font_manager::graphic_font_manager(graphic* owner, const wchar_t* folder)
    : graphic_(owner) {
    install_fonts(folder);
    font_key none_key;
    graphic_font::make_logfont(none_key, L"", 0, 0, 0);
    font_map::iterator none = fonts_.emplace(none_key, font_entry{nullptr, 0}).first;
    none_.assign(this, none);
    default_face_ = L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF";  // "ＭＳ ゴシック"
}

graphic_font_manager::~graphic_font_manager() {
    // Fonts still referenced stay in the graphic's object list, which
    // deletes them; only the entries go here.
    none_.forget();
    fonts_.clear();
}

void graphic_font_manager::add_reference(font_map::iterator entry) {
    if (entry->second.font) ++entry->second.count;
}

void graphic_font_manager::release(const font_ref& handle) {
    if (handle.manager != this) return;
    font_map::iterator entry = handle.entry;
    if (!entry->second.font) return;
    if (--entry->second.count >= 1) return;
    graphic_->delete_object(entry->second.font);
    fonts_.erase(entry);
}

font_map::iterator graphic_font_manager::get_font(const font_key& key, uint32_t capacity) {
    font_map::iterator found = fonts_.find(key);
    if (found != fonts_.end()) {
        if (found->second.font) found->second.font->resize_cache(capacity ? capacity : 256);
        return found;
    }
    graphic_font* font = new (std::nothrow) graphic_font(graphic_);
    if (!font) return none_entry();
    graphic_->add_object(font);
    if (!font->create(&key.logfont, key.flags, capacity)) {
        graphic_->delete_object(font);
        return none_entry();
    }
    return fonts_.emplace(key, font_entry{font, 0}).first;
}

font_handle graphic_font_manager::get_font_handle(const wchar_t* face, int32_t height,
                                                  int32_t weight, uint32_t flags,
                                                  uint32_t capacity) {
    font_key key;
    graphic_font::make_logfont(key, face, height, weight, flags);
    font_handle handle;
    handle.assign(this, get_font(key, capacity));
    return handle;
}

font_handle graphic_font_manager::find_handle(const graphic_font* font) {
    font_handle handle;
    for (font_map::iterator it = fonts_.begin(); it != fonts_.end(); ++it) {
        if (font && it->second.font == font) {
            handle.assign(this, it);
            return handle;
        }
    }
    handle = none_;
    return handle;
}

void graphic_font_manager::install_fonts(const wchar_t* folder) {
    const char* label = "graphic_font_manager::install_fonts";
    wstring directory;
    make_absolute_path(directory, folder);
    if (directory.empty() || !is_directory(directory.c_str())) return;
    file_finder finder;
    for (bool more = find_first_file(finder, directory.c_str(), L"*"); more;
         more = find_next_file(finder)) {
        if (finder.is_folder()) continue;
        wstring path = directory;
        path_join(path, finder.name());
        string name;
        wstring_to_multibyte(finder.name(), name);
        int added = AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr);
        if (added == 0) {
            TRACE_ERROR(label, "AddFontResourceEx", GetLastError());
            TRACE_ERROR(label, name.c_str(), -1);
        } else {
            TRACE_ERROR(label, name.c_str(), added);
        }
    }
}
