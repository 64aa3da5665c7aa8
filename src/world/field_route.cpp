#include "world/field_route.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "core/trace.h"
#include "core/system_log.h"
#include "lua.h"
#include "world/collision_manager.h"
#include "world/collision_overlap.h"
#include "world/field_manager.h"

namespace {

struct route_entry {
    int32_t column, row, depth;
};

// Only bodies of the probed layer block it: walls of another layer of the
// same field stand elsewhere.
bool blocked(const collision_manager* cm, const st_body* probe) {
    for (const st_body* b : cm->bodies) {
        if (b == probe || !b->shape || b->layer != probe->layer || !body_matches(probe, b)) continue;
        if (shape_overlap(probe->shape, probe->position, b->shape, b->position)) return true;
    }
    return false;
}

route_point cell_centre(const field_map& map, int32_t c, int32_t r, int32_t layer) {
    const float half = float(map.cell_size) * 0.5f;
    return {float(c * map.cell_size) + half, float(r * map.cell_size) + half, float(layer)};
}

// From the goal entry back to the start through entries one step nearer.
bool trace_back(const field_map& map, int32_t layer, const std::vector<route_entry>& queue, size_t goal,
                std::vector<route_point>& out) {
    const int32_t n = queue[goal].depth + 1;
    out.assign(size_t(n), route_point{0, 0, 0});
    int32_t written = 0;
    size_t current = goal;
    while (true) {
        const route_entry& e = queue[current];
        if (written >= n) return false;
        out[size_t(n - 1 - written)] = cell_centre(map, e.column, e.row, layer);
        ++written;
        bool found = false;
        size_t best = 0;
        int32_t best_distance = 3;
        for (size_t i = current; i-- > 0;) {
            const route_entry& p = queue[i];
            if (p.depth < e.depth - 1) break;
            if (p.depth != e.depth - 1) continue;
            // Only a neighbour can be the step before: an entry two cells
            // away in a line would take the route through the cell between.
            if (std::abs(p.column - e.column) > 1 || std::abs(p.row - e.row) > 1) continue;
            const int32_t d = std::abs(p.column - e.column) + std::abs(p.row - e.row);
            if (d < best_distance) {
                best_distance = d;
                best = i;
                found = true;
            }
        }
        if (!found) return written == n;
        current = best;
    }
}
}  // namespace

bool route_search(const field_map& map, int32_t layer, const float start[3], const float goal[3],
                  std::vector<route_point>& out) {
    if (goal[2] != float(layer) || map.cell_size <= 0) return false;
    const int32_t sc = int32_t(start[0]) / map.cell_size, sr = int32_t(start[1]) / map.cell_size;
    const int32_t gc = int32_t(goal[0]) / map.cell_size, gr = int32_t(goal[1]) / map.cell_size;
    if (!map.passes(gc, gr)) return false;
    // The goal is its own cell: no step leads anywhere.
    if (sc == gc && sr == gr) return false;
    if (map.passable <= 0) return false;
    std::vector<uint32_t> unvisited = map.bits;
    // The queue never holds more than the passable cells and the start; the
    // start may lie anywhere a script puts it, far outside the map.
    const size_t cells = size_t(map.passable) + 1;
    const size_t room = std::min(cells, size_t(8) * (size_t(std::abs(int64_t(gc) - sc)) + size_t(std::abs(int64_t(gr) - sr))));
    std::vector<route_entry> queue;
    queue.reserve(room);
    queue.push_back({sc, sr, 0});
    size_t head = 0;
    for (int32_t turn = 0; turn < map.passable; ++turn) {
        if (head >= queue.size()) return false;
        const route_entry e = queue[head++];
        for (int32_t r = e.row - 1; r <= e.row + 1; ++r) {
            for (int32_t c = e.column - 1; c <= e.column + 1; ++c) {
                if ((c == e.column && r == e.row) || c < 0 || r < 0 || c >= map.width || r >= map.height) continue;
                if (c == gc && r == gr) {
                    queue.push_back({c, r, e.depth + 1});
                    return trace_back(map, layer, queue, queue.size() - 1, out);
                }
                uint32_t& word = unvisited[size_t(r) * size_t(map.words_per_row) + size_t(c) / 32];
                const uint32_t bit = 1u << (c % 32);
                if ((word & bit) && map.passes(c, r)) {
                    if (queue.size() == queue.capacity()) queue.reserve(std::min(cells + 1, queue.capacity() + room));
                    queue.push_back({c, r, e.depth + 1});
                    word &= ~bit;
                }
            }
        }
    }
    return false;
}

bool field::search_route(const float start[3], const float goal[3], std::vector<route_point>& out) {
    field_manager* m = field_manager::instance();
    if (!m || !m->current_field()) return false;
    const int32_t L = int32_t(start[2]);
    if (L < 0 || L >= m->layer_count()) return false;
    const field_map* map = m->map(L);
    return map && route_search(*map, L, start, goal, out);
}

root_loader::root_loader(const float start[3], const float goal[3], const field_map* map, int32_t layer)
    : has_map_(map != nullptr), layer_(layer) {
    for (int i = 0; i < 3; ++i) start_[i] = start[i], goal_[i] = goal[i];
    if (map) map_ = *map;
}

