// Fonts: GDI objects, the glyph page and its system-memory copy, glyph
// requests with least-recently-used eviction, growth and device recovery.
#include "graphics/font.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/trace.h"
#include "graphics/graphic.h"

namespace {

const MAT2 identity_matrix = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

const uint32_t glyph_formats[4] = {GGO_BITMAP, GGO_GRAY2_BITMAP, GGO_GRAY4_BITMAP,
                                   GGO_GRAY8_BITMAP};

// The default face: "ＭＳ ゴシック".
const wchar_t default_face[] = L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF";

uint32_t glyph_texel_bytes(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_A4R4G4B4: case D3DFMT_A1R5G5B5: case D3DFMT_X1R5G5B5:
        return 2;
    default:
        return 0;
    }
}

// Bytes of one source row as GDI hands them over (whole 32-bit words).
uint32_t glyph_source_pitch(uint32_t glyph_format, uint32_t black_box_x) {
    if (glyph_format == GGO_BITMAP) return (black_box_x + 31) / 32 * 4;
    return (black_box_x + 3) & ~3u;
}

uint16_t abc_sum(const ABC& abc) {
    return uint16_t(abc.abcA + int(abc.abcB) + abc.abcC);
}

}  // namespace

uint8_t glyph_level_alpha(uint32_t glyph_format, uint32_t level) {
    uint32_t top, step;
    switch (glyph_format) {
    case GGO_BITMAP: top = 1; step = 255; break;
    case GGO_GRAY2_BITMAP: top = 4; step = 64; break;
    case GGO_GRAY4_BITMAP: top = 16; step = 16; break;
    default: top = 64; step = 4; break;
    }
    return level >= top ? 255 : uint8_t(level * step);
}

bool write_glyph_texel(D3DFORMAT format, uint8_t* texel, uint8_t alpha) {
    switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8:
        texel[0] = texel[1] = texel[2] = 0xFF;
        texel[3] = alpha;
        return true;
    case D3DFMT_A4R4G4B4:
        texel[0] = 0xFF;
        texel[1] = uint8_t(alpha | 0x0F);
        return true;
    case D3DFMT_A1R5G5B5: case D3DFMT_X1R5G5B5: {
        // White, opaque from half coverage on.
        uint16_t v = uint16_t(0x7FFF | (alpha >= 0x80 ? 0x8000 : 0));
        std::memcpy(texel, &v, 2);
        return true;
    }
    default:
        return false;
    }
}

graphic_font::~graphic_font() {
    graphic_font::release(false);
}

bool graphic_font::create_gdiobjects() {
    const char* label = "graphic_font::create";
    delete_gdiobjects();
    font_ = CreateFontIndirectW(&logfont_);
    if (!font_) {
        TRACE_ERROR(label, "CreateFontIndirect", GetLastError());
        return false;
    }
    HWND window = graphic_->window();
    HDC window_dc = GetDC(window);
    if (!window_dc) {
        TRACE_ERROR(label, "GetDC", GetLastError());
        delete_gdiobjects();
        return false;
    }
    dc_ = CreateCompatibleDC(window_dc);
    DWORD error = GetLastError();
    ReleaseDC(window, window_dc);
    if (!dc_) {
        TRACE_ERROR(label, "CreateCompatibleDC", error);
        delete_gdiobjects();
        return false;
    }
    old_object_ = SelectObject(dc_, font_);
    if (!old_object_ || old_object_ == HGDI_ERROR) {
        old_object_ = nullptr;
        TRACE_ERROR(label, "SelectObject", GetLastError());
        delete_gdiobjects();
        return false;
    }
    return true;
}

