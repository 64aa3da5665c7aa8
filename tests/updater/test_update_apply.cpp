// Applying archives end to end: VyUpdate waits for the engine, expands each
// archive with the configured tool, copies it over the installation, notes
// the patch version and restarts the engine; failing steps end the run.
#include <gtest/gtest.h>

#include "update_run.h"

namespace {

std::wstring in_quotes(const std::wstring& path) { return L"\"" + path + L"\""; }

std::string file_in(const installation& inst, const wchar_t* name) { return inst.read(name); }

std::vector<std::wstring> logs_in(const installation& inst) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(inst.path(L"update\\VyUpdate.*.log").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.push_back(inst.path(std::wstring(L"update\\") + data.cFileName));
    while (FindNextFileW(h, &data));
    FindClose(h);
    return out;
}

TEST(UpdaterApply, WaitsForTheEngineAppliesInOrderAndRestartsIt) {
    installation inst;
    inst.write(L"keep.txt", "k1");
    ASSERT_TRUE(CreateDirectoryW(inst.path(L"data").c_str(), nullptr));
    inst.write(L"data\\a.txt", "a1");
    std::wstring first = inst.archive(L"patch0102.zip", "data\\a.txt=a2\nreadme.txt=r2\nempty\\\nh:hidden.txt=h2\n");
    inst.archive(L"patch0103.zip", "data\\a.txt=a3\nVyUpdate.exe=new updater\n");

    running_engine engine(inst, 2000);
    ASSERT_TRUE(engine.started());
    std::wstring args = L"/expand /update /archive:" + in_quotes(first) + L" /archive:update\\patch0103.zip /pid:" +
                        std::to_wstring(engine.id()) + L" /restart /args:" + in_quotes(inst.engine()) + L" -D";
    updater_outcome o = run_updater(inst.dir(), args);
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.exit_code, 0) << o.err;
    EXPECT_EQ(o.err.find_first_not_of('.'), std::string::npos) << "one dot a try: " << o.err;
    EXPECT_GE(o.err.size(), 2u) << "the engine held its executable for two seconds";
    EXPECT_NE(o.out.find("success.\n"), std::string::npos) << o.out;
    ASSERT_TRUE(wait_for_text(inst.path(L"events.txt"), "engine -D", 20000));

    const std::string dir = narrow(inst.dir());
    EXPECT_EQ(inst.events(), (std::vector<std::string>{
                                 "engine ended",
                                 "tool x|" + dir + "\\update\\patch0102.zip|-o" + dir + "\\update\\patch0102",
                                 "tool x|" + dir + "\\update\\patch0103.zip|-o" + dir + "\\update\\patch0103",
                                 "engine -D|/U",
                             }));
    EXPECT_EQ(file_in(inst, L"data\\a.txt"), "a3");
    EXPECT_EQ(file_in(inst, L"readme.txt"), "r2");
    EXPECT_EQ(file_in(inst, L"keep.txt"), "k1");
    EXPECT_TRUE(is_folder(inst.path(L"empty")));
    DWORD hidden = GetFileAttributesW(inst.path(L"hidden.txt").c_str());
    EXPECT_TRUE(hidden != INVALID_FILE_ATTRIBUTES && (hidden & FILE_ATTRIBUTE_HIDDEN));
    // The running updater is never overwritten: its successor waits beside it.
    EXPECT_EQ(file_in(inst, L"VyUpdate.new"), "new updater");
    EXPECT_FALSE(inst.has(L"VyUpdate.exe"));
    EXPECT_TRUE(inst.has(L"update\\patch0103\\VyUpdate.new"));
    EXPECT_TRUE(inst.has(L"update\\patch0102.zip")) << "archives stay without /delete";
    EXPECT_EQ(inst.patch_version(), "0103");

