#include "logread/run_parser.h"

#include <cwchar>
#include <string>

#include "logread/run_verdict.h"
#include "netconfig/command_runner.h"
#include "netconfig/log_lines.h"

namespace nubora {

bool StartsWith(const std::wstring& line, const wchar_t* prefix, std::wstring* value) {
  const std::size_t length = std::wcslen(prefix);
  if (line.compare(0, length, prefix) != 0) return false;
  if (value != nullptr) *value = line.substr(length);
  return true;
}

bool StartsWithNamePrefix(const std::wstring& line) {
  return StartsWith(line, kParsingSectionPrefix) || StartsWith(line, kAdapterFoundPrefix) ||
         StartsWith(line, kSnapshotNamePrefix);
}

void RunParser::Start(const std::wstring& line, std::size_t number) {
  run_.reached = {number, line};
  StartsWith(line, kStartTimePrefix, &run_.startTime);
}

bool RunParser::Try(const std::wstring& line, std::size_t number) {
  if (line == kStopRequestLine) {
    run_.stopRequests.push_back(number);
  } else if (!Accept(line)) {
    return false;
  }
  run_.reached = {number, line};
  return true;
}

bool RunParser::TakeName(const std::wstring& line, std::size_t number) {
  const bool named = StartsWithNamePrefix(line) ||
                     (stage_ == Stage::kSection && line == run_.sections.back().name);
  return named && Try(line, number);
}

void RunParser::Unrecognised(const std::wstring& line, std::size_t number) {
  run_.reached = {number, line};
  if (run_.unrecognised.size() < kMaxKeptLines) run_.unrecognised.push_back({number, line});
  ++run_.unrecognisedCount;
}

RunStatus RunParser::Finish(const LogLine& cutShort) {
  run_.cutShort = cutShort;
  const VerdictAndReason decided = DecideVerdict(run_);
  run_.verdict = decided.verdict;
  run_.reason = decided.reason;
  if (run_.notKeptLines > 0) {
    std::string why = decided.reason != nullptr ? decided.reason + std::string("; ") : "";
    why += std::to_string(run_.notKeptLines) + " more lines not kept: a run keeps " +
           std::to_string(kKeptRunLines) + " lines or " + std::to_string(kKeptRunBytes >> 10) +
           " KB";
    run_.ownReason = std::make_shared<const std::string>(std::move(why));
    run_.reason = run_.ownReason->c_str();
  }
  return std::move(run_);
}

bool RunParser::Accept(const std::wstring& line) {
  if (apply_.runner.waiting != nullptr) return TakeRunnerLine(apply_.runner, line);
  switch (stage_) {
    case Stage::kStarted:
      if (line != kStartingLine) return false;
      stage_ = Stage::kReading;
      return true;
    case Stage::kReading:
      return Reading(line);
    case Stage::kSection:
      switch (TakeSectionLine(run_, section_, line)) {
        case Taken::kRefused:
          return false;
        case Taken::kTakenLast:
          stage_ = Stage::kReading;
          break;
        default:
          break;
      }
      return true;
    case Stage::kDiscovery:
      return Discovery(line);
    case Stage::kApplying:
      return Applying(line);
    case Stage::kPostScript:
      return PostScript(line);
    case Stage::kEnded:
      stage_ = Stage::kDone;
      return line.empty();
    case Stage::kDone:
      return false;
  }
  return false;
}

bool RunParser::Reading(const std::wstring& line) {
  std::wstring rest;
  const bool first = run_.configFile == ConfigFileState::kNotLogged;
  if ((first || run_.configFile == ConfigFileState::kRead) && OpenSection(run_, section_, line)) {
    run_.configFile = ConfigFileState::kRead;
    stage_ = Stage::kSection;
    return true;
  }
  if (first && line == kConfigMissingLine) {
    run_.configFile = ConfigFileState::kMissing;
    return true;
  }
  if (first && line == kConfigNoMemoryLine) {
    run_.configFile = ConfigFileState::kNoMemory;
    return true;
  }
  // That line has no line end of its own: the next one continues it.
  if (first && StartsWith(line, kSectionNamesFailedLine, &rest) &&
      (rest.empty() || rest == kNoConfigurationLine)) {
    run_.configFile = ConfigFileState::kNoSections;
    return rest.empty() || StopEarly();
  }
  if (line == kNoConfigurationLine && !first && run_.records.empty()) return StopEarly();
  if (line == kDiscoveryLine && !run_.records.empty()) {
    stage_ = Stage::kDiscovery;
    run_.passes = 1;
    return true;
  }
  return false;
}

bool RunParser::StopEarly() {
  run_.ended = true;
  stage_ = Stage::kDone;
  return true;
}

bool RunParser::Discovery(const std::wstring& line) {
  switch (TakeDiscoveryLine(run_, discovery_, line)) {
    case Taken::kRefused:
      return false;
    case Taken::kTaken:
      return true;
    case Taken::kTakenLast:
      stage_ = Stage::kApplying;
      return true;
    case Taken::kPassedOn:
      break;
  }
  stage_ = Stage::kApplying;
  return Applying(line);
}

bool RunParser::Applying(const std::wstring& line) {
  if (line == kConfigureEndLine) {
    run_.configureEnd = true;
    stage_ = Stage::kPostScript;
    return true;
  }
  return TakeApplyLine(run_, apply_, line);
}

bool RunParser::PostScript(const std::wstring& line) {
  if (!run_.postScriptLogged && line == kPostScriptCommand.text) {
    run_.postScriptLogged = true;
    run_.postScript.line = line;
    StartCommand(apply_.runner, run_.postScript);
    return true;
  }
  if (!run_.postScriptLogged || !ParseClockLine(line, kEndTimePrefix, run_.endTime)) return false;
  run_.ended = true;
  stage_ = Stage::kEnded;
  return true;
}

bool ReplayLine(RunParser& parser, const BlockLine& line, std::size_t number, bool first,
                RunParser* earlier, LogLine& cutShort) {
  if (first) parser.Start(line.text, number);
  if (!line.whole) {
    cutShort = {number, line.text};
  } else if (!first && !parser.Try(line.text, number)) {
    if (earlier != nullptr && earlier->Try(line.text, number)) return true;
    parser.Unrecognised(line.text, number);
  }
  return false;
}

std::size_t Replay(RunParser& parser, const std::vector<BlockLine>& lines, std::size_t firstLine,
                   RunParser* earlier, LogLine& cutShort) {
  std::size_t taken = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    taken += ReplayLine(parser, lines[i], firstLine + i, i == 0, earlier, cutShort);
  }
  return taken;
}

RunStatus ParseRun(const std::vector<BlockLine>& lines, std::size_t firstLine) {
  RunParser parser(firstLine);
  LogLine cutShort;
  Replay(parser, lines, firstLine, nullptr, cutShort);
  return parser.Finish(cutShort);
}

}  // namespace nubora
