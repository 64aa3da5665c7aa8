#include "sound/oggvorbis_loader.h"

#include <cstring>

#include "core/cpu_features.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/trace.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include "vorbis/vorbisfile.h"

struct oggvorbis_file_state {
    OggVorbis_File file;
};

namespace {
struct decoder_api {
    int (*fopen)(const char*, OggVorbis_File*);
    int (*open_callbacks)(void*, OggVorbis_File*, const char*, long, ov_callbacks);
    vorbis_info* (*info)(OggVorbis_File*, int);
    int (*clear)(OggVorbis_File*);
    long (*read)(OggVorbis_File*, char*, int, int, int, int, int*);
    int (*pcm_seek)(OggVorbis_File*, ogg_int64_t);
    ogg_int64_t (*pcm_tell)(OggVorbis_File*);
};

decoder_api api = {};
HMODULE library = nullptr;

size_t memory_read(void* out, size_t size, size_t count, void* source) {
    auto* s = static_cast<oggvorbis_loader::memory_source*>(source);
    if (size == 0) return 0;
    size_t want = size * count;
    size_t left = s->size - s->position;
    if (want > left) want = left;
    std::memcpy(out, s->data + s->position, want);
    s->position += static_cast<uint32_t>(want);
    return want / size;
}

int memory_seek(void* source, ogg_int64_t offset, int origin) {
    auto* s = static_cast<oggvorbis_loader::memory_source*>(source);
    int64_t at;
    switch (origin) {
        case SEEK_SET:
            at = offset;
            break;
        case SEEK_CUR:
            at = s->position + offset;
            break;
        case SEEK_END:
            at = s->size + offset;
            break;
        default:
            at = -1;
            break;
    }
    if (at < 0) at = 0;
    if (at > s->size) at = s->size;
    s->position = static_cast<uint32_t>(at);
    return 0;
}

long memory_tell(void* source) {
    return static_cast<long>(static_cast<oggvorbis_loader::memory_source*>(source)->position);
}

template <class F>
bool find_entry(F& slot, const char* name) {
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (slot) return true;
    TRACE_ERROR("oggvorbis_loader::initialize", "GetProcAddress", GetLastError());
    TRACE_ERROR("oggvorbis_loader::initialize", name, -1);
    return false;
}
}  // namespace

bool oggvorbis_loader::initialize() {
    if (library) return true;
#if defined(__x86_64__) || defined(_M_X64)
    // SSE2 is part of x86-64, whatever the feature word says (it is empty
    // before detection); the builds without it break the 64-bit calling
    // convention for floating point and corrupt the decoder's memory.
    const wchar_t* name = L"lib\\liboggvorbis2.dll";
#else
    const wchar_t* name = (cpu_info.features & cpu_sse2)  ? L"lib\\liboggvorbis2.dll"
                          : (cpu_info.features & cpu_sse) ? L"lib\\liboggvorbis1.dll"
                                                          : L"lib\\liboggvorbis.dll";
#endif
    wstring path;
    make_absolute_path(path, name);
    HMODULE h = LoadLibraryW(path.c_str());
    if (!h) {
        TRACE_ERROR("oggvorbis_loader::initialize", "LoadLibrary", GetLastError());
        TRACE_ERROR("oggvorbis_loader::initialize", narrow_path(path.c_str()).c_str(), -1);
        return false;
    }
    library = h;
    if (find_entry(api.fopen, "ov_fopen") && find_entry(api.open_callbacks, "ov_open_callbacks") &&
        find_entry(api.info, "ov_info") && find_entry(api.clear, "ov_clear") && find_entry(api.read, "ov_read") &&
        find_entry(api.pcm_seek, "ov_pcm_seek") && find_entry(api.pcm_tell, "ov_pcm_tell"))
        return true;
    FreeLibrary(h);
    library = nullptr;
    api = {};
    return false;
}

