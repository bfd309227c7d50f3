#include "netconfig/run.h"

#include "netconfig/command_runner.h"
#include "netconfig/config_file.h"
#include "netconfig/discovery.h"
#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "platform/platform.h"
#include "platform/probes.h"

namespace nubora {
namespace {

std::wstring Now() { return ClockText(CurrentPlatform().clock->Now()); }

}  // namespace

std::int32_t RunConfiguration() {
  OpenRunLog(kLogPath);
  LogValue(kStartTimePrefix, Now().c_str());
  LogWideLine(kStartingLine);
  LogFlush();

  std::unique_ptr<AdapterConfigList> desired = ReadConfigFile(kConfigPath);
  if (!desired || desired->empty()) {
    LogWideLine(kNoConfigurationLine);
    LogFlush();
    return 0;
  }

  LogFlush();
  const std::int32_t result = ConfigIpAddresses(*desired);
  LogFlush();
  LogWideLine(kConfigureEndLine);

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

  // The blank line that closes the run goes in the same write.
  LogWide(L"%ls%ls\n\n", kEndTimePrefix, Now().c_str());
  LogFlush();
  return result;
}

}  // namespace nubora
