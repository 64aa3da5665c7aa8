// What the processor offers, probed once at start-up with CPUID. The sound
// code picks its decoder build by the SSE flags.
#ifndef VY_CORE_CPU_FEATURES_H
#define VY_CORE_CPU_FEATURES_H

#include <cstdint>

// Flags of cpu_information::features.
enum : uint32_t {
    cpu_fpu = 0x0001,
    cpu_mmx = 0x0100,
    cpu_sse = 0x0200,
    cpu_sse2 = 0x0400,
    cpu_sse3 = 0x0800,
    cpu_ssse3 = 0x1000,
    cpu_sse41 = 0x2000,
    cpu_sse42 = 0x4000,
};

struct cpu_information {
    uint32_t highest_leaf;
    char vendor[13];
    uint32_t signature;           // EAX of leaf 1
    uint32_t brand_index;         // EBX bits 0-7
    uint32_t logical_processors;  // EBX bits 16-23
    uint32_t ebx, edx, ecx;       // of leaf 1
    uint32_t features;
};

// The process-wide result, all zero until cpu_info_check has run.
extern cpu_information cpu_info;

// Fills cpu_info and logs each finding to the default trace.
void cpu_info_check();

#endif
