#include "nubora/runtext/run_text.h"

#include <cstring>

#include "logread/line_match.h"
#include "netconfig/command_runner.h"
#include "netconfig/discovery.h"
#include "netconfig/log_lines.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {

namespace {
constexpr std::size_t kShownLength = 200;
}  // namespace

// Control characters shown as '?', and a very long line cut, so that one
// line of the output stays one line and reads as written.
std::wstring Printable(const std::wstring& text) {
  std::wstring shown = text.substr(0, kShownLength);
  for (wchar_t& c : shown) {
    if (IsControlCharacter(c)) c = L'?';
  }
  if (text.size() > kShownLength) shown += L"...";
  return shown;
}

std::wstring Number(std::size_t value) { return std::to_wstring(value); }

std::wstring CommandText(const CommandOutcome& command) {
  switch (command.end) {
    case CommandEnd::kEnded:
      return L"ended within " + Number(kWaitSliceMs / 1000 * (command.slices + 1)) + L" s";
    case CommandEnd::kTimedOut:
      return L"timed out after " + Number(kCommandTimeOutSeconds) + L" s";
    case CommandEnd::kCreateFailed:
      return TextBefore(kCreateFailedFormat) +
             ErrorText(static_cast<unsigned long>(command.error)) + L")";
    case CommandEnd::kTooLong:
      return L"too long, not run";
    case CommandEnd::kNotLogged:
      break;
  }
  return L"no end logged";
}

const char* SectionText(SectionOutcome outcome) {
  switch (outcome) {
    case SectionOutcome::kStatic:
      return "kept: static";
    case SectionOutcome::kDhcp:
      return "kept: DHCP";
    case SectionOutcome::kDisabled:
      return "skipped: disabled";
    case SectionOutcome::kNoMac:
      return "skipped: no MAC";
    case SectionOutcome::kBadMac:
      return "skipped: MAC shorter than 12 characters";
    case SectionOutcome::kNoIp:
      return "skipped: no IP";
    case SectionOutcome::kNoMask:
      return "skipped: no mask";
    case SectionOutcome::kMaskTooLong:
      return "skipped: mask too long";
    case SectionOutcome::kGatewayTooLong:
      return "skipped: gateway too long";
    case SectionOutcome::kUnfinished:
      break;
  }
  return "not finished in the log";
}

const char* ConfigFileText(ConfigFileState state) {
  switch (state) {
    case ConfigFileState::kMissing:
      return "missing";
    case ConfigFileState::kNoSections:
      return "without sections";
    case ConfigFileState::kNoMemory:
      return "not read (no memory)";
    case ConfigFileState::kRead:
      return "read";
    case ConfigFileState::kNotLogged:
      break;
  }
  return "not logged";
}

const char* PartText(PartState state) {
  if (state == PartState::kChanged) return "changed";
  if (state == PartState::kUnchanged) return "not changed";
  return "not logged";
}

static void AddCommands(std::wstring& out, const PartOutcome& part) {
  for (const CommandOutcome& command : part.commands) {
    out += L"      " + CommandText(command) + L": " + Printable(command.line) + L"\n";
  }
  if (part.state == PartState::kChanged && part.commands.size() < part.expected) {
    out += L"      " + Number(part.expected - part.commands.size()) +
           L" more command(s) not in the log\n";
  }
}