void graphic_font::delete_gdiobjects() {
    if (dc_ && old_object_) SelectObject(dc_, old_object_);
    old_object_ = nullptr;
    if (dc_) DeleteDC(dc_);
    dc_ = nullptr;
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

bool graphic_font::create_cache() {
    uint32_t side = uint32_t(std::sqrt(double(capacity_)) + 0.9999999999);
    if (side == 0) side = 1;
    // A cache count from a script must not wrap the page size round to a
    // small one: past the device's limit the page is refused.
    if (uint64_t(cell_width_) * side > 0xFFFFFFFFu || uint64_t(cell_height_) * side > 0xFFFFFFFFu) {
        TRACE_ERROR("graphic_font::create_cache", "cache beyond the ceiling", int32_t(capacity_));
        return false;
    }
    if (!create_blank(cell_width_ * side, cell_height_ * side, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                      D3DUSAGE_DYNAMIC)) {
        TRACE_ERROR("graphic_font::create_cache", "graphic_texture::create", -1);
        return false;
    }
    columns_ = real_width_ / cell_width_;
    rows_ = real_height_ / cell_height_;
    // A page the device made larger holds as many cells as fit in it.
    if (real_width_ != width_ || real_height_ != height_) capacity_ = columns_ * rows_;
    return true;
}

bool graphic_font::create() {
    if (lost_) {
        if (!create_blank(width_, height_, format_, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC)) {
            TRACE_ERROR("graphic_font::create", "graphic_texture::create", -1);
            return false;
        }
        // The page is only whole again with the glyphs drawn before the loss.
        HRESULT hr = upload_copy(nullptr);
        if (FAILED(hr)) {
            TRACE_ERROR("graphic_font::create", "UpdateTexture", hr);
            return false;
        }
        return true;
    }
    LOGFONTW lf{};
    lf.lfHeight = 10;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_DONTCARE;
    wcsncpy(lf.lfFaceName, default_face, 31);
    return create(&lf, 0x830A0000u, 256);
}

bool graphic_font::create(const LOGFONTW* logfont, uint32_t key_flags, uint32_t capacity) {
    const char* label = "graphic_font::create";
    if (lost_) return create();
    LOGFONTW lf = logfont ? *logfont : logfont_;
    release(false);
    logfont_ = lf;
    if (!create_gdiobjects()) return false;
    key_flags_ = key_flags | font_flag_created;
    TEXTMETRICW tm;
    if (!GetTextMetricsW(dc_, &tm)) {
        TRACE_ERROR(label, "GetTextMetrics", GetLastError());
        release(false);
        return false;
    }
    // Cells are 16-bit and must fit a texture page; a size from a script
    // beyond that would only size a glyph buffer of gigabytes.
    if (tm.tmHeight <= 0 || tm.tmHeight > font_cell_ceiling || tm.tmMaxCharWidth <= 0 ||
        tm.tmMaxCharWidth > font_cell_ceiling) {
        TRACE_ERROR(label, "font size beyond the ceiling", tm.tmHeight > tm.tmMaxCharWidth ? tm.tmHeight : tm.tmMaxCharWidth);
        release(false);
        return false;
    }
    ABC abc;
    INT width = 0;
    if (GetCharABCWidthsA(dc_, 0x20, 0x20, &abc))
        space_advance_ = abc_sum(abc);
    else if (GetCharWidth32A(dc_, 0x20, 0x20, &width))  // fonts without ABC widths
        space_advance_ = uint16_t(width);
    else
        space_advance_ = uint16_t(tm.tmAveCharWidth);
    wide_space_advance_ = GetCharABCWidthsA(dc_, 0x8140, 0x8140, &abc)
                              ? abc_sum(abc)
                              : uint16_t(space_advance_ * 2);
    cell_width_ = uint16_t(tm.tmMaxCharWidth + 2);
    cell_height_ = uint16_t(tm.tmHeight + 2);
    ascent_ = uint16_t(tm.tmAscent);
    glyph_format_ = glyph_formats[(key_flags & font_flag_format_mask) >> font_flag_format_shift];

    size_t row = (size_t(1.5 * tm.tmMaxCharWidth) + 3) & ~size_t(3);
    try {
        glyph_buffer_.assign(row * size_t(1.5 * tm.tmHeight), 0);
    } catch (const std::bad_alloc&) {
        TRACE_ERROR(label, "allocate glyph buffer", -1);
        release(false);
        return false;
    }

    capacity_ = capacity ? capacity : 256;
    if (!create_cache()) {
        TRACE_ERROR(label, "create_cache", -1);
        release(false);
        return false;
    }
    // The copy matches the page as the device made it, so every cell of
    // the page has its place in the copy and UpdateTexture sees equal sizes.
    copy_ = graphic_->new_texture(false);
    if (!copy_ || !copy_->create_blank(real_width_, real_height_, format_, D3DPOOL_SYSTEMMEM, 0)) {
        TRACE_ERROR(label, "graphic_texture::create", -1);
        release(false);
        return false;
    }
    return true;
}

bool graphic_font::release(bool all) {
    (void)all;
    delete_gdiobjects();
    glyph_buffer_.clear();
    glyph_buffer_.shrink_to_fit();
    glyphs_.clear();
    free_cells_.clear();
    cells_handed_ = 0;
    delete copy_;
    copy_ = nullptr;
    release_device_objects();
    lost_ = false;
    return true;
}

bool graphic_font::onlost() {
    lost_ = true;
    delete_gdiobjects();
    release_device_objects();
    return true;
}

bool graphic_font::restore() {
    const char* label = "graphic_font::restore";
    if (!lost_) return true;
    if (!copy_) {  // never created: nothing to bring back
        lost_ = false;
        return true;
    }
    if (!create_gdiobjects()) {
        TRACE_ERROR(label, "create_gdiobjects", -1);
        return false;
    }
    if (!create_blank(width_, height_, format_, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC)) {
        TRACE_ERROR(label, "graphic_texture::create", -1);
        return false;
    }
    HRESULT hr = upload_copy(nullptr);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "UpdateTexture", hr);
        return false;
    }
    lost_ = false;
    return true;
}

