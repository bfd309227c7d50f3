#include "platform/probes.h"

#include "platform/platform.h"

namespace nubora {

std::int32_t legacyOs = 0;

int InitPlatformProbes() {
  SystemProbe& system = *CurrentPlatform().system;
  unsigned long major = 0;
  legacyOs = (system.ReadOsMajorVersion(major) && major < 6) ? 1 : 0;
  system.ResolveWow64EntryPoints();
  return 1;
}

int IsWow64() {
  SystemProbe& system = *CurrentPlatform().system;
  if (!system.HasIsWow64Process()) return 0;
  int flag = 0;
  if (!system.QueryIsWow64Process(flag)) return 0;
  return flag != 0 ? 1 : 0;
}

}  // namespace nubora
