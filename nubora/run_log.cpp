#include "nubora/run_log.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <vector>

#include "netconfig/config_file.h"
#include "platform/log_file.h"

namespace nubora {
namespace {

constexpr int kPasses = 8;
constexpr int kSlices = 15;
const wchar_t kNoConfig[] = L"config file error , no configure information";
const wchar_t kPostScript[] = L"c:\\windows\\system32\\cmd.exe /c c:\\windows\\ipconfig_post.bat";

bool Starts(const std::wstring& line, const wchar_t* prefix, std::wstring* rest = nullptr) {
  const std::size_t length = std::wcslen(prefix);
  if (line.compare(0, length, prefix) != 0) return false;
  if (rest != nullptr) *rest = line.substr(length);
  return true;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// "%d-%d-%d,%2d:%2d:%2d" as the run writes it, from `at` to `end`; with
// `prefix`, also any beginning of one (a start line cut by a power loss).
template <typename Char>
bool IsClock(const Char* at, const Char* end, bool prefix = false) {
  for (int field = 0; field < 3; ++field) {
    const Char* digits = at;
    while (at < end && IsDigit(*at)) ++at;
    if (at == end) return prefix;
    if (at == digits || *at != (field < 2 ? '-' : ',')) return false;
    ++at;
  }
  for (int field = 0; field < 3; ++field) {
    for (int digit = 0; digit < 2; ++digit, ++at) {
      if (at == end) return prefix;
      if (!IsDigit(*at) && !(digit == 0 && *at == ' ')) return false;
    }
    if (field == 2) break;
    if (at == end) return prefix;
    if (*at++ != ':') return false;
  }
  return at == end;
}

bool ClockLine(const std::wstring& line, const wchar_t* prefix, std::wstring& clock) {
  return Starts(line, prefix, &clock) && IsClock(clock.data(), clock.data() + clock.size());
}

std::wstring MacText(const std::wstring& text) {
  std::uint8_t mac[kMacLength] = {};
  std::wstring copy = text;
  ParseMacAddress(&copy[0], mac);
  wchar_t out[32];
  std::swprintf(out, 32, L"%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return out;
}

// A record the run hands to the apply stage: found, under a name that fits
// and is not empty (the run passes over a nameless one without a line).
bool Applied(const RecordEntry& record) {
  return record.foundPass > 0 && !record.nameTooLong && !record.connection.empty();
}

enum class Stage {
  kStarted,
  kReading,
  kSection,
  kDiscovery,
  kApplying,
  kPostScript,
  kEnded,
  kDone
};

// Where a section's lines have got to: each step admits the lines the reader
// writes next.
enum class Step {
  kParsing,
  kMac,
  kMacAddr,
  kDhcpDisabled,
  kIp,
  kIpItems,
  kMask,
  kConfigMask,
  kGateway,
  kConfigGateway,
  kDnsItems,
  kName
};

class RunParser {
 public:
  explicit RunParser(std::size_t firstLine) { run_.firstLine = firstLine; }

  void Start(const std::wstring& line, const std::wstring& clock, std::size_t number) {
    run_.reached = {number, line};
    run_.startTime = clock;
  }

  // True when the line is one this run writes next.
  bool Try(const std::wstring& line, std::size_t number) {
    if (line == L"some one try to stop our service, entering stop pending state") {
      run_.stopRequests.push_back(number);
    } else if (!Accept(line)) {
      return false;
    }
    run_.reached = {number, line};
    return true;
  }

  void Unrecognised(const std::wstring& line, std::size_t number) {
    run_.reached = {number, line};
    if (run_.unrecognised.size() < kMaxKeptLines) run_.unrecognised.push_back({number, line});
    ++run_.unrecognisedCount;
  }

  RunStatus& Run() { return run_; }

  RunStatus Finish(const LogLine& cutShort) {
    run_.cutShort = cutShort;
    run_.verdict = Judge();
    return std::move(run_);
  }

 private:
  bool Accept(const std::wstring& line) {
    if (pending_ != nullptr) return Waiting(line);
    std::wstring rest;
    switch (stage_) {
      case Stage::kStarted:
        if (line != L"starting config ip address") return false;
        stage_ = Stage::kReading;
        return true;
      case Stage::kReading:
        return Reading(line);
      case Stage::kSection:
        return Section(line);
      case Stage::kDiscovery:
        return Discovery(line);
      case Stage::kApplying:
        return Applying(line);
      case Stage::kPostScript:
        if (!run_.postScriptLogged && line == kPostScript) {
          run_.postScriptLogged = true;
          run_.postScript.line = line;
          pending_ = &run_.postScript;
          return true;
        }
        if (!run_.postScriptLogged || !ClockLine(line, L"end time ", rest)) return false;
        run_.endTime = rest;
        run_.ended = true;
        stage_ = Stage::kEnded;
        return true;
      case Stage::kEnded:
        stage_ = Stage::kDone;
        return line.empty();
      case Stage::kDone:
        return false;
    }
    return false;
  }

  bool Reading(const std::wstring& line) {
    std::wstring rest;
    const bool first = run_.configFile == ConfigFileState::kNotLogged;
    if (Starts(line, L"parsing config file for ", &rest) &&
        (first || run_.configFile == ConfigFileState::kRead)) {
      run_.configFile = ConfigFileState::kRead;
      run_.sections.push_back({rest, SectionOutcome::kUnfinished});
      stage_ = Stage::kSection;
      step_ = Step::kParsing;
      ipItems_ = dnsItems_ = 0;
      return true;
    }
    if (first && line == L"config file not exist") {
      run_.configFile = ConfigFileState::kMissing;
      return true;
    }
    if (first && line == L"config mem alloc failed") {
      run_.configFile = ConfigFileState::kNoMemory;
      return true;
    }
    // That message has no line end of its own: the next one continues it.
    if (first && Starts(line, L"GetPrivateProfileSectionNames failed", &rest) &&
        (rest.empty() || rest == kNoConfig)) {
      run_.configFile = ConfigFileState::kNoSections;
      if (!rest.empty()) StopEarly();
      return true;
    }
    if (line == kNoConfig && !first && run_.records.empty()) {
      StopEarly();
      return true;
    }
    if (line == L"begin ConfigIpAddresses" && !run_.records.empty()) {
      stage_ = Stage::kDiscovery;
      run_.passes = 1;
      return true;
    }
    return false;
  }

  void StopEarly() {
    run_.ended = true;
    stage_ = Stage::kDone;
  }

  bool Close(SectionOutcome outcome) {
    SectionEntry& section = run_.sections.back();
    section.outcome = outcome;
    if (outcome == SectionOutcome::kStatic || outcome == SectionOutcome::kDhcp) {
      RecordEntry record;
      record.section = section.name;
      record.mac = MacText(macText_);
      record.dhcp = outcome == SectionOutcome::kDhcp;
      record.address.expected = record.dhcp ? 1 : ipItems_;
      record.dns.expected = record.dhcp ? 0 : dnsItems_;
      for (std::size_t i = 0; i < run_.records.size() && record.sameMacAs == 0; ++i) {
        if (run_.records[i].mac == record.mac) record.sameMacAs = i + 1;
      }
      run_.records.push_back(record);
    }
    stage_ = Stage::kReading;
    return true;
  }

  // `outcome` once the section's name line closes it.
  bool Then(Step step, SectionOutcome outcome = SectionOutcome::kUnfinished) {
    step_ = step;
    pendingOutcome_ = outcome;
    return true;
  }

  bool Section(const std::wstring& line) {
    const std::wstring& name = run_.sections.back().name;
    std::wstring value;
    switch (step_) {
      case Step::kParsing:
        if (line == L"config entry disabled , ignore it") {
          return Then(Step::kName, SectionOutcome::kDisabled);
        }
        if (Starts(line, L"mac=", &macText_)) {
          return IsUnset(macText_) ? Then(Step::kName, SectionOutcome::kNoMac) : Then(Step::kMac);
        }
        return line == name && Close(SectionOutcome::kNoMac);
      case Step::kMac:
        return Starts(line, L"config macaddr=", &value) && value == macText_ &&
               Then(Step::kMacAddr);
      case Step::kMacAddr:
        if (line == L"dhcp enabled") return Then(Step::kName, SectionOutcome::kDhcp);
        if (line == L"dhcp disabled") return Then(Step::kDhcpDisabled);
        // A MAC too short to parse, or DHCP and IP both empty: the same
        // lines, but only a MAC of fewer than 12 characters is refused.
        if (line == name) {
          return Close(macText_.size() < 12 ? SectionOutcome::kBadMac : SectionOutcome::kNoIp);
        }
        return Ip(line);
      case Step::kDhcpDisabled:
        if (line == name) return Close(SectionOutcome::kNoIp);
        return Ip(line);
      case Step::kIp:
        return Starts(line, L"config ip=", &value) && value == ipText_ && Then(Step::kIpItems);
      case Step::kIpItems:
        if (Starts(line, L"ip adr : ")) return ++ipItems_, true;
        if (Starts(line, L"mask=", &maskText_)) {
          return IsUnset(maskText_) ? Then(Step::kName, SectionOutcome::kNoMask)
                                    : Then(Step::kMask);
        }
        return line == name && Close(SectionOutcome::kNoMask);
      case Step::kMask:
        return Starts(line, L"config mask=", &value) && value == maskText_ &&
               Then(Step::kConfigMask, SectionOutcome::kStatic);
      case Step::kConfigMask:
        if (line == L"config mask too long , ignore it") {
          return Then(Step::kName, SectionOutcome::kMaskTooLong);
        }
        if (Starts(line, L"gateway=", &gatewayText_)) return Then(Step::kGateway);
        return Dns(line, name);
      case Step::kGateway:
        return Starts(line, L"config gateway=", &value) && value == gatewayText_ &&
               Then(Step::kConfigGateway, SectionOutcome::kStatic);
      case Step::kConfigGateway:
        if (line == L"config gateway too long , ignore it") {
          return Then(Step::kName, SectionOutcome::kGatewayTooLong);
        }
        return Dns(line, name);
      case Step::kDnsItems:
        return Dns(line, name);
      case Step::kName:
        return line == name && Close(pendingOutcome_);
    }
    return false;
  }

  // The reader takes 0.0.0.0, in any letter case, for a missing value.
  static bool IsUnset(const std::wstring& value) { return value == L"0.0.0.0"; }

  bool Ip(const std::wstring& line) {
    if (!Starts(line, L"ip=", &ipText_)) return false;
    return IsUnset(ipText_) ? Then(Step::kName, SectionOutcome::kNoIp) : Then(Step::kIp);
  }

  // The DNS servers' items, then the name line that keeps the record.
  bool Dns(const std::wstring& line, const std::wstring& name) {
    if (Starts(line, L"ip adr : ")) {
      ++dnsItems_;
      step_ = Step::kDnsItems;
      return true;
    }
    return line == name && Close(SectionOutcome::kStatic);
  }

  bool Discovery(const std::wstring& line) {
    std::vector<RecordEntry>& records = run_.records;
    const std::size_t count = records.size();
    std::wstring rest;
    if (event_ == 0 && line == L"Call to GetAdaptersAddresses failed.") {
      run_.enumerationFailed = true;
      stage_ = Stage::kApplying;
      return true;
    }
    if (event_ < count && Starts(line, L"Find Adapter Name: ", &rest)) {
      RecordEntry& record = records[event_++];
      if (record.foundPass == 0) record.foundPass = run_.passes;
      record.connection = rest;
      ++found_;
      afterFind_ = true;
      return true;
    }
    if (afterFind_ && Starts(line, L"adapter name too long , ignore adapter mac=", &rest) &&
        rest == records[event_ - 1].mac) {
      records[event_ - 1].nameTooLong = true;
      return true;
    }
    if (afterFind_ &&
        (line == L"begin getCurrentConfig" || Starts(line, L"current config AdapterName: ") ||
         Starts(line, L"current config ip=") || Starts(line, L"current config mask=") ||
         Starts(line, L"current config dns=") || Starts(line, L"current config gateway="))) {
      return true;
    }
    if (event_ < count && Starts(line, L"cannot find match adpater mac=", &rest) &&
        rest == records[event_].mac) {
      ++records[event_++].missedPasses;
      afterFind_ = false;
      return true;
    }
    if (event_ < count) return false;
    if (found_ == count) {
      stage_ = Stage::kApplying;
      return Applying(line);
    }
    if (line == L"retry find adapters retrycount=" + std::to_wstring(run_.passes)) {
      ++run_.passes;
      event_ = found_ = 0;
      afterFind_ = false;
      return true;
    }
    if (run_.passes == kPasses &&
        line == L"cannot find all matched network adapters , configure finded") {
      run_.discoveryGaveUp = true;
      stage_ = Stage::kApplying;
      return true;
    }
    return false;
  }

  // The record being applied, past those whose every expected line is in.
  RecordEntry* Current() {
    if (run_.enumerationFailed) return nullptr;
    for (; applied_ < run_.records.size(); ++applied_) {
      RecordEntry& record = run_.records[applied_];
      if (!Applied(record)) continue;
      const PartOutcome& address = record.address;
      const PartOutcome& dns = record.dns;
      const bool addressDone =
          address.state == PartState::kUnchanged ||
          (address.state == PartState::kChanged && address.commands.size() >= address.expected);
      const bool dnsDone =
          dns.expected == 0 || dns.state == PartState::kUnchanged ||
          (dns.state == PartState::kChanged && dns.commands.size() >= dns.expected);
      if (!addressDone || !dnsDone) return &record;
    }
    return nullptr;
  }

  bool Applying(const std::wstring& line) {
    if (line == L"configure end") {
      run_.configureEnd = true;
      stage_ = Stage::kPostScript;
      return true;
    }
    RecordEntry* record = Current();
    if (record == nullptr) return false;
    PartOutcome& address = record->address;
    PartOutcome& dns = record->dns;
    if (record->dhcp) return Command(line, address);
    if (address.state == PartState::kNotLogged) {
      return Part(line, address, L"start set config ip submask gateway...",
                  L"config ip submask gateway is not changed...");
    }
    if (address.state == PartState::kChanged && address.commands.size() < address.expected) {
      return Command(line, address);
    }
    if (dns.state == PartState::kNotLogged) {
      return Part(line, dns, L"start set config dns...", L"config dns is not changed...");
    }
    return Command(line, dns);
  }

  static bool Part(const std::wstring& line, PartOutcome& part, const wchar_t* changed,
                   const wchar_t* unchanged) {
    if (line == changed) part.state = PartState::kChanged;
    if (line == unchanged) part.state = PartState::kUnchanged;
    return part.state != PartState::kNotLogged;
  }

  bool Command(const std::wstring& line, PartOutcome& part) {
    std::wstring rest;
    if (Starts(line, L"command line too long , not run : ", &rest)) {
      part.commands.push_back({rest, CommandEnd::kTooLong});
    } else if (Starts(line, L"c:\\windows\\system32\\netsh.exe interface ip ")) {
      part.commands.push_back({line});
      pending_ = &part.commands.back();
    } else {
      return false;
    }
    part.state = PartState::kChanged;
    return true;
  }

  // The runner's lines for the command it has started.
  bool Waiting(const std::wstring& line) {
    CommandOutcome& command = *pending_;
    std::wstring rest;
    if (Starts(line, L"CreateProcess failed (", &rest) && command.slices == 0 && rest.size() > 1 &&
        rest.back() == L')') {
      command.end = CommandEnd::kCreateFailed;
      command.error = static_cast<int>(std::wcstol(rest.c_str(), nullptr, 10));
      pending_ = nullptr;
      return true;
    }
    if (!Starts(line, L"wait ", &rest) || rest.compare(0, command.line.size(), command.line) != 0) {
      return false;
    }
    rest.erase(0, command.line.size());
    if (rest == L"  count=" + std::to_wstring(command.slices + 1) && command.slices < kSlices) {
      ++command.slices;
      return true;
    }
    if (rest == L"  timed out" && command.slices == kSlices) {
      command.end = CommandEnd::kTimedOut;
    } else if (rest == L"  successfully" && command.slices < kSlices) {
      command.end = CommandEnd::kEnded;
    } else {
      return false;
    }
    pending_ = nullptr;
    return true;
  }

  static bool Kept(const SectionEntry& section) {
    return section.outcome == SectionOutcome::kStatic || section.outcome == SectionOutcome::kDhcp;
  }

  static bool PartEnded(const PartOutcome& part) {
    if (part.state == PartState::kUnchanged) return true;
    if (part.state == PartState::kNotLogged) return part.expected == 0;
    if (part.commands.size() != part.expected) return false;
    for (const CommandOutcome& command : part.commands) {
      if (command.end != CommandEnd::kEnded) return false;
    }
    return true;
  }

  Verdict Judge() const {
    if (!run_.ended) return Verdict::kIncomplete;
    const bool understood = run_.unrecognisedCount == 0 && run_.cutShort.number == 0 &&
                            run_.brokenOffAt == 0 && run_.earlierRunAt == 0;
    bool everyEnabledKept = true;
    for (const SectionEntry& section : run_.sections) {
      everyEnabledKept =
          everyEnabledKept && (Kept(section) || section.outcome == SectionOutcome::kDisabled);
    }
    if (!run_.configureEnd) {
      // Nothing was asked only where the file is missing or all of it disabled.
      const bool nothingAsked = run_.configFile == ConfigFileState::kMissing ||
                                (run_.configFile == ConfigFileState::kRead && everyEnabledKept);
      if (!nothingAsked) return Verdict::kNotConfigured;
      return understood ? Verdict::kNothingToConfigure : Verdict::kPartlyConfigured;
    }
    bool reached = false;
    bool all = understood && everyEnabledKept && !run_.enumerationFailed &&
               run_.postScript.end == CommandEnd::kEnded;
    for (const RecordEntry& record : run_.records) {
      reached = reached || (Applied(record) && !run_.enumerationFailed);
      all = all && Applied(record) && record.sameMacAs == 0 && PartEnded(record.address) &&
            PartEnded(record.dns);
    }
    if (!reached) return Verdict::kNotConfigured;
    return all ? Verdict::kConfigured : Verdict::kPartlyConfigured;
  }

  RunStatus run_;
  Stage stage_ = Stage::kStarted;
  Step step_ = Step::kParsing;
  SectionOutcome pendingOutcome_ = SectionOutcome::kUnfinished;
  std::wstring macText_, ipText_, maskText_, gatewayText_;
  std::size_t ipItems_ = 0, dnsItems_ = 0;
  std::size_t event_ = 0, found_ = 0, applied_ = 0;
  bool afterFind_ = false;
  CommandOutcome* pending_ = nullptr;
};

// Feeds a block's lines to its parser. A line the parser refuses goes to
// `earlier`, a run broken off before this block, when it takes it: the
// number of lines it took.
std::size_t Replay(RunParser& parser, const std::vector<BlockLine>& lines, std::size_t firstLine,
                   RunParser* earlier, LogLine& cutShort) {
  std::size_t taken = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::wstring& text = lines[i].text;
    const std::size_t number = firstLine + i;
    if (i == 0) {
      std::wstring clock;
      Starts(text, L"start time ", &clock);
      parser.Start(text, clock, number);
    }
    if (!lines[i].whole) {
      cutShort = {number, text};
    } else if (i > 0 && !parser.Try(text, number)) {
      if (earlier != nullptr && earlier->Try(text, number)) {
        ++taken;
      } else {
        parser.Unrecognised(text, number);
      }
    }
  }
  return taken;
}

// One run's lines as the file holds them, and what they tell on their own.
struct Block {
  std::vector<BlockLine> lines;
  std::size_t firstLine = 0;
  RunStatus alone;
  bool brokenOff = false;  // no end and no cut line: a start line broke it off
  bool hasUnrecognised = false;
};

Block MakeBlock(const std::string& bytes, std::size_t firstLine, unsigned codePage) {
  Block block;
  block.lines = SplitBlock(bytes, codePage);
  block.firstLine = firstLine;
  block.alone = ParseRun(block.lines, firstLine);
  block.brokenOff = !block.alone.ended && block.alone.cutShort.number == 0;
  block.hasUnrecognised = block.alone.unrecognisedCount > 0;
  return block;
}

// A run with its neighbours: where a run was broken off by the next start
// line and lines that only it could have written follow in the next block,
// two runs wrote at once, and each line goes to the run that takes it.
RunStatus Tell(const Block* before, Block& block, const Block* after) {
  const bool fromBefore = before != nullptr && before->brokenOff && block.hasUnrecognised;
  const bool intoAfter = after != nullptr && block.brokenOff && after->hasUnrecognised;
  if (!fromBefore && !intoAfter) return std::move(block.alone);
  RunParser self(block.firstLine), earlier(0), later(0);
  LogLine cutShort, ignored;
  if (fromBefore) Replay(earlier, before->lines, before->firstLine, nullptr, ignored);
  if (Replay(self, block.lines, block.firstLine, fromBefore ? &earlier : nullptr, cutShort) > 0) {
    self.Run().earlierRunAt = before->firstLine;
  }
  if (intoAfter && Replay(later, after->lines, after->firstLine, &self, ignored) > 0) {
    self.Run().brokenOffAt = after->firstLine;
  }
  return self.Finish(cutShort);
}

}  // namespace

RunStatus ParseRun(const std::vector<BlockLine>& lines, std::size_t firstLine) {
  RunParser parser(firstLine);
  LogLine cutShort;
  Replay(parser, lines, firstLine, nullptr, cutShort);
  return parser.Finish(cutShort);
}

std::size_t FindStartLine(const std::string& bytes, std::size_t begin, std::size_t end,
                          bool lastLine) {
  if (end > begin && bytes[end - 1] == '\r') --end;
  static const char kStart[] = "start time";
  const char* const last = bytes.data() + end;
  for (const char* at = bytes.data() + begin;; ++at) {
    at = std::search(at, last, kStart, kStart + sizeof kStart - 1);
    if (at == last) return std::string::npos;
    const char* clock = at + sizeof kStart - 1;
    const bool cut = lastLine && clock == last;
    if (cut || (clock < last && *clock == ' ' && IsClock(clock + 1, last, lastLine))) {
      return static_cast<std::size_t>(at - bytes.data());
    }
  }
}

std::vector<BlockLine> SplitBlock(const std::string& bytes, unsigned codePage) {
  std::vector<BlockLine> lines;
  for (std::size_t begin = 0; begin < bytes.size();) {
    std::size_t end = bytes.find('\n', begin);
    const bool whole = end != std::string::npos;
    if (!whole) end = bytes.size();
    std::size_t textEnd = end;
    if (whole && textEnd > begin && bytes[textEnd - 1] == '\r') --textEnd;
    BlockLine line;
    line.whole = whole;
    DecodeCodePage(bytes.substr(begin, textEnd - begin), codePage, line.text);
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

bool NeedsLineNumbers(const RunStatus& run) {
  return run.unrecognisedCount > 0 || !run.stopRequests.empty() || run.cutShort.number != 0 ||
         run.brokenOffAt != 0 || run.earlierRunAt != 0 || run.verdict == Verdict::kIncomplete;
}

void NumberLines(RunStatus& run, std::size_t firstLine) {
  const std::size_t shift = firstLine - run.firstLine;
  run.firstLine = firstLine;
  for (LogLine* line : {&run.reached, &run.cutShort}) {
    if (line->number != 0) line->number += shift;
  }
  for (std::size_t* number : {&run.brokenOffAt, &run.earlierRunAt}) {
    if (*number != 0) *number += shift;
  }
  for (LogLine& line : run.unrecognised) line.number += shift;
  for (std::size_t& number : run.stopRequests) number += shift;
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

const char* NotConfiguredReason(const RunStatus& run) {
  if (run.verdict != Verdict::kNotConfigured) return "";
  if (run.configFile == ConfigFileState::kNoSections) {
    return "the file holds no section that could be read (empty, no section, or unreadable)";
  }
  if (run.configFile == ConfigFileState::kNoMemory) return "the service had no memory to read it";
  if (!run.configureEnd) return "every enabled section of the file was dropped";
  if (run.enumerationFailed) return "the adapters could not be listed";
  for (const RecordEntry& record : run.records) {
    if (record.foundPass > 0) return "no record found an adapter it could configure";
  }
  return "no record found its adapter";
}

int VerdictExitCode(Verdict verdict) {
  return verdict == Verdict::kConfigured || verdict == Verdict::kNothingToConfigure ? 0 : 1;
}

namespace {

constexpr std::size_t kChunk = 1 << 20;

// A read buffer no larger than what there is to read: a short log costs no
// megabyte.
std::vector<char> ReadBuffer(std::uint64_t bytes) {
  return std::vector<char>(static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, bytes)) + 1);
}

// The number of the line that holds byte `offset`: one linear pass over what
// lies before it.
std::size_t LineAt(const SharedReadFile& file, std::uint64_t offset) {
  std::vector<char> buffer = ReadBuffer(offset);
  std::size_t lines = 1;
  for (std::uint64_t at = 0; at < offset;) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), offset - at));
    const std::size_t got = file.ReadAt(at, buffer.data(), want);
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) lines += buffer[i] == '\n';
    at += got;
  }
  return lines;
}

