#pragma once

#include <cstddef>
#include <cstdint>

namespace nubora {

constexpr std::size_t kCommandLineCapacity = 260;
constexpr unsigned long kWaitSliceMs = 2000;
constexpr unsigned kWaitSlices = 15;
constexpr wchar_t kPostScriptCommand[] =
    L"c:\\windows\\system32\\cmd.exe /c c:\\windows\\ipconfig_post.bat";

// Logs the command line, runs it hidden and waits at most 15 slices of 2000 ms
// for it, logging how the wait ended. A process that outlives the wait is left
// running. `commandLine` must be writable. Always 0.
std::int32_t RunCommandAndWait(wchar_t* commandLine);

// Runs c:\windows\ipconfig_post.bat through cmd.exe. Always 0.
std::int32_t RunPostScript();

}  // namespace nubora
