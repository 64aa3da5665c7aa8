// `input`: one player's view of the keyboard, the mouse and one joystick.
// Bindings turn physical keys, buttons, axes and directions into logical
// codes; once a frame the input samples its devices into a fixed block of
// state words that scripts and input events read.
#ifndef VY_INPUT_INPUT_H
#define VY_INPUT_INPUT_H

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/strings.h"
#include "input/input_codes.h"

// A held state taken back by a clear: reads as 0 until the key is let go.
constexpr int32_t input_held_cleared = INT32_MIN;

// The live state, 149 words.
struct input_state {
    struct axis {
        float value;
        float accumulated;  // sum of the values while deflected
        int32_t counter;    // n > 0 frames at +0.5 or more, n < 0 at -0.5 or less
    };
    axis axes[input_axis_count];
    int32_t pointer[3];  // flag, x, y (client coordinates of the input's window)
    // n > 0 pressed n frames, -1 released this frame, 0 idle.
    int32_t codes[input_digital_count];
};
static_assert(sizeof(input_state) == 149 * 4, "the state block is 149 words");

// What one frame's sampling found, before it is folded into the state.
struct input_frame {
    float axes[input_axis_count];
    int32_t pointer[3];
    uint32_t bits[input_digital_count / 32];
    bool pressed(uint32_t code) const { return (bits[code >> 5] >> (code & 31)) & 1; }
};

class file;

class input {
public:
    using mode = std::vector<uint32_t>;

    // The replay buffer: records the changes of chosen codes frame by frame
    // and plays them back into the state block.
    class record_info {
    public:
        virtual ~record_info() = default;

        void start(uint32_t input_index, uint32_t mode_number);
        // A logical code to record (right after start).
        void add_code(uint32_t code) { codes.push_back(code << 16); }
        void record(const input_state& state);
        // False once the recording is over or broken.
        bool restore(input_state& state);
        bool save(file& f) const;
        bool load(file& f);

        uint32_t id1 = 0;  // the input's index
        uint32_t id2 = 0;  // the binding mode frames belong to
        input_state snapshot = {};
        std::vector<uint32_t> codes;
        std::vector<std::pair<uint32_t, uint32_t>> records;
        uint32_t read_index = 0;
        uint32_t frame = 0;
    };

    input() = default;
    virtual ~input() = default;

    // Inputs an "input.ini" may ask for; a larger NUM creates none.
    static constexpr long max_inputs = 256;
    static bool create_all(HWND main_window, const wchar_t* config_path = nullptr);
    static bool create(int number);
    static void destroy_all();

    static void update(input* in);
    static bool on_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static void sync_pointer(input* in);
    static int32_t code_state(const input* in, uint32_t code);
    static void clear(input* in);
    static void set_code(uint32_t code, input_frame& frame, float value);
    // Folds a frame into the state: axis counters and code counters count on.
    static void commit(input_state& state, const input_frame& frame);

    // Joysticks.
    static bool enable_joystick(input* in);
    static bool check_joystick(input* in, uint32_t number);
    static bool joystick_attached(uint32_t number);
    // The first physical input pressed now on the devices of the mask, as a
    // binding entry without logical code; 0 for none.
    static uint32_t detect_physical(uint32_t mask);

    // Bindings file.
    static bool convert_to_set(const char* logical, const char* physical, uint32_t& entry);
    static void convert_to_key(uint32_t entry, string& logical, string& physical);
    static bool load_config(input* in);
    static void save_config(input* in);
    static const uint32_t* find_binding(input* in, int32_t mode_index, const uint32_t* after,
                                        uint32_t mask, uint32_t code);
    static bool add_binding(input* in, int32_t mode_index, uint32_t entry);
    static bool remove_binding(input* in, int32_t mode_index, uint32_t entry);

    // The bindings of the current mode, or null when it names no mode.
    const mode* current_bindings() const;

    record_info replay;
    int number = 0;  // 1-based
    string window_name;
    HWND window = nullptr;
    input_state state = {};
    std::vector<mode> modes;
    int32_t current_mode = 0;
    uint8_t active = 0;  // the input's window is active: the keyboard is read
    struct joystick_record {
        uint32_t number = 0;  // 1-based, 0 none
        JOYCAPSW caps = {};
        axis_thresholds axes[input_axis_count];
    } joystick;
};

// A replay file: the picture of the records, then the stored script value
// (saving needs records; loading gives the value's bytes, at least one).
bool input_replay_save(const input::record_info& replay, const wchar_t* path, const std::vector<uint8_t>& value);
bool input_replay_load(input::record_info& replay, const wchar_t* path, std::vector<uint8_t>& value);

// The inputs of the process, in order of their numbers.
std::vector<input*>& input_list();
input* input_at(size_t index);

// What the window procedures and the manager share with the inputs.
struct input_devices {
    HWND main_window = nullptr;
    // Installed by the script windows: a window by its name, or null.
    HWND (*window_lookup)(const char* name) = nullptr;
    wstring config_path;
    std::string config_file;  // the same path for the 8-bit profile functions
    HWND mouse_window = nullptr;  // the window of the last mouse message
    POINT cursor = {0, 0};        // screen coordinates
    uint32_t buttons = 0;         // bit n: mouse button n (1 left .. 5 X button 2)
    int32_t hwheel = 0, vwheel = 0;            // deltas since the last frame
    int32_t hwheel_notches = 0, vwheel_notches = 0;  // of the current frame
    POINT pointer = {0, 0};  // the pointer position set by the engine (client)
    // Installed by the engine: the path of a replay file by its name (the
    // save search path). Without it the name is taken below the base folder.
    bool (*resolve_replay)(const char* name, wstring& path) = nullptr;
};
input_devices& input_shared();

#endif
