#include "logread/run_verdict.h"

namespace nubora {
namespace {

bool Kept(const SectionEntry& section) {
  return section.outcome == SectionOutcome::kStatic || section.outcome == SectionOutcome::kDhcp;
}

bool PartEnded(const PartOutcome& part) {
  if (part.state == PartState::kUnchanged) return true;
  if (part.state == PartState::kNotLogged) return part.expected == 0;
  if (part.commands.size() != part.expected) return false;
  for (const CommandOutcome& command : part.commands) {
    if (command.end != CommandEnd::kEnded) return false;
  }
  return true;
}

VerdictAndReason NotConfigured(const char* reason) { return {Verdict::kNotConfigured, reason}; }

}  // namespace

VerdictAndReason DecideVerdict(const RunStatus& run) {
  if (!run.ended) return {Verdict::kIncomplete};
  const bool understood = run.unrecognisedCount == 0 && run.cutShort.number == 0 &&
                          run.brokenOffAt == 0 && run.earlierRunAt == 0 && run.notKeptLines == 0;
  bool everyEnabledKept = true;
  for (const SectionEntry& section : run.sections) {
    everyEnabledKept =
        everyEnabledKept && (Kept(section) || section.outcome == SectionOutcome::kDisabled);
  }
  if (!run.configureEnd) {
    // Nothing was asked only where the file is missing or all of it disabled.
    if (run.configFile == ConfigFileState::kNoSections) {
      return NotConfigured(
          "the file holds no section that could be read (empty, no section, or unreadable)");
    }
    if (run.configFile == ConfigFileState::kNoMemory) {
      return NotConfigured("the service had no memory to read it");
    }
    const bool nothingAsked = run.configFile == ConfigFileState::kMissing ||
                              (run.configFile == ConfigFileState::kRead && everyEnabledKept);
    if (!nothingAsked) return NotConfigured("every enabled section of the file was dropped");
    return {understood ? Verdict::kNothingToConfigure : Verdict::kPartlyConfigured};
  }
  if (run.enumerationFailed) return NotConfigured("the adapters could not be listed");
  bool reached = false, found = false;
  bool all = understood && everyEnabledKept && run.postScript.end == CommandEnd::kEnded;
  for (const RecordEntry& record : run.records) {
    reached = reached || Applied(record);
    found = found || record.foundPass > 0;
    all = all && Applied(record) && record.sameMacAs == 0 && PartEnded(record.address) &&
          PartEnded(record.dns);
  }
  if (!reached) {
    return NotConfigured(found ? "no record found an adapter it could configure"
                               : "no record found its adapter");
  }
  return {all ? Verdict::kConfigured : Verdict::kPartlyConfigured};
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kConfigured:
      return "configured";
    case Verdict::kPartlyConfigured:
      return "partly configured";
    case Verdict::kNothingToConfigure:
      return "nothing to configure";
    case Verdict::kNotConfigured:
      return "not configured";
    case Verdict::kIncomplete:
      break;
  }
  return "incomplete";
}

int VerdictExitCode(Verdict verdict) {
  return verdict == Verdict::kConfigured || verdict == Verdict::kNothingToConfigure ? 0 : 1;
}

}  // namespace nubora
