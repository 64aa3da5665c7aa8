// The updater program: applies downloaded patch archives to the engine's
// installation in the current directory once the engine has ended, records
// the newest patch version and starts the engine again.
#ifndef VY_UPDATER_UPDATE_MAIN_H
#define VY_UPDATER_UPDATE_MAIN_H

// Exit codes: 0 success, 1 a failed run, -1 an unusable command line.
int update_main(int argc, wchar_t** argv);

#endif
