// GDI drawing functions over the device context held in a table's field
// `dc`, called by scripts with method syntax: the drawing action's table and
// the paint table of script windows share them.
#include "world/gdi_drawing.h"

#include <windows.h>

#include <vector>

#include "core/lua_readers.h"
#include "core/strings.h"
#include "core/trace.h"
#include "graphics/graphic.h"
#include "graphics/texture.h"
#include "lauxlib.h"
#include "lua.h"
#include "world/sprite_class.h"

namespace {
HDC dc_of(lua_State* L) {
    if (!lua_istable(L, 1)) return nullptr;
    lua_getfield(L, 1, "dc");
    void* p = lua_touserdata(L, -1);
    lua_pop(L, 1);
    return static_cast<HDC>(p);
}

int coord(lua_State* L, int index) { return script_round_int(lua_tonumber(L, index)); }

// 0xRRGGBB to a COLORREF; none gives the table's own missing colour.
COLORREF colour(lua_State* L, int index) {
    const int from = lua_isnoneornil(L, index) ? lua_upvalueindex(1) : index;
    const uint32_t v = uint32_t(script_truncate_int(lua_tonumber(L, from)));
    return (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
}

// A pen and a brush selected for one call, put back and deleted after it.
struct tools {
    HDC dc;
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HGDIOBJ old_pen = nullptr, old_brush = nullptr;

    explicit tools(HDC d) : dc(d) {}
    ~tools() {
        if (old_pen) SelectObject(dc, old_pen);
        if (old_brush) SelectObject(dc, old_brush);
        if (pen) DeleteObject(pen);
        if (brush) DeleteObject(brush);
    }
    bool select_pen(COLORREF c) {
        pen = CreatePen(PS_SOLID, 1, c);
        return pen && (old_pen = SelectObject(dc, pen)) != nullptr;
    }
    bool select_brush(COLORREF c) {
        brush = CreateSolidBrush(c);
        return brush && (old_brush = SelectObject(dc, brush)) != nullptr;
    }
};

int point(lua_State* L) {
    if (HDC dc = dc_of(L)) SetPixel(dc, coord(L, 2), coord(L, 3), colour(L, 4));
    return 0;
}

int line(lua_State* L) {
    HDC dc = dc_of(L);
    if (!dc) return 0;
    const int n = lua_gettop(L);
    tools t(dc);
    if (!t.select_pen(colour(L, n))) return 0;
    MoveToEx(dc, coord(L, 2), coord(L, 3), nullptr);
    for (int i = 4; i < n - 1; i += 2) LineTo(dc, coord(L, i), coord(L, i + 1));
    return 0;
}

RECT rect_args(lua_State* L, int first) {
    return RECT{coord(L, first), coord(L, first + 1), coord(L, first + 2), coord(L, first + 3)};
}

int frame(lua_State* L) {
    HDC dc = dc_of(L);
    if (!dc) return 0;
    const RECT r = rect_args(L, 2);
    HBRUSH edge = CreateSolidBrush(colour(L, 6));
    HBRUSH fill = CreateSolidBrush(colour(L, 7));
    if (edge && fill) {
        FillRect(dc, &r, fill);
        FrameRect(dc, &r, edge);
    }
    if (edge) DeleteObject(edge);
    if (fill) DeleteObject(fill);
    return 0;
}

int circle(lua_State* L) {
    HDC dc = dc_of(L);
    if (!dc) return 0;
    const int n = lua_gettop(L);
    RECT r;
    int colours;
    if (n <= 6) {
        const int cx = coord(L, 2), cy = coord(L, 3), radius = coord(L, 4);
        r = RECT{cx - radius, cy - radius, cx + radius, cy + radius};
        colours = 5;
    } else {
        r = rect_args(L, 2);
        colours = 6;
    }
    tools t(dc);
    if (!t.select_pen(colour(L, colours)) || !t.select_brush(colour(L, colours + 1))) return 0;
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
    return 0;
}

int polygon(lua_State* L) {
    HDC dc = dc_of(L);
    if (!dc) return 0;
    const int n = lua_gettop(L);
    std::vector<POINT> points;
    for (int i = 2; i + 1 <= n - 2; i += 2) points.push_back(POINT{coord(L, i), coord(L, i + 1)});
    if (points.empty()) return 0;
    tools t(dc);
    if (!t.select_pen(colour(L, n - 1)) || !t.select_brush(colour(L, n))) return 0;
    const INT count = INT(points.size());
    PolyPolygon(dc, points.data(), &count, 1);
    return 0;
}

int text(lua_State* L) {
    HDC dc = dc_of(L);
    if (!dc) return 0;
    const int n = lua_gettop(L);
    RECT r;
    int at_text, at_colour;
    UINT format;
    if (n <= 5) {
        r = RECT{coord(L, 2), coord(L, 3), coord(L, 2) + 1, coord(L, 3) + 1};
        at_text = 4;
        at_colour = 5;
        format = DT_NOCLIP;
    } else {
        r = rect_args(L, 2);
        at_text = 6;
        format = UINT(script_truncate_int(lua_tonumber(L, 7)));
        at_colour = 8;
    }
    const char* s = lua_tostring(L, at_text);
    wstring wide;
    if (!s || !string_to_wstring(s, wide)) return 0;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour(L, at_colour));
    DrawTextW(dc, wide.c_str(), -1, &r, format);
    return 0;
}

int image(lua_State* L) {
    HDC dc = dc_of(L);
    graphic* g = graphic::instance();
    if (!dc || !g) return 0;
    const int n = lua_gettop(L);
    const char* name = lua_tostring(L, 6);
    wstring path;
    string entry;
    graphic_texture_manager::iterator it;
    if (!name || !sprite_image_resolve(name, path, entry) || !g->textures().find(it, path.c_str(), entry)) return 0;
    graphic_texture* texture = g->textures().acquire(it);
    if (!texture) return 0;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) {
        TRACE_ERROR("control_action::lua_draw_image", "CreateCompatibleDC", GetLastError());
        g->textures().release_entry(it);
        return 0;
    }
    HBITMAP bitmap = texture->d3d_texture() ? texture->create_bitmap(dc) : nullptr;
    HGDIOBJ old = bitmap ? SelectObject(memory, bitmap) : nullptr;
    if (old) {
        const int x = coord(L, 2), y = coord(L, 3), w = coord(L, 4), h = coord(L, 5);
        const int sx = coord(L, 7), sy = coord(L, 8);
        const int sw = coord(L, 9);
        if (n < 10 || sw < 0) {
            BitBlt(dc, x, y, w, h, memory, sx, sy, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, x, y, w, h, memory, sx, sy, sw, coord(L, 10), SRCCOPY);
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    g->textures().release_entry(it);
    return 0;
}

int fill(lua_State* L) {
    HDC dc = dc_of(L);
    if (!dc) return 0;
    const int n = lua_gettop(L);
    RECT r{};
    int at_colour = 2;
    if (n >= 3) {
        r = rect_args(L, 2);
        at_colour = 6;
    } else {
        BITMAP info{};
        HGDIOBJ selected = GetCurrentObject(dc, OBJ_BITMAP);
        if (selected && GetObjectW(selected, sizeof info, &info)) {
            r = RECT{0, 0, info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
        } else {
            r = RECT{0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
        }
    }
    HBRUSH brush = CreateSolidBrush(colour(L, at_colour));
    if (!brush) return 0;
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    return 0;
}

const luaL_Reg functions[] = {
    {"point", point}, {"line", line}, {"frame", frame}, {"circle", circle},
    {"polygon", polygon}, {"text", text}, {"image", image}, {"fill", fill},
};
}  // namespace

void gdi_drawing_register(lua_State* L, uint32_t missing_colour, bool with_fill) {
    for (const luaL_Reg& r : functions) {
        if (!with_fill && r.func == fill) continue;
        lua_pushnumber(L, missing_colour & 0xFFFFFF);
        lua_pushcclosure(L, r.func, 1);
        lua_setfield(L, -2, r.name);
    }
}
