#include "nubora/doctor/doctor.h"

#include <algorithm>

#include "netconfig/paths.h"
#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nubora {

const char* SeverityText(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kInfo:
      break;
  }
  return "info";
}

int FindingsExitCode(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.severity != Severity::kInfo) return 1;
  }
  return 0;
}

Diagnosis Diagnose(const std::wstring& ini, const std::wstring& log,
                   const MachinePlatform& machine) {
  Reading reading;
  reading.ini = ReadIniQuietly(ini);
  Diagnosis diagnosis;
  diagnosis.adaptersError = machine.adapters->Enumerate(reading.adapters);
  if (diagnosis.adaptersError != 0) return diagnosis;
  ReadInterfaceKeys(machine, reading);
  reading.misformed = MisformedItems(reading.ini, *CurrentPlatform().ini, ini, reading.adapters);

  for (const SectionFate& verdict : reading.ini.fates) {
    diagnosis.sections.push_back(verdict.section);
  }
  std::vector<Finding>& out = diagnosis.findings;
  CheckConfig(reading, ini, out);
  CheckGhostsAndMacs(reading, machine, out);
  CheckApipa(reading, out);
  CheckDuplicates(reading, machine, out);
  diagnosis.runPlayed = CheckDrift(reading, ini, out);
  CheckServices(machine, out);
  CheckFileAccess(machine, out);
  if (!log.empty()) CheckLastBoot(log, out);
  if (!machine.files->Exists(kPostScriptPath)) {
    Finding finding;
    finding.id = "post-script";
    finding.severity = Severity::kInfo;
    finding.summary = std::wstring(L"no post script: each boot still starts cmd.exe for ") +
                      kPostScriptPath + L", which ends at once (the log does not tell)";
    finding.evidence = {{"file", kPostScriptPath}};
    finding.fix = L"none needed; or put the commands to run after each boot in it";
    out.push_back(finding);
  }
  return diagnosis;
}

std::wstring FindingsText(const Diagnosis& diagnosis) {
  // Sections with the same name: one group.
  std::vector<std::wstring> groups;
  for (const std::wstring& section : diagnosis.sections) {
    if (std::find(groups.begin(), groups.end(), section) == groups.end()) groups.push_back(section);
  }
  groups.push_back(L"");
  std::wstring text;
  std::size_t counts[3] = {};
  for (const std::wstring& group : groups) {
    bool headed = false;
    for (const Finding& finding : diagnosis.findings) {
      if (finding.section != group) continue;
      if (!headed) text += group.empty() ? L"machine\n" : L"[" + Printable(group) + L"]\n";
      headed = true;
      ++counts[static_cast<int>(finding.severity)];
      text += L"  " + Widened(SeverityText(finding.severity)) + L" " + Widened(finding.id) + L": " +
              Printable(finding.summary) + L"\n";
      for (const auto& item : finding.evidence) {
        text += L"    " + Widened(item.first) + L": " + Printable(item.second) + L"\n";
      }
      for (const std::wstring& command : finding.commands) {
        text += L"    command: " + Printable(command) + L"\n";
      }
      text += L"    fix: " + Printable(finding.fix) + L"\n";
    }
  }
  if (diagnosis.findings.empty()) text += L"nothing stands in the way: no finding\n";
  text += Number(counts[2]) + L" error(s), " + Number(counts[1]) + L" warning(s), " +
          Number(counts[0]) + L" info\n";
  return text;
}

}  // namespace nubora
