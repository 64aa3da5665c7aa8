// `file` over a Win32 handle: the mode word becomes CreateFileW's arguments.
#include "core/file.h"

#include <windows.h>

#include "core/directories.h"

namespace {

struct open_args {
    DWORD access = 0;
    DWORD share = 0;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
};

open_args args_of(uint32_t mode) {
    open_args a;
    if (mode & file_read) a.access |= GENERIC_READ;
    if (mode & file_write) a.access |= GENERIC_WRITE;
    if (mode & file_share_read) a.share |= FILE_SHARE_READ;
    if (mode & file_share_write) a.share |= FILE_SHARE_WRITE;
    if (mode & file_share_delete) a.share |= FILE_SHARE_DELETE;
    if (mode & file_create)
        a.disposition = (mode & file_open_always) ? CREATE_ALWAYS : CREATE_NEW;
    else if (mode & file_open_always)
        a.disposition = OPEN_ALWAYS;
    if (mode & file_sequential)
        a.flags |= FILE_FLAG_SEQUENTIAL_SCAN;
    else if (mode & file_random_access)
        a.flags |= FILE_FLAG_RANDOM_ACCESS;
    return a;
}

void* handle_or_null(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }

// GetTempFileNameW reserves the name by creating an empty file; it is
// removed again so that our own CREATE_NEW decides who owns the name.
bool make_temp_name(const wchar_t* folder, wstring& name) {
    wchar_t buf[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder, L"~", 0, buf)) return false;
    DeleteFileW(buf);
    name.assign(buf);
    return true;
}

// Applies truncate or append to a fresh handle; false (handle closed) when
// the truncation fails.
bool position_new_handle(HANDLE h, uint32_t mode) {
    if (mode & file_truncate) {
        if (mode & file_read) return true;
        if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !SetEndOfFile(h)) {
            CloseHandle(h);
            return false;
        }
    } else if (mode & file_append) {
        SetFilePointer(h, 0, nullptr, FILE_END);
    }
    return true;
}

}  // namespace

void* create_temp_file(const wchar_t* folder, const temp_name_maker& make_name,
                       const temp_file_creator& create, wstring& created, int max_tries) {
    created.assign(nullptr);
    for (int i = 0; i < max_tries; ++i) {
        wstring name;
        if (!make_name(folder, name)) return nullptr;
        uint32_t error = 0;
        void* h = create(name, error);
        if (h) {
            created = name;
            return h;
        }
        // Someone took the name between our check and our creation: try a
        // fresh one. Anything else won't get better by retrying.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return nullptr;
    }
    return nullptr;
}

file::~file() { file::close(); }

bool file::open(uint32_t mode) {
    close();
    if (mode) mode_ = mode;
    temp_name_.assign(nullptr);
    open_args a = args_of(mode_);
    if (!(mode_ & (file_read | file_write))) return false;

    HANDLE h = nullptr;
    if (mode_ & file_unique_temp) {
        const wchar_t* folder = name_.empty() ? cached_temp_directory().c_str() : name_.c_str();
        auto create = [&a](const wstring& name, uint32_t& error) -> void* {
            HANDLE nh = CreateFileW(name.c_str(), a.access, a.share, nullptr, CREATE_NEW,
                                    a.flags, nullptr);
            error = nh == INVALID_HANDLE_VALUE ? GetLastError() : 0;
            return handle_or_null(nh);
        };
        h = create_temp_file(folder, make_temp_name, create, temp_name_);
    } else {
        h = handle_or_null(CreateFileW(name_.c_str(), a.access, a.share, nullptr,
                                       a.disposition, a.flags, nullptr));
    }
    if (!h || !position_new_handle(h, mode_)) return false;
    handle_ = h;
    return true;
}

bool file::close() {
    if (!handle_) return true;
    bool ok = CloseHandle(handle_) != 0;
    handle_ = nullptr;
    // Only a file we actually had open is deleted: a failed open must not
    // remove a file that someone else created under that name.
    if (mode_ & file_delete_on_close) {
        const wstring& target = temp_name_.empty() ? name_ : temp_name_;
        if (file_exists(target.c_str())) DeleteFileW(target.c_str());
    }
    return ok;
}

bool file::read(void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    if (!handle_ || !buffer || count == 0) return false;
    DWORD n = 0;
    if (!ReadFile(handle_, buffer, count, &n, nullptr)) return false;
    done = n;
    return true;
}

bool file::read_exact(void* buffer, uint32_t count) {
    uint32_t done = 0;
    return read(buffer, count, done) && done == count;
}

bool file::write(const void* buffer, uint32_t count) {
    if (!handle_ || !buffer || count == 0) return false;
    DWORD n = 0;
    return WriteFile(handle_, buffer, count, &n, nullptr) && n == count;
}

bool file::write(const std::vector<uint8_t>& bytes, uint32_t count) {
    if (bytes.empty()) return false;
    if (count == 0 || count > bytes.size()) count = static_cast<uint32_t>(bytes.size());
    return write(bytes.data(), count);
}

bool file::write_sized(const std::vector<uint8_t>& bytes, uint32_t count) {
    if (bytes.empty()) return false;
    if (count == 0 || count > bytes.size()) count = static_cast<uint32_t>(bytes.size());
    uint8_t head[4] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8),
                       static_cast<uint8_t>(count >> 16), static_cast<uint8_t>(count >> 24)};
    return write(head, 4) && write(bytes.data(), count);
}

uint32_t file::seek(int32_t offset, uint32_t origin) {
    if (!handle_) return INVALID_SET_FILE_POINTER;
    return SetFilePointer(handle_, offset, nullptr, origin);
}

uint32_t file::size() {
    if (!handle_) return INVALID_FILE_SIZE;
    return GetFileSize(handle_, nullptr);
}

bool file::flush() { return handle_ && FlushFileBuffers(handle_); }

bool file::truncate() { return handle_ && SetEndOfFile(handle_); }

bool file::write_string(const string& text) {
    if (text.empty()) return false;
    return write(text.c_str(), static_cast<uint32_t>(text.length()));
}

bool file::vprintf(const char* format, va_list args) {
    string text;
    string_vprintf(text, format, args);
    return write_string(text);
}

bool file::printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    bool ok = vprintf(format, args);
    va_end(args);
    return ok;
}

bool file_exists(const wchar_t* path) {
    if (!path) return false;
    DWORD attrs = GetFileAttributesW(path);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & 0x80000000u) &&
           !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool delete_file(const wchar_t* path) { return DeleteFileW(path) != 0; }

bool move_file(const wchar_t* from, const wchar_t* to) { return MoveFileW(from, to) != 0; }

bool copy_file(const wchar_t* from, const wchar_t* to) { return CopyFileW(from, to, FALSE) != 0; }
