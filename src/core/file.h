// `file`: the engine's one wrapper of a Win32 file handle, opened from a
// word of mode flags; `textfile`: a file with a text buffer for line reading.
// Nothing here logs: failures come back as false (or 0xFFFFFFFF from seek)
// and the caller writes its own trace line.
#ifndef VY_CORE_FILE_H
#define VY_CORE_FILE_H

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/strings.h"

// Bits of the mode word given to file::open.
enum : uint32_t {
    file_read = 0x01,
    file_write = 0x02,
    file_create = 0x04,       // with file_open_always: CREATE_ALWAYS, else CREATE_NEW
    file_open_always = 0x08,  // alone: OPEN_ALWAYS; neither bit: OPEN_EXISTING
    file_truncate = 0x10,     // only without file_read
    file_append = 0x80,       // only without file_truncate
    file_sequential = 0x400,
    file_random_access = 0x800,
    file_share_read = 0x1000,
    file_share_write = 0x2000,
    file_share_delete = 0x4000,
    file_delete_on_close = 0x20000,
    file_unique_temp = 0x40000,  // create a fresh file in the name's folder

    // Logs that append, and logs that start empty.
    file_mode_append_log = 0x108A,
    file_mode_new_log = 0x101E,
};

// How many fresh names a unique temporary file tries before giving up.
constexpr int temp_file_max_tries = 100;

class file {
public:
    file() = default;
    explicit file(const wchar_t* name) : name_(name) {}
    file(const file&) = delete;
    file& operator=(const file&) = delete;
    virtual ~file();

    // Closes first. A non-zero mode replaces the stored one; 0 reopens with
    // it. True when a handle was obtained.
    virtual bool open(uint32_t mode);
    // Closes the handle (true when there was none); with file_delete_on_close
    // a file that was open is deleted afterwards.
    virtual bool close();
    virtual bool read_exact(void* buffer, uint32_t count);
    // False for a null buffer, a zero count or a failing read; done is short
    // (possibly 0) at the end of the file.
    virtual bool read(void* buffer, uint32_t count, uint32_t& done);
    // count 0 or past the vector's size: the whole vector.
    virtual bool write(const std::vector<uint8_t>& bytes, uint32_t count);
    virtual bool write(const void* buffer, uint32_t count);
    // The count as 4 little-endian bytes, then the bytes.
    virtual bool write_sized(const std::vector<uint8_t>& bytes, uint32_t count);
    // origin 0 begin, 1 current, 2 end; the new position or 0xFFFFFFFF.
    virtual uint32_t seek(int32_t offset, uint32_t origin);
    virtual uint32_t size();
    virtual bool flush();
    // Ends the file at the current position.
    virtual bool truncate();

    // The text's bytes without terminator; empty text writes nothing and
    // reports failure.
    bool write_string(const string& text);
    bool vprintf(const char* format, va_list args);
    bool printf(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

    void set_name(const wchar_t* name) { name_ = name; }
    const wstring& name() const { return name_; }
    uint32_t mode() const { return mode_; }
    bool is_open() const { return handle_ != nullptr; }
    void* handle() const { return handle_; }
    // The name a file_unique_temp open created (the object's own name stays
    // the folder); empty otherwise. Delete-on-close applies to this file.
    const wstring& temp_name() const { return temp_name_; }

protected:
    wstring name_;
    uint32_t mode_ = 0;
    void* handle_ = nullptr;  // never INVALID_HANDLE_VALUE
    wstring temp_name_;
};

// A file that reads text line by line through a 1024-byte buffer.
class textfile : public file {
public:
    static constexpr uint32_t buffer_size = 1024;

    textfile();
    explicit textfile(const wchar_t* name);
    ~textfile() override;

    // Drops what was buffered, so a reopened file starts reading afresh.
    bool close() override;

    // The next line without its "\n" (and a "\r" just before it). The last
    // line needs no line end. False at the end of the file, or when a read
    // fails.
    bool read_line(string& out);
    // The text followed by "\n", written straight through.
    bool write_line_text(const char* text);

protected:
    std::vector<char> buffer_;
    int32_t position_ = -1;  // next unread byte; -1 when nothing is buffered
    uint32_t text_flags_ = 0;
    uint32_t filled_ = 0;     // bytes of the buffer that hold file data
};

bool file_exists(const wchar_t* path);  // exists and is not a directory
bool delete_file(const wchar_t* path);
bool move_file(const wchar_t* from, const wchar_t* to);
bool copy_file(const wchar_t* from, const wchar_t* to);  // overwrites

// The naming loop behind file_unique_temp, open for testing: make_name
// proposes a free name in the folder, create tries to create it as a new
// file and reports the Windows error when it can't. A failure with
// ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS (someone took the name in
// between) tries again, up to max_tries names; any other failure ends the
// loop. Answers the handle (null on failure) and the name in created.
using temp_name_maker = std::function<bool(const wchar_t* folder, wstring& name)>;
using temp_file_creator = std::function<void*(const wstring& name, uint32_t& error)>;
void* create_temp_file(const wchar_t* folder, const temp_name_maker& make_name,
                       const temp_file_creator& create, wstring& created,
                       int max_tries = temp_file_max_tries);

#endif
