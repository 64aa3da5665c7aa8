// Passability maps probed from the collision world, and routes searched on
// them at once and on the field manager's loader thread.
#include <windows.h>

#include "../peak_memory.h"
#include "field_fixture.h"

namespace {
// Cell 1 is open ground, cell 2 a wall filling its 32 x 32 cell.
const char* block_set = R"(
fields.cell_create{ name = "blocks", image = dir .. "small.bmp", { {0, 0, 32, 32} }, { {32, 0, 64, 32}, nil, {0} } }
function route(r)
  if r == nil then return "none" end
  if r == false then return "pending" end
  local t = {}
  for i, p in ipairs(r) do t[i] = p[1] .. " " .. p[2] end
  return table.concat(t, " / ")
end
)";

// A one-layer field of 32-unit cells drawn as text: '#' a wall, '.' ground.
std::string field_of(const char* name, const std::vector<std::string>& rows) {
    const size_t w = rows[0].size(), h = rows.size();
    std::string lua = std::string("fields.create{ name = '") + name + "', cell = 'blocks', size = {" +
                      std::to_string(w * 32) + ", " + std::to_string(h * 32) + "}, { format = {" + std::to_string(w) +
                      ", " + std::to_string(h) + "}";
    for (const std::string& row : rows) {
        for (char c : row) lua += c == '#' ? ", 2" : ", 1";
    }
    return lua + " } }";
}

// The map's bits drawn the same way.
std::vector<std::string> map_rows(const field_map& m) {
    std::vector<std::string> out;
    for (int32_t r = 0; r < m.height; ++r) {
        std::string row;
        for (int32_t c = 0; c < m.width; ++c) row += m.passes(c, r) ? '.' : '#';
        out.push_back(row);
    }
    return out;
}

std::string centre(int c, int r) { return std::to_string(c * 32 + 16) + " " + std::to_string(r * 32 + 16); }
}  // namespace

class field_routes : public field_test {
protected:
    void SetUp() override {
        field_test::SetUp();
        run(block_set);
    }
    // Makes and selects the field and builds its layer-0 map.
    void use(const char* name, const std::vector<std::string>& rows, int radius = 15) {
        run(field_of(name, rows).c_str());
        run((std::string("assert(fields.set('") + name + "'))").c_str());
        run((std::string("assert(fields.map_create(0, 32, ") + std::to_string(radius) + "))").c_str());
    }
    std::string root(int sc, int sr, int gc, int gr) {
        const std::string call = "route(fields.root(0, " + std::to_string(sc * 32 + 16) + ", " +
                                 std::to_string(sr * 32 + 16) + ", " + std::to_string(gc * 32 + 16) + ", " +
                                 std::to_string(gr * 32 + 16) + "))";
        return text(call.c_str());
    }
};

TEST_F(field_routes, MapsMarkTheCellsTheProbeCanStandIn) {
    const std::vector<std::string> rows = {"..#.", "....", "#..."};
    use("m", rows);
    ASSERT_NE(nullptr, fields->map(0));
    EXPECT_EQ(rows, map_rows(*fields->map(0)));
    EXPECT_EQ(10, fields->map(0)->passable);
    EXPECT_EQ(1, fields->map(0)->words_per_row);
    // The probe goes back to the collision world's disposal.
    EXPECT_TRUE(places(world().sensors).empty());
    // A wider probe no longer fits beside the walls.
    run("fields.map_create(0, 32, 20)");
    EXPECT_EQ((std::vector<std::string>{".###", "#.#.", "##.."}), map_rows(*fields->map(0)));
    // A layer that is no whole number of cells gets a last, partial column.
    run("fields.create{ name = 'odd', cell = 'blocks', size = {70, 20}, {} } fields.set('odd')");
    EXPECT_EQ("true", text("fields.map_create(0, 32)"));
    EXPECT_EQ(3, fields->map(0)->width);
    EXPECT_EQ(1, fields->map(0)->height);
    EXPECT_EQ(0u, fields->map(0)->bits[0] >> 3);
}

