#include "logread/run_blocks.h"
#include "logread/run_parser.h"
#include "netconfig/log_lines.h"
#include "nubora/doctor/checks.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace nubora {

void CheckConfig(const Reading& reading, const std::wstring& ini, std::vector<Finding>& out) {
  bool allDisabled = !reading.ini.fates.empty();
  for (const SectionFate& verdict : reading.ini.fates) {
    allDisabled = allDisabled && verdict.disabled;
    if (verdict.kept || verdict.disabled) continue;
    Finding finding;
    finding.id = "config";
    finding.section = verdict.section;
    finding.summary = L"the service drops this section: " + verdict.reason;
    finding.evidence = {{"file", ini}};
    finding.fix = L"complete the section in " + ini + L", or set DISABLED=1 in it";
    out.push_back(finding);
  }
  for (std::size_t r = 0; r < reading.ini.sameMacAs.size(); ++r) {
    if (reading.ini.sameMacAs[r] == 0) continue;
    const std::wstring first = reading.Section(reading.ini.sameMacAs[r] - 1);
    Finding finding;
    finding.id = "config";
    finding.section = reading.Section(r);
    finding.summary = L"the same MAC as [" + first + L"]: a boot configures one adapter twice";
    finding.evidence = {{"file", ini}, {"mac", MacText((*reading.ini.records)[r].mac)}};
    finding.fix = L"keep one section for each MAC in " + ini;
    out.push_back(finding);
  }
  for (const MisformedItem& item : reading.misformed) {
    Finding finding;
    finding.id = "config";
    finding.section = item.section;
    finding.summary = MisformedText(item) + L"; the service uses it as it is";
    const bool connection = std::wstring(item.key) == L"connection name";
    finding.evidence = {{connection ? "connection" : "file", connection ? item.value : ini}};
    finding.fix = connection ? L"rename the connection: no quote, control character or log text"
                             : L"write " + std::wstring(item.key) + L" in its form in " + ini +
                                   L", or set DISABLED=1 in the section";
    out.push_back(finding);
  }
  if (reading.ini.records->empty() && !allDisabled) {
    Finding finding;
    finding.id = "config";
    finding.summary = L"no section becomes a record: a boot configures nothing";
    finding.evidence = {{"file", ini}};
    finding.fix = L"give " + ini + L" a complete section for each adapter";
    out.push_back(finding);
  }
}

bool CheckDrift(const Reading& reading, const std::wstring& ini, std::vector<Finding>& out) {
  IniFiles& files = *CurrentPlatform().ini;
  const PredictedRun run = PredictRun(reading.adapters, files, ini);
  if (!run.played) return false;
  const RunStatus status = ParseRun(SplitBlock(run.log, LocaleCodePage()), 1);
  for (const RecordEntry& record : status.records) {
    if (record.dhcp || record.foundPass == 0 || record.sameMacAs != 0) continue;
    Finding finding;
    finding.id = "drift";
    finding.severity = Severity::kWarning;
    finding.section = record.section;
    finding.summary =
        L"\"" + record.connection + L"\" differs from the section: the next boot changes it";
    finding.evidence = {{"connection", record.connection}};
    finding.fix = L"the next boot runs these commands; to apply them now, run them in order";
    for (const PartOutcome* part : {&record.address, &record.dns}) {
      if (part->state != PartState::kChanged) continue;
      for (const CommandOutcome& command : part->commands) finding.commands.push_back(command.line);
    }
    if (finding.commands.empty()) continue;
    if (HoldsMisformed(reading.misformed, record.section)) {
      finding.commands.clear();
      finding.fix =
          L"mend the misformed item first (its config finding): the commands would do "
          L"more than the section asks, and are not shown";
    }
    out.push_back(finding);
  }
  return true;
}

}  // namespace nubora
