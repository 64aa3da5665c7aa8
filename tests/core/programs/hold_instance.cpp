// Holds a single_instance mutex for another test process: creates it under
// the name given, sets the "<name>.ready" event, then waits (at most 20 s)
// for the "<name>.quit" event.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "core/mutex.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    std::wstring name = argv[1];
    single_instance guard;
    if (!guard.create(name.c_str())) return 3;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (name + L".ready").c_str());
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, (name + L".quit").c_str());
    if (!ready || !quit) return 4;
    SetEvent(ready);
    DWORD r = WaitForSingleObject(quit, 20000);
    CloseHandle(ready);
    CloseHandle(quit);
    return r == WAIT_OBJECT_0 ? 0 : 5;
}
