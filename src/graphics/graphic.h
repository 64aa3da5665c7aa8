// `graphic`: the one owner of the Direct3D 9 device. It opens the device on
// the main window, keeps every graphic object and render layer, draws a
// frame of all layers and recovers the device after a loss.
#ifndef VY_GRAPHICS_GRAPHIC_H
#define VY_GRAPHICS_GRAPHIC_H

#include <d3d9.h>

#include <cstdint>
#include <list>
#include <new>
#include <vector>

#include "core/resource_manager.h"
#include "core/singleton.h"
#include "graphics/graphic_object.h"
#include "graphics/render_layer.h"
#include "graphics/texture_cache.h"

class graphic_sprite;
class graphic_texture;
class graphic_render_target;

// Logs the first failure of a run of failing frames only.
class errorlog_once {
public:
    void log_error(const char* message, int32_t code);

protected:
    bool this_frame_good_ = true;
    bool previous_frame_good_ = true;
};

class graphic : public singleton<graphic>, public resource_manager_container, public errorlog_once {
public:
    using texture_iterator = graphic_texture_manager::iterator;

    using layer_list = std::list<graphic_render_layer*>;
    using layer_position = layer_list::iterator;

    struct resolution {
        uint32_t width;
        uint32_t height;
        uint32_t refresh_rate;
    };

    static constexpr D3DCOLOR color_key = 0xFF00FF00;

    graphic();
    ~graphic() override;
    graphic(const graphic&) = delete;
    graphic& operator=(const graphic&) = delete;

    // Set-up, in this order.
    bool create();
    bool check_format(D3DFORMAT fullscreen_format, D3DFORMAT render_format);
    bool initialize(HWND window);
    bool set_scaling(bool on);
    void set_fs_scale();
    void update_screen_offset();
    bool set_def_viewport();
    bool set_render_state();

    // Frames and recovery.
    bool render();
    bool restore();
    bool reset();
    bool fullscreen(bool on);
    void set_device_lost();
    bool onlost_objects();
    bool restore_objects();
    bool select_target(graphic_render_target* target);

    // Shared images: one use of the entry `name` of the package at path
    // (a plain file is a package of one entry). The entry's texture is
    // none when it can't be loaded; the use is given back with
    // textures().release_entry.
    texture_iterator load_texture(const wchar_t* path, const string& name = string());
    graphic_texture_manager& textures() { return textures_; }

    // Objects.
    bool add_object(graphic_object* object);
    bool delete_object(graphic_object* object);
    graphic_texture* new_texture(bool register_it);
    void release_objects();
    const std::vector<graphic_object*>& objects() const { return objects_; }

    // Layers. An index >= 0 is an id; -n is the n-th layer drawn.
    int32_t new_layer_id();
    template <class L>
    int32_t create_render_layer(layer_position before);
    template <class L>
    int32_t create_render_layer() { return create_render_layer<L>(layers_.end()); }
    bool find_layer(int32_t id, layer_position& position);
    void resolve_layer_index(int32_t& index) const;
    // The layer of an id, or none for an empty slot or a removed layer.
    graphic_render_layer* get_layer(int32_t id);
    graphic_render_layer* remove_render_layer(int32_t id);
    bool attach_render_object(graphic_render_object* object, int32_t index);
    bool move_render_object(graphic_render_object* object, int32_t index);
    // Takes the object out of its layer's list (the caller still owns it).
    void detach_render_object(graphic_render_object* object);
    bool set_layer_target(int32_t index, graphic_render_target* target);
    // flags = (flags & ~mask) | (value & mask)
    bool update_layer_state(int32_t index, uint32_t mask, uint32_t value);
    layer_list& layers() { return layers_; }
    size_t layer_id_count() const { return layer_ids_.size(); }

