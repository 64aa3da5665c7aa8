// Memory-mapped packages. Nothing here logs: failures come back as false
// or null and the caller reports them.
#include "core/archive.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace {

uint32_t read_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t read_u64(const uint8_t* p) { return read_u32(p) | uint64_t(read_u32(p + 4)) << 32; }

// Where a locked empty entry points: readers may take its address but
// never read from it.
const uint8_t no_bytes[1] = {0};

void* map_view(void* mapping, uint32_t mode, uint64_t offset, size_t length) {
    DWORD access = (mode & file_write) ? FILE_MAP_WRITE : FILE_MAP_READ;
    return MapViewOfFile(mapping, access, DWORD(offset >> 32), DWORD(offset), length);
}

}  // namespace

archive::~archive() { close(); }

uint32_t archive::size() { return static_cast<uint32_t>(entries_.size()); }

bool archive::open() {
    close();
    if (!file::open(archive_open_mode) || !(mode_ & file_read)) {
        close();
        return false;
    }
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    granularity_ = info.dwAllocationGranularity;

    LARGE_INTEGER length;
    bool ok = GetFileSizeEx(handle_, &length) != 0;
    uint64_t file_size = ok ? uint64_t(length.QuadPart) : 0;
    if (ok) {
        // An empty file cannot be mapped; that fails the open.
        DWORD protect = (mode_ & file_write) ? PAGE_READWRITE : PAGE_READONLY;
        mapping_ = CreateFileMappingW(handle_, nullptr, protect, 0, 0, nullptr);
        ok = mapping_ != nullptr;
    }
    if (ok) {
        uint8_t header[archive_header_size] = {};
        bool packed = false;
        if (file_size >= archive_header_size) {
            void* view = map_view(mapping_, mode_, 0, archive_header_size);
            if (view) {
                memcpy(header, view, sizeof header);
                UnmapViewOfFile(view);
                packed = read_u32(header) == archive_magic;
            } else {
                ok = false;
            }
        }
        if (ok && packed) {
            uint32_t version = read_u32(header + 4);
            uint32_t count = read_u32(header + 8);
            uint32_t index_end = read_u32(header + 12);
            uint32_t header_size = version == 0   ? archive_header_size
                                   : version == 1 ? archive_v1_header_size
                                                  : 0;
            ok = header_size != 0 && index_end >= header_size && index_end <= file_size;
            void* view = ok ? map_view(mapping_, mode_, 0, index_end) : nullptr;
            ok = view != nullptr;
            if (ok) {
                const uint8_t* index = static_cast<const uint8_t*>(view);
                if (version == 1)
                    decoder_ = archive_manager::instance()->find_decoder(index + archive_header_size);
                ok = read_index(index, index_end, count, version, file_size);
                UnmapViewOfFile(view);
            }
        } else if (ok) {
            ok = add_whole_file(file_size);
        }
    }
    if (!ok) close();
    return ok;
}

bool archive::add_whole_file(uint64_t file_size) {
    if (file_size > 0xFFFFFFFFu) return false;
    archive_entry entry;
    entry.size = static_cast<uint32_t>(file_size);
    entries_.emplace(string(), entry);
    return true;
}

// Every record must lie inside the index with its name terminated there,
// and its bytes must lie inside the file; one bad record fails the whole
// package, so a reader never sees memory outside the file.
bool archive::read_index(const uint8_t* index, uint32_t index_end, uint32_t count,
                         uint32_t version, uint64_t file_size) {
    const uint64_t fixed = version == 0 ? archive_v0_record_size : archive_v1_record_size;
    const uint64_t start = version == 0 ? archive_header_size : archive_v1_header_size;
    if (count > (index_end - start) / fixed) return false;

    uint64_t pos = start;
    for (uint32_t i = 0; i < count; ++i) {
        if (pos + fixed > index_end) return false;
        const uint8_t* record = index + pos;
        archive_entry entry;
        uint32_t record_length;
        if (version == 0) {
            entry.offset = read_u32(record);
            entry.size = read_u32(record + 4);
            record_length = read_u32(record + 8);
        } else {
            entry.offset = read_u64(record);
            entry.size = read_u32(record + 8);
            record_length = read_u32(record + 12);
            entry.stored_size = read_u32(record + 16);
        }
        if (record_length < fixed) return false;
        uint64_t name_limit = pos + record_length < index_end ? pos + record_length : index_end;
        const char* name = reinterpret_cast<const char*>(record + fixed);
        if (!memchr(name, 0, size_t(name_limit - pos - fixed))) return false;

        // With a decoder the file holds the stored bytes; without one the
        // reader gets the bytes in place.
        uint64_t extent = decoder_ ? entry.stored_size : entry.size;
        if (entry.offset > file_size || extent > file_size - entry.offset) return false;
        entry.view_base = entry.offset - entry.offset % granularity_;
        entries_.emplace(string(name), entry);
        pos += record_length;
    }
    return true;
}

