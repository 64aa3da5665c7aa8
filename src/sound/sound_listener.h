// The 3D listener. DirectSound always sees it at the origin, standing
// still: its position and velocity are kept here and subtracted from every
// 3D voice as it starts.
#ifndef VY_SOUND_SOUND_LISTENER_H
#define VY_SOUND_SOUND_LISTENER_H

#include "sound/sound_object.h"

class sound_listener : public sound_object {
public:
    using sound_object::sound_object;
    ~sound_listener() override { release(false); }

    bool create() override;
    bool release(bool keep) override;
    bool restore() override { return true; }

    bool set_parameter(DS3DLISTENER& p);
    bool get_parameter(DS3DLISTENER& p);
    bool commit();
    // Front (0, 0, 1), top (0, -1, 0), distance factor 0.00625.
    bool apply_defaults();

    IDirectSound3DListener8* listener() const { return listener_; }
    float position[3] = {};
    float velocity[3] = {};

private:
    IDirectSound3DListener8* listener_ = nullptr;
};

#endif