    // State.
    IDirect3D9* d3d() const { return d3d_; }
    IDirect3DDevice9* device() const { return device_; }
    const D3DCAPS9& caps() const { return caps_; }
    D3DDEVTYPE device_type() const { return device_type_; }
    bool hardware() const { return hardware_; }
    bool formats_chosen() const { return formats_chosen_; }
    bool device_lost() const { return device_lost_; }
    const D3DDISPLAYMODE& desktop_mode() const { return desktop_mode_; }
    const D3DPRESENT_PARAMETERS& present_parameters() const { return present_; }
    D3DFORMAT fullscreen_format() const { return fullscreen_format_; }
    D3DFORMAT fullscreen_back_format() const { return fullscreen_back_format_; }
    D3DFORMAT window_back_format() const { return window_back_format_; }
    D3DFORMAT render_format() const { return render_format_; }
    D3DFORMAT depth_format() const { return depth_format_; }
    HWND window() const { return window_; }
    uint32_t fullscreen_width() const { return fullscreen_width_; }
    uint32_t fullscreen_height() const { return fullscreen_height_; }
    uint32_t client_width() const { return client_width_; }
    uint32_t client_height() const { return client_height_; }
    float fs_scale_x() const { return fs_scale_x_; }
    float fs_scale_y() const { return fs_scale_y_; }
    bool scaling() const { return scaling_; }
    float screen_offset_x() const { return screen_offset_x_; }
    float screen_offset_y() const { return screen_offset_y_; }
    float draw_offset_x() const { return draw_offset_x_; }
    float draw_offset_y() const { return draw_offset_y_; }
    graphic_render_target* back_buffer() const { return back_buffer_; }
    graphic_render_target* screen_buffer() const { return screen_buffer_; }
    graphic_render_target* current_target() const { return current_target_; }
    graphic_sprite* sprite() const { return sprite_; }
    graphic_screen_render_layer* screen_layer() const { return screen_layer_; }
    uint32_t frame() const { return frame_; }
    // True while render() draws the layers (quads may be queued).
    bool drawing() const { return drawing_; }
    const std::vector<resolution>& resolutions() const { return resolutions_; }
    // The device's display modes, one per distinct size; choosing one makes
    // it the full-screen size (at once when in full screen).
    uint32_t display_mode_count() const { return static_cast<uint32_t>(resolutions_.size()); }
    const resolution* display_mode(uint32_t index) const;
    void select_display_mode(uint32_t index);
    uint32_t texture_memory() const { return texture_memory_; }

private:
    bool check_device_caps();
    bool for_each_object(bool (graphic_object::*operation)());
    bool check_render_format(D3DFORMAT render_format);
    bool choose_fullscreen_mode();
    bool create_standing_objects();
    void insert_layer(graphic_render_layer* layer, layer_position before);

    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    D3DCAPS9 caps_{};
    uint32_t adapter_ = 0;
    D3DDEVTYPE device_type_ = D3DDEVTYPE_HAL;
    D3DDISPLAYMODE desktop_mode_{};
    D3DPRESENT_PARAMETERS present_{};
    D3DFORMAT fullscreen_format_ = D3DFMT_UNKNOWN;
    D3DFORMAT fullscreen_back_format_ = D3DFMT_UNKNOWN;
    D3DFORMAT window_back_format_ = D3DFMT_UNKNOWN;
    D3DFORMAT render_format_ = D3DFMT_UNKNOWN;
    D3DFORMAT depth_format_ = D3DFMT_UNKNOWN;
    HWND window_ = nullptr;
    uint32_t fullscreen_width_ = 0;
    uint32_t fullscreen_height_ = 0;
    uint32_t client_width_ = 0;
    uint32_t client_height_ = 0;
    uint32_t desktop_width_ = 0;
    uint32_t desktop_height_ = 0;
    float desktop_aspect_ = 0.0f;
    bool scaling_ = false;
    float fs_scale_x_ = 1.0f;
    float fs_scale_y_ = 1.0f;
    float screen_offset_x_ = 0.0f;
    float screen_offset_y_ = 0.0f;
    float draw_offset_x_ = 0.0f;
    float draw_offset_y_ = 0.0f;
    D3DVIEWPORT9 viewport_{};
    bool hardware_ = false;
    bool formats_chosen_ = false;
    bool device_lost_ = false;
    graphic_render_target* back_buffer_ = nullptr;
    graphic_render_target* screen_buffer_ = nullptr;
    graphic_render_target* current_target_ = nullptr;
    graphic_sprite* sprite_ = nullptr;
    std::vector<graphic_object*> objects_;
    layer_list layers_;
    // One slot per id ever issued: the layer's place, or the list's end.
    std::vector<layer_position> layer_ids_;
    graphic_screen_render_layer* screen_layer_ = nullptr;
    uint32_t frame_ = 0;
    bool drawing_ = false;
    std::vector<resolution> resolutions_;
    uint32_t texture_memory_ = 0;
    graphic_texture_manager textures_;
};

// Appends an alpha layer at the end of the drawing order; its id or -1.
int32_t render_layer_append(graphic& g);

template <class L>
int32_t graphic::create_render_layer(layer_position before) {
    int32_t id = new_layer_id();
    L* layer = new (std::nothrow) L(this, id);
    if (!layer) return -1;
    insert_layer(layer, before);
    return id;
}

#endif
