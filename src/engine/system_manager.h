// `system_manager`: the engine's central object. It owns every per-game
// manager, the main Lua state, the render targets and the seven render
// layers, the script threads and the script callbacks; start-up builds it
// up, the frame loop runs its frame step, and shut-down releases it.
#ifndef VY_ENGINE_SYSTEM_MANAGER_H
#define VY_ENGINE_SYSTEM_MANAGER_H

#include <cstdint>
#include <list>

#include "core/random_manager.h"
#include "core/search_path.h"
#include "core/singleton.h"
#include "core/strings.h"
#include "engine/script_breakpoints.h"
#include "world/action_manager.h"
#include "world/object_manager.h"

struct lua_State;
class graphic_render_target;

// The seven system render layers, in drawing order.
enum : int {
    layer_background,
    layer_object,
    layer_effect,
    layer_transit,
    layer_transit_secondary,
    layer_interface,
    layer_system,
    system_layer_count,
};

// A value handed to a script callback, pushed by its kind.
struct callback_value {
    enum : uint32_t {
        kind_nil = 1,
        kind_number = 2,
        kind_int = 4,
        kind_uint = 8,
        kind_bool = 16,
        kind_string = 32,
        kind_pointer = 64,
        kind_stack = 0x10000,
        kind_table = 0x20000,
        kind_other = 0x80000000u,
    };
    uint32_t kind;
    union {
        double number;
        int32_t integer;
        uint32_t uinteger;
        uint8_t boolean;
        const void* pointer;
        int32_t index;
    };
};

class system_manager : public singleton<system_manager> {
public:
    static constexpr int callback_count = 4;

    system_manager();
    ~system_manager() override;
    system_manager(const system_manager&) = delete;
    system_manager& operator=(const system_manager&) = delete;

    static system_manager* instance() { return singleton<system_manager>::instance(); }

    // Render targets, layers and background; the scripts' drawing world.
    bool create_render_world();
    void set_background_colour(uint32_t colour);
    void set_layer_visible(int position, bool visible);
    int32_t layer_id(int position) const { return layer_ids_[position]; }
    graphic_render_target* render_target(int index) const { return render_targets_[index]; }

    // Start-up set-up once the window and the devices exist; runs the main
    // script.
    bool initialize(const wstring& font_face, const wstring& main_script, bool debug);

    // Search paths: the six named ones (with the copies that a restore
    // puts back), the numbered ones and the patches.
    search_path_set& paths() { return paths_; }
    void save_path(int index) { saved_paths_[index] = paths_.builtin[index]; }
    // Path id -1..-6 (or 0..5); index < 0 restores, 0 disables, n uses
    // numbered path n.
    bool set_path(int32_t path_id, int32_t index);
    // Registers every folder and package under the patch path.
    bool add_patch();

    // Script side.
    void set_main_script(const wstring& name);
    bool init_script();
    bool system_main();
    bool restart_script();
    void release_script();
    void release_all();

    // Frame step.
    int32_t onframe(bool show_overlay);
    bool after_frame();
    bool call_callback(int id, int count, const callback_value* values, int32_t& result);
    // Registers the function on top of the main state's stack (popped) in
    // a slot; false for a bad id or reference.
    bool set_callback(int id);
    // Starts a script thread from the function on top of from's stack, or
    // from the named script when name is given; resumed once at once, then
    // once a frame. The owner gets the end event when it ends.
    bool create_thread(actor_object* owner, int32_t end_event, lua_State* from, const char* name);

    // The system log: one line when level <= the current level.
    static void trace(int32_t level, const char* origin, const char* format, ...)
        __attribute__((format(__MINGW_PRINTF_FORMAT, 3, 4)));
    static bool init_trace(const wstring& path, bool overwrite);

    lua_State* lua() const { return lua_; }
    uint64_t frame() const { return frame_; }
    bool running() const { return running_ != 0; }
    void set_running(bool on) { running_ = on ? 1 : 0; }
    void request_step() { step_once_ = 1; }
    void clear_step() { step_once_ = 0; }
    bool debug() const { return debug_ != 0; }
    const string& main_script() const { return main_script_; }
    object_manager& objects() { return objects_; }
    action_manager& actions() { return actions_; }
    script_breakpoints& breakpoints() { return breakpoints_; }

private:
    struct script_thread {
        lua_State* thread;
        int reference;
        actor_object* owner;
        int32_t end_event;
    };
    struct callback_slot {
        uint32_t kind;
        int32_t reference;
    };

    void end_frame();
    void resume_threads();
    void clear_callbacks();
    void notify_thread_end(const script_thread& t);

    search_path_set paths_;
    search_path saved_paths_[search_path_builtin_count];
    graphic_render_target* render_targets_[2] = {};
    int32_t layer_ids_[system_layer_count] = {-1, -1, -1, -1, -1, -1, -1};
    uint32_t background_colour_ = 0xFFFFFFFFu;

    // The per-game managers, built in this order and destroyed in reverse.
    // Fonts, fields, sound and input take their places here as they come.
    action_manager actions_;
    object_manager objects_;
    random_manager randoms_;

    uint64_t frame_ = 0;
    lua_State* lua_ = nullptr;
    string main_script_;
    std::list<script_thread> threads_;
    callback_slot callbacks_[callback_count] = {};
    script_breakpoints breakpoints_;
    uint8_t running_ = 1;
    uint8_t active_ = 1;
    uint8_t step_once_ = 0;
    uint8_t debug_ = 0;
};

// The engine's static instance.
system_manager& engine_system_manager_object();

#endif