HRESULT graphic_font::upload_copy(const RECT* dirty) {
    if (!copy_ || !copy_->d3d_texture() || !texture_) return E_POINTER;
    HRESULT hr = copy_->d3d_texture()->AddDirtyRect(dirty);
    if (FAILED(hr)) return hr;
    return graphic_->device()->UpdateTexture(copy_->d3d_texture(), texture_);
}

void graphic_font::fill_glyph(const glyph_entry& e, graphic_glyph& out) const {
    out.advance = e.advance;
    out.height = e.height;
    out.left = int32_t(cell_width_ * (e.cell % columns_)) + 1;
    out.top = int32_t(cell_height_ * (e.cell / columns_)) + 1;
    out.right = out.left + e.advance;
    out.bottom = out.top + e.height;
}

uint32_t graphic_font::take_cell() {
    if (!free_cells_.empty()) {
        uint32_t cell = free_cells_.back();
        free_cells_.pop_back();
        return cell;
    }
    if (cells_handed_ < capacity_) return cells_handed_++;
    // The least recently used glyph gives its cell up; ages in unsigned
    // arithmetic stay right across the counter's wrap.
    glyph_map::iterator oldest = glyphs_.begin();
    uint32_t oldest_age = 0;
    for (glyph_map::iterator it = glyphs_.begin(); it != glyphs_.end(); ++it) {
        uint32_t age = use_counter_ - it->second.last_use;
        if (age > oldest_age || it == glyphs_.begin()) {
            oldest = it;
            oldest_age = age;
        }
    }
    if (oldest == glyphs_.end() || oldest_age < use_counter_ - frame_first_use_) {
        // Every cell serves this frame already.
        if (wanted_capacity_ < capacity_ * 2) wanted_capacity_ = capacity_ * 2;
        return no_cell;
    }
    uint32_t cell = oldest->second.cell;
    glyphs_.erase(oldest);
    return cell;
}