// The start lines of a log, found from its end backwards. It reads in chunks
// that double, so that a block of any length costs one pass over itself:
// `tail_` holds the bytes [base_, size).
class BackwardStarts {
 public:
  BackwardStarts(const SharedReadFile& file, std::uint64_t size) : file_(file), base_(size) {}

  // The offset of the next start line further back; false when there is none.
  bool Next(std::uint64_t& offset) {
    while (!done_) {
      const std::size_t end = tail_.size() - lineEnd_;
      const std::size_t newline = end == 0 ? std::string::npos : tail_.rfind('\n', end - 1);
      if (newline == std::string::npos && base_ > 0) {
        if (!ReadChunk()) return false;
        continue;  // its beginning is further back
      }
      const std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
      const std::size_t start = FindStartLine(tail_, begin, end, lineEnd_ == 0);
      if (newline == std::string::npos) {
        done_ = true;
      } else {
        lineEnd_ = tail_.size() - newline;
      }
      if (start != std::string::npos) {
        offset = base_ + start;
        return true;
      }
    }
    return false;
  }

  std::string Bytes(std::uint64_t from, std::uint64_t to) const {
    return tail_.substr(static_cast<std::size_t>(from - base_),
                        static_cast<std::size_t>(to - from));
  }

 private:
  bool ReadChunk() {
    const std::size_t chunk = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::size_t>(4096, tail_.size()), base_));
    std::string bytes(chunk, '\0');
    if (file_.ReadAt(base_ - chunk, &bytes[0], chunk) != chunk) return false;
    base_ -= chunk;
    tail_.insert(0, bytes);
    return true;
  }

  const SharedReadFile& file_;
  std::uint64_t base_;
  std::string tail_;
  std::size_t lineEnd_ = 0;  // end of the next line to examine, from the end of `tail_`
  bool done_ = false;
};

}  // namespace

