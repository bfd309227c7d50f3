#include "service/lifecycle.h"

#include "netconfig/log.h"
#include "netconfig/log_lines.h"
#include "netconfig/run.h"
#include "platform/identity.h"
#include "platform/platform.h"
#include "platform/service_runner.h"

namespace nubora {
namespace {

ServiceRun& CurrentRun() {
  static ServiceRun run = RunConfiguration;
  return run;
}

ServiceExit Work(ServiceRunner&) {
  CurrentRun()();
  return ServiceExit{};
}

void LogStopRequest() { LogWideLine(kStopRequestLine); }

// Its status type claims both process kinds, and it accepts pause and continue
// without acting on them: what it has always told the service manager.
ServiceRunner& Runner() {
  static ServiceRunner runner(ServiceSetup{
      L"vadozazor_service", scm::kOwnProcess | scm::kShareProcess,
      scm::kAcceptStop | scm::kAcceptPauseContinue, false, false, Work, LogStopRequest});
  return runner;
}

}  // namespace

void SetServiceRun(ServiceRun run) { CurrentRun() = run != nullptr ? run : RunConfiguration; }

void ResetServiceState() { Runner().Reset(); }

void NUBORA_CALLBACK ServiceMain(unsigned long /*argumentCount*/, wchar_t** /*arguments*/) {
  Runner().Main();
}

unsigned long NUBORA_CALLBACK ServiceCtrlHandler(unsigned long control, unsigned long /*eventType*/,
                                                 void* /*eventData*/, void* /*context*/) {
  return Runner().Control(control);
}

unsigned long RunServiceDispatcher() {
  static const ServiceTableEntry table[2] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
  return CurrentPlatform().serviceHost->RunDispatcher(table);
}

}  // namespace nubora
