#include "sound/sound_file.h"

#include <cstdlib>
#include <cstring>

#include "core/trace.h"
#include "sound/sound.h"
#include "sound/sound_file_loader.h"
#include "sound/sound_player.h"

bool sound_file::create_from_file(const wchar_t* path_text) {
    // Anything that exists and is not a folder is worth a try: a plain file
    // reports FILE_ATTRIBUTE_NORMAL alone.
    DWORD a = GetFileAttributesW(path_text);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) {
        TRACE_ERROR("sound_file::create", "sound file does not exist.", -1);
        TRACE_ERROR("sound_file::create", narrow_path(path_text).c_str(), -1);
        return false;
    }
    path = path_text;
    if (open_with(false, path_text, 0)) return true;
    if (!loader_) {
        TRACE_ERROR("sound_file::create", "sound file is unsupported format.", -1);
        TRACE_ERROR("sound_file::create", narrow_path(path_text).c_str(), -1);
    }
    return false;
}

bool sound_file::create_from_memory(const void* data, uint32_t size) {
    if (type & (sound_type_streamed | sound_type_lockable)) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        image_.assign(bytes, bytes + size);
        data = image_.data();
    }
    format_wstring(path, L"%p: %d", data, static_cast<int>(size));
    if (open_with(true, data, size)) return true;
    if (!loader_) {
        TRACE_ERROR("sound_file::create", "sound data is unsupported format.", -1);
        TRACE_ERROR("sound_file::create", narrow_path(path.c_str()).c_str(), -1);
    }
    return false;
}

bool sound_file::open_with(bool from_memory, const void* data, uint32_t size) {
    for (sound_loader_factory factory : sound_loader_factories()) {
        sound_file_loader* loader = factory();
        if (!loader) continue;
        bool ok = from_memory ? loader->open_memory(data, size) : loader->open_file(static_cast<const wchar_t*>(data));
        if (ok) {
            loader_ = loader;
            if (create()) return true;
            // The format was understood: a later failure is logged where it
            // happened and is not an unsupported format.
            return false;
        }
        delete loader;
    }
    return false;
}

bool sound_file::create() {
    if (!loader_) return false;
    format_ = const_cast<WAVEFORMATEX*>(loader_->format());
    data_size_ = loader_->data_size();
    end_of_data = false;
    if (data_size_ == 0 && !(type & sound_type_streamed))
        measure();
    else
        delivered_ = data_size_;
    if ((type & sound_type_3d) && format_->nChannels > 1 && !make_mono_format()) return false;
    if (type & (sound_type_streamed | sound_type_lockable)) return true;
    if (!create_buffer(type, format_, data_size_)) return false;
    if (!fill(buffer_, 0, 0)) return false;
    // The loader's format block goes with it: keep a copy of our own.
    if (!(type & sound_type_own_format)) {
        WAVEFORMATEX* copy = static_cast<WAVEFORMATEX*>(std::malloc(sizeof(WAVEFORMATEX)));
        if (!copy) return false;
        *copy = *format_;
        copy->cbSize = 0;
        format_ = copy;
        type |= sound_type_own_format;
    }
    delete loader_;
    loader_ = nullptr;
    return true;
}

bool sound_file::make_mono_format() {
    WORD bits = format_->wBitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        TRACE_ERROR("sound_file::create", "unsupport format", bits);
        return false;
    }
    WAVEFORMATEX* copy = static_cast<WAVEFORMATEX*>(std::malloc(sizeof(WAVEFORMATEX)));
    if (!copy) {
        TRACE_ERROR("sound_file::create", "no memory", -1);
        return false;
    }
    *copy = *format_;
    WORD channels = copy->nChannels;
    copy->wFormatTag = WAVE_FORMAT_PCM;
    copy->cbSize = 0;
    copy->nChannels = 1;
    copy->nAvgBytesPerSec /= channels;
    copy->nBlockAlign /= channels;
    data_size_ /= channels;
    delivered_ /= channels;
    format_ = copy;
    type |= sound_type_own_format;
    return true;
}

bool sound_file::release(bool keep) {
    if (!keep) orphan_users();
    users.clear();
    delete loader_;
    loader_ = nullptr;
    if (type & sound_type_own_format) std::free(format_);
    type &= ~sound_type_own_format;
    format_ = nullptr;
    image_.clear();
    image_.shrink_to_fit();
    return sound_buffer::release(keep);
}

void sound_file::orphan_users() {
    std::vector<sound_player*> voices;
    voices.swap(users);
    for (sound_player* v : voices) {
        v->forget_file();
        v->stop();
    }
}

bool sound_file::seek(int64_t position) { return loader_ && loader_->seek(position); }

int64_t sound_file::tell() const { return loader_ ? loader_->tell() : -1; }

uint32_t sound_file::read_plain(uint8_t* out, uint32_t bytes, bool rewind, uint32_t unit) {
    uint32_t total = 0;
    bool rewound = false;
    while (total < bytes) {
        uint32_t n = (end_of_data || !loader_) ? 0 : loader_->read(out + total, bytes - total);
        if (data_size_ == 0) delivered_ += n / unit;
        total += n;
        if (total >= bytes) break;
        if (data_size_ == 0) data_size_ = delivered_;
        // A loop goes on from the start, unless a pass after a rewind brought
        // nothing: an empty sound would spin here for ever.
        if (rewind && (type & sound_type_loop) && loader_ && !(rewound && n == 0)) {
            rewound = true;
            end_of_data = false;
            if (!loader_->seek(0)) {
                end_of_data = true;
                break;
            }
            continue;
        }
        end_of_data = true;
        break;
    }
    if (total < bytes) {
        int fill = format_ && format_->wBitsPerSample == 8 ? 0x80 : 0;
        std::memset(out + total, fill, bytes - total);
    }
    return total;
}

