#pragma once

#include "platform/adapters.h"
#include "platform/clock.h"
#include "platform/ini_files.h"
#include "platform/processes.h"
#include "platform/services.h"
#include "platform/system_probe.h"

namespace nubora {

// Every operating-system operation the system uses, one interface per area.
struct Platform {
  SystemProbe* system = nullptr;
  Clock* clock = nullptr;
  IniFiles* ini = nullptr;
  AdapterSource* adapters = nullptr;
  ProcessLauncher* processes = nullptr;
  ServiceHost* serviceHost = nullptr;
  ServiceManagerApi* services = nullptr;
  ExecutableFiles* files = nullptr;
};

// The real operating system's implementations (Win32, or the portable ones).
Platform NativePlatform();

// The platform in use; the native one unless a test has replaced parts of it.
Platform& CurrentPlatform();

// Replaces the platform in use for its lifetime.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(const Platform& replacement) : saved_(CurrentPlatform()) {
    CurrentPlatform() = replacement;
  }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;
  ~ScopedPlatform() { CurrentPlatform() = saved_; }

 private:
  Platform saved_;
};

}  // namespace nubora