bool archive::lock_entry(entry_iterator it) {
    if (!mapping_ || !(mode_ & file_read) || it == entries_.end()) return false;
    archive_entry& e = it->second;
    if (e.lock_count == 0) {
        uint64_t lead = e.offset - e.view_base;
        uint64_t extent = decoder_ ? e.stored_size : e.size;
        const uint8_t* source = no_bytes;
        void* view = nullptr;
        if (extent > 0) {
            if (lead + extent > SIZE_MAX) return false;
            view = map_view(mapping_, mode_, e.view_base, size_t(lead + extent));
            if (!view) return false;
            source = static_cast<const uint8_t*>(view) + lead;
        }
        if (decoder_) {
            if (e.size > archive_decoded_ceiling) {
                if (view) UnmapViewOfFile(view);
                return false;
            }
            uint8_t* buffer = new (std::nothrow) uint8_t[e.size ? e.size : 1];
            bool decoded = buffer && decoder_->decode(source, e.stored_size, buffer, e.size);
            if (view) UnmapViewOfFile(view);
            if (!decoded) {
                delete[] buffer;
                return false;
            }
            e.buffer = buffer;
            e.data = buffer;
        } else {
            e.view = view;
            e.data = source;
        }
    }
    ++e.lock_count;
    return true;
}

bool archive::unlock_entry(entry_iterator it) {
    if (!mapping_ || !(mode_ & file_read)) return false;
    if (it == entries_.end()) return true;
    archive_entry& e = it->second;
    // An unlock without a lock would map the count below zero and unmap a
    // view that another reader still uses.
    if (e.lock_count <= 0) return false;
    if (--e.lock_count > 0) return true;
    delete[] e.buffer;
    if (e.view) UnmapViewOfFile(e.view);
    e.buffer = nullptr;
    e.view = nullptr;
    e.data = nullptr;
    return true;
}

void archive::drop_entry_views() {
    for (auto& item : entries_) {
        archive_entry& e = item.second;
        delete[] e.buffer;
        if (e.view) UnmapViewOfFile(e.view);
        e.buffer = nullptr;
        e.view = nullptr;
        e.data = nullptr;
        e.lock_count = 0;
    }
}

bool archive::close() {
    if (mapping_) {
        drop_entry_views();
        CloseHandle(mapping_);
        mapping_ = nullptr;
    }
    entries_.clear();
    decoder_ = nullptr;
    return file::close();
}

archive_manager::~archive_manager() {
    for (auto& item : archives_) delete item.second;
    archives_.clear();
    decoders_.clear();
}

archive_manager* archive_manager::instance() {
    if (archive_manager* m = singleton<archive_manager>::instance()) return m;
    static archive_manager made;
    return &made;
}

archive* archive_manager::open_archive(const wchar_t* path) {
    if (!path || !*path) return nullptr;
    wstring key(path);
    auto found = archives_.find(key);
    if (found != archives_.end()) return found->second;
    archive* a = new archive(path);
    if (!a->open()) {
        delete a;
        return nullptr;
    }
    archives_.emplace(key, a);
    return a;
}

void archive_manager::add_decoder(const archive_decoder_id& id, archive_decoder* decoder) {
    if (decoder)
        decoders_[id] = decoder;
    else
        decoders_.erase(id);
}

archive_decoder* archive_manager::find_decoder(const uint8_t* id) const {
    archive_decoder_id key;
    memcpy(key.data(), id, key.size());
    auto found = decoders_.find(key);
    return found == decoders_.end() ? nullptr : found->second;
}
