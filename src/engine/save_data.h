// `save_data`: the one save-data file a game has open at a time. Writing
// collects stored Lua values in memory; reading takes the whole file in at
// once and hands values out one by one.
//
// A file is an optional BMP thumbnail, the 16-byte header ("VySF", version
// 0x00010000, eight zero bytes) and the stored values one after another.
// A write never touches the file it replaces until the new contents are
// complete: they go to a temporary file beside it, which then takes the
// file's place in one move. A failed or abandoned write leaves the old
// file as it was.
#ifndef VY_ENGINE_SAVE_DATA_H
#define VY_ENGINE_SAVE_DATA_H

#include <cstdint>
#include <vector>

#include "core/file.h"
#include "core/strings.h"

struct lua_State;

constexpr uint32_t save_data_version = 0x00010000;
constexpr uint32_t save_data_header_size = 16;

class save_data {
public:
    save_data() = default;
    ~save_data();
    save_data(const save_data&) = delete;
    save_data& operator=(const save_data&) = delete;

    // Opens path (already resolved) for reading or writing; whatever was
    // open is dropped first. A thumbnail (a complete BMP file) is written
    // only when opening for writing.
    bool open(const wstring& path, const void* thumbnail, uint32_t thumbnail_size, bool read);
    // Appends the stored form of the value at index; a value that stores
    // with a warning or an error is refused and leaves nothing behind.
    bool store(lua_State* L, int index);
    // Pushes the next value; false (nothing pushed) when not reading, at
    // the end, or when the bytes don't hold a value.
    bool restore(lua_State* L);
    // Writing: commits the file (false when that fails, the old file then
    // stays). Always ends in the closed state.
    bool close();
    // Closes without committing: a write that was never closed must not
    // replace a good file with a part of a save.
    void discard() { drop(); }

    bool reading() const { return mode_ == mode_read; }
    bool writing() const { return mode_ == mode_write; }
    void set_allow_old_format(bool on) { allow_old_format_ = on; }
    bool allow_old_format() const { return allow_old_format_; }
    // The bytes collected for writing or read from the file.
    const std::vector<uint8_t>& buffer() const { return buffer_; }
    size_t cursor() const { return cursor_; }

    // Where the values of a file's bytes begin: past the thumbnail and the
    // header. Answers false for bytes that are not a save file (or an old
    // one when those are not allowed); old is set for a headerless file.
    static bool find_values(const std::vector<uint8_t>& bytes, bool allow_old, size_t& start,
                            bool& old);

private:
    enum : int { mode_closed, mode_read, mode_write };

    bool open_read(const wstring& path);
    bool open_write(const wstring& path, const void* thumbnail, uint32_t thumbnail_size);
    bool commit();
    void drop();

    std::vector<uint8_t> buffer_;
    size_t cursor_ = 0;
    int mode_ = mode_closed;
    wstring path_;
    file temp_;          // the write in progress, beside the file it replaces
    wstring temp_path_;  // its name until it has taken the file's place
    bool allow_old_format_ = false;
};

#endif
