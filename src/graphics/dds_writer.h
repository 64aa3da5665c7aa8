// An uncompressed DDS image of a texture's level 0, written by the engine
// itself where D3DX cannot save DDS.
#ifndef VY_GRAPHICS_DDS_WRITER_H
#define VY_GRAPHICS_DDS_WRITER_H

#include <cstdint>
#include <vector>

class graphic_texture;

// The texture's asked width and height in its own format; false for a
// format without a plain bit layout or texels that can't be read.
bool write_dds(graphic_texture& texture, std::vector<uint8_t>& out);

#endif