bool root_loader::load() {
    std::vector<route_point> points;
    const bool found = has_map_ && route_search(map_, layer_, start_, goal_, points);
    points_.swap(points);
    // The points are in place before the main thread can see the state.
    set_result(found ? 1 : -1);
    return true;
}

void root_loader::set_result(int32_t value) {
    const int32_t s = state_.load();
    if (s == 0 || (s > 0 && (value <= 0 || value > s)) || (s < 0 && value <= 0 && value < s)) state_.store(value);
}

void push_route_table(lua_State* L, const std::vector<route_point>& route) {
    lua_createtable(L, route.empty() ? 0 : int(route.size() - 1), 0);
    for (size_t i = 1; i < route.size(); ++i) {
        lua_createtable(L, 2, 0);
        lua_pushnumber(L, route[i].x);
        lua_rawseti(L, -2, 1);
        lua_pushnumber(L, route[i].y);
        lua_rawseti(L, -2, 2);
        lua_rawseti(L, -2, int(i));
    }
}

// Maps, kept by the field manager one per layer of the current field.

const field_map* field_manager::map(int32_t layer) const {
    return layer >= 0 && size_t(layer) < maps_.size() ? maps_[size_t(layer)] : nullptr;
}

void field_manager::release_map(int32_t layer) {
    if (layer < 0 || size_t(layer) >= maps_.size()) return;
    delete maps_[size_t(layer)];
    maps_[size_t(layer)] = nullptr;
}

void field_manager::release_maps() {
    for (field_map* m : maps_) delete m;
    maps_.clear();
}

bool field_manager::build_map(int32_t layer, int32_t cell_size, int32_t radius, const st_body_attr& attr) {
    if (!current_ || layer < 0 || size_t(layer) >= current_->layers.size()) return false;
    // A cell must cover at least one unit, or the grid has no size.
    if (cell_size <= 0) return false;
    if (maps_.size() != current_->layers.size()) maps_.resize(current_->layers.size(), nullptr);
    field_map*& slot = maps_[size_t(layer)];
    if (slot && slot->cell_size == cell_size && slot->radius == radius && slot->attr.id == attr.id &&
        slot->attr.type == attr.type && slot->attr.cond == attr.cond && slot->attr.attr == attr.attr)
        return true;
    delete slot;
    slot = nullptr;
    collision_manager* cm = collision_manager::instance();
    if (!cm) return false;
    const field_layer& l = current_->layers[size_t(layer)];
    field_map* map = new (std::nothrow) field_map;
    if (!map) return false;
    map->cell_size = cell_size;
    map->radius = radius;
    map->attr = attr;
    const int64_t width = std::max<int64_t>(0, (int64_t(l.cx) + cell_size - 1) / cell_size);
    const int64_t height = std::max<int64_t>(0, (int64_t(l.cy) + cell_size - 1) / cell_size);
    // Every cell is probed against the world: a layer size and a cell size
    // from a script must not ask for billions of them.
    if (width * height > route_map_cell_ceiling) {
        TRACE_ERROR("field_manager::build_map", "too many cells", int32_t(std::min<int64_t>(width * height, INT32_MAX)));
        system_log_trace(1, "fields.map_create", "map of layer %d is too large (%d x %d cells of %d)", layer,
                         int32_t(std::min<int64_t>(width, INT32_MAX)), int32_t(std::min<int64_t>(height, INT32_MAX)),
                         cell_size);
        delete map;
        return false;
    }
    map->width = int32_t(width);
    map->height = int32_t(height);
    map->words_per_row = (map->width + 31) / 32;
    try {
        map->bits.assign(size_t(map->height) * size_t(map->words_per_row), 0u);
    } catch (const std::bad_alloc&) {
        system_log_trace(1, "fields.map_create", "no memory for the map of layer %d", layer);
        delete map;
        return false;
    }
    st_shape* shape = shape_alloc();
    st_body* probe = nullptr;
    if (shape) {
        shape_set_circle(shape, 0.0f, 0.0f, float(radius));
        probe = cm->add_sensor(nullptr, attr, shape);
    }
    if (!probe) {
        if (shape) shape_list_free(shape);
        delete map;
        return false;
    }
    probe->layer = layer;
    for (int32_t r = 0; r < map->height; ++r) {
        for (int32_t c = 0; c < map->width; ++c) {
            probe->position[0] = float(c * cell_size) + float(cell_size) * 0.5f;
            probe->position[1] = float(r * cell_size) + float(cell_size) * 0.5f;
            if (!blocked(cm, probe)) {
                map->bits[size_t(r) * size_t(map->words_per_row) + size_t(c) / 32] |= 1u << (c % 32);
                ++map->passable;
            }
        }
    }
    body_release(probe);
    probe->shape = nullptr;
    shape_list_free(shape);
    slot = map;
    return true;
}

root_loader* field_manager::request_route(const float start[3], const float goal[3]) {
    if (!loader_.create()) return nullptr;
    const int32_t L = int32_t(start[2]);
    const field_map* m = current_ && L >= 0 && L < layer_count() ? map(L) : nullptr;
    root_loader* request = new (std::nothrow) root_loader(start, goal, m, L);
    if (!request) return nullptr;
    if (!loader_.push(request)) {
        delete request;
        return nullptr;
    }
    requests_.insert(request);
    return request;
}

void field_manager::finish_request(root_loader* request) {
    loader_.suspend_if_idle();
    requests_.erase(request);
    delete request;
}
