#pragma once

#include <string>
#include <vector>

#include "nubora/doctor/doctor.h"

namespace nubora {

// Who but the machine's administrators (Administrators, SYSTEM,
// TrustedInstaller) may change the executable at `path`, which `service`
// runs as LocalSystem, or a folder above it: Windows looks for IPHLPAPI.DLL
// in the executable's folder first. One error finding each; a warning for
// an ACL that cannot be read.
std::vector<Finding> ExecutableAccess(const std::wstring& path, const std::wstring& service,
                                      const MachinePlatform& machine);

}  // namespace nubora
