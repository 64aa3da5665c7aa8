// The system manager's companion channels: one per companion process,
// served at the end of every frame in the main Lua state.
#include "engine/system_manager.h"
#include "engine/vycommdll.h"

bool system_manager::connect(uint32_t peer_id, uint32_t data_size) {
    if (data_size == 0) data_size = 0x40000000u;
    if (data_size < 4096) data_size = 4096;
    vycomm_channel* channel = VyCommConnect(data_size, peer_id);
    if (!channel) return false;
    auto it = channels_.find(peer_id);
    if (it != channels_.end()) VyCommClose(it->second);  // a peer has one channel
    channels_[peer_id] = channel;
    return true;
}

bool system_manager::poll_channels() {
    bool ok = true;
    for (auto& entry : channels_)
        if (VyCommWait(entry.second)) ok = VyCommReceive(entry.second, lua_) && ok;
    return ok;
}

void system_manager::close_channels() {
    for (auto& entry : channels_) VyCommClose(entry.second);
    channels_.clear();
}
