// Command templates, companion processes started suspended, and the
// archive-tool runner, with a real helper program.
#include <gtest/gtest.h>

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "core/ini_file.h"
#include "core/process.h"
#include "scratch_dir.h"

namespace {

std::wstring widen(const char* s) { return std::wstring(s, s + strlen(s)); }

std::wstring probe_path() {
    wchar_t full[MAX_PATH];
    GetFullPathNameW(widen(VY_BINARY_DIR "/tests/tool_probe.exe").c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring text_of(const wstring& s) { return s.c_str(); }

TEST(CommandTemplate, Expansion) {
    struct row {
        const wchar_t* templ;
        bool ok;
        const wchar_t* want;  // when ok
    };
    const row rows[] = {
        {L"x <0> <1> <0>", true, L"x zero one zero"},
        {L"<0x1>", true, L"one"},
        {L"<00>-<0X0>", true, L"zero-zero"},
        {L"no placeholders > here", true, L"no placeholders > here"},
        {L"", true, L""},
        {L"<0><1>", true, L"zeroone"},
        {L"<2>", false, nullptr},          // no third value
        {L"a <0", false, nullptr},         // never closed
        {L"<>", false, nullptr},
        {L"<x>", false, nullptr},
        {L"< 1>", false, nullptr},
        {L"<1 >", false, nullptr},
        {L"<-1>", false, nullptr},
        {L"<0x>", false, nullptr},
        {L"<010>", false, nullptr},         // octal 8
        {L"<99999999999999999999>", false, nullptr},
    };
    for (const row& r : rows) {
        wstring out;
        bool ok = expand_command_template(out, r.templ, L"zero", {L"one", L"two"});
        EXPECT_EQ(ok, r.ok) << "template " << testing::PrintToString(std::wstring(r.templ));
        if (r.ok && ok) EXPECT_EQ(text_of(out), r.want);
    }

    wstring out;
    EXPECT_FALSE(expand_command_template(out, L"<1>", L"zero", {})) << "no value 1 given";
    EXPECT_TRUE(expand_command_template(out, L"<0>", L"", {}));
    EXPECT_EQ(text_of(out), L"");
}

// Runs a call that may block on another process, failing instead of
// hanging when it takes longer than the limit.
bool finishes_within(std::chrono::seconds limit, std::function<bool()> call, bool& result) {
    auto task = std::make_shared<std::packaged_task<bool()>>(call);
    std::future<bool> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (done.wait_for(limit) != std::future_status::ready) return false;
    result = done.get();
    return true;
}

class ExternalProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(exists(probe_path())) << "helper program missing";
        SetEnvironmentVariableW(L"VY_PROBE_RECORD", record.c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"VY_PROBE_RECORD", nullptr); }

    // Runs the archive tool, capturing what it writes to standard error.
    bool run(const archive_tool_settings& settings, const std::vector<wstring>& values,
             std::string& errors) {
        bool result = false;
        bool finished = with_stderr(errors, [&] { return run_archive_command(settings, L"zip", values); },
                                    result);
        EXPECT_TRUE(finished) << "the tool did not finish in time";
        return result;
    }

    // Runs a call that waits for another program, within a time limit,
    // with the standard error stream going to a file; false when it did not
    // finish in time.
    bool with_stderr(std::string& errors, std::function<bool()> call, bool& result) {
        std::wstring err_path = scratch.path(L"stderr.txt");
        fflush(stderr);
        int saved = _dup(2);
        int fd = _wopen(err_path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT,
                        _S_IREAD | _S_IWRITE);
        _dup2(fd, 2);
        bool finished = finishes_within(std::chrono::seconds(30), call, result);
        fflush(stderr);
        _dup2(saved, 2);
        _close(saved);
        _close(fd);
        // The stream is in text mode, as a console's or a redirected one is.
        errors.clear();
        for (char c : read_whole(err_path))
            if (c != '\r') errors += c;
        return finished;
    }

    scratch_dir scratch;
    std::wstring record = scratch.path(L"record.txt");
};

TEST_F(ExternalProgram, StartsSuspendedAndReportsItsExitCode) {
    wstring command;
    ASSERT_TRUE(expand_command_template(command, L"\"<0>\" companion <1> exit=7", probe_path().c_str(),
                                        {L"4242"}));
    PROCESS_INFORMATION info;
    ASSERT_TRUE(start_process(command, info));

    EXPECT_EQ(WaitForSingleObject(info.hProcess, 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a suspended process does not run";
    EXPECT_FALSE(exists(record));

    ASSERT_NE(ResumeThread(info.hThread), static_cast<DWORD>(-1));
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(read_whole(record), "companion|4242|exit=7\n");

    PROCESS_INFORMATION none;
    EXPECT_FALSE(start_process(scratch.path(L"missing.exe").c_str(), none));
}

TEST_F(ExternalProgram, ArchiveToolRunsAndItsAnswerCounts) {
    const std::wstring tool = probe_path();
    const std::string tool_narrow(tool.begin(), tool.end());
    struct row {
        const char* name;
        int32_t shell;
        const wchar_t* tool;  // null: the probe
        const wchar_t* args;
        bool ok;
        std::string record;  // what the probe saw ("" when it did not run)
        std::string error;   // the whole standard-error text
    };
    const row rows[] = {
        {"values in order", 0, nullptr, L"<0> x <1> <2>", true, "x|a.zip|out\n", ""},
        {"tool twice, hexadecimal", 0, nullptr, L"<0> <0x2> <0>", true, "out|" + tool_narrow + "\n", ""},
        {"non-zero exit", 0, nullptr, L"<0> <1> exit=3", false, "a.zip|exit=3\n",
         "error: command error (3)\n"},
        {"through the interpreter", 1, nullptr, L"<0> <2> <1>", true, "out|a.zip\n", ""},
        {"interpreter, non-zero exit", 1, nullptr, L"<0> exit=5", false, "exit=5\n",
         "error: command error (5)\n"},
        {"missing tool", 0, L"no_such_tool.exe", L"<0>", false, "", "error: no archive expand tool '"},
        {"tool is a folder", 0, L"C:\\windows", L"<0>", false, "", "error: no archive expand tool 'C:\\windows'\n"},
        {"no template", 0, nullptr, L"", false, "", "error: unsupported archive format 'zip'\n"},
        {"unclosed", 0, nullptr, L"<0> <1", false, "", "error: internal error '<0> <1' '<1'\n"},
        {"past the values", 0, nullptr, L"<0> <3>", false, "",
         "error: internal error '<0> <3>' '<3>' '3'\n"},
        {"negative", 0, nullptr, L"<0> <-1>", false, "",
         "error: internal error '<0> <-1>' '<-1>' '-1'\n"},
        {"not a number", 0, nullptr, L"<0> <one>", false, "",
         "error: internal error '<0> <one>' '<one>' 'one'\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        DeleteFileW(record.c_str());
        archive_tool_settings settings;
        settings.tool = r.tool ? r.tool : tool.c_str();
        settings.shell = r.shell;
        settings.args = r.args;
        std::string errors;
        EXPECT_EQ(run(settings, {L"a.zip", L"out"}, errors), r.ok);
        EXPECT_EQ(exists(record) ? read_whole(record) : "", r.record);
        if (r.error.empty() || r.error.back() == '\n')
            EXPECT_EQ(errors, r.error);
        else
            EXPECT_EQ(errors.rfind(r.error, 0), 0u) << errors;
    }
}

TEST_F(ExternalProgram, ArchiveToolThatCannotStart) {
    // A file that exists but is no program.
    std::wstring fake = scratch.path(L"not_a_program.exe");
    ASSERT_TRUE(write_whole(fake, "plain text"));
    archive_tool_settings settings;
    settings.tool = fake.c_str();
    settings.args = L"<0> <1>";
    std::string errors;
    EXPECT_FALSE(run(settings, {L"a.zip"}, errors));
    std::string fake_narrow(fake.begin(), fake.end());
    EXPECT_EQ(errors, "error: cannot execute command '" + fake_narrow + " a.zip'\n");
}

TEST_F(ExternalProgram, ArchiveToolFromItsIniSection) {
    const std::wstring wide_tool = probe_path();
    const std::string tool(wide_tool.begin(), wide_tool.end());
    std::wstring ini_path = scratch.path(L"VyUpdate.ini");
    ASSERT_TRUE(write_whole(ini_path,
                            "[zip]\r\nTOOL=" + tool + "\r\nARGS=<0> x <1> <2>\r\n"
                            "[lzh]\r\nTOOL=" + tool + "\r\nSHELL=1\r\nARGS=<0> <2> exit=4\r\n"
                            "[rar]\r\nTOOL=" + tool + "\r\n"));
    ini_file ini(ini_path.c_str());
    struct row {
        const wchar_t* section;
        bool ok;
        std::string record;
        std::string error;
    };
    const row rows[] = {
        {L"zip", true, "x|a.zip|out\n", ""},
        {L"lzh", false, "out|exit=4\n", "error: command error (4)\n"},
        {L"rar", false, "", "error: unsupported archive format 'rar'\n"},
        {L"cab", false, "", "error: no archive expand tool '"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.section)));
        DeleteFileW(record.c_str());
        std::string errors;
        bool result = false;
        bool finished = with_stderr(errors, [&] {
            return run_archive_tool_pair(ini, r.section, L"a.zip", L"out");
        }, result);
        ASSERT_TRUE(finished);
        EXPECT_EQ(result, r.ok);
        EXPECT_EQ(exists(record) ? read_whole(record) : "", r.record);
        EXPECT_EQ(errors.substr(0, r.error.size()), r.error);
    }
}

}  // namespace