    std::vector<std::wstring> logs = logs_in(inst);
    ASSERT_EQ(logs.size(), 1u);
    std::string log = read_whole(logs[0]);
    EXPECT_NE(log.find(" success.\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("engine ended"), std::string::npos);
    EXPECT_TRUE(log.size() > 24 && log[4] == '/' && log[7] == '/' && log[13] == ':') << log;
}

TEST(UpdaterApply, NotedVersionIsTheLastMatchingArchive) {
    struct row {
        const char* name;
        std::vector<std::wstring> archives;
        const char* recorded;  // null: no version.ini
        const char* noted;
    };
    const row rows[] = {
        {"ascending", {L"patch0102.zip", L"patch0103.zip"}, "0101", "0103"},
        {"last applied wins", {L"patch0103.zip", L"patch0102.zip"}, "0101", "0102"},
        {"a name without version keeps the record", {L"other.zip"}, "0101", "0101"},
        {"an older archive keeps the record", {L"patch0100.zip"}, "0101", "0101"},
        {"nothing recorded, nothing noted", {L"other.zip"}, nullptr, ""},
        {"first version", {L"other.zip", L"Patch0001.ZIP"}, nullptr, "0001"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        installation inst;
        if (!r.recorded) DeleteFileW(inst.path(L"version.ini").c_str());
        std::wstring args = L"/expand /update";
        for (const std::wstring& a : r.archives) {
            inst.archive(a, "which.txt=" + narrow(a) + "\n");
            args += L" /archive:update\\" + a;
        }
        updater_outcome o = run_updater(inst.dir(), args);
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.exit_code, 0) << o.err;
        EXPECT_EQ(inst.patch_version(), r.noted);
        EXPECT_EQ(file_in(inst, L"which.txt"), narrow(r.archives.back())) << "applied in command-line order";
    }
}

TEST(UpdaterApply, OptionsChooseTheSteps) {
    struct row {
        const char* options;
        bool expanded;  // the tool ran
        bool copied;
        bool folder;   // the expansion folder is left
        bool archive;  // the archive is left
    };
    const row rows[] = {
        {"/expand /update", true, true, true, true},
        {"/expand", true, false, true, true},
        {"/update", false, false, true, true},  // copying needs an expansion
        {"/expand /update /delete", true, true, false, false},
        {"/delete", false, false, false, false},
        {"", false, false, true, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.options);
        installation inst;
        inst.archive(L"patch0102.zip", "new.txt=n\n");
        updater_outcome o = run_updater(inst.dir(), widen(r.options) + L" /archive:update\\patch0102.zip");
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.exit_code, 0) << o.err;
        EXPECT_EQ(inst.events().size(), r.expanded ? 1u : 0u);
        EXPECT_EQ(inst.has(L"update\\patch0102\\new.txt"), r.expanded && r.folder);
        EXPECT_EQ(inst.has(L"new.txt"), r.copied);
        EXPECT_EQ(is_folder(inst.path(L"update\\patch0102")), r.folder);
        EXPECT_EQ(inst.has(L"update\\patch0102.zip"), r.archive);
        EXPECT_EQ(inst.patch_version(), "0102") << "the version is noted whatever the steps";
    }
}

TEST(UpdaterApply, ToolThroughTheCommandInterpreter) {
    installation inst;
    inst.write(L"VyUpdate.ini", "[zip]\r\nTOOL=" + narrow(program_path(VY_BINARY_DIR "/tests/archive_tool.exe")) +
                                    "\r\nSHELL=1\r\nARGS=<0> x \"<1>\" -o\"<2>\"\r\n");
    inst.archive(L"patch0102.zip", "new.txt=n\n");
    updater_outcome o = run_updater(inst.dir(), L"/expand /update /archive:update\\patch0102.zip");
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.exit_code, 0) << o.err;
    EXPECT_EQ(file_in(inst, L"new.txt"), "n");
}

// The template reads as written, also when it starts and ends with a quoted
// word (whose outer quotes the profile functions would drop), and as before
// inside an extra pair of quotes.
TEST(UpdaterApply, TemplatesReadAsWritten) {
    const std::string tool = narrow(program_path(VY_BINARY_DIR "/tests/archive_tool.exe"));
    const char* templates[] = {
        "\"<0>\" x \"<1>\" -o\"<2>\"",
        "\"\"<0>\" x \"<1>\" -o\"<2>\"\"",
        "<0> x \"<1>\" -o\"<2>\"",
        "\"<0>\" x <1> -o<2>",
    };
    for (const char* t : templates) {
        SCOPED_TRACE(t);
        installation inst;
        inst.write(L"VyUpdate.ini", "[zip]\r\nTOOL=" + tool + "\r\nARGS=" + t + "\r\n");
        inst.archive(L"patch0102.zip", "new.txt=n\n");
        updater_outcome o = run_updater(inst.dir(), L"/expand /update /archive:update\\patch0102.zip");
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.exit_code, 0) << o.err;
        const std::string dir = narrow(inst.dir());
        EXPECT_EQ(inst.events(), (std::vector<std::string>{"tool x|" + dir + "\\update\\patch0102.zip|-o" + dir +
                                                           "\\update\\patch0102"}));
        EXPECT_EQ(file_in(inst, L"new.txt"), "n");
    }
}

