// Screen-space line strips drawn straight through the device (the
// collision debug view draws its outlines with them).
#ifndef VY_GRAPHICS_LINE_H
#define VY_GRAPHICS_LINE_H

#include <d3d9.h>

#include <cstdint>
#include <vector>

#include "graphics/graphic_object.h"

class graphic_line : public graphic_object {
public:
    struct vertex {
        float x, y, z, rhw;
        D3DCOLOR color;
    };
    static constexpr DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

    explicit graphic_line(graphic* owner) : graphic_object(owner) {}

    // Holds no device object of its own.
    bool create() override { return false; }
    bool release(bool) override { return false; }
    bool onlost() override { lost_ = true; return true; }
    bool restore() override { lost_ = false; return true; }

    // N vertices at depth z in one colour; the caller writes x and y.
    vertex* set_points(uint32_t count, float z, D3DCOLOR color);
    bool begin();
    bool draw();
    bool end();

    int32_t primitive_count() const { return primitive_count_; }
    bool lost() const { return lost_; }

private:
    bool lost_ = false;
    std::vector<vertex> vertices_;
    int32_t primitive_count_ = -1;
    DWORD saved_fvf_ = 0;
    float z_ = 0.0f;
    D3DCOLOR color_ = 0xFFFFFFFF;
};

#endif
