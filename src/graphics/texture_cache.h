// The sprite object's road to shared images in the graphic's texture cache.
#ifndef VY_GRAPHICS_TEXTURE_CACHE_H
#define VY_GRAPHICS_TEXTURE_CACHE_H

class graphic;
class graphic_texture;

// One use of the image (entry of the package at path); handle receives the
// cache entry to give back, the result its texture or none.
graphic_texture* texture_cache_load(graphic* g, const wchar_t* path, const wchar_t* entry,
                                    void*& handle);
void texture_cache_release(graphic* g, void* handle);

#endif
