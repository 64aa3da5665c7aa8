// Free-text lines on the engine's trace, with the caller's location.
#ifndef VY_GRAPHICS_GRAPHIC_LOG_H
#define VY_GRAPHICS_GRAPHIC_LOG_H

#include "core/trace.h"

#define GRAPHIC_LOG(...)                            \
    do {                                            \
        TRACE_LOCATION(default_trace());            \
        log_printf(default_trace(), __VA_ARGS__);   \
    } while (0)

#endif
