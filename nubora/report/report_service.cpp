#include "nubora/report/report_service.h"

#include <string>
#include <vector>

#include "nubora/report/report_text.h"
#include "platform/identity.h"
#include "platform/platform.h"
#include "platform/service_runner.h"
#include "platform/system_errors.h"

namespace nubora {
namespace {

struct ServiceContext {
  ReportOptions options;
  ReportPlatform platform;
};

ServiceContext& Context() {
  static ServiceContext context;
  return context;
}

// A stop request ends it at once, a shutdown reports the run as it stands.
ServiceExit Work(ServiceRunner& runner) {
  std::string out, err;
  const unsigned long failed = SendBootReport(
      Context().options, Context().platform,
      [&runner](unsigned long ms) { return runner.Pause(ms); }, out, err);
  if (failed == 0) return ServiceExit{};
  return ServiceExit{kErrorServiceSpecific, static_cast<std::uint32_t>(failed)};
}

// One argument as the C runtime splits a command line: in quotes when it is
// empty or holds a blank or a quote, backslashes doubled before a quote.
std::wstring CommandLineWord(const std::wstring& word) {
  if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) return word;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted.append(2 * backslashes, L'\\') + L"\"";
}

ServiceRunner& Runner() {
  static ServiceRunner runner(ServiceSetup{kReportServiceName, scm::kOwnProcess,
                                           scm::kAcceptStop | scm::kAcceptShutdown, true, true,
                                           Work, nullptr});
  return runner;
}

void NUBORA_CALLBACK ReportServiceMain(unsigned long, wchar_t**) { Runner().Main(); }

}  // namespace

unsigned long RunReportService(const ReportOptions& options, const ReportPlatform& platform) {
  Context() = ServiceContext{options, platform};
  Runner().Reset();
  const ServiceTableEntry table[] = {{kReportServiceName, ReportServiceMain}, {nullptr, nullptr}};
  return CurrentPlatform().serviceHost->RunDispatcher(table);
}

std::wstring OptionWords(const ReportOptions& options) {
  const ReportOptions defaults;
  std::wstring words;
  if (options.log != defaults.log) words += L" " + CommandLineWord(options.log);
  if (options.port != defaults.port) {
    words += L" --console " + (options.port.empty() ? L"none" : CommandLineWord(options.port));
  }
  if (!options.eventLog) words += L" --no-eventlog";
  if (options.waitSeconds != defaults.waitSeconds) {
    words += L" --wait-for-service " + std::to_wstring(options.waitSeconds);
  }
  if (options.codePage != 0) words += L" --codepage " + std::to_wstring(options.codePage);
  return words;
}

std::wstring ThisExecutablePath() {
  std::vector<wchar_t> path(32768, L'\0');
  CurrentPlatform().files->ModulePath(path.data(), static_cast<unsigned long>(path.size()));
  path.back() = L'\0';
  return path.data();
}

unsigned long InstallReportService(const ReportOptions& options, EventLog& eventLog) {
  ServiceManagerApi& api = *CurrentPlatform().services;
  const std::wstring path = ThisExecutablePath();
  ScHandle manager(api, api.OpenManager(scm::kManagerCreateService));
  if (!manager) return api.LastError();
  const std::wstring commandLine = L"\"" + path + L"\" " + kReportArguments + OptionWords(options);
  ScHandle service(api,
                   api.CreateOwnService(manager.get(), kReportServiceName, kReportDisplayName,
                                        scm::kServiceAllAccess, scm::kOwnProcess, scm::kAutoStart,
                                        scm::kErrorNormal, commandLine.c_str()));
  if (!service) return api.LastError();
  api.SetDescription(service.get(), kReportDescription);
  const unsigned long error = eventLog.RegisterSource(kEventSource, path);
  if (error != 0) api.DeleteExistingService(service.get());
  return error;
}

unsigned long UninstallReportService(const ReportPlatform& platform) {
  // Stopped first: a service that only gets marked for deletion goes on
  // waiting, reports after its event source is gone and blocks a reinstall.
  // Waited for whatever the request answered: one already stopping refuses
  // it (1061) and still has to end.
  platform.services->RequestStop(kReportServiceName);
  unsigned long stopError = kErrorServiceRequestTimeout;
  for (unsigned long second = 0; second <= kStopWaitSeconds; ++second) {
    ServiceSnapshot service;
    const unsigned long error = platform.services->Query(kReportServiceName, service);
    if (error != 0 || !service.installed || service.state == scm::kStopped) {
      stopError = error;
      break;
    }
    if (second < kStopWaitSeconds) CurrentPlatform().clock->Sleep(1000);
  }
  ServiceManagerApi& api = *CurrentPlatform().services;
  unsigned long error = 0;
  ScHandle manager(api, api.OpenManager(scm::kManagerConnect));
  if (!manager) return api.LastError();
  ScHandle service(api, api.OpenExistingService(manager.get(), kReportServiceName, scm::kDelete));
  if (!service || !api.DeleteExistingService(service.get())) error = api.LastError();
  const unsigned long sourceError = platform.eventLog->RemoveSource(kEventSource);
  if (error == 0 && sourceError != kErrorFileNotFound) error = sourceError;
  return error != 0 ? error : stopError;
}

}  // namespace nubora