uint32_t sound_file::read_mono(uint8_t* out, uint32_t bytes, bool rewind) {
    // format_ is the mono copy; the decoder still delivers every channel.
    const WAVEFORMATEX* source = loader_ ? loader_->format() : nullptr;
    int channels = source ? source->nChannels : 1;
    int size = format_->wBitsPerSample / 8;
    std::vector<uint8_t> block;
    try {
        block.resize(static_cast<size_t>(bytes) * channels);
    } catch (...) {
        TRACE_ERROR("sound_file::read", "no memory", -1);
        return 0;
    }
    // Lengths are counted in the mono bytes that come out.
    uint32_t got = read_plain(block.data(), static_cast<uint32_t>(block.size()), rewind, channels);
    uint32_t frames = bytes / size;
    const uint8_t* in = block.data();
    for (uint32_t i = 0; i < frames; ++i, in += size * channels, out += size) {
        switch (size) {
            case 1: {
                int sum = 0;
                for (int c = 0; c < channels; ++c) sum += in[c];
                out[0] = static_cast<uint8_t>(sum / channels);
                break;
            }
            case 2: {
                int sum = 0;
                for (int c = 0; c < channels; ++c) {
                    int16_t v;
                    std::memcpy(&v, in + 2 * c, 2);
                    sum += v;
                }
                int16_t r = static_cast<int16_t>(sum / channels);
                std::memcpy(out, &r, 2);
                break;
            }
            case 3: {
                // Samples are signed: averaged as unsigned, a quiet left
                // and right of opposite sign would come out at full scale.
                int64_t sum = 0;
                for (int c = 0; c < channels; ++c) {
                    int32_t v = in[3 * c] | (in[3 * c + 1] << 8) | (in[3 * c + 2] << 16);
                    if (v & 0x800000) v -= 0x1000000;
                    sum += v;
                }
                const int32_t r = static_cast<int32_t>(sum / channels);
                out[0] = r & 0xFF, out[1] = (r >> 8) & 0xFF, out[2] = (r >> 16) & 0xFF;
                break;
            }
            case 4: {
                double sum = 0;
                for (int c = 0; c < channels; ++c) {
                    int32_t v;
                    std::memcpy(&v, in + 4 * c, 4);
                    sum += v;
                }
                int32_t r = static_cast<int32_t>(sum / channels);
                std::memcpy(out, &r, 4);
                break;
            }
            default:
                std::memcpy(out, in, size);
                break;
        }
    }
    return got / channels;
}

bool sound_file::read(void* buffer, uint32_t bytes, bool rewind, uint32_t* got) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    uint32_t n = (type & sound_type_own_format) && loader_ && loader_->format() && loader_->format()->nChannels > 1
                     ? read_mono(out, bytes, rewind)
                     : read_plain(out, bytes, rewind, 1);
    if (got) *got = n;
    return true;
}

void sound_file::measure() {
    if (data_size_ != 0 || !loader_) return;
    loader_->seek(0);
    delivered_ = 0;
    end_of_data = false;
    uint8_t block[1024];
    while (!end_of_data) {
        uint32_t n = 0;
        read(block, sizeof block, false, &n);
        if (n < sizeof block) break;
    }
    if (data_size_ == 0) data_size_ = delivered_;
    // Measuring leaves the decoder at the start, ready to be read again.
    loader_->seek(0);
    end_of_data = false;
    delivered_ = data_size_;
}

bool sound_file::fill(IDirectSoundBuffer8* target, uint32_t offset, uint32_t count) {
    if (!target) return false;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    DWORD flags = count == 0 ? DSBLOCK_ENTIREBUFFER : 0;
    if (FAILED(target->Lock(offset, count, &p1, &n1, &p2, &n2, flags))) return false;
    if (p1 && n1) read(p1, n1, true);
    if (p2 && n2) read(p2, n2, true);
    return SUCCEEDED(target->Unlock(p1, n1, p2, n2));
}

bool sound_file::lock() {
    if (!(type & sound_type_lockable)) return true;
    if (++lock_count > 1) return true;
    bool ok = loader_ && create_buffer(type, format_, data_size_);
    if (ok) {
        end_of_data = false;
        ok = loader_->seek(0) && fill(buffer_, 0, 0);
    }
    if (!ok) {
        // A failed first lock leaves nothing locked, so the next one retries.
        lock_count = 0;
        sound_buffer::release(false);
    }
    return ok;
}

void sound_file::unlock() {
    if (!(type & sound_type_lockable)) return;
    if (--lock_count >= 1) return;
    lock_count = 0;
    orphan_users();
    sound_buffer::release(false);
}

sound_file* sound_file_creator::create() { return new sound_file(owner); }

bool sound_file_creator::load(sound_file& f, const void* bytes, uint32_t size) {
    return f.create_from_memory(bytes, size);
}

void sound_file_creator::release(sound_file& f) { f.release(false); }
