// The update client against a real HTTP server on 127.0.0.1: reading the
// patch list, choosing the new archives and downloading them.
#include <gtest/gtest.h>

#include "../core/scratch_dir.h"
#include "../graphics/device_fixture.h"
#include "engine_run.h"
#include "http_test_server.h"
#include "updater/update_settings.h"

namespace {

std::string text_of(const wstring& s) { return to_utf8(s.c_str()); }

// A client whose work folder is the scratch folder and whose base URL is
// the server's.
updater client_for(const http_test_server& server, const scratch_dir& work, const char* name,
                   const wchar_t* recorded) {
    updater u;
    u.settings.url = to_wide(server.url()).c_str();
    u.settings.list = L"patch.txt";
    u.settings.name = name;
    u.settings.ext = ".zip";
    u.settings.work = work.dir().c_str();
    u.settings.patch_version = recorded;
    return u;
}

struct chosen {
    std::string version;
    std::string url;  // "{url}" stands for the server's base URL
};

std::string with_base(const std::string& text, const http_test_server& server) {
    std::string out = text;
    const std::string mark = "{url}";
    for (size_t at = out.find(mark); at != std::string::npos; at = out.find(mark))
        out.replace(at, mark.size(), server.url());
    return out;
}

}  // namespace

TEST(UpdateClient, CheckChoosesTheNewArchivesOfTheList) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    struct row {
        const char* what;
        const char* name;
        const wchar_t* recorded;
        std::string list;
        std::vector<chosen> patches;  // empty: check answers false
    };
    const row rows[] = {
        {"relative and absolute lines, comments, CR LF and no last line end", "patch", L"",
         "# patches\r\n\r\npatch0102.zip\r\nhttp://mirror.test/a/patch0103.zip",
         {{"0102", "{url}patch0102.zip"}, {"0103", "http://mirror.test/a/patch0103.zip"}}},
        {"older and equal versions are dropped, the rest sorted", "patch", L"0101",
         "patch0104.zip\npatch0100.zip\npatch0101.zip\nsub/patch0102.zip\n",
         {{"0102", "{url}sub/patch0102.zip"}, {"0104", "{url}patch0104.zip"}}},
        {"versions compare as text: 10 is older than 9", "patch", L"9", "patch10.zip\n", {}},
        {"prefix and extension without regard to case", "patch", L"0101", "PATCH0102.ZIP\n",
         {{"0102", "{url}PATCH0102.ZIP"}}},
        // "*" can't be in a file name: the only name the literal prefix
        // matches is refused as well.
        {"the prefix is literal", "patch*", L"", "patch0102.zip\npatch*0103.zip\n", {}},
        {"the bare name is the empty version, new only without a record", "patch", L"", "patch.zip\n",
         {{"", "{url}patch.zip"}}},
        {"the bare name with a record", "patch", L"0101", "patch.zip\n", {}},
        {"a scheme longer than five characters is a relative line", "patch", L"",
         "toolong://x/patch0102.zip\n", {{"0102", "{url}toolong://x/patch0102.zip"}}},
        {"only comments and empty lines", "patch", L"", "# nothing yet\n\n#patch0102.zip\n", {}},
        {"names that would leave the work folder are not taken", "patch", L"0101",
         "patchz\\..\\..\\evil.zip\npatch0102:x.zip\npatch0103.zip\n", {{"0103", "{url}patch0103.zip"}}},
        {"names the command interpreter would read are not taken", "patch", L"0101",
         "patch0102&calc.zip\npatch0103%PATH%.zip\npatch0104 x.zip\npatch0105\"x.zip\npatch0106^x|y>z.zip\n"
         "patch0107_a-b.c.zip\n",
         {{"0107_a-b.c", "{url}patch0107_a-b.c.zip"}}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scratch_dir work;
        server.serve("patch.txt", r.list);
        updater u = client_for(server, work, r.name, r.recorded);
        EXPECT_EQ(!r.patches.empty(), u.check());
        std::vector<std::string> got;
        for (const patch_entry& p : u.settings.patches) got.push_back(text_of(p.version) + " " + text_of(p.url));
        std::vector<std::string> want;
        for (const chosen& c : r.patches) want.push_back(c.version + " " + with_base(c.url, server));
        EXPECT_EQ(want, got);
        EXPECT_EQ(r.list, read_whole(work.path(L"patch.txt"))) << "the list is kept in the work folder";
        if (!r.patches.empty()) {
            EXPECT_EQ(r.patches.back().version, text_of(u.settings.patch_version));
            EXPECT_EQ(with_base(r.patches.back().url, server).substr(with_base(r.patches.back().url, server).rfind('/') + 1),
                      text_of(u.patch_name(99)))
                << "an index past the end names the last patch";
        } else {
            EXPECT_EQ(to_utf8(r.recorded), text_of(u.settings.patch_version));
        }
    }
}

