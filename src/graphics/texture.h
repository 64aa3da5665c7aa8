// Device textures: images loaded from memory, blank textures, textures
// with a system-memory copy, and render targets.
#ifndef VY_GRAPHICS_TEXTURE_H
#define VY_GRAPHICS_TEXTURE_H

#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <vector>

#include "graphics/graphic_object.h"

// Image file formats of the save operations (D3DXIMAGE_FILEFORMAT values).
enum : int32_t {
    image_format_bmp = 0,
    image_format_jpg = 1,
    image_format_png = 3,
    image_format_dds = 4,
};

// Bytes of a saved image; the buffer is released with the record.
struct graphic_buffer {
    ID3DXBuffer* buffer = nullptr;
    void* data = nullptr;
    uint32_t size = 0;

    graphic_buffer() = default;
    graphic_buffer(const graphic_buffer&) = delete;
    graphic_buffer& operator=(const graphic_buffer&) = delete;
    ~graphic_buffer() { clear(); }
    void clear();
};

class graphic_texture : public graphic_object {
public:
    // Key record of the texture cache: the image's size.
    struct image_info_t {
        uint32_t width = 0;
        uint32_t height = 0;
    };

    enum lock_mode : int32_t {
        lock_none = 0,
        lock_direct = 1,
        lock_target_copy = 2,
        lock_file_copy = 3,
    };

    // One byte a pixel, rows padded to whole 32-bit words.
    struct alpha_image {
        std::vector<uint8_t> pixels;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t pitch = 0;

        // A zeroed image; false (and a log line) when memory runs out.
        bool create(uint32_t width, uint32_t height);
        uint8_t* row(uint32_t y) { return pixels.data() + size_t(y) * pitch; }
        const uint8_t* row(uint32_t y) const { return pixels.data() + size_t(y) * pitch; }
    };

    // GDI drawing on a texture. Formats with alpha are drawn through a
    // system-memory copy in which transparency is the graphic's colour key.
    class dc {
    public:
        explicit dc(graphic_texture* texture) : texture_(texture) {}
        ~dc() { release(); }
        dc(const dc&) = delete;
        dc& operator=(const dc&) = delete;

        // The device context, or none when it can't be opened.
        HDC get_dc();
        // Closes the context and writes what was drawn back to the texture.
        bool release();
        HDC handle() const { return dc_; }

    private:
        bool open_converted(D3DFORMAT surface_format);
        bool write_back();

        graphic_texture* texture_;
        IDirect3DSurface9* surface_ = nullptr;
        HDC dc_ = nullptr;
        bool converted_ = false;
    };

    explicit graphic_texture(graphic* owner) : graphic_object(owner) {}
    ~graphic_texture() override;

    // Blank, at the remembered size after a device loss, else at the
    // logical screen size; render format, DEFAULT pool, DYNAMIC usage.
    bool create() override;
    bool release(bool all) override;
    bool onlost() override;
    bool restore() override;

    // Format 0 is the render format. Texels of the colour key become
    // transparent black.
    virtual bool create_from_image(const void* data, uint32_t size, D3DFORMAT format,
                                   D3DPOOL pool, uint32_t usage);
    virtual bool create_blank(uint32_t width, uint32_t height, D3DFORMAT format, D3DPOOL pool,
                              uint32_t usage);

    // The whole texture (rect none) or a part; D3DLOCK flags.
    bool lock(const RECT* rect = nullptr, uint32_t flags = 0);
    bool unlock();
    bool get_surface();
    bool fill(D3DCOLOR color);
    bool update(graphic_texture* source);
    bool duplicate(graphic_texture* source);
    bool resize(uint32_t width, uint32_t height);
    bool save(int32_t file_format, graphic_buffer& out);
    bool save(const wchar_t* path, int32_t file_format);

    static bool get_image_info(const void* data, uint32_t size, image_info_t& info);