oggvorbis_loader::oggvorbis_loader() : state_(new oggvorbis_file_state) {
    std::memset(&state_->file, 0, sizeof state_->file);
}

oggvorbis_loader::~oggvorbis_loader() {
    close();
    delete state_;
}

bool oggvorbis_loader::open_file(const wchar_t* path) {
    close();
    if (!library) return false;
    int r = api.fopen(narrow_path(path).c_str(), &state_->file);
    if (r != 0) {
        TRACE_ERROR("oggvorbis_loader::open", "ov_fopen", r);
        return false;
    }
    open_ = true;
    return take_format();
}

bool oggvorbis_loader::open_memory(const void* data, uint32_t size) {
    close();
    if (!library) return false;
    source_ = {static_cast<const uint8_t*>(data), size, 0};
    ov_callbacks callbacks = {memory_read, memory_seek, nullptr, memory_tell};
    int r = api.open_callbacks(&source_, &state_->file, nullptr, 0, callbacks);
    if (r != 0) {
        TRACE_ERROR("oggvorbis_loader::open", "ov_open_callbacks", r);
        source_ = {nullptr, 0, 0};
        return false;
    }
    open_ = true;
    return take_format();
}

bool oggvorbis_loader::take_format() {
    vorbis_info* info = api.info(&state_->file, -1);
    if (!info || info->channels < 1 || info->rate < 1) {
        TRACE_ERROR("oggvorbis_loader::open", "ov_info", -1);
        close();
        return false;
    }
    if (!alloc_format(sizeof(WAVEFORMATEX))) {
        TRACE_ERROR("oggvorbis_loader::open", "alloc_format", -1);
        close();
        return false;
    }
    format_->wFormatTag = WAVE_FORMAT_PCM;
    format_->nChannels = static_cast<WORD>(info->channels);
    format_->nSamplesPerSec = static_cast<DWORD>(info->rate);
    format_->wBitsPerSample = 16;
    format_->nBlockAlign = static_cast<WORD>(2 * info->channels);
    format_->nAvgBytesPerSec = format_->nBlockAlign * format_->nSamplesPerSec;
    data_size_ = 0;
    return true;
}

bool oggvorbis_loader::close() {
    bool ok = true;
    if (open_) {
        int r = api.clear(&state_->file);
        if (r != 0) {
            TRACE_ERROR("oggvorbis_loader::close", "ov_clear", r);
            ok = false;
        }
        std::memset(&state_->file, 0, sizeof state_->file);
    }
    open_ = false;
    source_ = {nullptr, 0, 0};
    return ok;
}

bool oggvorbis_loader::seek(int64_t position) { return open_ && api.pcm_seek(&state_->file, position) == 0; }

int64_t oggvorbis_loader::tell() { return open_ ? api.pcm_tell(&state_->file) : -1; }

uint32_t oggvorbis_loader::read(void* buffer, uint32_t bytes) {
    if (!open_) return 0;
    char* out = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < bytes) {
        int section = 0;
        long got = api.read(&state_->file, out + done, static_cast<int>(bytes - done), 0, 2, 1, &section);
        if (got == OV_HOLE) {
            // A damaged page is skipped by the decoder, which goes on with
            // the next good one: play on rather than end the sound there.
            if (!hole_logged_) TRACE_ERROR("oggvorbis_loader::read", "ov_read", got);
            hole_logged_ = true;
            continue;
        }
        if (got < 0) {
            TRACE_ERROR("oggvorbis_loader::read", "ov_read", got);
            break;
        }
        if (got == 0) {
            // Without its end page the file was cut short or its last page
            // is damaged; it ends with what could be decoded.
            if (!state_->file.os.e_o_s && !cut_logged_) {
                TRACE_ERROR("oggvorbis_loader::read", "stream ends before its last page", -1);
                cut_logged_ = true;
            }
            break;
        }
        done += static_cast<uint32_t>(got);
    }
    if (done < bytes) std::memset(out + done, 0, bytes - done);
    return done;
}
