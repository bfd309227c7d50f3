#include "platform/portable_ini.h"
#include "platform/posix/posix_native.h"

namespace nubora {

Platform NativePlatform() {
  static PosixSystemProbe system;
  static PosixClock clock;
  static PortableIniFiles ini;
  static PosixAdapterSource adapters;
  static PosixProcessLauncher processes;
  static PosixServiceHost serviceHost;
  static PosixServiceManager services;
  static PosixExecutableFiles files;
  return Platform{&system, &clock, &ini, &adapters, &processes, &serviceHost, &services, &files};
}

}  // namespace nubora
