#pragma once

#include <cstdio>

namespace nubora {

// Reopens the process's standard output onto `path` for appending in text
// mode, shared for reading and writing by other processes. Null on failure.
std::FILE* ReopenStdoutForAppend(const wchar_t* path);

// Selects the user's default locale for all categories.
void SelectUserDefaultLocale();

}  // namespace nubora
