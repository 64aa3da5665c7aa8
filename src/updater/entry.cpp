// VyUpdate: the engine's patch updater (a console program).
#include "updater/update_main.h"

int wmain(int argc, wchar_t** argv) { return update_main(argc, argv); }
