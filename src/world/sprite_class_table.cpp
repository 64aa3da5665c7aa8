// The sprite class definition table, read key by key in a fixed order so
// that the first bad key decides the one message.
#include <cmath>
#include <memory>
#include <new>

#include "core/system_log.h"
#include "world/sprite_class.h"
#include "world/sprite_manager.h"
#include "world/table_readers.h"

namespace {
struct reader {
    lua_State* L;
    st_sprite_class* cls;
    int32_t rect[4] = {};
    float max_scale[2] = {1.0f, 1.0f};
    float wait = 8.0f;

    void image(int def);
    void frames(int def);
    void frame(int table, int32_t index, int32_t ways, st_sprite_frame& f);
    void check_cell(int32_t column, int32_t row, int32_t& x, int32_t& y);
    void frame_shapes(int table, st_sprite_frame& f);
    void scenes(int def);
    void states(int def);
};

// Ways of group j of W groups.
inline int32_t group_first(int32_t j, int32_t groups) { return j * 8 / groups; }
inline int32_t group_end(int32_t j, int32_t groups) { return (j + 1) * 8 / groups; }

void reader::image(int def) {
    lua_get_field_table(L, def, "image", false, "no image info");
    const int t = lua_gettop(L);
    string path;
    lua_get_index_string(L, t, 1, path, false, "no image path");
    if (!sprite_class::load_image(cls, path.c_str())) throw "invalid image path";
    uint32_t width = 0, height = 0;
    if (!sprite_class::image_size(cls, width, height) || width == 0 || height == 0) throw "fail to get image size";
    rect[0] = 0;
    rect[1] = 0;
    rect[2] = int32_t(width);
    rect[3] = int32_t(height);
    if (lua_get_index_table(L, t, 2, true, "invalid rect")) {
        const int r = lua_gettop(L);
        lua_get_index_int(L, r, 1, rect[0], true, "invalid rect.left");
        lua_get_index_int(L, r, 2, rect[1], true, "invalid rect.top");
        lua_get_index_int(L, r, 3, rect[2], true, "invalid rect.right");
        lua_get_index_int(L, r, 4, rect[3], true, "invalid rect.bottom");
        lua_pop(L, 1);
    }
    cls->cx = rect[2] - rect[0];
    cls->cy = rect[3] - rect[1];
    if (lua_get_index_table(L, t, 3, true, "invalid framesize")) {
        const int f = lua_gettop(L);
        lua_get_index_int(L, f, 1, cls->cx, false, "no framesize.cx");
        lua_get_index_int(L, f, 2, cls->cy, false, "no framesize.cy");
        lua_pop(L, 1);
    }
    if (cls->cx < 1) cls->cx = 1;
    if (cls->cy < 1) cls->cy = 1;
    for (auto& c : cls->centers) {
        c[0] = float(cls->cx) * 0.5f;
        c[1] = float(cls->cy) * 0.5f;
    }
    if (lua_get_index_table(L, t, 4, true, "invalid center")) {
        const int c = lua_gettop(L);
        lua_rawgeti(L, c, 1);
        const bool per_way = lua_istable(L, -1);
        lua_pop(L, 1);
        if (!per_way) {
            float x = 0, y = 0;
            lua_get_index_float(L, c, 1, x, false, "no center.x");
            lua_get_index_float(L, c, 2, y, false, "no center.y");
            for (auto& centre : cls->centers) {
                centre[0] = x;
                centre[1] = y;
            }
        } else {
            const int32_t groups = read_ways(L, c, nullptr, 8, "invalid center[i].ways");
            for (int32_t j = 0; j < groups; ++j) {
                lua_get_index_table(L, c, j + 1, false, "no center[i]");
                float x = 0, y = 0;
                lua_get_index_float(L, -1, 1, x, false, "no center[i].x");
                lua_get_index_float(L, -1, 2, y, false, "no center[i].y");
                lua_pop(L, 1);
                for (int32_t w = group_first(j, groups); w < group_end(j, groups); ++w) {
                    cls->centers[w][0] = x;
                    cls->centers[w][1] = y;
                }
            }
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
}

// A cell's pixel corner must lie inside the image rectangle.
void reader::check_cell(int32_t column, int32_t row, int32_t& x, int32_t& y) {
    const int64_t px = int64_t(rect[0]) + int64_t(column) * cls->cx;
    const int64_t py = int64_t(rect[1]) + int64_t(row) * cls->cy;
    if (px < rect[0] || px >= rect[2]) throw "invalid frame[i].framepos[j].x";
    if (py < rect[1] || py >= rect[3]) throw "invalid frame[i].framepos[j].y";
    x = int32_t(px);
    y = int32_t(py);
}

void reader::frame_shapes(int t, st_sprite_frame& f) {
    if (!lua_get_field_table(L, t, "shape", true, "invalid frame[i].shape")) return;
    const int s = lua_gettop(L);
    const int32_t count = int32_t(cls->frames.size());
    int32_t r = 0;
    if (lua_get_field_int(L, s, "reference", r, true, "invalid frame[i].shape.reference")) {
        if (r < 0 || r >= count) throw "invalid frame[i].shape.reference";
        const st_sprite_frame& other = cls->frames[size_t(r)];
        for (int w = 0; w < way_count; ++w) {
            for (int v = 0; v < way_count; ++v) {
                if (other.x[v] == f.x[w] && other.y[v] == f.y[w]) {
                    for (int k = 0; k < shape_set_count; ++k) f.shapes[k][w] = other.shapes[k][v];
                    break;
                }
            }
        }
    } else if (lua_get_field_int(L, s, "copy", r, true, "invalid frame[i].shape.copy")) {
        if (r < 0 || r >= count) throw "invalid frame[i].shape.copy";
        for (int k = 0; k < shape_set_count; ++k) {
            for (int w = 0; w < way_count; ++w) f.shapes[k][w] = cls->frames[size_t(r)].shapes[k][w];
        }
    } else {
        int32_t max = 4;
        lua_get_field_int(L, s, "max", max, true, "invalid frame[i].shape.max");
        if (max < 1 || max > shape_set_count) throw "invalid frame[i].shape.max";
        const shape_frame sf = {{cls->centers[0][0], cls->centers[0][1]}, {0, 0, cls->cx, cls->cy}};
        if (max == 1) {
            if (!load_way_shapes(L, s, sf, 8, nullptr, 0, f.shapes[0], cls->owned_shapes)) throw "invalid frame[i].shape";
        } else {
            for (int32_t k = 0; k < max; ++k) {
                if (!lua_get_index_table(L, s, k + 1, true, "invalid frame[i].shape[id]")) continue;
                if (!load_way_shapes(L, -1, sf, 8, nullptr, 0, f.shapes[k], cls->owned_shapes)) throw "invalid frame[i].shape";
                lua_pop(L, 1);
            }
        }
    }
    lua_pop(L, 1);
}

void reader::frame(int t, int32_t index, int32_t ways, st_sprite_frame& f) {
    int32_t id = 0;
    lua_get_field_int(L, t, "id", id, true, "invalid frame[i].id");
    lua_rawgeti(L, t, 1);
    if (lua_type(L, -1) == LUA_TNUMBER) {
        int32_t column = 0;
        lua_get_int(L, -1, column);
        for (int32_t j = 0; j < ways; ++j) {
            int32_t x, y;
            check_cell(column, j, x, y);
            for (int32_t w = group_first(j, ways); w < group_end(j, ways); ++w) {
                f.x[w] = x;
                f.y[w] = y;
            }
        }
    } else if (lua_istable(L, -1)) {
        const int p = lua_gettop(L);
        const int32_t groups = read_ways(L, p, nullptr, ways, "invalid frame[i].framepos.ways");
        for (int32_t j = 0; j < groups; ++j) {
            lua_get_index_table(L, p, j + 1, false, "no frame[i].framepos[j]");
            int32_t column = 0, row = 0;
            lua_get_index_int(L, -1, 1, column, false, "no frame[i].framepos[j].x");
            lua_get_index_int(L, -1, 2, row, false, "no frame[i].framepos[j].y");
            lua_pop(L, 1);
            int32_t x, y;
            check_cell(column, row, x, y);
            for (int32_t w = group_first(j, groups); w < group_end(j, groups); ++w) {
                f.x[w] = x;
                f.y[w] = y;
            }
        }
    } else if (lua_isnil(L, -1)) {
        // The first frame starts each way group's row; later ones take the
        // next cell of the previous frame's row.
        if (index == 0) {
            for (int32_t j = 0; j < ways; ++j) {
                int32_t x, y;
                check_cell(0, j, x, y);
                for (int32_t w = group_first(j, ways); w < group_end(j, ways); ++w) {
                    f.x[w] = x;
                    f.y[w] = y;
                }
            }
        } else {
            const st_sprite_frame& previous = cls->frames[size_t(index - 1)];
            for (int w = 0; w < way_count; ++w) {
                int32_t x, y;
                check_cell((previous.x[w] - rect[0]) / cls->cx + 1, (previous.y[w] - rect[1]) / cls->cy, x, y);
                f.x[w] = x;
                f.y[w] = y;
            }
        }
    } else {
        throw "invalid frame[i].framepos";
    }
    lua_pop(L, 1);

    lua_rawgeti(L, t, 2);
    if (lua_type(L, -1) == LUA_TNUMBER) {
        const float r = float(lua_tonumber(L, -1));
        for (float& rotation : f.rotation) rotation = r;
    } else if (lua_istable(L, -1)) {
        const int r = lua_gettop(L);
        const int32_t groups = read_ways(L, r, nullptr, ways, "invalid frame[i].rotate.ways");
        for (int32_t j = 0; j < groups; ++j) {
            float value = 0;
            lua_get_index_float(L, r, j + 1, value, false, "no frame[i].rotate[j]");
            for (int32_t w = group_first(j, groups); w < group_end(j, groups); ++w) f.rotation[w] = value;
        }
    } else if (!lua_isnil(L, -1)) {
        throw "invalid frame[i].rotate";
    }
    lua_pop(L, 1);

    if (lua_get_index_table(L, t, 3, true, "invalid frame[i].scale")) {
        int32_t sx = 0, sy = 0;
        lua_get_index_int(L, -1, 1, sx, false, "no frame[i].scale.cx");
        lua_get_index_int(L, -1, 2, sy, false, "no frame[i].scale.cy");
        lua_pop(L, 1);
        f.scale[0] = float(sx) / float(cls->cx);
        f.scale[1] = float(sy) / float(cls->cy);
        if (f.scale[0] > max_scale[0]) max_scale[0] = f.scale[0];
        if (f.scale[1] > max_scale[1]) max_scale[1] = f.scale[1];
    }
    lua_get_index_uint(L, t, 4, f.color, true, "invalid frame[i].color");
    lua_get_index_int(L, t, 5, f.events[0], true, "invalid frame[i].event[j]");
    lua_get_index_int(L, t, 6, f.events[1], true, "invalid frame[i].event[j]");
    if (lua_get_field_table(L, t, "event", true, "invalid frame[i].event")) {
        lua_get_index_int(L, -1, 1, f.events[0], true, "invalid frame[i].event[j]");
        lua_get_index_int(L, -1, 2, f.events[1], true, "invalid frame[i].event[j]");
        lua_pop(L, 1);
    }
    frame_shapes(t, f);
    if (lua_get_field_table(L, t, "extend", true, "invalid frame[i].extend")) {
        const int32_t ref = world_ref_take(L);
        if (ref > 0) f.extend = script_value::reference(ref);
    }
}

st_sprite_frame plain_frame() {
    st_sprite_frame f = {};
    f.scale[0] = f.scale[1] = 1.0f;
    f.color = 0xFFFFFFFF;
    return f;
}

void reader::frames(int def) {
    lua_getfield(L, def, "frame");
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        const int32_t cols = (rect[2] - rect[0]) / cls->cx;
        const int32_t rows = (rect[3] - rect[1]) / cls->cy;
        if (cols < 1 || rows < 1) throw "no frame";
        if (8 % rows != 0) throw "invalid framesize";
        for (int32_t c = 0; c < cols; ++c) {
            st_sprite_frame f = plain_frame();
            for (int32_t g = 0; g < rows; ++g) {
                for (int32_t w = group_first(g, rows); w < group_end(g, rows); ++w) {
                    f.x[w] = rect[0] + c * cls->cx;
                    f.y[w] = rect[1] + g * cls->cy;
                }
            }
            cls->frames.push_back(f);
        }
        return;
    }
    if (!lua_istable(L, -1)) throw "no frame";
    const int t = lua_gettop(L);
    const int32_t ways = read_ways(L, t, nullptr, 8, "invalid frame ways");
    for (int32_t i = 1;; ++i) {
        lua_rawgeti(L, t, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_istable(L, -1)) throw "invalid frame";
        st_sprite_frame f = plain_frame();
        frame(lua_gettop(L), i - 1, ways, f);
        cls->frames.push_back(f);
        lua_pop(L, 1);
    }
    if (cls->frames.empty()) throw "no frame";
    lua_pop(L, 1);
}

void reader::scenes(int def) {
    lua_getfield(L, def, "scene");
    const int32_t count = int32_t(cls->frames.size());
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        cls->scenes.push_back(st_sprite_scene{0, count, 1, wait, -1, {0, 0}});
        return;
    }
    if (!lua_istable(L, -1)) throw "no scene";
    const int t = lua_gettop(L);
    for (int32_t i = 1;; ++i) {
        lua_rawgeti(L, t, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_istable(L, -1)) throw "invalid scene";
        const int s = lua_gettop(L);
        st_sprite_scene scene{0, 0, 1, wait, -1, {0, 0}};
        lua_get_index_int(L, s, 1, scene.start, false, "no scene[i].start");
        if (scene.start < 0 || scene.start >= count) throw "invalid scene[i].start";
        lua_get_index_int(L, s, 2, scene.end, false, "no scene[i].end");
        if (scene.end <= 0 || scene.end > count) throw "invalid scene[i].end";
        lua_get_index_int(L, s, 3, scene.repeat, true, "invalid scene[i].repeat");
        lua_get_index_float(L, s, 4, scene.wait, true, "invalid scene[i].wait");
        lua_get_index_int(L, s, 5, scene.next, true, "invalid scene[i].next");
        if (lua_get_field_table(L, s, "event", true, "invalid scene[i].event")) {
            lua_get_index_int(L, -1, 1, scene.events[0], true, "invalid scene[i].event[j]");
            lua_get_index_int(L, -1, 2, scene.events[1], true, "invalid scene[i].event[j]");
            lua_pop(L, 1);
        }
        cls->scenes.push_back(scene);
        lua_pop(L, 1);
    }
    if (cls->scenes.empty()) throw "no scene";
    for (const st_sprite_scene& scene : cls->scenes) {
        if (scene.next >= int32_t(cls->scenes.size())) throw "invalid scene[i].next";
    }
    lua_pop(L, 1);
}

void reader::states(int def) {
    lua_getfield(L, def, "state");
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        cls->states.push_back(st_sprite_state{0, 0, 0});
        return;
    }
    if (!lua_istable(L, -1)) throw "no state";
    const int t = lua_gettop(L);
    sprite_manager* manager = sprite_manager::instance();
    for (int32_t i = 1;; ++i) {
        lua_rawgeti(L, t, i);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            break;
        }
        if (!lua_istable(L, -1)) throw "invalid state";
        const int s = lua_gettop(L);
        st_sprite_state state{0, 0, 0};
        lua_get_index_int(L, s, 1, state.start_scene, false, "no state[i].start");
        if (state.start_scene < 0 || state.start_scene >= int32_t(cls->scenes.size())) {
            throw "invalid state[i].start";
        }
        lua_get_index_int(L, s, 2, state.next_state, true, "invalid state[i].next");
        lua_rawgeti(L, s, 3);
        if (lua_type(L, -1) == LUA_TSTRING) {
            st_sprite_class* other = manager ? manager->find_class(lua_tostring(L, -1)) : nullptr;
            if (!other) throw "state[i].class is not found";
            if (!cls->state_classes) {
                cls->state_classes = new (std::nothrow) std::vector<st_sprite_class*>(1, nullptr);
                if (!cls->state_classes) throw "no memory";
            }
            std::vector<st_sprite_class*>& list = *cls->state_classes;
            size_t at = 0;
            while (at + 1 < list.size() && list[at] != other) ++at;
            if (at + 1 == list.size()) {
                list.back() = other;
                list.push_back(nullptr);
            }
            state.class_ref = int32_t(at + 1);
        } else if (lua_type(L, -1) == LUA_TNUMBER) {
            // A number names a class already taken by an earlier state.
            int32_t n = 0;
            lua_get_int(L, -1, n);
            if (n <= 0 || !cls->state_class(n)) throw "invalid state[i].class id";
            state.class_ref = n;
        } else if (!lua_isnil(L, -1)) {
            throw "invalid state[i].class";
        }
        lua_pop(L, 1);
        cls->states.push_back(state);
        lua_pop(L, 1);
    }
    if (cls->states.empty()) throw "no state";
    for (const st_sprite_state& state : cls->states) {
        if (state.next_state >= int32_t(cls->states.size())) throw "invalid state[i].next";
    }
    lua_pop(L, 1);
}
}  // namespace

