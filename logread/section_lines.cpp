#include "logread/section_lines.h"

#include "netconfig/config_file.h"
#include "netconfig/log.h"
#include "netconfig/log_lines.h"

namespace nubora {
namespace {

using Step = SectionCursor::Step;

// The reader takes 0.0.0.0 for a missing value.
bool IsUnset(const std::wstring& value) { return value == L"0.0.0.0"; }

// The MAC as the discovery lines write it, from the text the section gave.
std::wstring DiscoveryMac(const std::wstring& text) {
  std::uint8_t mac[kMacLength] = {};
  std::wstring copy = text;
  ParseMacAddress(&copy[0], mac);
  return MacText(mac);
}

Taken Close(RunStatus& run, SectionCursor& cursor, SectionOutcome outcome) {
  SectionEntry& section = run.sections.back();
  section.outcome = outcome;
  if (outcome == SectionOutcome::kStatic || outcome == SectionOutcome::kDhcp) {
    RecordEntry record;
    record.section = section.name;
    record.mac = DiscoveryMac(cursor.mac);
    record.dhcp = outcome == SectionOutcome::kDhcp;
    record.address.expected = record.dhcp ? 1 : cursor.ipItems;
    record.dns.expected = record.dhcp ? 0 : cursor.dnsItems;
    for (std::size_t i = 0; i < run.records.size() && record.sameMacAs == 0; ++i) {
      if (run.records[i].mac == record.mac) record.sameMacAs = i + 1;
    }
    run.records.push_back(record);
  }
  return Taken::kTakenLast;
}

// `closing` once the section's name line closes it.
Taken Then(SectionCursor& cursor, Step step, SectionOutcome closing = SectionOutcome::kUnfinished) {
  cursor.step = step;
  cursor.closing = closing;
  return Taken::kTaken;
}

Taken Refused() { return Taken::kRefused; }

Taken Ip(SectionCursor& cursor, const std::wstring& line) {
  if (!StartsWith(line, kIpPrefix, &cursor.ip)) return Refused();
  return IsUnset(cursor.ip) ? Then(cursor, Step::kName, SectionOutcome::kNoIp)
                            : Then(cursor, Step::kIp);
}

// The DNS servers' items, then the name line that keeps the record.
Taken Dns(RunStatus& run, SectionCursor& cursor, const std::wstring& line) {
  if (StartsWith(line, kListItemPrefix)) {
    ++cursor.dnsItems;
    cursor.step = Step::kDnsItems;
    return Taken::kTaken;
  }
  return line == run.sections.back().name ? Close(run, cursor, SectionOutcome::kStatic) : Refused();
}

// "config mask too long , ignore it" and the gateway's.
bool TooLong(const std::wstring& line, const wchar_t* field) {
  return line == FormatWide(kFieldTooLongFormat, field);
}

}  // namespace

bool OpenSection(RunStatus& run, SectionCursor& cursor, const std::wstring& line) {
  std::wstring name;
  if (!StartsWith(line, kParsingSectionPrefix, &name)) return false;
  run.sections.push_back({name, SectionOutcome::kUnfinished});
  cursor = SectionCursor();
  return true;
}

Taken TakeSectionLine(RunStatus& run, SectionCursor& cursor, const std::wstring& line) {
  const bool isName = line == run.sections.back().name;
  std::wstring value;
  switch (cursor.step) {
    case Step::kParsing:
      if (line == kDisabledLine) return Then(cursor, Step::kName, SectionOutcome::kDisabled);
      if (StartsWith(line, kMacPrefix, &cursor.mac)) {
        return IsUnset(cursor.mac) ? Then(cursor, Step::kName, SectionOutcome::kNoMac)
                                   : Then(cursor, Step::kMac);
      }
      return isName ? Close(run, cursor, SectionOutcome::kNoMac) : Refused();
    case Step::kMac:
      return StartsWith(line, kConfigMacPrefix, &value) && value == cursor.mac
                 ? Then(cursor, Step::kMacAddr)
                 : Refused();
    case Step::kMacAddr:
      if (line == kDhcpEnabledLine) return Then(cursor, Step::kName, SectionOutcome::kDhcp);
      if (line == kDhcpDisabledLine) return Then(cursor, Step::kDhcpDisabled);
      // A MAC too short to parse, or DHCP and IP both empty: the same lines,
      // but only a MAC of fewer than 12 characters is refused.
      if (isName) {
        return Close(
            run, cursor,
            cursor.mac.size() < 2 * kMacLength ? SectionOutcome::kBadMac : SectionOutcome::kNoIp);
      }
      return Ip(cursor, line);
    case Step::kDhcpDisabled:
      return isName ? Close(run, cursor, SectionOutcome::kNoIp) : Ip(cursor, line);
    case Step::kIp:
      return StartsWith(line, kConfigIpPrefix, &value) && value == cursor.ip
                 ? Then(cursor, Step::kIpItems)
                 : Refused();
    case Step::kIpItems:
      if (StartsWith(line, kListItemPrefix)) return ++cursor.ipItems, Taken::kTaken;
      if (StartsWith(line, kMaskPrefix, &cursor.mask)) {
        return IsUnset(cursor.mask) ? Then(cursor, Step::kName, SectionOutcome::kNoMask)
                                    : Then(cursor, Step::kMask);
      }
      return isName ? Close(run, cursor, SectionOutcome::kNoMask) : Refused();
    case Step::kMask:
      return StartsWith(line, kConfigMaskPrefix, &value) && value == cursor.mask
                 ? Then(cursor, Step::kConfigMask, SectionOutcome::kStatic)
                 : Refused();
    case Step::kConfigMask:
      if (TooLong(line, L"mask")) return Then(cursor, Step::kName, SectionOutcome::kMaskTooLong);
      if (StartsWith(line, kGatewayPrefix, &cursor.gateway)) return Then(cursor, Step::kGateway);
      return Dns(run, cursor, line);
    case Step::kGateway:
      return StartsWith(line, kConfigGatewayPrefix, &value) && value == cursor.gateway
                 ? Then(cursor, Step::kConfigGateway, SectionOutcome::kStatic)
                 : Refused();
    case Step::kConfigGateway:
      if (TooLong(line, L"gateway")) {
        return Then(cursor, Step::kName, SectionOutcome::kGatewayTooLong);
      }
      return Dns(run, cursor, line);
    case Step::kDnsItems:
      return Dns(run, cursor, line);
    case Step::kName:
      break;
  }
  return isName ? Close(run, cursor, cursor.closing) : Refused();
}

}  // namespace nubora