    // A GDI bitmap compatible with dc (none: the screen's) holding the
    // texels; the caller deletes it.
    HBITMAP create_bitmap(HDC dc);
    // A closed GDI context for this texture (none without memory); the
    // caller deletes it.
    dc* create_dc();

    // The image into the alpha channel; the texture read back as an image
    // of brightness; every texel made opaque.
    virtual bool set_alpha_image(const alpha_image& image);
    virtual bool get_alpha_image(alpha_image& image);
    virtual bool make_opaque();

    IDirect3DTexture9* d3d_texture() const { return texture_; }
    IDirect3DSurface9* surface() const { return surface_; }
    D3DFORMAT format() const { return format_; }
    D3DPOOL pool() const { return pool_; }
    uint32_t usage() const { return usage_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    uint32_t real_width() const { return real_width_; }
    uint32_t real_height() const { return real_height_; }
    void* bits() const { return bits_; }
    int32_t pitch() const { return pitch_; }
    int32_t mode() const { return mode_; }
    bool lost() const { return lost_; }

protected:
    // Size, format and pool as the device allows them.
    void adjust_request(uint32_t& width, uint32_t& height, D3DFORMAT& format, D3DPOOL& pool,
                        uint32_t& usage) const;
    bool get_desc();
    int32_t locking(const RECT* rect, uint32_t flags);
    void release_device_objects();
    bool duplicate_through_gdi(graphic_texture& source);

    bool lost_ = false;
    IDirect3DTexture9* texture_ = nullptr;
    IDirect3DSurface9* surface_ = nullptr;
    D3DFORMAT format_ = D3DFMT_UNKNOWN;
    D3DPOOL pool_ = D3DPOOL_DEFAULT;
    uint32_t usage_ = 0;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t real_width_ = 0;
    uint32_t real_height_ = 0;
    void* bits_ = nullptr;
    int32_t pitch_ = 0;
    int32_t mode_ = lock_none;
    graphic_texture* staging_ = nullptr;
};

// A texture whose registered system-memory copy is written back into it
// after a device reset.
class graphic_memory_texture : public graphic_texture {
public:
    explicit graphic_memory_texture(graphic* owner) : graphic_texture(owner) {}
    ~graphic_memory_texture() override;

    bool create_blank(uint32_t width, uint32_t height, D3DFORMAT format, D3DPOOL pool,
                      uint32_t usage) override;
    bool release(bool all) override;
    bool restore() override;

    graphic_texture* copy() const { return copy_; }

private:
    graphic_texture* copy_ = nullptr;
};

// A texture (or the device's back buffer) that layers draw into.
class graphic_render_target : public graphic_texture {
public:
    enum : uint32_t { follow_width = 1, follow_height = 2 };

    explicit graphic_render_target(graphic* owner) : graphic_texture(owner) {}
    ~graphic_render_target() override;

    // Wraps the device's back buffer, or re-creates an own target after a
    // device loss.
    bool create() override;
    // An own target; a size <= 0 follows the client size.
    virtual bool create(int32_t width, int32_t height);
    bool release(bool all) override;

    // Makes this the device's target (when it is not current yet) and
    // clears it once a frame.
    bool set_target();

    IDirect3DSurface9* render_surface() const { return render_surface_; }
    IDirect3DSurface9* depth_surface() const { return depth_surface_; }
    bool wraps_back_buffer() const { return wraps_back_buffer_; }

    D3DCOLOR clear_color = 0xFF000000;

private:
    IDirect3DSurface9* render_surface_ = nullptr;
    IDirect3DSurface9* depth_surface_ = nullptr;
    bool wraps_back_buffer_ = false;
    uint32_t last_clear_frame_ = 0;
    uint32_t size_flags_ = 0;
};

// A new render target registered with the graphic (none when it can't be
// allocated); width and height 0 give the screen size.
graphic_render_target* graphic_render_target_create(graphic* owner);
graphic_render_target* graphic_render_target_create(graphic* owner, int32_t width, int32_t height);

#endif
