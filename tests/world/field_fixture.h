// A world with the field manager and the `fields` library, and the image
// files of the sprite fixture for the cell sets.
#ifndef VY_TESTS_FIELD_FIXTURE_H
#define VY_TESTS_FIELD_FIXTURE_H

#include <memory>
#include <string>
#include <vector>

#include "sprite_fixture.h"
#include "world/collision_manager.h"
#include "world/field_manager.h"

class field_test : public sprite_test {
protected:
    void SetUp() override {
        sprite_test::SetUp();
        fields = std::make_unique<field_manager>();
        ASSERT_TRUE(fields->initialize(L));
        fields->init_view(view_width, view_height, 16, 16);
    }
    void TearDown() override {
        // Before the collision world, which holds the field's bodies.
        fields.reset();
        sprite_test::TearDown();
    }

    collision_manager& world() { return *collision_manager::instance(); }
    // The enabled bodies of a list, as "x,y@layer" texts in list order.
    static std::vector<std::string> places(const collision_manager::body_list& list) {
        std::vector<std::string> out;
        for (const st_body* b : list) {
            if (!(b->flags & body_flag_enabled)) continue;
            out.push_back(std::to_string(int(b->position[0])) + "," + std::to_string(int(b->position[1])) + "@" +
                          std::to_string(b->layer));
        }
        return out;
    }
    // The lines written at a level under an origin, without the prefix.
    std::vector<std::string> lines(int level, const std::string& origin) const {
        std::vector<std::string> out;
        const std::string prefix = std::to_string(level) + " " + origin + ": ";
        for (const auto& line : log.lines) {
            if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
        }
        return out;
    }

    static constexpr int view_width = 160;
    static constexpr int view_height = 120;
    std::unique_ptr<field_manager> fields;
};

// A cell set over wide.bmp: four 32 x 32 cells of its first row, the
// second and fourth solid (a box body), the third an effect.
inline const char* cell_set_chunk() {
    return R"(
cells = fields.cell_create{ name = "tiles", image = dir .. "wide.bmp",
  { {0, 0, 32, 32} },
  { {32, 0, 64, 32}, nil, {0} },
  { {64, 0, 96, 32}, nil, nil, { {0}, {1, 0}, {0, 2}, 1, 0x10000000 } },
  { id = 9, {96, 0, 128, 32}, nil, {0} },
}
)";
}

#endif
