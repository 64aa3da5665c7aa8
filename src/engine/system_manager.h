// `system_manager`: the engine's central object. It owns every per-game
// manager, the main Lua state, the render targets and the seven render
// layers, the script threads and the script callbacks; start-up builds it
// up, the frame loop runs its frame step, and shut-down releases it.
#ifndef VY_ENGINE_SYSTEM_MANAGER_H
#define VY_ENGINE_SYSTEM_MANAGER_H

#include <windows.h>

#include <cstdint>
#include <list>
#include <map>
#include <vector>

#include "core/random_manager.h"
#include "core/search_path.h"
#include "core/singleton.h"
#include "core/strings.h"
#include "engine/save_data.h"
#include "engine/script_breakpoints.h"
#include "engine/script_environments.h"
#include "input/input_manager.h"
#include "sound/sound_manager.h"
#include "graphics/font_manager.h"
#include "world/action_manager.h"
#include "world/field_manager.h"
#include "world/object_manager.h"

struct lua_State;
class graphic_render_layer;
class graphic_render_target;
class transition;
struct vycomm_channel;
class actor_object;
class graphic_texture;
class graphic_font_object;

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
    // The standard transition that shows the world between script ones.
    bool create_default_transition();
    void set_background_colour(uint32_t colour);
    uint32_t background_colour() const { return background_colour_; }
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
    // Restarts asked for while a frame or a nested message loop runs: the
    // running state and the thread list must not go under their callers,
    // so the restart happens at the top of the next frame.
    void request_restart() { restart_requested_ = 1; }
    bool restart_requested() const { return restart_requested_ != 0; }
    // Runs a requested restart; the frame loop calls it before each frame.
    void carry_out_restart();
    void release_script();
    // The field view on the screen, with no field.
    void init_field_view();
    void release_all();

    // Frame step.
    int32_t onframe(bool show_overlay);
    // The debug overlay: pause state, field view, volume and frame rate on
    // the system layer, or hidden.
    void debug_info_text(bool show);
    graphic_font_object* overlay_text() const { return overlay_text_; }
    // The transition's part of a frame (run by onframe).
    void end_frame();
    // Around each drawn frame: while the default transition only shows the
    // scene, the world draws straight into the off-screen screen and the
    // full-screen copy is skipped; after the frame the screen's own clear
    // colour is put back.
    void prepare_render();
    void finish_render();
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

    // Screen transitions. The type id picks the creator (0 to 8); params is
    // the stack index of the script's parameters in L (0: none).
    transition* create_transition(int32_t type, lua_State* L, int params, uint32_t duration);
    bool start_transition(int32_t type, lua_State* L, int params, uint32_t duration,
                          actor_object* end_actor = nullptr, int32_t end_event = 0);
    // Finishes the current transition and starts t (none: the default one).
    bool set_transition(transition* t, actor_object* end_actor = nullptr, int32_t end_event = 0);
    void switch_render_target();
    bool world_can_draw_direct() const;
    void keep_old_scene();
    bool draws_nothing(const graphic_render_layer& layer) const;
    void set_draw_direct(bool on);
    transition* current_transition() const { return transition_; }
    int32_t transit_id() const { return transit_id_; }
    void suspend_transit(bool on) { transit_suspended_ = on ? 1 : 0; }

    // Companion channels, keyed by the peer's process id (0: any peer).
    // A size of 0 means 1 GiB; sizes below 4096 are raised to it.
    bool connect(uint32_t peer_id, uint32_t data_size);
    // Serves one waiting request per channel; false when one failed.
    bool poll_channels();
    void close_channels();
    size_t channel_count() const { return channels_.size(); }

    // Script environments. Values cross through the caller's own stack
    // (from: the calling state or coroutine), never another state's.
    lua_State* find_env(const string& name) const { return environments_.find(name); }
    bool env_open(const string& name) { return environments_.open(name, "system.env_open"); }
    void env_close(const string& name) { environments_.close(name); }
    bool env_set(const string& name, const char* global, lua_State* from, int index);
    bool env_get(const string& name, const char* global, lua_State* to);
    bool env_exec_file(const string& name, const char* script_name);
    bool env_exec(const string& name, const char* text);
    bool env_exec(const string& name, const void* bytes, size_t length);
    // Save data and snapshots (system_manager_save.cpp).
    bool open_save_data(const wstring& path, graphic_texture* thumbnail, bool read);
    bool open_save_with_thumbnail(const wstring& path, int32_t slot, bool read);
    bool restore_next(lua_State* state);
    bool close_save();
    save_data& saves() { return save_; }
    // Copies the source (none: the screen) into the slot at width x height
    // (0: the source's size).
    // Slots index a list that grows to the highest one used: a script's
    // number past this is refused, not allocated for.
    static constexpr int32_t max_snapshot_slot = 4095;
    bool snapshot(int32_t slot, graphic_texture* source, uint32_t width, uint32_t height);
    bool snapshot_to_file(uint32_t width, uint32_t height, const wstring& path);
    // Writes the slot's picture as an image file, its format by the path's
    // extension; false for an empty slot or one past the list.
    bool save_snapshot(int32_t slot, const wstring& path);
    // The slot's texture; none for an empty slot or one past the list.
    graphic_texture* snapshot_at(int32_t slot) const;
    size_t snapshot_count() const { return snapshots_.size(); }
    void release_snapshots();

    // Script menu items (system_manager_menu.cpp). The flags hold the item
    // type and state bits and, for an update, which parts change.
    struct menu_item_type {
        enum : uint32_t {
            type_bits = 0x4a60,  // what a script item may be (no bitmaps: a script has none to give)
            state_bits = 0x108b,
            update_text = 1u << 28,
            update_state = 1u << 29,
            update_submenu = 1u << 30,
            update_type = 1u << 31,
        };
        uint32_t id = 0;
        uint32_t flags = 0;
        wstring text;
        HMENU submenu = nullptr;
    };
    // Inserts into the parent (made as a pop-up when empty); a negative
    // position appends.
    static bool create_menu_item(HMENU& parent, const menu_item_type& item, int32_t position);
    // add: a new script item at a script index (-1 appends); update: every
    // script item of that id.
    static bool set_menu(const menu_item_type& item, bool add, int32_t index = -1);
    static bool delete_menu(int32_t index);
    static bool init_menu(bool use_bar);
    static void release_menu();

    graphic_font_manager& fonts() { return fonts_; }
    lua_State* lua() const { return lua_; }
    uint64_t frame() const { return frame_; }
    bool running() const { return running_ != 0; }
    void set_running(bool on) { running_ = on ? 1 : 0; }
    void request_step() { step_once_ = 1; }
    void clear_step() { step_once_ = 0; }
    bool debug() const { return debug_ != 0; }
    const string& main_script() const { return main_script_; }
    object_manager& objects() { return objects_; }
    field_manager& fields() { return fields_; }
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

    bool create_overlay();
    void release_overlay();
    void notify_transition_end();
    void end_transition();
    void resume_threads();
    void clear_callbacks();
    void notify_thread_end(const script_thread& t);

    search_path_set paths_;
    search_path saved_paths_[search_path_builtin_count];
    graphic_render_target* render_targets_[2] = {};
    int32_t layer_ids_[system_layer_count] = {-1, -1, -1, -1, -1, -1, -1};
    uint32_t background_colour_ = 0xFFFFFFFFu;

    // The per-game managers, built in this order and destroyed in reverse.
    graphic_font_manager fonts_;
    field_manager fields_;
    action_manager actions_;
    object_manager objects_;
    sound_manager sounds_;
    input_manager inputs_;
    random_manager randoms_;

    uint64_t frame_ = 0;
    lua_State* lua_ = nullptr;
    string main_script_;
    std::list<script_thread> threads_;
    callback_slot callbacks_[callback_count] = {};
    script_breakpoints breakpoints_;
    std::map<uint32_t, vycomm_channel*> channels_;
    // The running transition (the default one between script transitions).
    transition* transition_ = nullptr;
    transition* default_transition_ = nullptr;
    actor_object* transit_end_actor_ = nullptr;  // counted reference
    int32_t transit_end_event_ = 0;
    int32_t transit_id_ = 0;
    uint8_t transit_running_ = 0;
    uint8_t transit_notified_ = 0;
    uint8_t transit_suspended_ = 0;
    uint8_t draws_direct_ = 0;
    uint32_t screen_clear_colour_ = 0;
    // Outlive restarts: only shut-down closes what scripts left open.
    script_environments environments_;
    save_data save_;
    std::vector<graphic_texture*> snapshots_;
    uint8_t running_ = 1;
    uint8_t active_ = 1;
    uint8_t step_once_ = 0;
    uint8_t debug_ = 0;
    uint8_t restart_requested_ = 0;
    font_handle overlay_font_;
    graphic_font_object* overlay_text_ = nullptr;
};

// The engine's static instance.
system_manager& engine_system_manager_object();

#endif
