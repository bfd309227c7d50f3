#include "platform/win32/win32_native.h"

namespace nubora {

Platform NativePlatform() {
  static Win32SystemProbe system;
  static Win32Clock clock;
  static Win32IniFiles ini;
  static Win32AdapterSource adapters;
  static Win32ProcessLauncher processes;
  static Win32ServiceHost serviceHost;
  static Win32ServiceManager services;
  static Win32ExecutableFiles files;
  return Platform{&system, &clock, &ini, &adapters, &processes, &serviceHost, &services, &files};
}

}  // namespace nubora
