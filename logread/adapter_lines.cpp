#include "logread/adapter_lines.h"

#include <cwchar>
#include <string>

#include "netconfig/apply.h"
#include "netconfig/command_runner.h"
#include "netconfig/discovery.h"
#include "netconfig/log.h"
#include "netconfig/log_lines.h"

namespace nubora {
namespace {

// Every pass but the first follows a retry.
constexpr int kPasses = kDiscoveryMaxRetries + 1;

bool SnapshotLine(const std::wstring& line) {
  if (line == kSnapshotLine) return true;
  for (const wchar_t* prefix : {kSnapshotNamePrefix, kSnapshotIpPrefix, kSnapshotMaskPrefix,
                                kSnapshotDnsPrefix, kSnapshotGatewayPrefix}) {
    if (StartsWith(line, prefix)) return true;
  }
  return false;
}

bool PartLine(const std::wstring& line, PartOutcome& part, const wchar_t* changed,
              const wchar_t* unchanged) {
  if (line == changed) part.state = PartState::kChanged;
  if (line == unchanged) part.state = PartState::kUnchanged;
  return part.state != PartState::kNotLogged;
}

bool CommandLine(const std::wstring& line, PartOutcome& part, RunnerCursor& runner) {
  std::wstring rest;
  if (StartsWith(line, kCommandTooLongPrefix, &rest)) {
    part.commands.push_back({rest, CommandEnd::kTooLong});
  } else if (StartsWith(line, kNetshCommandPrefix)) {
    part.commands.push_back({line});
    StartCommand(runner, part.commands.back());
  } else {
    return false;
  }
  part.state = PartState::kChanged;
  return true;
}

bool Done(const PartOutcome& part) {
  return part.state == PartState::kUnchanged ||
         (part.state == PartState::kChanged && part.commands.size() >= part.expected);
}

// The record being applied, past those whose every expected line is in.
RecordEntry* Current(RunStatus& run, ApplyCursor& cursor) {
  if (run.enumerationFailed) return nullptr;
  for (; cursor.record < run.records.size(); ++cursor.record) {
    RecordEntry& record = run.records[cursor.record];
    if (!Applied(record)) continue;
    if (!Done(record.address) || !(record.dns.expected == 0 || Done(record.dns))) return &record;
  }
  return nullptr;
}

}  // namespace

Taken TakeDiscoveryLine(RunStatus& run, DiscoveryCursor& cursor, const std::wstring& line) {
  std::vector<RecordEntry>& records = run.records;
  const std::size_t count = records.size();
  std::wstring rest;
  if (cursor.record == 0 && line == kEnumerationFailedLine) {
    run.enumerationFailed = true;
    return Taken::kTakenLast;
  }
  if (cursor.record < count && StartsWith(line, kAdapterFoundPrefix, &rest)) {
    RecordEntry& record = records[cursor.record++];
    if (record.foundPass == 0) record.foundPass = run.passes;
    record.connection = rest;
    ++cursor.found;
    cursor.afterFind = true;
    return Taken::kTaken;
  }
  if (cursor.afterFind && StartsWith(line, kNameTooLongPrefix, &rest) &&
      rest == records[cursor.record - 1].mac) {
    records[cursor.record - 1].nameTooLong = true;
    return Taken::kTaken;
  }
  if (cursor.afterFind && SnapshotLine(line)) return Taken::kTaken;
  if (cursor.record < count && StartsWith(line, kNotFoundPrefix, &rest) &&
      rest == records[cursor.record].mac) {
    ++records[cursor.record++].missedPasses;
    cursor.afterFind = false;
    return Taken::kTaken;
  }
  if (cursor.record < count) return Taken::kRefused;
  if (cursor.found == count) return Taken::kPassedOn;
  if (line == FormatWide(kRetryFormat, run.passes)) {
    ++run.passes;
    cursor = DiscoveryCursor();
    return Taken::kTaken;
  }
  if (run.passes == kPasses && line == kGaveUpLine) {
    run.discoveryGaveUp = true;
    return Taken::kTakenLast;
  }
  return Taken::kRefused;
}

void StartCommand(RunnerCursor& cursor, CommandOutcome& command) { cursor.waiting = &command; }

bool TakeRunnerLine(RunnerCursor& cursor, const std::wstring& line) {
  CommandOutcome& command = *cursor.waiting;
  const wchar_t* commandLine = command.line.c_str();
  std::wstring rest;
  // The error code read back, then the line the runner writes for it.
  const std::wstring failed = TextBefore(kCreateFailedFormat);
  int error = 0;
  if (command.slices == 0 && StartsWith(line, failed.c_str(), &rest) &&
      line == FormatWide(kCreateFailedFormat,
                         error = static_cast<int>(std::wcstol(rest.c_str(), nullptr, 10)))) {
    command.end = CommandEnd::kCreateFailed;
    command.error = error;
  } else if (command.slices < static_cast<int>(kWaitSlices) &&
             line == FormatWide(kWaitSliceFormat, commandLine, command.slices + 1)) {
    ++command.slices;
    return true;
  } else if (command.slices == static_cast<int>(kWaitSlices) &&
             line == FormatWide(kWaitTimedOutFormat, commandLine)) {
    command.end = CommandEnd::kTimedOut;
  } else if (command.slices < static_cast<int>(kWaitSlices) &&
             line == FormatWide(kWaitEndedFormat, commandLine)) {
    command.end = CommandEnd::kEnded;
  } else {
    return false;
  }
  cursor.waiting = nullptr;
  return true;
}

bool TakeApplyLine(RunStatus& run, ApplyCursor& cursor, const std::wstring& line) {
  RecordEntry* record = Current(run, cursor);
  if (record == nullptr) return false;
  PartOutcome& address = record->address;
  PartOutcome& dns = record->dns;
  if (record->dhcp) return CommandLine(line, address, cursor.runner);
  if (address.state == PartState::kNotLogged) {
    return PartLine(line, address, kAddressChangedLine, kAddressUnchangedLine);
  }
  if (address.state == PartState::kChanged && address.commands.size() < address.expected) {
    return CommandLine(line, address, cursor.runner);
  }
  if (dns.state == PartState::kNotLogged) {
    return PartLine(line, dns, kDnsChangedLine, kDnsUnchangedLine);
  }
  return CommandLine(line, dns, cursor.runner);
}

}  // namespace nubora
