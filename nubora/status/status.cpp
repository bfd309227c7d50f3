#include "nubora/status/status.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <deque>
#include <new>
#include <nlohmann/json.hpp>

#include "logread/run_log.h"
#include "netconfig/paths.h"
#include "nubora/cli/arguments.h"
#include "nubora/runtext/run_text.h"
#include "platform/code_page.h"
#include "platform/log_file.h"
#include "platform/system_errors.h"
#include "platform/text.h"

namespace nubora {
namespace {

using Json = nlohmann::ordered_json;

const std::wstring kStatusExplanation =
    std::wstring(
        L"  What the service's log says about its last run: the configuration file's\n"
        L"  sections, each record's adapter and commands, the post script, a verdict.\n"
        L"  LOG       the log (on Windows ") +
    kLogPath +
    L" by default)\n"
    L"  --run N   run N counted from the oldest (1), or from the last with -N (-1)\n"
    L"  --all     one line per run (the last 1000): start, end or \"incomplete\",\n"
    L"            verdict\n"
    L"  --json    the same as one JSON document\n"
    L"  --codepage N  the ANSI code page the log was written in (default: that\n"
    L"            of LocalSystem's locale on Windows, 1252 elsewhere)\n"
    L"  exit code: 0 configured or nothing to configure, 1 partly configured,\n"
    L"  not configured, incomplete or no run, 2 usage error or unreadable log\n";

struct Options {
  std::wstring log;
  bool fromEnd = true;          // --run -N rather than --run N
  std::uint64_t runNumber = 1;  // N; saturated far beyond any log
  std::wstring runText = L"-1";
  bool all = false;
  bool json = false;
  unsigned codePage = 0;
};

// 2016-3-5, 9:14: 7 as 2016-03-05T09:14:07.
Json IsoTime(const std::wstring& clock) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (clock.empty() ||
      std::swscanf(clock.c_str(), L"%d-%d-%d,%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) {
    return nullptr;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, s);
  return text;
}

Json Text(const std::wstring& text) { return Utf8(text); }

Json LinesJson(const std::vector<LogLine>& lines) {
  Json out = Json::array();
  for (const LogLine& line : lines)
    out.push_back({{"line", line.number}, {"text", Text(line.text)}});
  return out;
}

std::string CommandEndName(CommandEnd end) {
  switch (end) {
    case CommandEnd::kEnded:
      return "ended";
    case CommandEnd::kTimedOut:
      return "timed out";
    case CommandEnd::kCreateFailed:
      return "CreateProcess failed";
    case CommandEnd::kTooLong:
      return "too long";
    case CommandEnd::kNotLogged:
      break;
  }
  return "not logged";
}

Json CommandJson(const CommandOutcome& command) {
  return {{"line", Text(command.line)},
          {"outcome", CommandEndName(command.end)},
          {"slices", command.slices},
          {"error", command.end == CommandEnd::kCreateFailed ? Json(command.error) : Json()}};
}

Json PartJson(const PartOutcome& part) {
  Json commands = Json::array();
  for (const CommandOutcome& command : part.commands) commands.push_back(CommandJson(command));
  return {{"state", PartText(part.state)},
          {"expected_commands", part.expected},
          {"commands", commands}};
}

Json LineNumber(std::size_t number) { return number != 0 ? Json(number) : Json(); }

Json RunJson(const RunStatus& run) {
  Json sections = Json::array(), records = Json::array();
  for (const SectionEntry& section : run.sections) {
    const bool kept =
        section.outcome == SectionOutcome::kStatic || section.outcome == SectionOutcome::kDhcp;
    std::string outcome = SectionText(section.outcome);
    outcome = outcome.substr(outcome.find(": ") == std::string::npos ? 0 : outcome.find(": ") + 2);
    sections.push_back({{"name", Text(section.name)}, {"kept", kept}, {"outcome", outcome}});
  }
  for (const RecordEntry& record : run.records) {
    const bool found = record.foundPass > 0;
    records.push_back(
        {{"section", Text(record.section)},
         {"mac", Text(record.mac)},
         {"type", record.dhcp ? "dhcp" : "static"},
         {"connection", found ? Text(record.connection) : Json()},
         {"found_pass", found ? Json(record.foundPass) : Json()},
         {"missed_passes", record.missedPasses},
         {"name_too_long", record.nameTooLong},
         {"same_mac_as",
          record.sameMacAs != 0 ? Text(run.records[record.sameMacAs - 1].section) : Json()},
         {"address", PartJson(record.address)},
         {"dns", record.dns.expected > 0 ? PartJson(record.dns) : Json()}});
  }
  const bool numbered = run.firstLine != 0;
  return {
      {"verdict", VerdictText(run.verdict)},
      {"verdict_reason", run.reason != nullptr ? Json(run.reason) : Json()},
      {"start_time", IsoTime(run.startTime)},
      {"end_time", IsoTime(run.endTime)},
      {"first_line", numbered ? Json(run.firstLine) : Json()},
      {"config_file", ConfigFileText(run.configFile)},
      {"sections", sections},
      {"passes", run.passes},
      {"gave_up", run.discoveryGaveUp},
      {"enumeration_failed", run.enumerationFailed},
      {"records", records},
      {"post_script", run.postScriptLogged ? CommandJson(run.postScript) : Json()},
      {"stop_request_lines", run.stopRequests},
      {"reached_line", run.verdict == Verdict::kIncomplete ? LinesJson({run.reached})[0] : Json()},
      {"cut_line", run.cutShort.number != 0 ? LinesJson({run.cutShort})[0] : Json()},
      {"earlier_run_line", LineNumber(run.earlierRunAt)},
      {"later_run_line", LineNumber(run.brokenOffAt)},
      {"unrecognised_count", run.unrecognisedCount},
      {"unrecognised", LinesJson(run.unrecognised)}};
}

// The options; a usage error stays in `args`.
void ParseOptions(Arguments& args, Options& options) {
  bool runGiven = false;
  while (args.Next()) {
    if (args.Is(L"--run")) {
      const wchar_t* const bad = L"--run needs a whole number N or -N other than 0";
      if (!args.Value(options.runText, bad)) break;
      // A strict decimal integer: an optional '-', then digits (saturating).
      options.fromEnd = options.runText[0] == L'-';
      if (!ParseDigits(options.runText.substr(options.fromEnd ? 1 : 0), options.runNumber) ||
          options.runNumber == 0) {
        args.Fail(bad);
      }
      runGiven = true;
    } else if (args.Is(L"--codepage")) {
      args.CodePage(options.codePage);
    } else if (args.Is(L"--all")) {
      options.all = true;
    } else if (args.Is(L"--json")) {
      options.json = true;
    } else {
      args.Operand(options.log, L"one log at a time");
    }
  }
  if (runGiven && options.all) args.Fail(L"--run and --all exclude each other");
  args.Log(options.log);
}

std::string Emit(const Options& options, const Json& json, const std::wstring& text) {
  if (options.json) return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  return ToMultibyte(text);
}

// The runs --all lists: the last ones, so that a log of any size costs a
// bounded output.
constexpr std::size_t kListedRuns = 1000;

struct ListedRun {
  std::size_t index;
  std::wstring startTime, endTime;
  bool ended;
  Verdict verdict;
  Json reason;
};

// The usage error for a log that cannot be read through.
int CannotRead(const Options& options, const std::wstring& why, std::string& err) {
  err = ToMultibyte(L"nubora status: cannot read " + options.log + L" (" + why + L")\n");
  return kUsageErrorExit;
}

int AllRuns(const SharedReadFile& file, const Options& options, std::string& out,
            std::string& err) {
  std::deque<ListedRun> listed;
  std::size_t told = 0;
  Verdict last = Verdict::kIncomplete;
  const LogScan scan = ScanRuns(file, options.codePage, [&](RunStatus&& run) {
    if (listed.size() == kListedRuns) listed.pop_front();
    listed.push_back({++told, run.startTime, run.endTime, run.ended, run.verdict,
                      run.reason != nullptr ? Json(run.reason) : Json()});
    last = run.verdict;
    return true;
  });
  if (scan.noMemory) return CannotRead(options, L"out of memory", err);
  const std::size_t unlisted = told - listed.size();
  if (options.json) {
    Json runs = Json::array();
    for (const ListedRun& run : listed) {
      runs.push_back({{"run", run.index},
                      {"start_time", IsoTime(run.startTime)},
                      {"end_time", IsoTime(run.endTime)},
                      {"verdict", VerdictText(run.verdict)},
                      {"verdict_reason", run.reason}});
    }
    const Json json = {{"log", Text(options.log)},
                       {"runs", runs},
                       {"unlisted_runs", unlisted},
                       {"unrecognised_count", scan.beforeCount},
                       {"unrecognised", LinesJson(scan.before)}};
    out = Emit(options, json, L"");
  } else {
    std::wstring text;
    if (unlisted > 0) {
      text += L"runs 1 to " + Number(unlisted) + L" not listed: the last " + Number(kListedRuns) +
              L" follow\n";
    }
    for (const ListedRun& run : listed) {
      const std::wstring end = !run.endTime.empty() ? run.endTime
                               : run.ended          ? std::wstring(L"(no end time)")
                                                    : std::wstring(L"incomplete");
      text += Number(run.index) + L"  " + run.startTime + L"  " + end + L"  " +
              Widened(VerdictText(run.verdict)) + L"\n";
    }
    if (scan.runs == 0) text += L"no run in the log\n";
    AddLines(text, L"unrecognised line ", scan.before, scan.beforeCount);
    out = Emit(options, Json(), text);
  }
  return scan.runs == 0 ? 1 : VerdictExitCode(last);
}

// What the log says, as the options ask.
int TellLog(Arguments& args, const Options& options, std::string& out, std::string& err) {
  SharedReadFile file;
  unsigned long error = 0;
  if (!file.Open(options.log, error)) return CannotRead(options, ErrorText(error), err);
  if (options.all) return AllRuns(file, options, out, err);

  RunStatus run;
  bool found = false, noMemory = false;
  std::size_t runs = 0;
  const std::size_t wanted = static_cast<std::size_t>(
      std::min<std::uint64_t>(options.runNumber, static_cast<std::size_t>(-1)));
  if (options.fromEnd) {
    found = ReadRunFromEnd(file, wanted, options.codePage, run, &noMemory);
  } else {
    noMemory = ScanRuns(file, options.codePage, [&](RunStatus&& each) {
                 if (++runs < wanted) return true;
                 run = std::move(each);
                 found = true;
                 return false;
               }).noMemory;
  }
  if (noMemory) return CannotRead(options, L"out of memory", err);
  const bool lastAsked = options.fromEnd && options.runNumber == 1;
  if (!found && !lastAsked) {
    return args.UsageError(L"the log holds no run " + options.runText, err);
  }
  if (!found) {
    // Whatever the log holds, it is not a run: each line is told.
    const LogScan scan = ScanRuns(file, options.codePage, [](RunStatus&&) { return false; });
    if (scan.noMemory) return CannotRead(options, L"out of memory", err);
    std::wstring text = L"no run in the log\n";
    AddLines(text, L"unrecognised line ", scan.before, scan.beforeCount);
    // The same shape as a run's, every field null but the lines.
    Json json = {{"log", Text(options.log)}, {"run", -1}};
    const Json shape = RunJson(RunStatus());
    for (const auto& field : shape.items()) json[field.key()] = nullptr;
    json["unrecognised_count"] = scan.beforeCount;
    json["unrecognised"] = LinesJson(scan.before);
    out = Emit(options, json, text);
    return 1;
  }
  const long long runNumber = static_cast<long long>(options.runNumber);
  Json json = {{"log", Text(options.log)}, {"run", options.fromEnd ? -runNumber : runNumber}};
  json.update(RunJson(run));
  out = Emit(options, json, RunText(run));
  return VerdictExitCode(run.verdict);
}

}  // namespace

int StatusCommand(const std::vector<std::wstring>& list, std::string& out, std::string& err) {
  Arguments args(kStatusSynopsis, kStatusExplanation.c_str(), list);
  Options options;
  ParseOptions(args, options);
  int exitCode = 0;
  if (args.Done(out, err, exitCode)) return exitCode;
  if (options.codePage == 0) options.codePage = LogCodePage();
  try {
    return TellLog(args, options, out, err);
  } catch (const std::bad_alloc&) {  // in telling what was read
    out.clear();
    return CannotRead(options, L"out of memory", err);
  }
}

}  // namespace nubora
