#include "engine/message_box.h"

#include "core/strings.h"
#include "engine/log_upload.h"
#include "engine/startup_settings.h"

namespace {
HWND owner_window = nullptr;
bool abort_done = false;

void force_cursor_visible() {
    while (ShowCursor(TRUE) < 0) {
    }
}
}  // namespace

void set_message_owner(HWND window) { owner_window = window; }
HWND message_owner() { return owner_window; }

int message_box(const wchar_t* title, const wchar_t* text, UINT type) {
    wstring caption;
    if (title) {
        caption = title;
    } else {
        caption = L"VyEngine";
        startup_settings* s = current_settings();
        if (s && !s->title.empty()) {
            caption += L" - [";
            caption += s->title;
            caption += L"]";
        }
    }
    force_cursor_visible();
    HWND owner = (type & MB_TASKMODAL) ? nullptr : owner_window;
    if (owner && !IsWindow(owner)) owner = nullptr;
    return MessageBoxW(owner, text, caption.c_str(), type);
}

void system_abort(const wchar_t* message) {
    if (abort_done) return;
    startup_settings* s = current_settings();
    wstring text;
    if (message) {
        text = message;
    } else if (s && s->debug) {
        text = L"重大なエラーが発生したため、VyEngineを強制終了します。\n";
    } else {
        text = L"ご迷惑をお掛けして申し訳ありません。\n重大なエラーが発生したため、";
        if (!s || s->title.empty()) {
            text += L"VyEngine";
        } else {
            text += L"現在、VyEngineで実行中の\n　　「";
            text += s->title;
            text += L"」　　\n";
        }
        text += L"を強制終了致します。\n原因究明にご協力頂ける場合は、logフォルダ下のファイル一式をWexaまでご送付下さい。\n（Wexaの連絡先はreadme.txtをご参照下さい。）";
    }
    message_box(nullptr, text.c_str(), MB_OK | MB_ICONSTOP);
    if (s) upload_logs(*s);
    abort_done = true;
}
