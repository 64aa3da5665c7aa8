// The requesting side's half of a VYCOMM exchange that is not one of the
// channel's operations: writing a request and waiting for its reply.
#ifndef VY_TESTS_ENGINE_VYCOMM_REQUEST_H
#define VY_TESTS_ENGINE_VYCOMM_REQUEST_H

#include <cstring>
#include <string>

#include "engine/vycommdll.h"

// Writes the source as a request and signals it.
inline void vycomm_send(vycomm_channel* c, const std::string& source) {
    std::memcpy(c->data(), source.data(), source.size());
    c->header()->length = static_cast<uint32_t>(source.size());
    c->header()->status = vycomm_request;
    SetEvent(c->request_event);
}

// Polls for the reply for at most timeout_ms.
inline bool vycomm_wait_reply(vycomm_channel* c, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    while (!VyCommWait(c)) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(5);
    }
    return true;
}

#endif
