#pragma once

namespace nubora {

// Calls `entry` with the arguments as wide text, converted from the
// environment's locale: where the platform passes them narrow.
int RunWithWideArguments(int argc, char** argv, int (*entry)(int, wchar_t**));

}  // namespace nubora
