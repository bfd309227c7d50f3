#pragma once

#include <cstdio>

namespace nubora {

// Reopens the process's standard output onto `path` for appending in text
// mode, shared for reading and writing by other processes. Where standard
// output cannot be reopened, opens the file as a stream of its own. Returns the
// stream the log goes to from now on, or null on failure.
std::FILE* ReopenStdoutForAppend(const wchar_t* path);

// Selects the user's default locale for all categories.
void SelectUserDefaultLocale();

}  // namespace nubora