bool ReadRunFromEnd(const SharedReadFile& file, std::size_t fromEnd, unsigned codePage,
                    RunStatus& run) {
  const std::uint64_t size = file.Size();
  BackwardStarts starts(file, size);
  std::uint64_t offset = 0, blockEnd = size, afterEnd = size;
  for (std::size_t seen = 0; seen < fromEnd; ++seen) {
    if (seen > 0) afterEnd = blockEnd, blockEnd = offset;
    if (!starts.Next(offset)) return false;
  }
  // Its neighbours are read only where two runs may have written at once.
  const std::string bytes = starts.Bytes(offset, blockEnd);
  Block block = MakeBlock(bytes, 1, codePage);
  std::uint64_t origin = offset;
  Block before, after;
  bool hasBefore = false, hasAfter = false;
  if (block.hasUnrecognised && starts.Next(origin)) {
    const std::string prior = starts.Bytes(origin, offset);
    before = MakeBlock(prior, 1, codePage);
    hasBefore = true;
    block.firstLine += static_cast<std::size_t>(std::count(prior.begin(), prior.end(), '\n'));
    NumberLines(block.alone, block.firstLine);
  }
  if (blockEnd < size && block.brokenOff) {
    after = MakeBlock(starts.Bytes(blockEnd, afterEnd),
                      block.firstLine + std::count(bytes.begin(), bytes.end(), '\n'), codePage);
    hasAfter = true;
  }
  run = Tell(hasBefore ? &before : nullptr, block, hasAfter ? &after : nullptr);
  if (NeedsLineNumbers(run)) {
    NumberLines(run, run.firstLine + LineAt(file, origin) - 1);
  } else if (offset > 0) {
    run.firstLine = 0;  // not counted: nothing is told by its number
  }
  return true;
}

