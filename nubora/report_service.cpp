#include "nubora/report_service.h"

#include "nubora/report_text.h"
#include "platform/platform.h"
#include "platform/service_runner.h"

namespace nubora {
namespace {

const wchar_t kReportService[] = L"NuboraReport";
const wchar_t kReportDisplayName[] = L"Nubora boot report";
const wchar_t kReportDescription[] =
    L"Tells each boot's network configuration verdict on the serial console and in the Windows "
    L"Event Log";

struct ServiceContext {
  ReportOptions options;
  ReportPlatform platform;
};

ServiceContext& Context() {
  static ServiceContext context;
  return context;
}

ServiceExit Work(ServiceRunner& runner) {
  std::string out, err;
  MakeReport(
      Context().options, Context().platform,
      [&runner](unsigned long ms) { return runner.Pause(ms); }, out, err);
  return ServiceExit{};
}

ServiceRunner& Runner() {
  static ServiceRunner runner(ServiceSetup{kReportService, scm::kOwnProcess,
                                           scm::kAcceptStop | scm::kAcceptShutdown, true, true,
                                           Work, nullptr});
  return runner;
}

void NUBORA_CALLBACK ReportServiceMain(unsigned long, wchar_t**) { Runner().Main(); }

}  // namespace

unsigned long RunReportService(const ReportOptions& options, const ReportPlatform& platform) {
  Context() = ServiceContext{options, platform};
  Runner().Reset();
  const ServiceTableEntry table[] = {{kReportService, ReportServiceMain}, {nullptr, nullptr}};
  return CurrentPlatform().serviceHost->RunDispatcher(table);
}

unsigned long InstallReportService(EventLog& eventLog) {
  ServiceManagerApi& api = *CurrentPlatform().services;
  wchar_t path[1024] = {};
  CurrentPlatform().files->ModulePath(path, 1024);
  ScHandle manager(api, api.OpenManager(scm::kManagerCreateService));
  if (!manager) return api.LastError();
  const std::wstring commandLine = L"\"" + std::wstring(path) + L"\" report --service";
  ScHandle service(api,
                   api.CreateOwnService(manager.get(), kReportService, kReportDisplayName,
                                        scm::kServiceAllAccess, scm::kOwnProcess, scm::kAutoStart,
                                        scm::kErrorNormal, commandLine.c_str()));
  if (!service) return api.LastError();
  api.SetDescription(service.get(), kReportDescription);
  const unsigned long error = eventLog.RegisterSource(kWatchedService, path);
  if (error != 0) api.DeleteExistingService(service.get());
  return error;
}

unsigned long UninstallReportService(EventLog& eventLog) {
  ServiceManagerApi& api = *CurrentPlatform().services;
  unsigned long error = 0;
  ScHandle manager(api, api.OpenManager(scm::kManagerConnect));
  if (!manager) return api.LastError();
  ScHandle service(api, api.OpenExistingService(manager.get(), kReportService, scm::kDelete));
  if (!service || !api.DeleteExistingService(service.get())) error = api.LastError();
  const unsigned long sourceError = eventLog.RemoveSource(kWatchedService);
  if (error == 0 && sourceError != kErrorFileNotFound) error = sourceError;
  return error;
}

}  // namespace nubora
