// Read-only packages: a "WZAF" file (or any other file, as one entry named
// "") mapped into memory and served entry by entry. Readers lock an entry,
// read its bytes straight from a mapped view that covers just that entry,
// and unlock it again.
//
// The package index comes from disk and is not trusted: every record is
// checked against the index and the file before the archive opens.
#ifndef VY_CORE_ARCHIVE_H
#define VY_CORE_ARCHIVE_H

#include <array>
#include <cstdint>
#include <map>

#include "core/file.h"
#include "core/singleton.h"
#include "core/strings.h"

constexpr uint32_t archive_magic = 0x46415A57;  // "WZAF"
constexpr uint32_t archive_header_size = 16;
constexpr uint32_t archive_v1_header_size = 48;
constexpr uint32_t archive_v0_record_size = 12;  // before the name
constexpr uint32_t archive_v1_record_size = 20;
constexpr uint32_t archive_open_mode = 0x81001;  // read, share read
// The most bytes one entry may decode to: the size is the index's claim,
// and the decoded copy is allocated whole before the decoder runs.
constexpr uint32_t archive_decoded_ceiling = 256u << 20;

// Turns an entry's stored bytes into the bytes its reader gets.
class archive_decoder {
public:
    virtual ~archive_decoder() = default;
    // source holds stored_size bytes; destination has room for size bytes.
    virtual bool decode(const void* source, uint32_t stored_size, void* destination,
                        uint32_t size) = 0;
};

using archive_decoder_id = std::array<uint8_t, 32>;

struct archive_entry {
    uint64_t offset = 0;
    uint64_t view_base = 0;  // offset rounded down to the allocation granularity
    uint32_t size = 0;
    uint32_t stored_size = 0;
    int32_t lock_count = 0;
    void* view = nullptr;
    const uint8_t* data = nullptr;  // null while unlocked
    uint8_t* buffer = nullptr;      // decoded copy, when a decoder is bound
};

class archive : public file {
public:
    using entry_map = std::map<string, archive_entry, string_less>;
    using entry_iterator = entry_map::iterator;

    // The engine gets its archives from archive_manager, which keeps them
    // open for the whole run; a free-standing archive is for tools and tests.
    explicit archive(const wchar_t* path) : file(path) {}
    ~archive() override;

    // Maps the file named at construction and reads its index.
    bool open();
    bool close() override;
    // The number of entries.
    uint32_t size() override;

    entry_iterator find(const string& name) { return entries_.find(name); }
    entry_iterator first() { return entries_.begin(); }
    entry_iterator end() { return entries_.end(); }
    const entry_map& entries() const { return entries_; }

    // Counted: the first lock maps the entry's view, the last unlock drops
    // it. Data stays valid from a lock to its matching unlock.
    bool lock_entry(entry_iterator entry);
    bool unlock_entry(entry_iterator entry);

    static const uint8_t* entry_data(entry_iterator entry) { return entry->second.data; }
    static uint32_t entry_size(entry_iterator entry) { return entry->second.size; }

    uint32_t granularity() const { return granularity_; }
    archive_decoder* decoder() const { return decoder_; }
    bool is_mapped() const { return mapping_ != nullptr; }

private:
    using file::open;  // an archive always opens read-only through open()

    bool read_index(const uint8_t* index, uint32_t index_end, uint32_t count, uint32_t version,
                    uint64_t file_size);
    bool add_whole_file(uint64_t file_size);
    void drop_entry_views();

    void* mapping_ = nullptr;
    uint32_t granularity_ = 0;
    entry_map entries_;
    archive_decoder* decoder_ = nullptr;
};

// Every archive opened in the run, by path, and the registered decoders.
class archive_manager : public singleton<archive_manager> {
public:
    archive_manager() = default;
    ~archive_manager() override;

    // The process-wide manager, made on first use.
    static archive_manager* instance();

    // The archive already open under exactly this path, else a newly opened
    // one; null when it won't open (nothing is kept, so a later call tries
    // again).
    archive* open_archive(const wchar_t* path);

    // Decoders are not owned; a version-1 package names its decoder by id.
    void add_decoder(const archive_decoder_id& id, archive_decoder* decoder);
    archive_decoder* find_decoder(const uint8_t* id) const;

private:
    std::map<wstring, archive*, wstring_less> archives_;
    std::map<archive_decoder_id, archive_decoder*> decoders_;
};

#endif
