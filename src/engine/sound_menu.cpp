#include "engine/sound_menu.h"

#include "sound/sound.h"

namespace {
constexpr UINT volume_first = 40201, volume_last = 40211, mute_item = 40212, play_inactive_item = 40005;
bool user_mute = false;
bool play_inactive = false;
bool keep_running = false;

float step_volume(UINT id) { return static_cast<float>(volume_last - id) / 10.0f; }

void check_only(HMENU menu, UINT checked) {
    for (UINT id = volume_first; id <= mute_item; ++id)
        CheckMenuItem(menu, id, MF_BYCOMMAND | (id == checked ? MF_CHECKED : MF_UNCHECKED));
}

// The step at or below the master volume.
UINT step_at_or_below(float volume) {
    for (UINT id = volume_first; id <= volume_last; ++id)
        if (step_volume(id) <= volume) return id;
    return volume_last;
}

void select_volume_item(HMENU menu, UINT id) {
    sound* device = sound::instance();
    if (!device) return;
    if (id != mute_item) {
        device->set_mute(false);
        device->set_volume(step_volume(id));
        check_only(menu, id);
        return;
    }
    if (!device->muted()) {
        user_mute = true;
        device->set_mute(true);
        check_only(menu, mute_item);
    } else {
        user_mute = false;
        device->set_mute(false);
        check_only(menu, step_at_or_below(device->master_volume()));
    }
}
}  // namespace

void sound_menu_start(HMENU menu, bool play, bool keep) {
    play_inactive = play;
    keep_running = keep;
    // Muted, then the mute item: it unmutes, clears the user's choice and
    // checks the volume step.
    if (sound* device = sound::instance()) device->set_mute(true);
    select_volume_item(menu, mute_item);
    CheckMenuItem(menu, play_inactive_item, MF_BYCOMMAND | (play_inactive ? MF_CHECKED : MF_UNCHECKED));
}

bool sound_menu_command(HMENU menu, UINT id) {
    if (id == play_inactive_item) {
        play_inactive = !play_inactive;
        CheckMenuItem(menu, id, MF_BYCOMMAND | (play_inactive ? MF_CHECKED : MF_UNCHECKED));
        return true;
    }
    if (id < volume_first || id > mute_item) return false;
    select_volume_item(menu, id);
    return true;
}

void sound_menu_activate(bool active) {
    sound* device = sound::instance();
    if (!device) return;
    if (active)
        device->set_mute(user_mute);
    else if (!keep_running && !play_inactive)
        device->set_mute(true);
}

bool sound_menu_play_inactive() { return play_inactive; }
