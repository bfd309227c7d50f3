#include "netconfig/run.h"

#include "netconfig/command_runner.h"
#include "netconfig/config_file.h"
#include "netconfig/discovery.h"
#include "netconfig/log.h"
#include "platform/platform.h"
#include "platform/probes.h"

namespace nubora {
namespace {

void LogTime(const wchar_t* format) {
  const LocalTime now = CurrentPlatform().clock->Now();
  LogWide(format, now.year, now.month, now.day, now.hour, now.minute, now.second);
}

}  // namespace

std::int32_t RunConfiguration() {
  OpenRunLog(kLogPath);
  LogTime(L"start time %d-%d-%d,%2d:%2d:%2d\n");
  LogWide(L"starting config ip address\n");
  LogFlush();

  std::unique_ptr<AdapterConfigList> desired = ReadConfigFile(kConfigPath);
  if (!desired || desired->empty()) {
    LogWide(L"config file error , no configure information\n");
    LogFlush();
    return 0;
  }

  LogFlush();
  const std::int32_t result = ConfigIpAddresses(*desired);
  LogFlush();
  LogWide(L"configure end\n");

  SystemProbe& system = *CurrentPlatform().system;
  void* redirection = nullptr;
  bool redirectionOff = false;
  if (IsWow64() != 0 && system.HasDisableRedirection()) {
    redirectionOff = system.DisableRedirection(redirection);
  }
  RunPostScript();
  if (IsWow64() != 0 && system.HasRevertRedirection() && redirectionOff) {
    system.RevertRedirection(redirection);
  }

  LogTime(L"end time %d-%d-%d,%2d:%2d:%2d\n\n");
  LogFlush();
  return result;
}

}  // namespace nubora
