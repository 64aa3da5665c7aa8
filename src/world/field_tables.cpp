// Cell sets and fields from their Lua definition tables. Every reader
// throws its message; the creators log it, drop the half-built object and
// answer null.
#include "world/field_tables.h"

#include <memory>

#include "core/lua_readers.h"
#include "core/script.h"
#include "core/system_log.h"
#include "graphics/graphic.h"
#include "lua.h"
#include "world/collision_manager.h"
#include "world/field_manager.h"
#include "world/sprite_class.h"
#include "world/table_readers.h"

namespace {
const char* const cell_origin = "fields.cell_create";
const char* const field_origin = "fields.create";

void read_pair_float(lua_State* L, int t, int n, float out[2], const char* bad, const char* mx, const char* my) {
    lua_get_index_table(L, t, n, false, bad);
    const int p = lua_gettop(L);
    lua_get_index_float(L, p, 1, out[0], false, mx);
    lua_get_index_float(L, p, 2, out[1], false, my);
    lua_pop(L, 1);
}

void read_rect(lua_State* L, int c, field_cell& cell) {
    if (!lua_get_index_table(L, c, 1, true, "invalid cell image rect")) return;
    const int r = lua_gettop(L);
    lua_get_index_int(L, r, 1, cell.rect[0], false, "no cell rect.left");
    lua_get_index_int(L, r, 2, cell.rect[1], false, "no cell rect.top");
    lua_get_index_int(L, r, 3, cell.rect[2], false, "no cell rect.right");
    lua_get_index_int(L, r, 4, cell.rect[3], false, "no cell rect.bottom");
    lua_pop(L, 1);
}

void read_pivot(lua_State* L, int c, field_cell& cell) {
    cell.pivot[0] = float((cell.rect[2] - cell.rect[0]) / 2);
    cell.pivot[1] = float((cell.rect[3] - cell.rect[1]) / 2);
    if (!lua_get_index_table(L, c, 2, true, "invalid cell center")) return;
    const int p = lua_gettop(L);
    lua_get_index_float(L, p, 1, cell.pivot[0], false, "no cell center.x");
    lua_get_index_float(L, p, 2, cell.pivot[1], false, "no cell center.y");
    lua_pop(L, 1);
}

shape_frame cell_frame(const field_cell& cell) {
    return {{cell.pivot[0], cell.pivot[1]}, {0, 0, cell.rect[2] - cell.rect[0], cell.rect[3] - cell.rect[1]}};
}

void read_collision(lua_State* L, int c, field_cell& cell, field_cell_set& set) {
    if (!lua_get_index_table(L, c, 3, true, "invalid cell collision")) return;
    const int t = lua_gettop(L);
    bool object = false;
    lua_get_field_bool(L, t, "object", object, "invalid field object");
    cell.object_owned = object ? 1 : 0;
    if (!load_shape(L, t, cell_frame(cell), cell.collision, set.shapes)) throw "invalid cell collision";
    lua_pop(L, 1);
}

void read_effect(lua_State* L, int c, field_cell& cell, field_cell_set& set) {
    if (!lua_get_index_table(L, c, 4, true, "invalid cell effect")) return;
    const int e = lua_gettop(L);
    lua_get_index_table(L, e, 1, false, "invalid cell effect shape");
    if (!load_shape(L, lua_gettop(L), cell_frame(cell), cell.effect_shape, set.shapes))
        throw "invalid cell effect shape";
    lua_pop(L, 1);
    read_pair_float(L, e, 2, &cell.effect.k[0], "invalid cell effect dx", "no cell effect dx.x", "no cell effect dx.y");
    read_pair_float(L, e, 3, &cell.effect.k[2], "invalid cell effect dy", "no cell effect dy.x", "no cell effect dy.y");
    lua_get_index_int(L, e, 4, cell.effect.layer_step, false, "no cell effect layer");
    lua_get_index_uint(L, e, 5, cell.effect.flags, false, "no cell effect type");
    lua_pop(L, 1);
}

void read_cells(lua_State* L, int def, field_cell_set& set) {
    collision_manager* cm = collision_manager::instance();
    st_body_attr defaults = cm ? cm->defaults : st_body_attr{0, 0, 0, 0, 100.0f, 1.0f, 0.0f, 0.0f};
    uint32_t previous_id = 0;
    for (int i = 1;; ++i) {
        lua_rawgeti(L, def, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        if (!lua_istable(L, -1)) throw "invalid cell info";
        const int c = lua_gettop(L);
        field_cell cell;
        cell.attr = defaults;
        if (!load_body_attribute(L, c, cell.attr, true)) throw "invalid cell attribute";
        if (cell.attr.id == 0) cell.attr.id = previous_id + 1;
        bool is_default = false;
        lua_get_field_bool(L, c, "default", is_default, "invalidcell default");
        if (is_default) {
            defaults = cell.attr;
            defaults.id = defaults.type = defaults.cond = defaults.attr = 0;
        }
        read_rect(L, c, cell);
        read_pivot(L, c, cell);
        read_collision(L, c, cell, set);
        read_effect(L, c, cell, set);
        set.cells.push_back(cell);
        set.max_width = std::max(set.max_width, cell.rect[2] - cell.rect[0]);
        set.max_height = std::max(set.max_height, cell.rect[3] - cell.rect[1]);
        previous_id = cell.attr.id;
        lua_settop(L, c - 1);
    }
}

field_cell_set* named_cell_set(lua_State* L, int t, const char* key, const char* bad_type) {
    lua_getfield(L, t, key);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return nullptr;
    }
    if (lua_type(L, -1) != LUA_TSTRING) throw bad_type;
    field_cell_set* set = field_manager::instance()->find_cell_set(lua_tostring(L, -1));
    lua_pop(L, 1);
    if (!set) throw "invalid cell name";
    return set;
}

void read_zorder(lua_State* L, int t, const char* bad, const char* bad_z, const char* bad_x, const char* bad_y,
                 int32_t& z, float& x, float& y) {
    if (!lua_get_field_table(L, t, "zorder", true, bad)) return;
    const int zt = lua_gettop(L);
    lua_get_field_int(L, zt, "z", z, true, bad_z);
    lua_get_field_float(L, zt, "x", x, true, bad_x);
    lua_get_field_float(L, zt, "y", y, true, bad_y);
    lua_pop(L, 1);
}

void read_entrances(lua_State* L, int def, field& f) {
    if (!lua_get_field_table(L, def, "entrance", true, "invalid entrance list")) return;
    const int list = lua_gettop(L);
    for (int i = 1;; ++i) {
        lua_rawgeti(L, list, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_istable(L, -1)) throw "invalid entrance info";
        const int e = lua_gettop(L);
        field_entrance in;
        lua_get_index_float(L, e, 1, in.x, false, "invalid entrance.x");
        lua_get_index_float(L, e, 2, in.y, false, "invalid entrance.y");
        lua_get_index_float(L, e, 3, in.layer, false, "invalid entrance.layer");
        lua_get_index_int(L, e, 4, in.way, true, "invalid entrance.way");
        lua_get_field_int(L, e, "way", in.way, true, "invalid entrance.way");
        lua_get_index_int(L, e, 5, in.zorder, true, "invalid entrance.zorder");
        lua_get_field_int(L, e, "zorder", in.zorder, true, "invalid entrance.zorder");
        f.entrances.push_back(in);
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

field_cell* cell_by_reference(field_cell_set& set, int32_t ref, bool by_index) {
    if (by_index) return ref >= 1 && size_t(ref) <= set.cells.size() ? &set.cells[size_t(ref) - 1] : nullptr;
    for (field_cell& c : set.cells) {
        if (c.attr.id == uint32_t(ref)) return &c;
    }
    return nullptr;
}

void place(field_layer& layer, int32_t ref, bool by_index, int32_t x, int32_t y, uint32_t state) {
    field_cell* cell = cell_by_reference(*layer.cells, ref, by_index);
    if (!cell) throw "invalid cell id/index";
    field_placed_cell pc;
    pc.cell = cell;
    pc.x = x;
    pc.y = y;
    pc.state = state;
    layer.placed.push_back(pc);
}

void read_placed_grid(lua_State* L, int t, field_layer& layer, bool by_index, int32_t columns, int32_t rows) {
    const int32_t cw = (layer.cx + columns - 1) / columns, ch = (layer.cy + rows - 1) / rows;
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < columns; ++c) {
            int32_t ref = 0;
            lua_get_index_int(L, t, r * columns + c + 1, ref, false, "no cell index");
            if (ref > 0) place(layer, ref, by_index, c * cw + cw / 2, r * ch + ch / 2, 0);
        }
    }
}

void read_placed_list(lua_State* L, int t, field_layer& layer, bool by_index) {
    for (int i = 1;; ++i) {
        lua_rawgeti(L, t, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            return;
        }
        if (!lua_istable(L, -1)) throw "invalid cell arrange list";
        const int e = lua_gettop(L);
        int32_t ref = 0, x = 0, y = 0;
        uint32_t state = 0;
        lua_get_index_int(L, e, 1, ref, false, "no cell index");
        lua_get_index_int(L, e, 2, x, false, "no cell position.x");
        lua_get_index_int(L, e, 3, y, false, "no cell position.y");
        lua_get_field_uint(L, e, "state", state, true, "invalid cell state");
        if (ref > 0) place(layer, ref, by_index, x, y, state);
        lua_pop(L, 1);
    }
}

void read_layer(lua_State* L, int t, field& f, bool has_size) {
    field_layer layer;
    layer.cells = named_cell_set(L, t, "cell", "invalid layer cell name");
    if (!layer.cells) layer.cells = f.cells;
    if (!layer.cells) throw "cannot omit layer cell name when you omitted field cell name";
    bool by_index = false;
    lua_get_field_bool(L, t, "cellindex", by_index, "invalid layer cellindex");
    if (lua_get_field_table(L, t, "size", true, "invalid layer size")) {
        lua_get_index_int(L, lua_gettop(L), 1, layer.cx, false, "invalid layer size.cx");
        lua_get_index_int(L, lua_gettop(L), 2, layer.cy, false, "invalid layer size.cy");
        lua_pop(L, 1);
    } else if (has_size) {
        layer.cx = f.cx, layer.cy = f.cy;
    } else {
        throw "cannot specify layer size when you omitted field size";
    }
    layer.height = f.height_min;
    if (lua_get_field_table(L, t, "height", true, "invalid layer height")) {
        lua_get_index_int(L, lua_gettop(L), 1, layer.height, false, "invalid layer height");
        lua_pop(L, 1);
        if (layer.height < f.height_min || layer.height > f.height_max) throw "invalid layer height";
    }
    layer.max_zorder = f.max_zorder;
    layer.x_coefficient = f.x_coefficient;
    layer.y_coefficient = f.y_coefficient;
    read_zorder(L, t, "invalid layer zorder coefficient", "invalid layer max-zorder", "invalid layer x-coefficient",
                "invalid layer y-coefficient", layer.max_zorder, layer.x_coefficient, layer.y_coefficient);
    lua_get_field_uint(L, t, "state", layer.state, true, "invalid layer state");
    if (lua_get_field_table(L, t, "format", true, "invalid layer format")) {
        int32_t columns = 0, rows = 0;
        lua_get_index_int(L, lua_gettop(L), 1, columns, false, "invalid layer format");
        lua_get_index_int(L, lua_gettop(L), 2, rows, false, "invalid layer format");
        lua_pop(L, 1);
        // A grid needs at least one column and one row to cut the layer by.
        if (columns <= 0 || rows <= 0) throw "invalid layer format";
        read_placed_grid(L, t, layer, by_index, columns, rows);
    } else {
        read_placed_list(L, t, layer, by_index);
    }
    f.layers.push_back(std::move(layer));
}

void read_field(lua_State* L, int def, field& f, field_manager& m) {
    f.cells = named_cell_set(L, def, "cell", "invalid cell name");
    bool has_size = false;
    if (lua_get_field_table(L, def, "size", true, "invalid field size")) {
        lua_get_index_int(L, lua_gettop(L), 1, f.cx, false, "invalid field size.cx");
        lua_get_index_int(L, lua_gettop(L), 2, f.cy, false, "invalid field size.cy");
        lua_pop(L, 1);
        has_size = true;
    }
    if (lua_get_field_table(L, def, "height", true, "invalid field height")) {
        lua_get_index_int(L, lua_gettop(L), 1, f.height_min, false, "invalid field height min");
        lua_get_index_int(L, lua_gettop(L), 2, f.height_max, false, "invalid field height max");
        lua_pop(L, 1);
    }
    read_entrances(L, def, f);
    f.max_zorder = m.default_max_zorder;
    f.x_coefficient = m.default_x_coefficient;
    f.y_coefficient = m.default_y_coefficient;
    read_zorder(L, def, "invalid zorder coefficient", "invalid max-zorder", "invalid x-coefficient",
                "invalid y-coefficient", f.max_zorder, f.x_coefficient, f.y_coefficient);
    for (int i = 1;; ++i) {
        lua_rawgeti(L, def, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_istable(L, -1)) throw "invalid layer list";
        read_layer(L, lua_gettop(L), f, has_size);
        lua_pop(L, 1);
    }
    for (const field_layer& l : f.layers) {
        f.margin_width = std::max(f.margin_width, l.cells->max_width);
        f.margin_height = std::max(f.margin_height, l.cells->max_height);
    }
}
}  // namespace

