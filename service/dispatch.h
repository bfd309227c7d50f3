#pragma once

namespace nubora {

enum class Verb { kRun, kInstall, kUninstall, kService, kUnknown };

// Chooses the action from the first argument, without regard to letter case.
Verb ChooseVerb(int argc, wchar_t** argv);

// The whole program: probes, dispatch, and exit code 0 on every path.
int EntryMain(int argc, wchar_t** argv);

}  // namespace nubora
