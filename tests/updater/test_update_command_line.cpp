// VyUpdate's command line: what it refuses, with which message and exit
// code, and what it accepts. Each run is the real program in an
// installation folder of the test's own.
#include <gtest/gtest.h>

#include "update_run.h"

namespace {

enum class setup { none, no_system_ini, no_tool_ini, work_is_file };

void prepare(installation& inst, setup s) {
    switch (s) {
    case setup::none: break;
    case setup::no_system_ini: DeleteFileW(inst.path(L"system.ini").c_str()); break;
    case setup::no_tool_ini: DeleteFileW(inst.path(L"VyUpdate.ini").c_str()); break;
    case setup::work_is_file:
        RemoveDirectoryW(inst.path(L"update").c_str());
        inst.write(L"update", "not a folder");
        break;
    }
}

// "{engine}" stands for the quoted engine path.
std::wstring arguments_in(const installation& inst, const char* args) {
    std::wstring out = in_folder(widen(args), inst.dir());
    const std::wstring quoted = L"\"" + inst.engine() + L"\"";
    for (size_t at = out.find(L"{engine}"); at != std::wstring::npos; at = out.find(L"{engine}", at + quoted.size()))
        out.replace(at, 8, quoted);
    return out;
}

TEST(UpdaterCommandLine, RefusedRuns) {
    struct row {
        const char* args;
        setup before;
        int32_t code;
        const char* error;  // the whole standard error; without a final "\n" its beginning
    };
    const row rows[] = {
        {"/bogus", setup::none, 1, "error: invalid argument '/bogus'\n"},
        {"-", setup::none, 1, "error: invalid argument '-'\n"},
        {"/expand:yes", setup::none, 1, "error: invalid argument '/expand:yes'\n"},
        {"/expand /archive", setup::none, 1, "error: invalid argument '/archive'\n"},
        {"/archive:update\\nothing.zip", setup::none, 1, "error: no archive file '{dir}\\update\\nothing.zip'\n"},
        {"/pid:12x", setup::none, 1, "error: invalid pid '12x'\n"},
        {"/pid:", setup::none, 1, "error: invalid pid ''\n"},
        {"--pid ab", setup::none, 1, "error: invalid pid 'ab'\n"},
        {"stray", setup::none, 1, "error: too argument 'stray'\n"},
        {"/args:{engine} game.ini other.ini", setup::none, 1, "error: too argument 'other.ini'\n"},
        {"/ARGS:{engine}", setup::none, -1, "error: no VyEngine command line '"},
        {"/args {engine}", setup::none, -1, "error: no VyEngine command line '"},
        {"/args:\"{dir}\\missing.exe\"", setup::none, 1, "error: no VyEngine file '{dir}\\missing.exe'\n"},
        {"/expand", setup::no_system_ini, 1, "error: no VyEngine system file '{dir}\\system.ini'\n"},
        {"/args:{engine} /U -D --x=1 game.ini", setup::none, 1, "error: no VyEngine system file '{dir}\\game.ini'\n"},
        {"/expand", setup::no_tool_ini, 1, "error: cannot load VyEngine system file '{dir}\\system.ini'\n"},
        {"/expand", setup::work_is_file, 1, "error: cannot load VyEngine system file '{dir}\\system.ini'\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.args);
        installation inst;
        prepare(inst, r.before);
        updater_outcome o = run_updater(inst.dir(), arguments_in(inst, r.args));
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.exit_code, r.code);
        std::string want = in_folder(std::string(r.error), inst.dir());
        if (want.back() == '\n')
            EXPECT_EQ(o.err, want);
        else
            EXPECT_EQ(o.err.rfind(want, 0), 0u) << o.err;
        EXPECT_NE(o.out.find("Press any key"), std::string::npos) << "the console waits for a key: " << o.out;
        EXPECT_EQ(o.out.find("success."), std::string::npos);
        EXPECT_EQ(inst.patch_version(), "0101");
        EXPECT_TRUE(inst.events().empty()) << "neither tool nor engine ran";
    }
}

TEST(UpdaterCommandLine, AcceptedRuns) {
    struct row {
        const char* args;
        const char* restarted;  // the restarted engine's arguments; null: no restart
    };
    const row rows[] = {
        {"", nullptr},
        {"/PID:0x1F /Expand --update /DELETE", nullptr},
        {"--pid 017 /restart", nullptr},
        {"/expand --", nullptr},
        {"/pid:12 /args:{engine} -D", nullptr},
        {"/restart /args:{engine} -D game.ini", "engine -D|game.ini|/U"},
        {"/args:{engine} /restart", "engine /restart|/U"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.args);
        installation inst;
        inst.write(L"game.ini", inst.read(L"system.ini"));
        updater_outcome o = run_updater(inst.dir(), arguments_in(inst, r.args));
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.exit_code, 0) << o.err;
        EXPECT_EQ(o.out.substr(o.out.size() < 9 ? 0 : o.out.size() - 9), "success.\n") << o.out;
        EXPECT_EQ(o.out.find("Press any key"), std::string::npos);
        EXPECT_EQ(inst.patch_version(), "0101") << "no archive leaves the record as it was";
        if (r.restarted) {
            EXPECT_TRUE(wait_for_text(inst.path(L"events.txt"), "engine", 20000));
            EXPECT_EQ(inst.events(), std::vector<std::string>{r.restarted});
        } else {
            EXPECT_TRUE(inst.events().empty());
        }
    }
}

}  // namespace