LogScan ScanRuns(const SharedReadFile& file, unsigned codePage,
                 const std::function<bool(RunStatus&&)>& visit) {
  LogScan scan;
  std::string block, pending;
  std::size_t blockLine = 0, line = 1;
  bool inRun = false;
  // A run is told once the block after it is known: the two may overlap.
  std::unique_ptr<Block> previous, current;
  auto add = [&](Block&& next) -> bool {
    if (current && !visit(Tell(previous.get(), *current, &next))) return false;
    previous = std::move(current);
    current.reset(new Block(std::move(next)));
    return true;
  };
  // Lines before the first run belong to none: nothing there is understood,
  // blank lines aside.
  auto before = [&](const std::string& text) {
    std::wstring decoded;
    const bool cr = !text.empty() && text.back() == '\r';
    DecodeCodePage(text.substr(0, text.size() - (cr ? 1 : 0)), codePage, decoded);
    if (decoded.empty()) return;
    if (scan.before.size() < kMaxKeptLines) scan.before.push_back({line, decoded});
    ++scan.beforeCount;
  };
  // One line of the file without its LF; `whole` when the LF was there.
  auto take = [&](const std::string& text, bool whole) -> bool {
    const std::size_t start = FindStartLine(text, 0, text.size(), !whole);
    if (start != 0) {
      // The whole line, or what a power loss left of it before the next run.
      const std::string head = text.substr(0, start);
      if (inRun) block += head;
      if (!inRun && !head.empty()) before(head);
    }
    if (start != std::string::npos) {
      if (inRun && !add(MakeBlock(block, blockLine, codePage))) return false;
      ++scan.runs;
      block.assign(text, start, std::string::npos);
      blockLine = line;
      inRun = true;
    }
    if (whole && inRun) block += '\n';
    ++line;
    return true;
  };
  std::vector<char> buffer = ReadBuffer(file.Size());
  for (std::uint64_t at = 0;;) {
    const std::size_t got = file.ReadAt(at, buffer.data(), buffer.size());
    if (got == 0) break;
    at += got;
    for (std::size_t i = 0; i < got;) {
      const char* newline = static_cast<const char*>(std::memchr(&buffer[i], '\n', got - i));
      const std::size_t end =
          newline == nullptr ? got : static_cast<std::size_t>(newline - &buffer[0]);
      pending.append(&buffer[i], end - i);
      i = end;
      if (newline == nullptr) break;
      ++i;
      if (!take(pending, true)) return scan;
      pending.clear();
    }
  }
  if (!pending.empty() && !take(pending, false)) return scan;
  if (inRun && !add(MakeBlock(block, blockLine, codePage))) return scan;
  if (current) visit(Tell(previous.get(), *current, nullptr));
  return scan;
}

}  // namespace nubora