TEST_F(field_routes, MapsAreKeptOrRebuiltByTheirDefiningValues) {
    use("m", {"...", "..."});
    const field_map* first = fields->map(0);
    // Mass, resist, reflect and frict are no part of the comparison.
    EXPECT_EQ("true", text("fields.map_create(0, 32, 15, { mass = 9 })"));
    EXPECT_EQ(first, fields->map(0));
    EXPECT_EQ("true", text("fields.map_create(0, 32, 15, { type = 2 })"));
    EXPECT_NE(nullptr, fields->map(0));
    EXPECT_EQ(2u, fields->map(0)->attr.type);
    EXPECT_EQ("false", text("fields.map_create(1, 32)"));
    EXPECT_EQ("false", text("fields.map_create(-1, 32)"));
    EXPECT_EQ("false", text("fields.map_create(0, 32, 15, { mass = 'heavy' })"));
    EXPECT_EQ("false", text("fields.map_create(0, 0)"));
    run("fields.map_release(0) fields.map_release(7)");
    EXPECT_EQ(nullptr, fields->map(0));
    EXPECT_EQ("none", root(0, 0, 2, 0));
    run("fields.set('')");
    EXPECT_EQ("false", text("fields.map_create(0, 32)"));
    // A grid too large to hold or probe is refused, not thrown through Lua.
    run("fields.create{ name = 'huge', cell = 'blocks', size = {2000000000, 2000000000}, {} } fields.set('huge')");
    EXPECT_EQ("false", text("fields.map_create(0, 1)"));
    EXPECT_EQ(nullptr, fields->map(0));
    EXPECT_EQ("true", text("fields.map_create(0, 100000000)"));
}

TEST_F(field_routes, RoutesStepThroughCellCentres) {
    struct route_case {
        const char* what;
        std::vector<std::string> rows;
        int sc, sr, gc, gr;
        std::vector<std::pair<int, int>> steps;  // empty: no route
    };
    const route_case cases[] = {
        {"a straight line", {"..."}, 0, 0, 2, 0, {{1, 0}, {2, 0}}},
        {"the next cell", {".."}, 0, 0, 1, 0, {{1, 0}}},
        {"from a wall", {"#.."}, 0, 0, 2, 0, {{1, 0}, {2, 0}}},
        {"walled off", {".#."}, 0, 0, 2, 0, {}},
        {"the goal in a wall", {"..#"}, 0, 0, 2, 0, {}},
        {"the goal off the grid", {"..."}, 0, 0, 3, 0, {}},
        {"the start's own cell", {"..."}, 1, 0, 1, 0, {}},
        // Among equal predecessors the later-queued one, below the walls.
        {"round two walls", {"....", ".##.", "...."}, 0, 1, 3, 1, {{1, 2}, {2, 2}, {3, 1}}},
        // An orthogonal predecessor beats a diagonal one queued later.
        {"orthogonal first", {"...", "..."}, 0, 1, 2, 0, {{1, 0}, {2, 0}}},
        {"diagonal", {"...", "...", "..."}, 0, 0, 2, 2, {{1, 1}, {2, 2}}},
        // A predecessor two cells away in a line would cross the wall at
        // (2, 2); only neighbours are steps.
        {"no step through a wall", {"....", "#..#", "..#."}, 0, 0, 3, 2, {{1, 1}, {2, 1}, {3, 2}}},
    };
    int n = 0;
    for (const route_case& c : cases) {
        const std::string name = "r" + std::to_string(n++);
        use(name.c_str(), c.rows);
        std::string expected;
        for (const auto& s : c.steps) expected += (expected.empty() ? "" : " / ") + centre(s.first, s.second);
        EXPECT_EQ(c.steps.empty() ? "none" : expected, root(c.sc, c.sr, c.gc, c.gr)) << c.what;
    }
}

TEST_F(field_routes, PositionsFallIntoCellsByTruncation) {
    use("m", {"...", "..."});
    // Just left of and above the grid still counts as column and row 0.
    EXPECT_EQ("48 16 / 80 16", text("route(fields.root(0, -10, -5, 80, 20))"));
    EXPECT_EQ("48 16 / 80 16", text("route(fields.root(0, 31.9, 0, 95, 31))"));
    // A fractional layer is not the goal's layer.
    EXPECT_EQ("none", text("route(fields.root(0.5, 16, 16, 80, 16))"));
    EXPECT_EQ("none", text("route(fields.root(1, 16, 16, 80, 16))"));
}