TEST(UpdaterApply, FailingStepsEndTheRun) {
    struct row {
        const char* name;
        const char* tool_ini;  // null: the working one
        std::vector<std::pair<std::wstring, std::string>> archives;
        const char* error;  // the whole standard error, or its beginning without a final "\n"
        const char* applied;  // which.txt in the installation afterwards
        bool logged;          // the message is also in the log
        const wchar_t* blocker = nullptr;  // a file put in the work folder
    };
    const std::string good = "which.txt=0102\n";
    const row rows[] = {
        {"missing tool", "[zip]\r\nTOOL=missing_tool.exe\r\nARGS=<0> <1>\r\n", {{L"patch0102.zip", good}},
         "error: no archive expand tool '{dir}\\missing_tool.exe'\n", "<missing>", false},
        {"no template", "[zip]\r\nTOOL=VyEngine.exe\r\n", {{L"patch0102.zip", good}},
         "error: unsupported archive format 'zip'\n", "<missing>", false},
        {"no section for the extension", nullptr, {{L"patch0102.lzh", good}}, "error: no archive expand tool '",
         "<missing>", false},
        {"no extension", nullptr, {{L"patch0102", good}},
         "error: cannot recognize archive file format '{dir}\\update\\patch0102'\n", "<missing>", false},
        {"the tool fails", nullptr, {{L"patch0102.zip", "!exit 3\n"}}, "error: command error (3)\n", "<missing>",
         false},
        {"a later archive fails", nullptr, {{L"patch0102.zip", good}, {L"patch0103.zip", "!exit 4\n"}},
         "error: command error (4)\n", "0102", false},
        {"an archive name with an empty stem", nullptr, {{L".zip", good}},
         "error: no archive name '{dir}\\update\\.zip'\n", "<missing>", true},
        {"the expansion folder is taken", nullptr, {{L"patch0102.zip", good}},
         "error: cannot create work directory '{dir}\\update\\patch0102'\n", "<missing>", true, L"patch0102"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        installation inst;
        if (r.tool_ini) inst.write(L"VyUpdate.ini", r.tool_ini);
        if (r.blocker) inst.write(std::wstring(L"update\\") + r.blocker, "");
        std::wstring args = L"/expand /update";
        for (const auto& a : r.archives) {
            inst.archive(a.first, a.second);
            args += L" /archive:update\\" + a.first;
        }
        updater_outcome o = run_updater(inst.dir(), args);
        ASSERT_FALSE(o.timed_out);
        EXPECT_EQ(o.exit_code, 1);
        std::string want = in_folder(std::string(r.error), inst.dir());
        if (want.back() == '\n')
            EXPECT_EQ(o.err, want);
        else
            EXPECT_EQ(o.err.rfind(want, 0), 0u) << o.err;
        EXPECT_NE(o.out.find("Press any key"), std::string::npos) << o.out;
        EXPECT_EQ(o.out.find("success."), std::string::npos);
        EXPECT_EQ(file_in(inst, L"which.txt"), r.applied);
        EXPECT_EQ(inst.patch_version(), "0101") << "the record is not touched";
        std::vector<std::wstring> logs = logs_in(inst);
        ASSERT_EQ(logs.size(), 1u);
        std::string line = want.substr(0, want.size() - 1);
        EXPECT_EQ(read_whole(logs[0]).find(line) != std::string::npos, r.logged);
    }
}

}  // namespace

namespace {

// Paths reach the tool, the copy and the record whole, also with characters
// that the user's code page lacks.
TEST(UpdaterApply, PathsOutsideTheCodePage) {
    installation inst;
    const std::wstring folder = L"update\\\u66f4\u65b0";
    ASSERT_TRUE(CreateDirectoryW(inst.path(folder).c_str(), nullptr));
    ASSERT_TRUE(write_whole(inst.path(folder + L"\\patch0102.zip"), "\xe5\x90\x8d.txt=n\n"));
    updater_outcome o = run_updater(inst.dir(), L"/expand /update /delete /archive:\"" + folder + L"\\patch0102.zip\"");
    ASSERT_FALSE(o.timed_out);
    EXPECT_EQ(o.exit_code, 0) << o.err;
    EXPECT_EQ(file_in(inst, L"\u540d.txt"), "n");
    EXPECT_FALSE(inst.has(folder + L"\\patch0102.zip"));
    EXPECT_FALSE(inst.has(folder + L"\\patch0102"));
    EXPECT_EQ(inst.patch_version(), "0102");
}

}  // namespace
