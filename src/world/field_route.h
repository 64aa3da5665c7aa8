// Passability maps over a field layer and the breadth-first route search
// on them, at once or as a job of the field manager's loader thread.
#ifndef VY_WORLD_FIELD_ROUTE_H
#define VY_WORLD_FIELD_ROUTE_H

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/resource_loader.h"
#include "core/resource_notifier.h"
#include "world/collision_body.h"
#include "world/field.h"

struct lua_State;

// The most cells a passability map may have (2048 x 2048).
constexpr int64_t route_map_cell_ceiling = int64_t(1) << 22;

// One bit per cell, set when the cell is passable.
struct field_map {
    int32_t cell_size = 0;
    int32_t radius = 0;
    st_body_attr attr = {};
    int32_t width = 0, height = 0;
    int32_t words_per_row = 0;
    int32_t passable = 0;
    std::vector<uint32_t> bits;

    bool passes(int32_t c, int32_t r) const {
        return c >= 0 && r >= 0 && c < width && r < height &&
               (bits[size_t(r) * size_t(words_per_row) + size_t(c) / 32] >> (c % 32) & 1u) != 0;
    }
};

// The search proper on one map; layer is the z written into the points.
bool route_search(const field_map& map, int32_t layer, const float start[3], const float goal[3],
                  std::vector<route_point>& out);

// A background route request. It searches on its own copy of the map, so
// the script may change fields and maps while it is queued.
class root_loader : public resource_loader, public i_resource_notifier {
public:
    root_loader(const float start[3], const float goal[3], const field_map* map, int32_t layer);

    bool load() override;
    void reset() override { state_.store(0); }
    void set() override {}
    // Merges a result into the state the way notifiers do.
    void set_result(int32_t value);

    int32_t state() const { return state_.load(); }
    const std::vector<route_point>& points() const { return points_; }

private:
    std::atomic<int32_t> state_{0};
    float start_[3], goal_[3];
    bool has_map_ = false;
    field_map map_;
    int32_t layer_ = 0;
    std::vector<route_point> points_;
};

// The route as Lua sees it: {{x, y}, ...} without the start's own cell.
void push_route_table(lua_State* L, const std::vector<route_point>& route);

#endif