bool graphic_font::draw_cell(uint32_t cell, const GLYPHMETRICS& gm, uint32_t size) {
    const char* label = "graphic_font::get_char";
    if (!copy_->lock(nullptr, D3DLOCK_NO_DIRTY_UPDATE)) {
        TRACE_ERROR(label, "graphic_texture::lock", -1);
        return false;
    }
    const uint32_t bytes = glyph_texel_bytes(format_);
    const int32_t cell_x = int32_t(cell_width_ * (cell % columns_));
    const int32_t cell_y = int32_t(cell_height_ * (cell / columns_));
    uint8_t* bits = static_cast<uint8_t*>(copy_->bits());
    const int32_t pitch = copy_->pitch();
    if (bytes) {
        for (int32_t y = 0; y < cell_height_; ++y)
            std::memset(bits + size_t(cell_y + y) * pitch + size_t(cell_x) * bytes, 0,
                        size_t(cell_width_) * bytes);
        const uint32_t source_pitch = glyph_source_pitch(glyph_format_, gm.gmBlackBoxX);
        const uint32_t source_rows = source_pitch ? size / source_pitch : 0;
        const uint32_t skip = source_rows > gm.gmBlackBoxY ? source_rows - gm.gmBlackBoxY : 0;
        const int32_t left = cell_x + gm.gmptGlyphOrigin.x + 1;
        const int32_t top = cell_y + int32_t(ascent_) - gm.gmptGlyphOrigin.y + 1;
        // Pixels beyond the cell (wide italics and the like) are cut off.
        for (uint32_t sy = 0; sy < gm.gmBlackBoxY && skip + sy < source_rows; ++sy) {
            const int32_t dy = top + int32_t(sy);
            if (dy < cell_y || dy >= cell_y + cell_height_) continue;
            const uint8_t* src = glyph_buffer_.data() + size_t(skip + sy) * source_pitch;
            uint8_t* dst_row = bits + size_t(dy) * pitch;
            for (uint32_t sx = 0; sx < gm.gmBlackBoxX; ++sx) {
                const int32_t dx = left + int32_t(sx);
                if (dx < cell_x || dx >= cell_x + cell_width_) continue;
                uint32_t level = glyph_format_ == GGO_BITMAP ? (src[sx >> 3] >> (7 - (sx & 7))) & 1
                                                             : src[sx];
                write_glyph_texel(format_, dst_row + size_t(dx) * bytes,
                                  glyph_level_alpha(glyph_format_, level));
            }
        }
    }
    copy_->unlock();
    RECT r{cell_x, cell_y, cell_x + cell_width_, cell_y + cell_height_};
    HRESULT hr = upload_copy(&r);
    if (FAILED(hr)) {
        TRACE_ERROR(label, "UpdateTexture", hr);
        return false;
    }
    return true;
}

void graphic_font::begin_frame_if_new() {
    // Outside drawing nothing is queued: every cell is free to go.
    const bool drawing = graphic_ && graphic_->drawing();
    const uint32_t frame = drawing ? graphic_->frame() : 0xFFFFFFFFu;
    if (frame == frame_seen_ && drawing) return;
    frame_seen_ = frame;
    frame_first_use_ = use_counter_ + (drawing ? 0 : 1);
    if (wanted_capacity_ > capacity_) {
        const uint32_t wanted = wanted_capacity_;
        wanted_capacity_ = 0;  // one try a shortage
        resize_cache(wanted);
    }
}

bool graphic_font::get_char(uint32_t code, graphic_glyph& out) {
    const char* label = "graphic_font::get_char";
    begin_frame_if_new();
    ++use_counter_;
    glyph_map::iterator found = glyphs_.find(code);
    if (found != glyphs_.end()) {
        found->second.last_use = use_counter_;
        fill_glyph(found->second, out);
        return true;
    }
    if (!dc_ || !copy_ || !texture_) {
        TRACE_ERROR(label, "no font", -1);
        return false;
    }
    GLYPHMETRICS gm;
    DWORD size = GetGlyphOutlineA(dc_, code, glyph_format_, &gm, 0, nullptr, &identity_matrix);
    if (size == 0 || size == GDI_ERROR) {
        TRACE_ERROR(label, "GetGlyphOutline", GetLastError());
        return false;
    }
    // The buffer is sized from the font's metrics; a glyph that needs more
    // (some faces draw beyond their maximum width) gets a larger buffer
    // rather than a write past its end.
    if (size > glyph_buffer_.size()) {
        try {
            glyph_buffer_.resize(size);
        } catch (const std::bad_alloc&) {
            TRACE_ERROR(label, "allocate glyph buffer", size);
            return false;
        }
    }
    if (GetGlyphOutlineA(dc_, code, glyph_format_, &gm, size, glyph_buffer_.data(),
                         &identity_matrix) == GDI_ERROR) {
        TRACE_ERROR(label, "GetGlyphOutline", GetLastError());
        return false;
    }
    const uint32_t cell = take_cell();
    // Left out of this frame rather than drawn over a glyph still queued.
    if (cell == no_cell) return false;
    glyph_entry entry{gm.gmCellIncX, int32_t(cell_height_) - 2, cell, use_counter_};
    glyph_map::iterator it = glyphs_.emplace(code, entry).first;
    if (!draw_cell(cell, gm, size)) {
        // The cell may hold another glyph's pixels: the entry goes again.
        glyphs_.erase(it);
        free_cells_.push_back(cell);
        return false;
    }
    ++rasterised_;
    fill_glyph(entry, out);
    return true;
}