TEST_F(field_routes, OnlyTheProbedLayersBodiesBlock) {
    run("fields.create{ name = 'two', cell = 'blocks', size = {96, 32}, { format = {3, 1}, 1, 2, 1 },"
        " { format = {3, 1}, 1, 1, 1 } }");
    run("fields.set('two')");
    EXPECT_EQ("true", text("fields.map_create(0, 32, 15)"));
    EXPECT_EQ("true", text("fields.map_create(1, 32, 15)"));
    EXPECT_EQ((std::vector<std::string>{".#."}), map_rows(*fields->map(0)));
    EXPECT_EQ((std::vector<std::string>{"..."}), map_rows(*fields->map(1)));
    EXPECT_EQ("48 16 / 80 16", text("route(fields.root(1, 16, 16, 80, 16))"));
    EXPECT_EQ("none", text("route(fields.root(0, 16, 16, 80, 16))"));
}

TEST_F(field_routes, HugeLayersAndFarStartsAreRefusedBeforeAllocating) {
    const size_t peak_before = peak_memory();
    run("fields.create{ name = 'vast', cell = 'blocks', size = {2^30, 2^30}, {} } fields.set('vast')");
    EXPECT_EQ("false", text("fields.map_create(0, 1)"));
    EXPECT_EQ(nullptr, fields->map(0));
    // Just within the ceiling: 2048 x 2048 cells.
    EXPECT_EQ("true", text("fields.map_create(0, 2^30 / 2048)"));
    EXPECT_EQ("false", text("fields.map_create(0, 2^30 / 2049)"));
    // A start two billion units away sizes no queue by its distance.
    use("m", {"...", "..."});
    EXPECT_EQ("none", text("route(fields.root(0, -2^31, 16, 80, 16))"));
    EXPECT_EQ("none", text("route(fields.root(0, 2^31 - 64, 2^31 - 64, 80, 16))"));
    EXPECT_LT(peak_memory(), peak_before + (size_t(64) << 20));
}

// Polls the request once a frame's worth of time until it answers; a
// request that never answers fails the test after five seconds.
class field_requests : public field_routes {
protected:
    std::string answer(const char* handle) {
        const std::string poll = std::string("route(fields.check_request_root(") + handle + "))";
        for (int i = 0; i < 500; ++i) {
            const std::string r = text(poll.c_str());
            if (r != "pending") return r;
            Sleep(10);
        }
        ADD_FAILURE() << "the request did not answer in time";
        return "timed out";
    }
};

TEST_F(field_requests, RequestsAnswerOnTheLoaderThread) {
    use("m", {"....", ".##.", "...."});
    run("found = fields.request_root(0, 16, 48, 112, 48)");
    run("walled = fields.request_root(0, 16, 48, 48, 48)");
    EXPECT_EQ("userdata", text("type(found)"));
    EXPECT_EQ("48 80 / 80 80 / 112 48", answer("found"));
    EXPECT_EQ("none", answer("walled"));
    // An answered request is gone: polling it again, or polling nothing,
    // gives nil.
    EXPECT_EQ("nil", text("fields.check_request_root(found)"));
    EXPECT_EQ("nil", text("fields.check_request_root(nil)"));
    EXPECT_EQ("nil", text("fields.check_request_root(fields.cell_get('blocks'))"));
}

TEST_F(field_requests, ARequestSearchesTheMapAsItWasWhenAsked) {
    use("m", {"...", "..."});
    // The script lets go of the map and the field at once; the request
    // still has the map it was made on.
    run("kept = fields.request_root(0, 16, 48, 80, 16) fields.map_release(0) fields.set('')");
    EXPECT_EQ("48 16 / 80 16", answer("kept"));
    // Without a map there is nothing to search.
    run("none = fields.request_root(0, 16, 48, 80, 16)");
    EXPECT_EQ("none", answer("none"));
    EXPECT_TRUE(fields->loader().has_thread());
}

TEST_F(field_requests, ReleasingEverythingLeavesNoFieldBodiesOrMaps) {
    use("m", {".#.", "..."});
    run("asked = fields.request_root(0, 16, 16, 80, 16)");
    // Wait for the answer without polling it: nobody will.
    for (int i = 0; i < 500 && fields->loader().completed() == 0; ++i) Sleep(10);
    ASSERT_EQ(1u, fields->loader().completed());
    fields->release_all();
    EXPECT_EQ("nil", text("fields.get()"));
    EXPECT_EQ(nullptr, fields->find_cell_set("blocks"));
    EXPECT_EQ(nullptr, fields->map(0));
    EXPECT_TRUE(places(world().bodies).empty());
    // The answered request went with the rest; its handle reads as none.
    EXPECT_EQ("nil", text("fields.check_request_root(asked)"));
    // The library works on as before.
    run(block_set);
    use("again", {"..."});
    EXPECT_EQ("48 16 / 80 16", root(0, 0, 2, 0));
}