TEST(UpdateClient, MirrorLinesOfOneVersionGiveOneEntry) {
    http_test_server server;
    scratch_dir work;
    server.serve("patch.txt", "http://one.test/patch0102.zip\nhttp://two.test/patch0102.zip\npatch0103.zip\n");
    updater u = client_for(server, work, "patch", L"0101");
    ASSERT_TRUE(u.check());
    ASSERT_EQ(2u, u.settings.patches.size());
    const std::string mirror = text_of(u.settings.patches[0].url);
    EXPECT_TRUE(mirror == "http://one.test/patch0102.zip" || mirror == "http://two.test/patch0102.zip") << mirror;
    EXPECT_EQ("0103", text_of(u.settings.patches[1].version));
}

TEST(UpdateClient, DownloadsTheArchivesWhole) {
    http_test_server server;
    scratch_dir work;
    std::string big(20000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + 3);
    server.serve("patch.txt", "patch0102.zip\npatch0103.zip\n");
    server.serve("patch0102.zip", big);
    server.serve("patch0103.zip", "small");
    updater u = client_for(server, work, "patch", L"0101");
    ASSERT_TRUE(u.check());
    ASSERT_TRUE(u.get());
    EXPECT_EQ(big, read_whole(work.path(L"patch0102.zip"))) << "more than one read buffer, binary";
    EXPECT_EQ("small", read_whole(work.path(L"patch0103.zip")));
    EXPECT_EQ(work.path(L"patch0102.zip"), std::wstring(u.settings.patches[0].local_path.c_str()));
    EXPECT_EQ(work.path(L"patch0103.zip"), std::wstring(u.settings.patches[1].local_path.c_str()));
    const std::vector<http_request> asked = server.requests();
    ASSERT_EQ(3u, asked.size());
    for (const http_request& r : asked) EXPECT_EQ("VyEngine", r.agent);
}

TEST(UpdateClient, FailedDownloadsAreNoSuccess) {
    http_test_server server;
    ASSERT_TRUE(server.running());
    const std::string body = "0123456789abcdef";
    struct row {
        const char* what;
        http_reply reply;
        bool down;  // nothing listens
    };
    const row rows[] = {
        {"the whole file", {200, body}, false},
        {"an error page", {404, "<html>missing</html>"}, false},
        {"a server error", {500, "oops"}, false},
        {"no Content-Length", {200, body, false}, false},
        {"a body cut short", {200, body, true, 5}, false},
        {"an empty body cut short", {200, body, true, 0}, false},
        {"no server", {200, body}, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        scratch_dir work;
        server.serve("file.bin", r.reply);
        updater u;
        const std::string url = r.down ? "http://127.0.0.1:" + std::to_string(closed_port()) + "/file.bin"
                                       : server.url("file.bin");
        const bool whole = !r.down && r.reply.status == 200 && r.reply.send_length && r.reply.cut_after > body.size();
        EXPECT_EQ(whole, u.get_file(to_wide(url).c_str(), work.path(L"file.bin").c_str()));
        if (whole) EXPECT_EQ(body, read_whole(work.path(L"file.bin")));
    }
}

TEST(UpdateClient, GetStopsAtTheFirstFailingArchive) {
    http_test_server server;
    scratch_dir work;
    server.serve("patch.txt", "patch0102.zip\npatch0103.zip\npatch0104.zip\n");
    server.serve("patch0102.zip", "first");
    server.serve("patch0104.zip", "third");
    updater u = client_for(server, work, "patch", L"0101");
    ASSERT_TRUE(u.check());
    EXPECT_FALSE(u.get());
    EXPECT_EQ(work.path(L"patch0102.zip"), std::wstring(u.settings.patches[0].local_path.c_str()));
    EXPECT_TRUE(u.settings.patches[1].local_path.empty());
    EXPECT_EQ((std::vector<std::string>{"/patch.txt", "/patch0102.zip", "/patch0103.zip"}), server.paths());
}

TEST(UpdateClient, ListThatCannotBeFetched) {
    scratch_dir work;
    http_test_server server;
    updater u = client_for(server, work, "patch", L"0101");
    EXPECT_FALSE(u.check()) << "404 for the list";
    EXPECT_TRUE(u.settings.patches.empty());
    EXPECT_EQ("0101", text_of(u.settings.patch_version));
}

TEST(UpdateClient, RefusedNamesAreLogged) {
    http_test_server server;
    scratch_dir work;
    server.serve("patch.txt", "patch0102&del x.zip\npatch0103.zip\n");
    updater u = client_for(server, work, "patch", L"0101");
    trace_capture log;
    ASSERT_TRUE(u.check());
    ASSERT_EQ(1u, u.settings.patches.size());
    EXPECT_EQ(1u, log.count("updater::check: unsafe archive name 'patch0102&del x.zip'")) << log.text();
}