field_cell_set* cell_set_create(lua_State* L, int index) {
    field_manager* m = field_manager::instance();
    const int def = script_abs_index(L, index), top = lua_gettop(L);
    std::unique_ptr<field_cell_set> set;
    try {
        if (!m || !lua_istable(L, def)) throw "no cell name";
        string name;
        read_field_string(L, def, "name", name, false, "no cell name");
        system_log_trace(6, cell_origin, "create cell %s", name.c_str());
        if (m->find_cell_set(name.c_str())) throw "specified cell name is already existed";
        string image;
        read_field_string(L, def, "image", image, false, "no cell image path");
        set.reset(new field_cell_set);
        set->name = name;
        wstring path;
        string entry;
        graphic* g = graphic::instance();
        if (!g || !resolve_world_image(image.c_str(), path, entry) || !g->textures().find(set->texture, path.c_str(), entry))
            throw "specified cell name is already existed";
        read_cells(L, def, *set);
    } catch (const char* message) {
        system_log_trace(1, cell_origin, "%s", message);
        lua_settop(L, top);
        return nullptr;
    }
    m->add_cell_set(set.get());
    system_log_trace(6, cell_origin, "%s is created successfully", set->name.c_str());
    return set.release();
}

field* field_create(lua_State* L, int index) {
    field_manager* m = field_manager::instance();
    const int def = script_abs_index(L, index), top = lua_gettop(L);
    std::unique_ptr<field> f;
    try {
        if (!m || !lua_istable(L, def)) throw "no field name";
        string name;
        read_field_string(L, def, "name", name, false, "no field name");
        system_log_trace(6, field_origin, "create field: %s", name.c_str());
        if (m->find_field(name.c_str())) throw "specified field name is already existed";
        f.reset(new field);
        f->name = name;
        read_field(L, def, *f, *m);
    } catch (const char* message) {
        system_log_trace(1, field_origin, "%s", message);
        lua_settop(L, top);
        return nullptr;
    }
    m->add_field(f.get());
    system_log_trace(6, field_origin, "%s is created successfully", f->name.c_str());
    return f.release();
}
