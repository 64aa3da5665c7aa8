// Per-thread COM initialisation, counted so that every successful
// initialise is matched by exactly one CoUninitialize.
#ifndef VY_CORE_COM_THREAD_H
#define VY_CORE_COM_THREAD_H

#include <cstdint>

// Counts up; the first call of the thread initialises COM with the flags
// (false, nothing counted, when that fails).
bool com_initialize_thread(uint32_t flags);
// Counts down; CoUninitialize when the count reaches 0. Nothing happens
// while the count is 0.
void com_uninitialize_thread();
int32_t com_thread_count();

#endif
