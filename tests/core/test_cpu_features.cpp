// The processor probe against what Windows itself reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/cpu_features.h"
#include "core/trace.h"
#include "scratch_dir.h"

namespace {

TEST(CpuFeatures, ProbedAndLogged) {
    scratch_dir scratch;
    std::wstring log = scratch.path(L"trace.log");
    ASSERT_TRUE(default_trace().open(log.c_str(), trace_overwrite | trace_no_backup));
    cpu_info_check();
    default_trace().close();
    std::string text = read_whole(log);

    EXPECT_EQ(strlen(cpu_info.vendor), 12u);
    EXPECT_GE(cpu_info.highest_leaf, 1u);
    EXPECT_NE(cpu_info.signature, 0u);
    // The build itself needs SSE2; Windows answers from its own probe.
    struct row {
        uint32_t flag;
        DWORD windows_feature;
        const char* line;
    };
    const row rows[] = {
        {cpu_mmx, PF_MMX_INSTRUCTIONS_AVAILABLE, "cpu_info_check: mmx supported., code=0(0x00000000)"},
        {cpu_sse, PF_XMMI_INSTRUCTIONS_AVAILABLE, "cpu_info_check: sse supported., code=0(0x00000000)"},
        {cpu_sse2, PF_XMMI64_INSTRUCTIONS_AVAILABLE, "cpu_info_check: sse2 supported., code=0(0x00000000)"},
    };
    for (const row& r : rows) {
        bool windows_says = IsProcessorFeaturePresent(r.windows_feature) != FALSE;
        EXPECT_EQ((cpu_info.features & r.flag) != 0, windows_says) << r.line;
        EXPECT_EQ(text.find(r.line) != std::string::npos, windows_says) << text;
    }
    EXPECT_TRUE(cpu_info.features & cpu_fpu);

    char line[128];
    const std::vector<std::string> in_order = {
        std::string("cpu_info_check: ") + cpu_info.vendor + ", code=0(0x00000000)",
        (snprintf(line, sizeof line, "cpu_info_check: processor signature, code=%d(0x%08X)",
                  static_cast<int>(cpu_info.signature), cpu_info.signature),
         line),
        "cpu_info_check: bender id, code=",
        "cpu_info_check: number of core, code=",
        "cpu_info_check: fpu supported., code=0(0x00000000)",
        "cpu_info_check: mmx supported.",
        "cpu_info_check: sse supported.",
        "cpu_info_check: sse2 supported.",
    };
    size_t at = 0;
    for (const std::string& want : in_order) {
        size_t found = text.find(want, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << want << "\n" << text;
        if (found != std::string::npos) at = found;
    }
}

}  // namespace
