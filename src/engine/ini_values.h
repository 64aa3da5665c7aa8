// The engine's reads and writes of ini values, each write followed by a
// flush of the profile cache so another process (or the next run) sees it.
#ifndef VY_ENGINE_INI_VALUES_H
#define VY_ENGINE_INI_VALUES_H

#include <cstdint>

#include "core/strings.h"

wstring ini_text(const wchar_t* file, const wchar_t* section, const wchar_t* key, const wchar_t* fallback);
int32_t ini_int(const wchar_t* file, const wchar_t* section, const wchar_t* key, int32_t fallback);
bool ini_bool(const wchar_t* file, const wchar_t* section, const wchar_t* key, bool fallback);

bool ini_write_text(const wchar_t* file, const wchar_t* section, const wchar_t* key, const wchar_t* value);
bool ini_write_int(const wchar_t* file, const wchar_t* section, const wchar_t* key, int32_t value);
bool ini_write_uint(const wchar_t* file, const wchar_t* section, const wchar_t* key, uint32_t value);

#endif
