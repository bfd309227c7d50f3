#pragma once

#include <cstdint>

// Facts about the machine, read once at start-up by the entry and afterwards by
// the configuration run and the preview; the SystemProbe underneath answers them.
namespace nubora {

// 1 when the operating system's major version is below 6 (the older netsh
// syntax). Written once by InitPlatformProbes, read-only afterwards.
extern std::int32_t legacyOs;

// Probes the operating system once, before anything else runs. Always 1.
int InitPlatformProbes();

// Nonzero when this process runs under WOW64.
int IsWow64();

}  // namespace nubora
