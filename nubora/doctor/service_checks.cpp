#include "logread/run_log.h"
#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/identity.h"
#include "platform/log_file.h"
#include "platform/services.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {

std::wstring ImageFile(const std::wstring& commandLine) {
  if (!commandLine.empty() && commandLine[0] == L'"') {
    return commandLine.substr(1, commandLine.find(L'"', 1) - 1);
  }
  const std::size_t exe = Lowered(commandLine).find(L".exe");
  return exe == std::wstring::npos ? commandLine : commandLine.substr(0, exe + 4);
}

void CheckServices(const MachinePlatform& machine, std::vector<Finding>& out) {
  struct Service {
    const wchar_t* name;
    bool required;
    const wchar_t* install;
  };
  static const Service kServices[] = {
      {kServiceName, true, L"NuboraService.exe install"},
      {kReportServiceName, false, L"nubora report --uninstall-service, then --install-service"}};
  for (const Service& service : kServices) {
    ServiceConfig config;
    const unsigned long error = machine.services->Query(service.name, config);
    const std::wstring name = service.name;
    const auto add = [&](const std::wstring& summary, const std::wstring& fix) {
      Finding finding;
      finding.id = "service";
      finding.summary = name + L" " + summary;
      finding.evidence = {{"service", name}};
      finding.fix = fix;
      if (!config.imagePath.empty()) finding.evidence.push_back({"image_path", config.imagePath});
      out.push_back(finding);
    };
    if (error == kErrorServiceDoesNotExist) {
      if (service.required) add(L"is not registered", service.install);
      continue;
    }
    if (error != 0) {
      add(L"cannot be asked about (" + ErrorText(error) + L")", L"run as an administrator");
      continue;
    }
    if (config.startType != scm::kAutoStart) {
      add(L"does not start automatically (start type " + Number(config.startType) + L")",
          L"sc config " + name + L" start= auto");
    }
    if (Lowered(config.account) != L"localsystem") {
      add(L"runs as " + config.account + L", not LocalSystem",
          L"sc config " + name + L" obj= LocalSystem");
    }
    if (!machine.files->Exists(ImageFile(config.imagePath))) {
      add(L"starts a file that is missing: " + ImageFile(config.imagePath), service.install);
    }
  }
  const std::wstring source = kEventSourcesKey + std::wstring(kEventSource);
  std::vector<RegistryValue> values;
  if (machine.registry->Values(source, values) != 0) return;
  const RegistryValue* file = FindValue(values, kEventMessageFileValue);
  const std::vector<std::wstring> items =
      file != nullptr ? TextItems(*file) : std::vector<std::wstring>();
  const std::wstring path = items.empty() ? L"" : items[0];
  if (path.empty() || !machine.files->Exists(path)) {
    Finding finding;
    finding.id = "service";
    finding.summary = L"the event source " + std::wstring(kEventSource) +
                      L" names a message file that is missing: " + path;
    finding.evidence = {{"key", L"HKLM\\" + source}, {"message_file", path}};
    finding.fix = L"nubora report --uninstall-service, then --install-service";
    out.push_back(finding);
  }
}

void CheckLastBoot(const std::wstring& log, std::vector<Finding>& out) {
  SharedReadFile file;
  unsigned long error = 0;
  RunStatus run;
  bool noMemory = false;
  std::wstring summary, fix = L"nubora status tells what the run did";
  if (!file.Open(log, error)) {
    summary = L"the service's log cannot be read (" + ErrorText(error) + L")";
    fix = L"if NuboraService has never run here: NuboraService.exe install, then restart";
  } else if (!ReadRunFromEnd(file, 1, LogCodePage(), run, &noMemory)) {
    summary = noMemory ? L"the service's log cannot be read (out of memory)"
                       : L"the service's log holds no run";
  } else if (run.verdict != Verdict::kConfigured && run.verdict != Verdict::kNothingToConfigure) {
    summary = L"the last boot's run: " + Widened(VerdictText(run.verdict));
    if (run.reason != nullptr) summary += L" (" + Widened(run.reason) + L")";
  } else {
    return;
  }
  Finding finding;
  finding.id = "last-boot";
  finding.summary = summary;
  finding.evidence = {{"log", log}};
  finding.fix = fix;
  out.push_back(finding);
}

}  // namespace nubora
