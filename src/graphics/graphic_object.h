// `graphic_object`: the base of everything that owns Direct3D resources.
// Each one sits in the graphic's object list so that it can be released
// before a device reset and rebuilt after it.
#ifndef VY_GRAPHICS_GRAPHIC_OBJECT_H
#define VY_GRAPHICS_GRAPHIC_OBJECT_H

class graphic;

class graphic_object {
public:
    explicit graphic_object(graphic* owner) : graphic_(owner) {}
    virtual ~graphic_object() = default;
    graphic_object(const graphic_object&) = delete;
    graphic_object& operator=(const graphic_object&) = delete;

    virtual bool create() { return false; }
    // all: the graphic is releasing every object at once; registered
    // sub-objects are then forgotten rather than deleted (the graphic
    // deletes them itself).
    virtual bool release(bool all) { (void)all; return true; }
    virtual bool onlost() { return true; }
    virtual bool restore() { return true; }

    graphic* owner() const { return graphic_; }

protected:
    graphic* graphic_;
};

#endif
