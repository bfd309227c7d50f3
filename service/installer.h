#pragma once

namespace nubora {

// Registers the automatically started service (platform/identity.h) and
// copies the running executable to its install path. 0, or the error code
// of the failing step.
int InstallService();

// Deletes the service's registration. 0, or the error code of the failing step.
int UninstallService();

}  // namespace nubora
