#pragma once

#include <cstddef>
#include <cstdint>

#include "netconfig/paths.h"

namespace nubora {

constexpr std::size_t kCommandLineCapacity = 260;
constexpr unsigned long kWaitSliceMs = 2000;
constexpr unsigned kWaitSlices = 15;
// The most a command is waited for.
constexpr unsigned long kCommandTimeOutSeconds = kWaitSliceMs / 1000 * kWaitSlices;

// Logs the command line, runs it hidden and waits at most 15 slices of 2000 ms
// for it, logging how the wait ended. A process that outlives the wait is left
// running. `commandLine` must be writable. Always 0.
std::int32_t RunCommandAndWait(wchar_t* commandLine);

// Runs the post script (kPostScriptPath) through cmd.exe. Always 0.
std::int32_t RunPostScript();

}  // namespace nubora
