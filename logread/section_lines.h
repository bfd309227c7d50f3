#pragma once

#include <cstddef>
#include <string>

#include "logread/line_match.h"
#include "logread/run_model.h"

namespace nubora {

// Where a section's lines have got to: each step admits the lines the INI
// reader (netconfig/config_file.cpp) writes next, from "parsing config file
// for" to the section's name alone on a line.
struct SectionCursor {
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
  Step step = Step::kParsing;
  SectionOutcome closing = SectionOutcome::kUnfinished;  // once the name line comes
  std::wstring mac, ip, mask, gateway;
  std::size_t ipItems = 0, dnsItems = 0;
};

// A "parsing config file for" line: a new section, and a fresh cursor. False
// for any other line.
bool OpenSection(RunStatus& run, SectionCursor& cursor, const std::wstring& line);

// The open section's next line; kTakenLast for its name line, which closes it
// and adds its record when the section is kept.
Taken TakeSectionLine(RunStatus& run, SectionCursor& cursor, const std::wstring& line);

}  // namespace nubora
