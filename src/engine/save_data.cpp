#include "engine/save_data.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "core/folders.h"
#include "core/script.h"
#include "core/trace.h"

#include "lua.h"

namespace {
const char magic[4] = {'V', 'y', 'S', 'F'};

uint32_t get_u32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Up to four bytes at p as one little-endian number, for the trace line.
int32_t magic_code(const std::vector<uint8_t>& bytes, size_t at) {
    uint8_t four[4] = {};
    for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i) four[i] = bytes[at + i];
    return static_cast<int32_t>(get_u32(four));
}

void put_header(std::vector<uint8_t>& out) {
    out.insert(out.end(), magic, magic + 4);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(save_data_version >> (8 * i)));
    out.insert(out.end(), 8, 0);
}
}  // namespace

save_data::~save_data() { drop(); }

bool save_data::find_values(const std::vector<uint8_t>& bytes, bool allow_old, size_t& start,
                            bool& old) {
    const char* label = "system_manager::open_save_data";
    start = 0;
    old = false;
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        // A thumbnail whose size can't be read or runs past the file would
        // send the reader outside the bytes.
        if (bytes.size() < 6 || get_u32(&bytes[2]) > bytes.size()) {
            TRACE_ERROR(label, "invalid thumbnail size in save data file",
                        bytes.size() < 6 ? -1 : static_cast<int32_t>(get_u32(&bytes[2])));
            return false;
        }
        start = get_u32(&bytes[2]);
    }
    size_t left = bytes.size() - start;
    if (left >= 4 && std::memcmp(&bytes[start], magic, 4) == 0) {
        if (left < save_data_header_size) {
            TRACE_ERROR(label, "truncated save data file header", static_cast<int32_t>(left));
            return false;
        }
        start += save_data_header_size;
        return true;
    }
    if (!allow_old) {
        TRACE_ERROR(label, "invalid format save data file", magic_code(bytes, start));
        return false;
    }
    TRACE_ERROR(label, "old format save data file", magic_code(bytes, start));
    old = true;
    return true;
}

bool save_data::open(const wstring& path, const void* thumbnail, uint32_t thumbnail_size,
                     bool read) {
    drop();
    path_ = path;
    return read ? open_read(path) : open_write(path, thumbnail, thumbnail_size);
}

bool save_data::open_read(const wstring& path) {
    const char* label = "system_manager::open_save_data";
    file f(path.c_str());
    if (!f.open(file_read | file_share_read)) {
        TRACE_ERROR(label, "file::open", GetLastError());
        return false;
    }
    // From here on the file counts as open for reading, even when what it
    // holds is refused: only values from an accepted file are handed out.
    mode_ = mode_read;
    uint32_t size = f.size();
    if (size == 0 || size == 0xFFFFFFFFu) {
        TRACE_ERROR(label, "empty save data file", -1);
        return false;
    }
    try {
        buffer_.resize(size);
    } catch (const std::bad_alloc&) {
        buffer_.clear();
        TRACE_ERROR(label, "out of memory", static_cast<int32_t>(size));
        return false;
    }
    bool old = false;
    if (!f.read_exact(buffer_.data(), size) || !find_values(buffer_, allow_old_format_, cursor_, old)) {
        buffer_.clear();
        cursor_ = 0;
        return false;
    }
    return true;
}

bool save_data::open_write(const wstring& path, const void* thumbnail, uint32_t thumbnail_size) {
    const char* label = "system_manager::open_save_data";
    wstring folder = directory_of(path.c_str());
    temp_.set_name(folder.empty() ? L".\\" : folder.c_str());
    if (!temp_.open(file_write | file_unique_temp | file_share_read)) {
        TRACE_ERROR(label, "file::open", GetLastError());
        return false;
    }
    temp_path_ = temp_.temp_name();
    mode_ = mode_write;
    std::vector<uint8_t> head;
    if (thumbnail && thumbnail_size) {
        const auto* p = static_cast<const uint8_t*>(thumbnail);
        head.assign(p, p + thumbnail_size);
    }
    put_header(head);
    if (!temp_.write(head.data(), static_cast<uint32_t>(head.size()))) {
        TRACE_ERROR(label, "file::write", GetLastError());
        drop();
        return false;
    }
    return true;
}

bool save_data::store(lua_State* L, int index) {
    if (mode_ != mode_write) return false;
    size_t before = buffer_.size();
    int rc = script(L).store(buffer_, index);
    if (rc != 0) {
        // A refused value must not leave half of itself in the file.
        buffer_.resize(before);
        return false;
    }
    return true;
}

bool save_data::restore(lua_State* L) {
    if (mode_ != mode_read || cursor_ >= buffer_.size()) return false;
    const uint8_t* end = nullptr;
    if (!script(L).restore(buffer_.data() + cursor_, buffer_.size() - cursor_, &end)) return false;
    cursor_ = static_cast<size_t>(end - buffer_.data());
    return true;
}

bool save_data::commit() {
    const char* label = "system_manager::close_save";
    if (!buffer_.empty() && !temp_.write(buffer_.data(), static_cast<uint32_t>(buffer_.size()))) {
        TRACE_ERROR(label, "file::write", GetLastError());
        return false;
    }
    // On the disk before it replaces anything.
    if (!temp_.flush()) {
        TRACE_ERROR(label, "file::flush", GetLastError());
        return false;
    }
    if (!temp_.close()) {
        TRACE_ERROR(label, "file::close", GetLastError());
        return false;
    }
    if (!MoveFileExW(temp_path_.c_str(), path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        TRACE_ERROR(label, "MoveFileExW", GetLastError());
        return false;
    }
    temp_path_ = wstring();
    return true;
}

bool save_data::close() {
    bool ok = true;
    if (mode_ == mode_write) ok = commit();
    drop();
    return ok;
}

// Back to closed; an uncommitted write goes with its temporary file.
void save_data::drop() {
    temp_.close();
    if (!temp_path_.empty()) DeleteFileW(temp_path_.c_str());
    temp_path_ = wstring();
    buffer_.clear();
    cursor_ = 0;
    mode_ = mode_closed;
}
