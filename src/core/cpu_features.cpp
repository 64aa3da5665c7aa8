#include "core/cpu_features.h"

#include <cpuid.h>

#include <cstring>

#include "core/trace.h"

cpu_information cpu_info;

namespace {

struct feature_bit {
    uint32_t flag;
    bool in_ecx;  // else EDX
    uint32_t bit;
    const char* message;
};

const feature_bit feature_bits[] = {
    {cpu_fpu, false, 0, "fpu supported."},     {cpu_mmx, false, 23, "mmx supported."},
    {cpu_sse, false, 25, "sse supported."},    {cpu_sse2, false, 26, "sse2 supported."},
    {cpu_sse3, true, 0, "sse3 supported."},    {cpu_ssse3, true, 9, "ssse3 supported."},
    {cpu_sse41, true, 19, "sse4.1 supported."}, {cpu_sse42, true, 20, "sse4.2 supported."},
};

}  // namespace

void cpu_info_check() {
    memset(&cpu_info, 0, sizeof cpu_info);
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return;  // no CPUID at all
    cpu_info.highest_leaf = a;
    memcpy(cpu_info.vendor, &b, 4);
    memcpy(cpu_info.vendor + 4, &d, 4);
    memcpy(cpu_info.vendor + 8, &c, 4);
    TRACE_ERROR("cpu_info_check", cpu_info.vendor, 0);
    if (cpu_info.highest_leaf < 1) return;

    __cpuid(1, a, b, c, d);
    cpu_info.signature = a;
    cpu_info.brand_index = b & 0xFF;
    cpu_info.logical_processors = (b >> 16) & 0xFF;
    cpu_info.ebx = b;
    cpu_info.edx = d;
    cpu_info.ecx = c;
    TRACE_ERROR("cpu_info_check", "processor signature", cpu_info.signature);
    TRACE_ERROR("cpu_info_check", "bender id", cpu_info.brand_index);
    TRACE_ERROR("cpu_info_check", "number of core", cpu_info.logical_processors);
    for (const feature_bit& f : feature_bits) {
        uint32_t word = f.in_ecx ? c : d;
        if (!(word >> f.bit & 1u)) continue;
        cpu_info.features |= f.flag;
        TRACE_ERROR("cpu_info_check", f.message, 0);
    }
}
