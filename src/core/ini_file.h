// Settings in ini files, through the wide private-profile functions.
// Defaults are given where a value is read, never stored in the file.
#ifndef VY_CORE_INI_FILE_H
#define VY_CORE_INI_FILE_H

#include <cstdint>

#include "core/strings.h"

// The value, or the default; read into a buffer that grows by 256
// characters until the whole value fits.
void read_profile_string(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                         wstring& out, const wchar_t* file);
wstring get_profile_string(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                           const wchar_t* file);
int32_t read_profile_int(const wchar_t* section, const wchar_t* key, int32_t fallback,
                         const wchar_t* file);
// True when the stored number is greater than 0.
bool read_profile_bool(const wchar_t* section, const wchar_t* key, bool fallback,
                       const wchar_t* file);

// One settings file. Writes mark it modified; closing a modified file
// flushes the system's cached copy of it to disk.
class ini_file {
public:
    // A relative path is taken below the base directory (the profile
    // functions would look in the Windows folder).
    explicit ini_file(const wchar_t* path);
    ~ini_file();
    ini_file(const ini_file&) = delete;
    ini_file& operator=(const ini_file&) = delete;

    wstring get_string(const wchar_t* section, const wchar_t* key, const wchar_t* fallback) const;
    int32_t get_int(const wchar_t* section, const wchar_t* key, int32_t fallback) const;
    bool get_bool(const wchar_t* section, const wchar_t* key, bool fallback) const;

    bool write_string(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    bool write_int(const wchar_t* section, const wchar_t* key, int32_t value);

    void close();

    const wstring& path() const { return path_; }
    bool modified() const { return modified_; }

private:
    wstring path_;
    bool modified_ = false;
};

#endif