// The definition is on the top of the stack; pushes the class or nil.
int sprite_class_create(lua_State* L) {
    const int def = lua_gettop(L);
    sprite_manager* manager = sprite_manager::instance();
    std::unique_ptr<st_sprite_class> cls;
    try {
        if (!manager) throw "no sprite manager";
        string name;
        read_field_string(L, def, "name", name, false, "no spriteclass name");
        system_log_trace(6, "sprites.class_create", "create sprite class %s", name.c_str());
        cls.reset(manager->allocate_class(name.c_str()));
        if (!cls) throw "specified class name is already existed";
        reader r{L, cls.get()};
        r.image(def);
        if (lua_get_field_table(L, def, "scale", true, "invalid max_scale")) {
            lua_get_index_float(L, -1, 1, r.max_scale[0], true, "invalid max_scale.x");
            lua_get_index_float(L, -1, 2, r.max_scale[1], true, "invalid max_scale.y");
            lua_pop(L, 1);
        }
        r.wait = manager->default_wait;
        lua_get_field_float(L, def, "wait", r.wait, true, "invalid default wait");
        r.frames(def);
        r.scenes(def);
        r.states(def);
        manager->register_class(cls.get(), r.max_scale[0], r.max_scale[1]);
        lua_settop(L, def);
        lua_pushlightuserdata(L, cls.get());
        system_log_trace(6, "sprites.class_create", "%s is created successfully", cls->name.c_str());
        cls.release();
    } catch (const char* message) {
        system_log_trace(1, "sprites.class_create", "%s", message);
        if (cls) cls->release_values(L);
        cls.reset();
        lua_settop(L, def);
        lua_pushnil(L);
    }
    return 1;
}