static std::wstring RecordText(const RunStatus& run, const RecordEntry& record) {
  std::wstring out = L"  [" + Printable(record.section) + L"] " + Printable(record.mac) +
                     (record.dhcp ? L" DHCP: " : L" static: ");
  if (record.foundPass == 0) {
    return out + L"never found (missing in " + Number(record.missedPasses) +
           (record.missedPasses == 1 ? L" pass)\n" : L" passes)\n");
  }
  out += L"found as \"" + Printable(record.connection) + L"\" on pass " + Number(record.foundPass) +
         L"\n";
  if (record.sameMacAs != 0) {
    const std::wstring first = L"[" + Printable(run.records[record.sameMacAs - 1].section) + L"]";
    out +=
        L"    same adapter as " + first +
        (record.dhcp ? L"\n" : L": compared with it as it was before " + first + L"'s commands\n");
  }
  if (record.nameTooLong) return out + L"    name too long, not configured\n";
  if (record.connection.empty()) {
    return out + L"    found, but its connection has no name: not configured\n";
  }
  if (record.dhcp) {
    if (record.address.commands.empty()) return out + L"    DHCP: not logged\n";
    for (const CommandOutcome& command : record.address.commands) {
      out += L"    DHCP: " + CommandText(command) + L": " + Printable(command.line) + L"\n";
    }
    return out;
  }
  out += L"    address: " + Widened(PartText(record.address.state)) + L"\n";
  AddCommands(out, record.address);
  if (record.dns.expected == 0) return out + L"    DNS: none in the file\n";
  out += L"    DNS: " + Widened(PartText(record.dns.state)) + L"\n";
  AddCommands(out, record.dns);
  return out;
}

void AddLines(std::wstring& out, const wchar_t* label, const std::vector<LogLine>& lines,
              std::size_t count) {
  for (const LogLine& line : lines) {
    out += label + Number(line.number) + L": " + Printable(line.text) + L"\n";
  }
  if (count > lines.size()) out += L"and " + Number(count - lines.size()) + L" more such lines\n";
}

std::wstring VerdictLine(const std::wstring& verdict, const std::wstring& reason) {
  return kVerdictLinePrefix + verdict + (reason.empty() ? L"" : L": " + reason);
}

std::wstring VerdictLine(const RunStatus& run) {
  return VerdictLine(Widened(VerdictText(run.verdict)),
                     run.reason != nullptr ? Widened(run.reason) : L"");
}

std::wstring RunText(const RunStatus& run) {
  std::wstring out = kStartTimePrefix + run.startTime + L"\n";
  if (!run.endTime.empty()) {
    out += kEndTimePrefix + run.endTime + L"\n";
  } else {
    out += run.ended ? L"no end time: the run stopped after reading the file\n"
                     : L"no end time: incomplete\n";
  }
  out += VerdictLine(run) + L"\n";
  out += L"configuration file: " + Widened(ConfigFileText(run.configFile)) + L"\n";
  for (const SectionEntry& section : run.sections) {
    out += L"  [" + Printable(section.name) + L"] " + Widened(SectionText(section.outcome)) + L"\n";
  }
  if (run.passes > 0) {
    out += L"adapters: " + Number(run.passes) + (run.passes == 1 ? L" pass" : L" passes");
    if (run.passes > 1) {
      out += L" (" + Number(run.passes - 1) + (run.passes == 2 ? L" retry" : L" retries") +
             L" after " + Number(kDiscoveryPauseMs / 1000) + L" s)";
    }
    if (run.discoveryGaveUp) out += L", gave up waiting for the missing ones";
    if (run.enumerationFailed) out += L", the adapters could not be listed: nothing applied";
    out += L"\n";
    for (const RecordEntry& record : run.records) out += RecordText(run, record);
  }
  if (run.postScriptLogged) {
    out += L"post script: " + CommandText(run.postScript) + L"\n";
  } else {
    out += run.verdict == Verdict::kIncomplete ? L"post script: not reached\n"
                                               : L"post script: not run\n";
  }
  for (std::size_t line : run.stopRequests)
    out += L"stop requested at line " + Number(line) + L"\n";
  if (run.verdict == Verdict::kIncomplete) {
    out += L"the log stops after line " + Number(run.reached.number) + L": " +
           Printable(run.reached.text) + L"\n";
  }
  if (run.cutShort.number != 0) {
    out += L"line " + Number(run.cutShort.number) + L" is cut short: " +
           Printable(run.cutShort.text) + L"\n";
  }
  if (run.earlierRunAt != 0) {
    out += L"the run started at line " + Number(run.earlierRunAt) +
           L" had not ended: its lines follow inside this one\n";
  }
  if (run.brokenOffAt != 0) {
    out += L"another run started at line " + Number(run.brokenOffAt) +
           L" before this one ended: its later lines follow inside that one\n";
  }
  AddLines(out, L"unrecognised line ", run.unrecognised, run.unrecognisedCount);
  return out;
}

}  // namespace nubora
