#include "sound/sound_file_loader.h"

#include <cstdlib>

#include "core/string_ops.h"
#include "core/trace.h"

bool sound_file_loader::alloc_format(uint32_t size) {
    free_format();
    if (size < sizeof(WAVEFORMATEX)) size = sizeof(WAVEFORMATEX);
    format_ = static_cast<WAVEFORMATEX*>(std::calloc(1, size));
    if (!format_) TRACE_ERROR("sound_file_loader::alloc_format", "malloc", -1);
    return format_ != nullptr;
}

void sound_file_loader::free_format() {
    std::free(format_);
    format_ = nullptr;
}

std::vector<sound_loader_factory>& sound_loader_factories() {
    static std::vector<sound_loader_factory> factories;
    return factories;
}

string narrow_path(const wchar_t* path) {
    string out;
    wstring_to_multibyte(path ? path : L"", out);
    return out;
}
