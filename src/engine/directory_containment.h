// Where a script may create folders: below one of the game's folders and
// nowhere else.
#ifndef VY_ENGINE_DIRECTORY_CONTAINMENT_H
#define VY_ENGINE_DIRECTORY_CONTAINMENT_H

#include "core/strings.h"

// The canonical full path of `directory` taken below `folder` (an absolute
// path). False when it is rooted, names a drive, or leaves the folder once
// "." and ".." are resolved; the folder itself counts as inside. Compared
// without regard to case, and only at a separator, so "save2" is not
// inside "save".
bool directory_inside(const wchar_t* folder, const wchar_t* directory, wstring& out);

#endif
