#include "sound/wave_loader.h"

#include "core/trace.h"

bool wave_loader::open_file(const wchar_t* path) {
    close();
    mmio_ = mmioOpenW(const_cast<wchar_t*>(path), nullptr, MMIO_READ | MMIO_ALLOCBUF | MMIO_DENYWRITE);
    if (!mmio_) {
        TRACE_ERROR("wave_loader::open(from file)", "mmioOpen", -1);
        return false;
    }
    if (read_chunks()) return true;
    close();
    return false;
}

bool wave_loader::open_memory(const void* data, uint32_t size) {
    close();
    MMIOINFO info = {};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = static_cast<HPSTR>(const_cast<void*>(data));
    info.cchBuffer = static_cast<LONG>(size);
    mmio_ = mmioOpenW(nullptr, &info, MMIO_READ | MMIO_DENYWRITE);
    if (!mmio_) {
        TRACE_ERROR("wave_loader::open(from memory)", "mmioOpen", info.wErrorRet);
        return false;
    }
    if (read_chunks()) return true;
    close();
    return false;
}

// A header that names no channels, no block size or no rate would divide
// by zero further on: such a file is as unsupported as a broken one.
static bool usable_format(const WAVEFORMATEX& f) {
    return f.nChannels > 0 && f.nBlockAlign > 0 && f.nAvgBytesPerSec > 0 && f.nSamplesPerSec > 0 &&
           f.wBitsPerSample > 0;
}

bool wave_loader::read_chunks() {
    riff_ = {};
    riff_.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(mmio_, &riff_, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return false;
    chunk_ = {};
    chunk_.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(mmio_, &chunk_, &riff_, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return false;
    if (chunk_.cksize < 16) return false;
    // The format block is a WAVEFORMATEX and at most 64 KB of extension
    // (cbSize is 16-bit): a larger claim is damage, not a format.
    if (chunk_.cksize > sizeof(WAVEFORMATEX) + 0xFFFFu) {
        TRACE_ERROR("wave_loader::open", "fmt chunk too large", static_cast<int32_t>(chunk_.cksize));
        return false;
    }
    if (!alloc_format(chunk_.cksize)) return false;
    LONG want = static_cast<LONG>(chunk_.cksize);
    if (want < 0 || mmioRead(mmio_, reinterpret_cast<HPSTR>(format_), want) != want) return false;
    if (chunk_.cksize < sizeof(WAVEFORMATEX)) format_->cbSize = 0;
    if (!usable_format(*format_)) return false;
    if (mmioAscend(mmio_, &chunk_, 0) != MMSYSERR_NOERROR) return false;
    chunk_ = {};
    chunk_.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(mmio_, &chunk_, &riff_, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return false;
    data_offset_ = chunk_.dwDataOffset;
    // A recording cut short claims more than the file holds; the claim
    // sizes the sound's buffer, so only the bytes that are there count.
    LONG end = mmioSeek(mmio_, 0, SEEK_END);
    if (end < 0 || mmioSeek(mmio_, static_cast<LONG>(data_offset_), SEEK_SET) < 0) return false;
    const uint32_t held = static_cast<uint32_t>(end) > data_offset_ ? static_cast<uint32_t>(end) - data_offset_ : 0;
    data_size_ = chunk_.cksize;
    if (data_size_ > held) {
        TRACE_ERROR("wave_loader::open", "data chunk longer than the file", static_cast<int32_t>(data_size_));
        data_size_ = held;
    }
    return true;
}

bool wave_loader::close() {
    if (mmio_) mmioClose(mmio_, 0);
    mmio_ = nullptr;
    return true;
}

bool wave_loader::seek(int64_t position) {
    if (!mmio_ || position < 0) return false;
    return mmioSeek(mmio_, static_cast<LONG>(data_offset_ + position), SEEK_SET) != -1;
}

int64_t wave_loader::tell() {
    if (!mmio_) return -1;
    LONG at = mmioSeek(mmio_, 0, SEEK_CUR);
    if (at < 0 || static_cast<uint32_t>(at) < data_offset_) return -1;
    return at - static_cast<LONG>(data_offset_);
}

uint32_t wave_loader::read(void* buffer, uint32_t bytes) {
    if (!mmio_) return 0;
    // Chunks after the samples (lists, cue points) are not sound.
    int64_t at = tell();
    if (at < 0 || at >= data_size_) return 0;
    if (bytes > data_size_ - at) bytes = static_cast<uint32_t>(data_size_ - at);
    LONG got = mmioRead(mmio_, static_cast<HPSTR>(buffer), static_cast<LONG>(bytes));
    return got < 0 ? 0 : static_cast<uint32_t>(got);
}
