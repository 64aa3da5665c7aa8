// The drawn part of an image: the smallest rectangle inside a given one
// that holds every pixel whose alpha is not 0, read from the texture's
// pixels by its format.
#ifndef VY_ENGINE_IMAGE_DRAWABLE_H
#define VY_ENGINE_IMAGE_DRAWABLE_H

#include <cstdint>

class graphic_texture;

struct image_scan {
    graphic_texture* texture = nullptr;
    // The rectangle to search; right and bottom are exclusive.
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    // The result, same convention.
    int32_t out_left = 0, out_top = 0, out_right = 0, out_bottom = 0;
    uint8_t done = 0;         // the scan ran to its end
    uint8_t lock_failed = 0;  // the pixels could not be locked
    uint8_t no_alpha = 0;     // the format has no alpha to scan
};

// The rectangle must lie inside the image. A texture that is already
// locked is scanned as it is and stays locked; a lock taken here is given
// back before returning.
void image_drawable_scan(image_scan& scan);

// Whether a Direct3D format has an alpha bit that the scan can read.
bool image_format_has_alpha(uint32_t format);

#endif