// Every cached glyph from its place under the old grid to its place under
// the current one; the rest of the new copy is cleared.
bool graphic_font::move_cells(graphic_texture& to, uint32_t old_columns) {
    const uint32_t bytes = glyph_texel_bytes(format_);
    if (!copy_->lock(nullptr, D3DLOCK_READONLY)) return false;
    if (!to.lock(nullptr, 0)) {
        copy_->unlock();
        return false;
    }
    const uint8_t* from = static_cast<const uint8_t*>(copy_->bits());
    uint8_t* into = static_cast<uint8_t*>(to.bits());
    const size_t row_bytes = size_t(to.real_width()) * (bytes ? bytes : 4);
    for (uint32_t y = 0; y < to.real_height(); ++y) std::memset(into + size_t(y) * to.pitch(), 0, row_bytes);
    if (bytes) {
        for (const auto& g : glyphs_) {
            const uint32_t cell = g.second.cell;
            const size_t sx = size_t(cell_width_) * (cell % old_columns) * bytes;
            const size_t sy = size_t(cell_height_) * (cell / old_columns);
            const size_t dx = size_t(cell_width_) * (cell % columns_) * bytes;
            const size_t dy = size_t(cell_height_) * (cell / columns_);
            for (uint32_t y = 0; y < cell_height_; ++y)
                std::memcpy(into + (dy + y) * to.pitch() + dx,
                            from + (sy + y) * copy_->pitch() + sx, size_t(cell_width_) * bytes);
        }
    }
    copy_->unlock();
    to.unlock();
    return true;
}

bool graphic_font::resize_cache(uint32_t capacity) {
    const char* label = "graphic_font::resize_cache";
    if (capacity <= capacity_) return true;
    if (!copy_ || lost_) {
        TRACE_ERROR(label, "no font", -1);
        return false;
    }
    const uint32_t old_capacity = capacity_, old_columns = columns_;
    release_device_objects();
    capacity_ = capacity;
    if (!create_cache()) {
        TRACE_ERROR(label, "create_cache", -1);
        // Back to the page as it was, so the cached glyphs stay served.
        capacity_ = old_capacity;
        if (create_cache()) upload_copy(nullptr);
        return false;
    }
    graphic_texture* fresh = graphic_->new_texture(false);
    if (!fresh || !fresh->create_blank(real_width_, real_height_, format_, D3DPOOL_SYSTEMMEM, 0) ||
        !move_cells(*fresh, old_columns)) {
        TRACE_ERROR(label, "graphic_texture::resize", -1);
        delete fresh;
        // Cells must stay where the copy has them: back to the old grid.
        release_device_objects();
        capacity_ = old_capacity;
        if (create_cache()) upload_copy(nullptr);
        return false;
    }
    delete copy_;
    copy_ = fresh;
    HRESULT hr = upload_copy(nullptr);
    if (FAILED(hr)) {
        TRACE_ERROR("graphic_font::resize", "UpdateTexture", hr);
        return false;
    }
    return true;
}

void graphic_font::make_logfont(font_key& key, const wchar_t* face, int32_t height,
                                int32_t weight, uint32_t flags) {
    static const BYTE charsets[4] = {DEFAULT_CHARSET, ANSI_CHARSET, OEM_CHARSET, SHIFTJIS_CHARSET};
    static const BYTE families[8] = {FF_DONTCARE, FF_DECORATIVE, FF_MODERN, FF_ROMAN,
                                     FF_SCRIPT,   FF_SWISS,      FF_DONTCARE, FF_DONTCARE};
    static const BYTE pitches[4] = {DEFAULT_PITCH, VARIABLE_PITCH, FIXED_PITCH, DEFAULT_PITCH};
    std::memset(&key, 0, sizeof key);
    LOGFONTW& lf = key.logfont;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = (flags >> 28) & 1;
    lf.lfUnderline = (flags >> 29) & 1;
    lf.lfStrikeOut = (flags >> 30) & 1;
    // Charset indexes past the table have no charset of their own.
    const uint32_t charset = (flags >> 24) & 0xF;
    lf.lfCharSet = charset < 4 ? charsets[charset] : DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfPitchAndFamily = BYTE(families[(flags >> 20) & 7] | pitches[(flags >> 18) & 3]);
    if (face) wcsncpy(lf.lfFaceName, face, 31);
    lf.lfFaceName[31] = 0;
    key.flags = flags & 0x00830000u;
}
