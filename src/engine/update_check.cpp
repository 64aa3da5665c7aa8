// The update question of the start-up: asks the user as the NETWORK
// settings say, fetches the new archives and starts VyUpdate with them.
#include <windows.h>

#include "core/strings.h"
#include "core/trace.h"
#include "engine/message_box.h"
#include "engine/startup_settings.h"
#include "engine/startup_steps.h"

namespace {

constexpr uint32_t update_at_start = 1;
constexpr uint32_t update_no_question = 2;
constexpr uint32_t update_no_list = 4;

// "  name\n" for every chosen patch.
wstring patch_lines(const updater& client) {
    wstring lines;
    for (size_t i = 0; i < client.settings.patches.size(); ++i) {
        wstring line;
        format_wstring(line, L"  %ls\n", client.patch_name(i).c_str());
        lines += line;
    }
    return lines;
}

bool asked_yes(const wstring& text) {
    return message_box(nullptr, text.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

bool check_update(startup_settings& s) {
    updater& client = s.update;
    if (s.allow < 2 || !(s.update_flags & update_at_start) || client.settings.url.empty()) return false;
    // Without the updater's settings or a work folder the archives could
    // be fetched but never applied.
    if (!s.update_ready) {
        TRACE_ERROR("check_update", "updater::read_config", -1);
        return false;
    }
    if (!(s.update_flags & update_no_question)) {
        wstring text;
        format_wstring(text, L"アップデートの有無を確認しますか？\n  URL:%ls", client.settings.url.c_str());
        if (!asked_yes(text)) return false;
    }
    if (!client.check()) return false;
    if (!(s.update_flags & update_no_list)) {
        wstring text;
        format_wstring(text, L"%u つのアップデートファイルを検出しました。\n",
                       static_cast<unsigned>(client.settings.patches.size()));
        text += patch_lines(client);
        text += L"アップデートしますか？";
        if (!asked_yes(text)) return false;
    }
    if (!client.get()) {
        wstring text = L"アップデートファイルの取得に失敗しました。\n";
        text += patch_lines(client);
        message_box(nullptr, text.c_str(), MB_OK | MB_ICONHAND);
        return false;
    }
    wstring title = s.title;
    title += L" のアップデート実行";
    return client.apply(title.c_str());
}
